#pragma once
// The main window: the game's logo with the two counts, "Begin Transfer", the transfer status
// panel and the close buttons. The catalogue lives in four list boxes that lie behind the logo,
// each showing one column of the window's catalogue store.

#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueStore.h"
#include "forms/MainFormLogic.h"
#include "forms/MainLayout.h"
#include "startup/StartupSequence.h"
#include "transfer/Transfer.h"
#include "ui/Twips.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ui {

class CatalogueList;
class EntriesWindow;

using forms::LayOutMainForm;
using forms::MainLayoutValues;

// A container with a window of its own that shows its picture at the top-left corner of its
// inside. Assigning a picture makes it take the picture's size, its border included.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }

    // The area inside the border: the container of the controls on the box, which are clipped to
    // it and never paint over the border.
    QWidget* Inside() const { return inside_; }

    // Mouse moves over the box's own surface (not over the controls on it).
    std::function<void(Qt::MouseButtons)> onMouseMove;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class InsideArea;
    QPixmap picture_;
    QWidget* inside_ = nullptr;
};

class MainForm : public QWidget,
                 public UnrealMOD::MainFormHost,
                 public UnrealMOD::CatalogueColumns,
                 public UnrealMOD::TransferView {
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    // The load: start-up sequence, then the layout. True when the game was found and the window
    // is to be shown; false when the location window took over.
    bool Form_Load();
    // The layout part of the load: the logo into Picture1, the window to its size, the controls
    // placed for that size.
    void LayOut();

    // Handlers, named after their controls.
    void Runit_Click();
    void EndProg_Click();
    void ExitProg_Click();
    void FileNameList_Click();
    void CacheNameList_Click();
    void DestinationList_Click();
    void Copied_Click();
    void Picture1_MouseMove(Qt::MouseButtons buttons);

    // The cache entries window: opened (or brought forward, there is one at most) from the logo's
    // menu, a double-click on a count box or F3.
    void OpenEntries();
    EntriesWindow* Entries() const;
    // "Begin Transfer" (no choice) or "Move checked" (the checked rows): the same run, after which
    // an open entries window shows what it did.
    void RunTransfer(const UnrealMOD::RowChoice* chosen);
    // Reads the cache index again (F5 in the entries window).
    void RereadCatalogue();

    // The window's own geometry in twips (width and height).
    TwipsRect FormTwips() const;
    // The geometry the layout works on, as it stands.
    MainLayoutValues LayoutValues() const;
    void ApplyLayoutValues(const MainLayoutValues& values);

    // MainFormHost
    void OpenLocationWindow() override;
    UnrealMOD::CatalogueColumns& Catalogue() override { return *this; }
    void DisableRunit() override;
    void ShowNoFiles() override;

    // CatalogueColumns: the four lists and the two count boxes.
    void Clear() override;
    void AppendRows(const std::vector<UnrealMOD::CatalogueRow>& rows) override;
    int RowCount() const override;
    UnrealMOD::CatalogueRow Row(int r) const override;
    void SetCopied(int r, const std::string& state) override;
    void SetNumFilesText(const std::string& text) override;
    void SetOnesToTransferText(const std::string& text) override;
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
    float ProgMin() const { return progMin_; }
    void ShowEndProg() override;
    void ShowProblem(const std::string& message) override;

    // Replaces the cue player for every main window (tests observe the window at cue time). An
    // empty function restores UnrealMOD::PlayCue.
    static void SetCuePlayerForTesting(std::function<void(const std::string&)> player);

    // The controls, by their names.
    PictureBox* Picture1 = nullptr;
    QPushButton* EndProg = nullptr;
    QFrame* TranFrame = nullptr;
    QGroupBox* TranFrame1 = nullptr;
    QProgressBar* TranProg = nullptr;
    QLabel* ProgLbl = nullptr;
    QPushButton* ExitProg = nullptr;
    QPushButton* Runit = nullptr;
    QLineEdit* OnesToTransfer = nullptr;
    QLineEdit* NumFilesTxt = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* NoFiles = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* AdvFrame = nullptr;
    CatalogueList* FileNameList = nullptr;
    CatalogueList* CacheNameList = nullptr;
    CatalogueList* DestinationList = nullptr;
    CatalogueList* Copied = nullptr;
    std::array<QLabel*, 4> Label3{};

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    CatalogueList* List(forms::CatalogueList list) const;
    std::array<CatalogueList*, 4> Lists() const;
    void CarrySelection(forms::CatalogueList changed);
    void ApplyProgress();
    void ShowProgress();
    void PlayCue(const std::string& path);
    void Unload();

    UnrealMOD::CatalogueStore store_; // what the four lists show
    float progMin_ = 0, progMax_ = 100, progValue_ = 0;
    bool busy_ = false;
    QString progLbl_;
    QElapsedTimer shown_;
    QPointer<EntriesWindow> entries_;
    bool runStarted_ = false; // the last click got as far as the run
};

} // namespace ui
