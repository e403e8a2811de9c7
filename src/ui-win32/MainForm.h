#pragma once
// The main window with Win32 controls: the game's logo with the two counts, "Begin Transfer",
// the transfer status panel and the close buttons; the catalogue in four list boxes behind the
// logo.

#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueStore.h"
#include "forms/MainFormLogic.h"
#include "forms/MainLayout.h"
#include "startup/StartupSequence.h"
#include "transfer/Transfer.h"
#include "ui-win32/FormWindow.h"

#include <memory>
#include <optional>
#include <string>

namespace win32ui {

class EntriesWindow;

class MainForm : public FormWindow,
                 public UnrealMOD::MainFormHost,
                 public UnrealMOD::CatalogueColumns,
                 public UnrealMOD::TransferView {
public:
    MainForm();
    ~MainForm() override;

    // The load: start-up sequence, then the layout. True when the window is to be shown.
    bool Form_Load();
    void LayOut();

    void Runit_Click();
    void EndProg_Click();
    void ExitProg_Click();
    void Picture1_MouseMove(int buttons);

    // The cache entries window, opened (or brought to the front) by F3, a double-click on a
    // count box or the logo's menu. Entries() is nullptr while it is not open.
    EntriesWindow* OpenEntries();
    EntriesWindow* Entries() const;
    // "Begin Transfer" limited to the chosen rows (every row when none); an open entries window
    // then shows what the run did.
    void RunChosen(const UnrealMOD::RowChoice* chosen);
    // The logo's menu at a point of the screen; its first item opens the entries window.
    static constexpr UINT EntriesMenuCommand = 1;
    void ShowLogoMenu(POINT screen);
    void LogoMenuChosen(UINT command);
    // The message loop's hooks on this window that leave its look alone: F3, a double-click on
    // either count box, a right-click on the logo. True when the message was used.
    static bool PreTranslate(MSG& msg);

    // MainFormHost
    void OpenLocationWindow() override;
    UnrealMOD::CatalogueColumns& Catalogue() override { return *this; }
    void DisableRunit() override;
    void ShowNoFiles() override;

    // CatalogueColumns
    void Clear() override;
    void AppendRows(const std::vector<UnrealMOD::CatalogueRow>& rows) override;
    int RowCount() const override;
    UnrealMOD::CatalogueRow Row(int r) const override;
    void SetCopied(int r, const std::string& state) override;
    void SetNumFilesText(const std::string& text) override;
    void SetOnesToTransferText(const std::string& text) override;
    // The tooltip of a count box ("NumFilesTxt", "OnesToTransfer").
    std::string CountTipText(const char* box) const;
    std::string NumFilesText() const override;
    std::string OnesToTransferText() const override;

    // TransferView
    void ShowTranFrame() override;
    void SetProgLbl(const std::string& caption) override;
    void SetWindowEnabled(bool enabled) override;
    void SetBusyPointer(bool busy) override;
    void SetProgMax(float value) override;
    void SetProgMin(float value) override;
    void SetProgValue(float value) override;
    float ProgValue() const override { return progValue_; }
    float ProgMax() const override { return progMax_; }
    void ShowEndProg() override;
    void ShowProblem(const std::string& message) override;
    void ShowRefusal(const std::string& message, const std::string& folder) override;

protected:
    void OnCommand(const forms::Control& control, int code) override;
    void OnSurfaceMouseMove(std::string_view container, int buttons) override;
    void OnDrawItem(const forms::Control& control, const DRAWITEMSTRUCT& item) override;
    void OnDestroyed() override;

private:
    HWND List(forms::CatalogueList list) const;
    void ListClick(forms::CatalogueList changed);
    void ShowRowCount();
    forms::MainLayoutValues LayoutValues() const;
    void ApplyLayoutValues(const forms::MainLayoutValues& v);
    void ShowProgress();
    void ApplyProgress();

    UnrealMOD::CatalogueStore store_; // what the four lists show
    float progMin_ = 0, progMax_ = 100, progValue_ = 0;
    std::optional<std::string> progLbl_; // the label the run gave, shown or still to show
    std::string lblShown_;
    bool progShown_ = false;
    ULONGLONG progShownAt_ = 0;
    bool busy_ = false;
    bool ranRows_ = false; // the last click walked the rows (it was not refused)
    HICON icon_ = nullptr;
    HWND tips_ = nullptr;
    void SetCountTip(const char* box, const std::string& shown);
    std::unique_ptr<EntriesWindow> entries_;
};

} // namespace win32ui
