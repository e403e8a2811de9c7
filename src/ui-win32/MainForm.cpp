#include "ui-win32/MainForm.h"

#include "forms/Bitmap.h"
#include "forms/MainFormLogic.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "runtime/Globals.h"
#include "runtime/PlayCue.h"
#include "ui-win32/EntriesWindow.h"
#include "ui-win32/FreakyForm.h"
#include "ui-win32/Resources.h"
#include "ui-win32/Windows.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace win32ui {

namespace {

// A bitmap the system can draw, from the decoded file; nullptr when it cannot be used.
HBITMAP BitmapFromFile(const std::string& bytes) {
    const auto picture = forms::DecodeBitmap(bytes);
    if (!picture)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = -picture->height; // the decoder's rows run top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits)
        std::memcpy(bits, picture->pixels.data(), picture->pixels.size() * sizeof(std::uint32_t));
    return bitmap;
}

// The count boxes tell that a double-click on them shows every entry.
void AddCountBoxTips(HWND window, std::initializer_list<HWND> boxes, HWND& tips) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!tips)
        return;
    std::wstring text = Widen(forms::CountBoxTip);
    for (HWND box : boxes) {
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(box);
        tool.lpszText = text.data();
        ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

} // namespace

MainForm::MainForm() : FormWindow(forms::MainFormDefinition()) {
    if (!Handle())
        return;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    icon_ = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(LodestowIcon), IMAGE_ICON, 0, 0, 0));
    if (icon_) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }
    AddCountBoxTips(Handle(), {Control("NumFilesTxt"), Control("OnesToTransfer")}, tips_);
    SetPicture("Image1",
               static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(BannerBitmap),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    // Every digit of a count up to 99,999 is read, and the whole word when it is "Error".
    for (const char* box : {"NumFilesTxt", "OnesToTransfer"})
        FitCaptions(box, {std::begin(forms::CountBoxSamples), std::end(forms::CountBoxSamples)});
}

MainForm::~MainForm() {
    if (busy_)
        FormWindow::SetBusy(false);
    if (icon_)
        ::DestroyIcon(icon_);
}

bool MainForm::Form_Load() {
    if (UnrealMOD::RunStartupSequence(*this) != UnrealMOD::StartupOutcome::GameFound)
        return false;
    if (!Loaded())
        return false;
    LayOut();
    return true;
}

void MainForm::LayOut() {
    // A logo that is missing or not a usable bitmap leaves Picture1 as designed; the placements
    // run all the same.
    if (const auto bytes = platform::ReadFileBytes(forms::LogoPath()))
        if (HBITMAP logo = BitmapFromFile(*bytes))
            SetPicture("Picture1", logo);
    const forms::TwipsRect picture = Rect("Picture1");
    ApplyLayoutValues(forms::LayOutMainForm(LayoutValues(), picture.width, picture.height));
}

forms::MainLayoutValues MainForm::LayoutValues() const {
    return {WindowRect(),           Rect("TranFrame"), Rect("Runit"),  Rect("NoFiles"),
            Rect("OnesToTransfer"), Rect("Label2"),    Rect("Label1"), Rect("NumFilesTxt"),
            Rect("ExitProg"),       Rect("Image1"),    Rect("EndProg")};
}

void MainForm::ApplyLayoutValues(const forms::MainLayoutValues& v) {
    SetWindowRect(v.window);
    SetRect("TranFrame", v.tranFrame);
    SetRect("Runit", v.runit);
    SetRect("NoFiles", v.noFiles);
    SetRect("OnesToTransfer", v.onesToTransfer);
    SetRect("Label2", v.label2);
    SetRect("Label1", v.label1);
    SetRect("NumFilesTxt", v.numFilesTxt);
    SetRect("ExitProg", v.exitProg);
    SetRect("Image1", v.image1);
    SetRect("EndProg", v.endProg);
}

// ---------------------------------------------------------------------------------------------
// Handlers

void MainForm::OnCommand(const forms::Control& control, int code) {
    const std::string_view name = control.name;
    if (control.kind == forms::Kind::CommandButton) {
        if (code != BN_CLICKED)
            return;
        if (name == "Runit")
            Runit_Click();
        else if (name == "EndProg")
            EndProg_Click();
        else if (name == "ExitProg")
            ExitProg_Click();
        return;
    }
    if (control.kind != forms::Kind::ListBox || code != LBN_SELCHANGE)
        return;
    using enum forms::CatalogueList;
    for (const forms::CatalogueList list : {FileNameList, CacheNameList, DestinationList, Copied})
        if (Control(name) == List(list))
            ListClick(list);
}

void MainForm::Runit_Click() {
    RunChosen(nullptr);
}

void MainForm::RunChosen(const UnrealMOD::RowChoice* chosen) {
    EntriesWindow* entries = Entries();
    std::vector<UnrealMOD::EntryView> before;
    if (entries)
        before = entries->Freeze();
    ranRows_ = false;
    UnrealMOD::RunitClick(*this, *this, chosen);
    if (!entries || !entries->Open())
        return;
    if (ranRows_)
        entries->AfterRun(before);
    else
        entries->Reload(); // refused (the game runs): nothing was done, nothing to tell
}

