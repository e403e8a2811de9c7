#include "ui-win32/FindUnreal.h"

#include "ui-win32/FreakyForm.h"
#include "ui-win32/Pictures.h"
#include "ui-win32/Windows.h"

#include <algorithm>

namespace win32ui {

FindUnreal::FindUnreal() : FormWindow(forms::FindUnrealDefinition()) {
    if (!Handle())
        return;
    // No icon of its own, and none borrowed from the program: a fully transparent one (an AND
    // mask of all ones keeps the screen as it is).
    BYTE andBits[32 * 32 / 8];
    std::fill(std::begin(andBits), std::end(andBits), BYTE(0xFF));
    const BYTE xorBits[32 * 32 / 8] = {};
    blankIcon_ = ::CreateIcon(::GetModuleHandleW(nullptr), 32, 32, 1, 1, andBits, xorBits);
    if (blankIcon_) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(blankIcon_));
        ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(blankIcon_));
    }
    FillDrives();
}

FindUnreal::~FindUnreal() {
    if (blankIcon_)
        ::DestroyIcon(blankIcon_);
}

forms::StillLoaded FindUnreal::StillHere() const {
    // The object outlives its window until the message loop is back at the top, so asking it
    // is safe inside any handler.
    return [this] { return Loaded(); };
}

void FindUnreal::FillDrives() {
    HWND box = Control("Drive1");
    drives_ = forms::DriveEntries();
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : drives_)
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    // The list starts on drive C like the classic control started on the current drive.
    const auto c = std::find(drives_.begin(), drives_.end(), "c:");
    driveIndex_ = c == drives_.end() ? -1 : int(c - drives_.begin());
    ::SendMessageW(box, CB_SETCURSEL, WPARAM(driveIndex_), 0);
}

// ---------------------------------------------------------------------------------------------
// Handlers

void FindUnreal::Form_Load() {
    forms::FindUnreal_Load(*this, StillHere());
}

void FindUnreal::Drive1_Change() {
    forms::Drive1_Change(*this, inDriveFallback_, StillHere());
}

void FindUnreal::Dir1_Change() {
    forms::Dir1_Change(*this);
}

void FindUnreal::Command1_Click() {
    forms::Command1_Click(*this, StillHere());
}

void FindUnreal::Command2_Click() {
    forms::CloseCommand_Click(*this);
}

void FindUnreal::Command3_Click() {
    forms::CloseCommand_Click(*this);
}

void FindUnreal::Form_MouseMove(int buttons) {
    FreakyForm::DragForm(Handle(), buttons);
}

void FindUnreal::OnCommand(const forms::Control& control, int code) {
    const std::string_view name = control.name;
    if (control.kind == forms::Kind::CommandButton && code == BN_CLICKED) {
        if (name == "Command1")
            Command1_Click();
        else if (name == "Command2")
            Command2_Click();
        else if (name == "Command3")
            Command3_Click();
    } else if (name == "Drive1" && code == CBN_SELCHANGE) {
        const auto index = int(::SendMessageW(Control("Drive1"), CB_GETCURSEL, 0, 0));
        if (index != driveIndex_) {
            driveIndex_ = index;
            Drive1_Change();
        }
    } else if (name == "Dir1" && code == LBN_DBLCLK) {
        OpenDirRow(int(::SendMessageW(Control("Dir1"), LB_GETCURSEL, 0, 0)));
    }
}

void FindUnreal::OnReturnKey(const forms::Control& control) {
    if (std::string_view(control.name) == "Dir1")
        OpenDirRow(int(::SendMessageW(Control("Dir1"), LB_GETCURSEL, 0, 0)));
}

void FindUnreal::OpenDirRow(int row) {
    if (!folder_ || row < 0 || row >= int(folder_->rows.size()))
        return;
    const std::string current = folder_->path;
    // A folder that vanished since it was listed: show the disk as it is now.
    if (!SetDirPath(folder_->rows[std::size_t(row)].path))
        SetDirPath(current);
}

