#pragma once
// The location window with Win32 controls: the drive list, the directory list, the path box and
// the buttons "Cancel", "Enter" and "X".

#include "forms/FindUnrealLogic.h"
#include "forms/Folders.h"
#include "ui-win32/FormWindow.h"

#include <optional>

namespace win32ui {

class FindUnreal : public FormWindow, private forms::LocationWindow {
public:
    FindUnreal();
    ~FindUnreal() override;

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Form_MouseMove(int buttons);

protected:
    void OnCommand(const forms::Control& control, int code) override;
    void OnSurfaceMouseMove(std::string_view container, int buttons) override;
    void OnDrawItem(const forms::Control& control, const DRAWITEMSTRUCT& item) override;
    void DrawDriveRow(const DRAWITEMSTRUCT& item);
    void OnReturnKey(const forms::Control& control) override;
    void OnDestroyed() override;

private:
    // LocationWindow
    bool SetDrive(const std::string& drive) override;
    std::string Drive() const override;
    bool SetDirPath(const std::string& path) override;
    std::string DirPath() const override;
    std::string ThePathText() const override;
    void SetThePathText(const std::string& text) override;
    void ShowTryAgain() override;
    void CloseMainForm() override;
    void OpenMainForm() override;
    void CloseWindow() override;

    forms::StillLoaded StillHere() const;
    void FillDrives();
    void OpenDirRow(int row);

    std::vector<std::string> drives_;
    int driveIndex_ = -1;
    std::optional<forms::Folder> folder_;
    bool inDriveFallback_ = false;
    HICON blankIcon_ = nullptr;
};

} // namespace win32ui