EntriesWindow* MainForm::OpenEntries() {
    if (!Entries()) {
        entries_ = std::make_unique<EntriesWindow>(*this);
        if (!entries_->Open())
            return nullptr;
    }
    entries_->Show();
    return entries_.get();
}

EntriesWindow* MainForm::Entries() const {
    return entries_ && entries_->Open() ? entries_.get() : nullptr;
}

void MainForm::ShowLogoMenu(POINT screen) {
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, EntriesMenuCommand, Widen(forms::EntriesMenuItem).c_str());
    const UINT chosen = UINT(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                              screen.y, 0, Handle(), nullptr));
    ::DestroyMenu(menu);
    LogoMenuChosen(chosen);
}

void MainForm::LogoMenuChosen(UINT command) {
    if (command == EntriesMenuCommand)
        OpenEntries();
}

bool MainForm::PreTranslate(MSG& msg) {
    auto* form = dynamic_cast<MainForm*>(FormWindow::FromHandle(::GetAncestor(msg.hwnd, GA_ROOT)));
    if (!form || !::IsWindowEnabled(form->Handle()))
        return false;
    switch (msg.message) {
    case WM_KEYDOWN:
        if (msg.wParam != VK_F3)
            return false;
        form->OpenEntries();
        return true;
    case WM_LBUTTONDBLCLK:
        if (msg.hwnd != form->Control("NumFilesTxt") && msg.hwnd != form->Control("OnesToTransfer"))
            return false;
        form->OpenEntries();
        return true;
    case WM_RBUTTONUP: {
        HWND logo = form->Control("Picture1");
        if (msg.hwnd != logo && !::IsChild(logo, msg.hwnd))
            return false;
        POINT at{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
        ::ClientToScreen(msg.hwnd, &at);
        form->ShowLogoMenu(at);
        return true;
    }
    default:
        return false;
    }
}

void MainForm::EndProg_Click() {
    ::ShowWindow(Handle(), SW_HIDE);
    UnrealMOD::PlayCue(UnrealMOD::CuePath(forms::EndProgCue));
    Destroy();
}

void MainForm::ExitProg_Click() {
    UnrealMOD::PlayCue(UnrealMOD::CuePath(forms::ExitProgCue));
    Destroy();
}

void MainForm::OnSurfaceMouseMove(std::string_view container, int buttons) {
    if (container == "Picture1")
        Picture1_MouseMove(buttons);
}

void MainForm::Picture1_MouseMove(int buttons) {
    FreakyForm::DragForm(Handle(), buttons);
}

void MainForm::OnDestroyed() {
    if (entries_)
        entries_->Close();
    MainFormGone(this);
}

HWND MainForm::List(forms::CatalogueList list) const {
    switch (list) {
    case forms::CatalogueList::FileNameList:
        return Control("FileNameList");
    case forms::CatalogueList::CacheNameList:
        return Control("CacheNameList");
    case forms::CatalogueList::DestinationList:
        return Control("DestinationList");
    case forms::CatalogueList::Copied:
        return Control("Copied");
    }
    return nullptr;
}

void MainForm::ListClick(forms::CatalogueList changed) {
    // The list box tells only of the user's own selections; one made here is passed on by hand
    // when it changed anything, so the chain ends once every list holds the same row.
    for (const forms::CatalogueList target : forms::SelectionTargets(changed)) {
        const auto row = ::SendMessageW(List(changed), LB_GETCURSEL, 0, 0);
        const auto count = ::SendMessageW(List(target), LB_GETCOUNT, 0, 0);
        if (row >= count || row == ::SendMessageW(List(target), LB_GETCURSEL, 0, 0))
            continue;
        ::SendMessageW(List(target), LB_SETCURSEL, WPARAM(row), 0);
        ListClick(target);
    }
}

// ---------------------------------------------------------------------------------------------
// MainFormHost

void MainForm::OpenLocationWindow() {
    LoadFindUnreal();
}

void MainForm::DisableRunit() {
    ::EnableWindow(Control("Runit"), FALSE);
}

void MainForm::ShowNoFiles() {
    SetVisible("NoFiles", true);
}

// ---------------------------------------------------------------------------------------------
// CatalogueColumns

void MainForm::Clear() {
    store_.Clear();
    ShowRowCount();
}

void MainForm::AppendRows(const std::vector<UnrealMOD::CatalogueRow>& rows) {
    for (const auto& row : rows)
        store_.Append(row);
    ShowRowCount();
}

void MainForm::ShowRowCount() {
    using enum forms::CatalogueList;
    for (const forms::CatalogueList list : {FileNameList, CacheNameList, DestinationList, Copied})
        ::SendMessageW(List(list), LB_SETCOUNT, WPARAM(store_.Rows()), 0);
}

int MainForm::RowCount() const {
    return store_.Rows();
}

UnrealMOD::CatalogueRow MainForm::Row(int r) const {
    return store_.Row(r);
}

void MainForm::SetCopied(int r, const std::string& state) {
    if (!store_.SetCopied(r, state))
        return;
    // Only the row itself is drawn again, and only when it is in sight.
    HWND box = List(forms::CatalogueList::Copied);
    RECT row;
    if (::SendMessageW(box, LB_GETITEMRECT, WPARAM(r), reinterpret_cast<LPARAM>(&row)) != LB_ERR)
        ::InvalidateRect(box, &row, FALSE);
}

void MainForm::OnDrawItem(const forms::Control& control, const DRAWITEMSTRUCT& item) {
    if (control.kind != forms::Kind::ListBox || item.itemID == UINT(-1))
        return;
    const std::string_view name = control.name;
    using enum UnrealMOD::CatalogueColumn;
    const UnrealMOD::CatalogueColumn column = name == "FileNameList"      ? FileName
                                              : name == "CacheNameList"   ? CacheName
                                              : name == "DestinationList" ? Destination
                                                                          : Copied;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring text = Widen(store_.Cell(column, int(item.itemID)));
    r.left += 2;
    ::DrawTextW(dc, text.c_str(), int(text.size()), &r,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &item.rcItem);
}

void MainForm::SetNumFilesText(const std::string& text) {
    SetCaption("NumFilesTxt", text);
    SetCountTip("NumFilesTxt", text);
}
void MainForm::SetOnesToTransferText(const std::string& text) {
    SetCaption("OnesToTransfer", text);
    SetCountTip("OnesToTransfer", text);
}
void MainForm::SetCountTip(const char* box, const std::string& shown) {
    if (!tips_)
        return;
    std::wstring text = Widen(forms::CountTip(shown));
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(box));
    tool.lpszText = text.data();
    ::SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}