void FindUnreal::OnSurfaceMouseMove(std::string_view container, int buttons) {
    // Only the window's own surface (the red strip) drags it; the panel keeps its moves.
    if (container == Definition().name)
        Form_MouseMove(buttons);
}

void FindUnreal::OnDrawItem(const forms::Control& control, const DRAWITEMSTRUCT& item) {
    const std::string_view name = control.name;
    if (name == "Drive1")
        return DrawDriveRow(item);
    if (name != "Dir1" || !folder_ || item.itemID == UINT(-1))
        return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID < folder_->rows.size()) {
        const forms::DirRow& row = folder_->rows[item.itemID];
        // Indented by its level, a folder drawn open or closed, then the name.
        const int x = r.left + Px(30) + Px(120) * row.depth;
        DrawFolderPicture(dc, x, (r.top + r.bottom) / 2 - Px(90), row.open, Dpi());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT text{x + Px(300), r.top, r.right, r.bottom};
        const std::wstring label = Widen(row.label);
        ::DrawTextW(dc, label.c_str(), int(label.size()), &text,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &r);
}

// A drive of the list (or the one shown in its box): its picture by its kind, then its name.
void FindUnreal::DrawDriveRow(const DRAWITEMSTRUCT& item) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int index = item.itemID == UINT(-1) ? driveIndex_ : int(item.itemID);
    if (index >= 0 && index < int(drives_.size())) {
        const std::string& entry = drives_[std::size_t(index)];
        DrawDrivePicture(dc, r.left + Px(30), (r.top + r.bottom) / 2 - Px(90),
                         platform::TypeOfDrive(entry.substr(0, 2)), Dpi());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT text{r.left + Px(330), r.top, r.right, r.bottom};
        const std::wstring label = Widen(entry);
        ::DrawTextW(dc, label.c_str(), int(label.size()), &text,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &r);
}

void FindUnreal::OnDestroyed() {
    LocationWindowGone(this);
}

// ---------------------------------------------------------------------------------------------
// LocationWindow

bool FindUnreal::SetDrive(const std::string& drive) {
    const char letter = forms::DriveLetter(drive);
    const auto it = std::find(drives_.begin(), drives_.end(), std::string(1, letter) + ":");
    if (!letter || it == drives_.end())
        return false;
    const int index = int(it - drives_.begin());
    if (index == driveIndex_)
        return true;
    driveIndex_ = index;
    ::SendMessageW(Control("Drive1"), CB_SETCURSEL, WPARAM(index), 0);
    Drive1_Change(); // the list tells only of the user's changes
    return true;
}

std::string FindUnreal::Drive() const {
    return driveIndex_ >= 0 ? drives_[std::size_t(driveIndex_)] : std::string();
}

bool FindUnreal::SetDirPath(const std::string& path) {
    std::optional<forms::Folder> folder = forms::ReadFolder(path);
    if (!folder)
        return false;
    const bool changed = !folder_ || folder_->path != folder->path;
    folder_ = std::move(folder);
    HWND box = Control("Dir1");
    ::SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (const forms::DirRow& row : folder_->rows)
        ::SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(row.label).c_str()));
    ::SendMessageW(box, LB_SETCURSEL, WPARAM(folder_->current), 0);
    ::SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(box, nullptr, TRUE);
    if (changed)
        Dir1_Change();
    return true;
}

std::string FindUnreal::DirPath() const {
    return folder_ ? folder_->path : std::string();
}

std::string FindUnreal::ThePathText() const {
    return Caption("ThePath");
}

void FindUnreal::SetThePathText(const std::string& text) {
    SetCaption("ThePath", text);
}

void FindUnreal::ShowTryAgain() {
    ::MessageBoxW(Handle(), Widen(forms::TryAgainText).c_str(), Widen(forms::TryAgainTitle).c_str(),
                  MB_OK | MB_ICONSTOP);
}

void FindUnreal::CloseMainForm() {
    win32ui::CloseMainForm();
}

void FindUnreal::OpenMainForm() {
    LoadMainForm();
}

void FindUnreal::CloseWindow() {
    Destroy();
}

} // namespace win32ui