std::string MainForm::CountTipText(const char* box) const {
    if (!tips_)
        return {};
    wchar_t text[160] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(box));
    tool.lpszText = text;
    ::SendMessageW(tips_, TTM_GETTEXTW, WPARAM(std::size(text)), reinterpret_cast<LPARAM>(&tool));
    return Narrow(text);
}
std::string MainForm::NumFilesText() const {
    return Caption("NumFilesTxt");
}
std::string MainForm::OnesToTransferText() const {
    return Caption("OnesToTransfer");
}

// ---------------------------------------------------------------------------------------------
// TransferView

void MainForm::ShowTranFrame() {
    SetVisible("TranFrame", true);
}

void MainForm::SetProgLbl(const std::string& caption) {
    progLbl_ = caption;
    ShowProgress();
}

void MainForm::SetWindowEnabled(bool enabled) {
    if (!enabled)
        ranRows_ = true;
    ::EnableWindow(Handle(), enabled ? TRUE : FALSE);
    ShowProgress();
}

// While a run walks the rows (the window disabled) the bar and the label are repainted at most
// every 40 ms: painting them for every row would cost more than moving the file. The values are
// kept, and the window being enabled again shows the last ones.
void MainForm::ShowProgress() {
    const ULONGLONG now = ::GetTickCount64();
    if (!::IsWindowEnabled(Handle()) && progShown_ && now - progShownAt_ < 40)
        return;
    progShown_ = true;
    progShownAt_ = now;
    if (progLbl_ && *progLbl_ != lblShown_) {
        SetCaption("ProgLbl", *progLbl_);
        lblShown_ = *progLbl_;
    }
    ApplyProgress();
}

void MainForm::SetBusyPointer(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    FormWindow::SetBusy(busy);
}

void MainForm::SetProgMax(float value) {
    progMax_ = value;
    ShowProgress();
}

void MainForm::SetProgMin(float value) {
    progMin_ = value;
    ShowProgress();
}

void MainForm::SetProgValue(float value) {
    progValue_ = value;
    ShowProgress();
}

void MainForm::ApplyProgress() {
    const forms::WholeProgress p = forms::ToWholeProgress(progMin_, progMax_, progValue_);
    HWND bar = Control("TranProg");
    ::SendMessageW(bar, PBM_SETRANGE32, WPARAM(p.min), LPARAM(p.max));
    ::SendMessageW(bar, PBM_SETPOS, WPARAM(p.value), 0);
}

void MainForm::ShowEndProg() {
    SetVisible("EndProg", true);
}

void MainForm::ShowProblem(const std::string& message) {
    ::MessageBoxW(Handle(), Widen(message).c_str(), L"Lodestow", MB_OK | MB_ICONWARNING);
}

void MainForm::ShowRefusal(const std::string& message, const std::string&) {
    const std::wstring question =
        Widen(message) + L"\n\nStart Lodestow again as administrator now, on the same game?";
    if (::MessageBoxW(Handle(), question.c_str(), L"Lodestow", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    // The new program takes over: this one closes once it has started.
    if (platform::StartElevated({forms::ElevatedGameOption, UnrealMOD::GameFolder}))
        ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
    else
        ShowProblem("Lodestow could not be started as administrator.");
}

} // namespace win32ui
