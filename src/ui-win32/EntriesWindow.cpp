#include "ui-win32/EntriesWindow.h"

#include "catalogue/CacheIndex.h"
#include "forms/Twips.h"
#include "platform/FileSystem.h"
#include "runtime/Globals.h"
#include "transfer/Replace.h"
#include "ui-win32/FormWindow.h"
#include "ui-win32/MainForm.h"

#include <algorithm>

namespace win32ui {

namespace {

constexpr wchar_t EntriesClass[] = L"LodestowEntries";
enum : int { FilterId = 101, KindsId, ListId, StatusId, MoveId };
enum : UINT { KeepCommand = 1, InstallCommand };
constexpr UINT_PTR ExamineTimer = 1;
// Spare-time examination takes this long at most before the window handles its messages again.
constexpr DWORD ExamineSliceMs = 20;

// State images: 1 unchecked, 2 checked, 3 unchecked and not checkable.
enum : int { Unchecked = 1, Checked, Disabled };

forms::EntriesColumn ColumnAt(int subItem) {
    return static_cast<forms::EntriesColumn>(std::clamp(subItem, 0, forms::EntriesColumnCount - 1));
}

void CopyText(const std::wstring& text, wchar_t* to, int room) {
    if (!to || room <= 0)
        return;
    const std::size_t n = std::min(text.size(), std::size_t(room - 1));
    text.copy(to, n);
    to[n] = L'\0';
}

// A check box as the system draws one, on a colour the image list takes as transparent.
HBITMAP CheckBoxPicture(UINT state) {
    constexpr COLORREF clear = RGB(255, 0, 255);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    HBRUSH brush = ::CreateSolidBrush(clear);
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    RECT box{1, 1, 14, 14};
    ::DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | state);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return bitmap;
}

// The sort arrow a header shows beside its caption.
HBITMAP ArrowPicture(bool up) {
    constexpr int w = 9, h = 8;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECT all{0, 0, w, h};
    ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH ink = ::CreateSolidBrush(::GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldBrush = ::SelectObject(dc, ink);
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    const POINT upward[] = {{0, 6}, {4, 1}, {9, 6}}, downward[] = {{0, 2}, {4, 7}, {9, 2}};
    ::Polygon(dc, up ? upward : downward, 3);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(ink);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return bitmap;
}

EntriesWindow* FromHandle(HWND hwnd) {
    wchar_t name[64] = {};
    if (!hwnd || !::GetClassNameW(hwnd, name, 64) || std::wstring_view(name) != EntriesClass)
        return nullptr;
    return reinterpret_cast<EntriesWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

} // namespace

LRESULT CALLBACK EntriesProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<EntriesWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<EntriesWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Handle(msg, wParam, lParam);
}

// The filter box shows its cue while it is empty and not being typed in (drawn here: the classic
// edit control has no cue of its own).
LRESULT CALLBACK FilterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = FromHandle(::GetAncestor(hwnd, GA_ROOT));
    if (!self || !self->filterProc_)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    const LRESULT result = ::CallWindowProcW(self->filterProc_, hwnd, msg, wParam, lParam);
    if (msg == WM_SETFOCUS || msg == WM_KILLFOCUS)
        ::InvalidateRect(hwnd, nullptr, TRUE);
    if (msg == WM_PAINT && ::GetWindowTextLengthW(hwnd) == 0 && ::GetFocus() != hwnd) {
        HDC dc = ::GetDC(hwnd);
        RECT r;
        ::GetClientRect(hwnd, &r);
        r.left += 2;
        const HGDIOBJ old = ::SelectObject(dc, self->font_);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        const std::wstring cue = Widen(forms::FilterCue);
        ::DrawTextW(dc, cue.c_str(), int(cue.size()), &r,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SelectObject(dc, old);
        ::ReleaseDC(hwnd, dc);
    }
    return result;
}

// A new cell under the pointer takes down the tooltip of the one before; the next pause shows its
// own (the list-view's own tips are per row, and not shown everywhere).
LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = FromHandle(::GetAncestor(hwnd, GA_ROOT));
    if (!self || !self->listProc_)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_MOUSEMOVE && self->tips_) {
        LVHITTESTINFO hit{};
        hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const int row = ListView_SubItemHitTest(hwnd, &hit) >= 0 ? hit.iItem : -1;
        const std::pair<int, int> cell{row, row >= 0 ? hit.iSubItem : -1};
        if (cell != self->tipCell_) {
            self->tipCell_ = cell;
            ::SendMessageW(self->tips_, TTM_POP, 0, 0);
        }
    }
    return ::CallWindowProcW(self->listProc_, hwnd, msg, wParam, lParam);
}

EntriesWindow::EntriesWindow(MainForm& main) : main_(main) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = EntriesProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = EntriesClass;
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

    dpi_ = WindowDpi(main.Handle());
    RECT frame{0, 0, Px(forms::EntriesDefaultWidth), Px(forms::EntriesDefaultHeight)};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
    // Owned by the main window: it closes with it and stays in front of it.
    ::CreateWindowExW(WS_EX_CONTROLPARENT, EntriesClass, Widen(forms::EntriesWindowTitle()).c_str(),
                      style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                      frame.bottom - frame.top, main.Handle(), nullptr, ::GetModuleHandleW(nullptr),
                      this);
    if (!hwnd_)
        return;
    if (HICON icon =
            reinterpret_cast<HICON>(::SendMessageW(main.Handle(), WM_GETICON, ICON_SMALL, 0)))
        ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    CreateControls();
    LayOut();
    Reload();
}

EntriesWindow::~EntriesWindow() {
    Close();
    if (checks_)
        ::ImageList_Destroy(checks_);
    if (arrowUp_)
        ::DeleteObject(arrowUp_);
    if (arrowDown_)
        ::DeleteObject(arrowDown_);
}

void EntriesWindow::CreateControls() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto make = [&](DWORD exStyle, const wchar_t* cls, const std::wstring& text, DWORD style,
                          int id) {
        HWND h = ::CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                                   10, 10, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   instance, nullptr);
        ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return h;
    };
    // Created in the keyboard order: the list, the filter, the kinds, "Move checked". The list
    // shares the check box pictures: the window makes them and destroys them.
    list_ = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                 WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                 ListId);
    filter_ = make(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, FilterId);
    kinds_ = make(0, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, KindsId);
    status_ = make(0, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_CENTERIMAGE, StatusId);
    move_ =
        make(0, L"BUTTON", Widen(forms::MoveCheckedCaption), WS_TABSTOP | BS_PUSHBUTTON, MoveId);

    filterProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(filter_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilterProc)));
    // Each item carries its kind (-1: every kind): the kinds listed are the game's own.
    const auto choices = forms::KindFilterChoices();
    const auto items = forms::KindFilterItems();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const auto at = ::SendMessageW(kinds_, CB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(Widen(items[i]).c_str()));
        ::SendMessageW(kinds_, CB_SETITEMDATA, WPARAM(at),
                       LPARAM(choices[i] ? static_cast<int>(*choices[i]) : -1));
    }
    ::SendMessageW(kinds_, CB_SETCURSEL, 0, 0);

    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    listProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    if (tips_) {
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(list_);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 640); // lines break at "\n"
    }
    for (int c = 0; c < forms::EntriesColumnCount; ++c) {
        const forms::EntriesColumn column = ColumnAt(c);
        std::wstring title = Widen(forms::ColumnTitle(column));
        LVCOLUMNW def{};
        def.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        def.fmt = column == forms::EntriesColumn::Size ? LVCFMT_RIGHT : LVCFMT_LEFT;
        def.cx = Px(forms::ColumnWidth(column));
        def.pszText = title.data();
        def.iSubItem = c;
        ListView_InsertColumn(list_, c, &def);
    }
    // The check boxes are state images the list asks the model for.
    checks_ = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 0);
    for (const UINT state : {UINT(0), UINT(DFCS_CHECKED), UINT(DFCS_INACTIVE)}) {
        HBITMAP picture = CheckBoxPicture(state);
        ::ImageList_AddMasked(checks_, picture, RGB(255, 0, 255));
        ::DeleteObject(picture);
    }
    ListView_SetImageList(list_, checks_, LVSIL_STATE);
    ListView_SetCallbackMask(list_, LVIS_STATEIMAGEMASK);
    arrowUp_ = ArrowPicture(true);
    arrowDown_ = ArrowPicture(false);
}

void EntriesWindow::LayOut() {
    RECT client;
    ::GetClientRect(hwnd_, &client);
    const forms::EntriesLayout layout = forms::LayOutEntries(
        forms::PixelsToTwips(client.right, dpi_), forms::PixelsToTwips(client.bottom, dpi_));
    const auto place = [this](HWND h, const forms::TwipsRect& r, int extra = 0) {
        ::MoveWindow(h, Px(r.left), Px(r.top), Px(r.width), Px(r.height) + extra, TRUE);
    };
    place(filter_, layout.filter);
    place(kinds_, layout.kinds, Px(3000)); // the height given is the closed box
    place(list_, layout.list);
    place(status_, layout.status);
    place(move_, layout.moveChecked);
}

void EntriesWindow::Show() {
    if (!hwnd_)
        return;
    model_.ExamineWhenShown(false);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::SetFocus(list_);
    if (model_.Shown() > 0 && ListView_GetNextItem(list_, -1, LVNI_FOCUSED) < 0)
        ListView_SetItemState(list_, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    ::UpdateWindow(hwnd_);
    // On the screen: the rows in sight get their facts now, the others in spare time.
    model_.ExamineWhenShown(true);
    ::InvalidateRect(list_, nullptr, FALSE);
    if (model_.Unexamined() > 0)
        ::SetTimer(hwnd_, ExamineTimer, 1, nullptr);
}

void EntriesWindow::Close() {
    if (hwnd_)
        ::DestroyWindow(hwnd_);
}

void EntriesWindow::Reload() {
    if (!hwnd_)
        return;
    auto describer = std::make_unique<UnrealMOD::EntryDescriber>(main_);
    model_.Load(*describer, main_.RowCount());
    leftUnchecked_.clear();
    describer_ = std::move(describer); // the one before is no longer in use
    freeBytes_ = platform::FreeSpace(UnrealMOD::GameFolder);
    Unfreeze();
}

void EntriesWindow::Unfreeze() {
    ::EnableWindow(hwnd_, TRUE);
    model_.ExamineWhenShown(true);
    ShowRows();
    if (model_.Unexamined() > 0 && ::IsWindowVisible(hwnd_))
        ::SetTimer(hwnd_, ExamineTimer, 1, nullptr);
}

void EntriesWindow::ReadAgain() {
    Freeze();
    UnrealMOD::ReadCacheIndex(main_);
    Reload();
}

std::vector<UnrealMOD::EntryView> EntriesWindow::Freeze() {
    if (!hwnd_)
        return {};
    ::KillTimer(hwnd_, ExamineTimer);
    model_.ExamineWhenShown(false);
    ::EnableWindow(hwnd_, FALSE);
    return model_.Entries();
}

void EntriesWindow::AfterRun(const std::vector<UnrealMOD::EntryView>& before) {
    if (!hwnd_)
        return;
    model_.Load(UnrealMOD::DescribeEntries(main_, &UnrealMOD::LastRunReport(), &before));
    // What the player left unchecked stays so: moving the rest again must not take it.
    model_.KeepUnchecked(leftUnchecked_);
    leftUnchecked_.clear();
    describer_.reset();
    freeBytes_ = platform::FreeSpace(UnrealMOD::GameFolder);
    Unfreeze();
}

void EntriesWindow::ShowRows() {
    ListView_SetItemCountEx(list_, model_.Shown(), LVSICF_NOSCROLL);
    ::InvalidateRect(list_, nullptr, FALSE);
    ShowSortArrows();
    ShowStatus();
}

void EntriesWindow::ShowStatus() {
    statusShownAt_ = ::GetTickCount();
    ::SetWindowTextW(status_, Widen(model_.StatusLine(freeBytes_)).c_str());
    ::EnableWindow(move_, model_.CheckedCount() > 0 || model_.Unexamined() > 0);
}

void EntriesWindow::ShowSortArrows() {
    HWND header = ListView_GetHeader(list_);
    const auto sorted = model_.SortColumn();
    for (int c = 0; c < forms::EntriesColumnCount; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, c, &item);
        item.fmt &= ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
        item.mask = HDI_FORMAT;
        if (sorted && int(*sorted) == c) {
            item.mask |= HDI_BITMAP;
            item.fmt |= HDF_BITMAP | HDF_BITMAP_ON_RIGHT;
            item.hbm = model_.SortAscending() ? arrowUp_ : arrowDown_;
        }
        Header_SetItem(header, c, &item);
    }
}

void EntriesWindow::Redraw(int shownRow) {
    ListView_RedrawItems(list_, shownRow, shownRow);
}

int EntriesWindow::StateImage(int s) const {
    if (model_.Checked(s))
        return Checked;
    return model_.Checkable(s) ? Unchecked : Disabled;
}

std::vector<int> EntriesWindow::SelectedRows() const {
    std::vector<int> rows;
    for (int s = ListView_GetNextItem(list_, -1, LVNI_SELECTED); s >= 0;
         s = ListView_GetNextItem(list_, s, LVNI_SELECTED))
        rows.push_back(s);
    return rows;
}

void EntriesWindow::ToggleSelected() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    // Every selected row takes the opposite of the first one's check.
    const bool check = !model_.Checked(rows.front());
    for (const int s : rows)
        if (model_.SetChecked(s, check))
            Redraw(s);
    ShowStatus();
}

void EntriesWindow::SortByColumn(int column) {
    const forms::EntriesColumn c = ColumnAt(column);
    const bool ascending = model_.SortColumn() != c || !model_.SortAscending();
    FormWindow::SetBusy(true);
    model_.SortBy(c, ascending);
    FormWindow::SetBusy(false);
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    ShowRows();
}

void EntriesWindow::MoveChecked() {
    // Rows not examined yet are examined now: a choice needs to know which may move.
    FormWindow::SetBusy(model_.Unexamined() > 0);
    const UnrealMOD::RowChoice choice = model_.Choice(main_.RowCount());
    FormWindow::SetBusy(false);
    if (std::find(choice.begin(), choice.end(), true) == choice.end())
        return;
    leftUnchecked_ = model_.LeftUnchecked();
    main_.RunChosen(&choice);
}

void EntriesWindow::InstallCached(const std::vector<int>& shownRows) {
    // Each install reads the catalogue again, so rows are found by their names each time.
    std::vector<std::pair<std::string, std::string>> chosen;
    for (const int s : shownRows)
        if (model_.At(s).Conflict())
            chosen.emplace_back(model_.At(s).cacheName, model_.At(s).fileName);
    if (chosen.empty())
        return;
    Freeze();
    std::string problems;
    for (const auto& [cacheName, fileName] : chosen) {
        for (int r = 0; r < main_.RowCount(); ++r) {
            const UnrealMOD::CatalogueRow row = main_.Row(r);
            if (row.cacheName != cacheName || row.fileName != fileName)
                continue;
            const UnrealMOD::ReplaceOutcome outcome = UnrealMOD::InstallCachedVersion(main_, r);
            if (!outcome.problem.empty())
                problems += (problems.empty() ? "" : "\n") + outcome.problem;
            break;
        }
    }
    Reload();
    if (!problems.empty())
        ::MessageBoxW(hwnd_, Widen(problems).c_str(), Widen(forms::EntriesWindowTitle()).c_str(),
                      MB_OK | MB_ICONWARNING);
}

void EntriesWindow::ShowRowMenu(POINT screen) {
    std::vector<int> rows = SelectedRows();
    const bool conflict =
        std::any_of(rows.begin(), rows.end(), [this](int s) { return model_.At(s).Conflict(); });
    if (!conflict)
        return;
    if (screen.x == -1 && screen.y == -1) { // from the keyboard: at the focused row
        RECT r{};
        const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
        ListView_GetItemRect(list_, std::max(focused, 0), &r, LVIR_LABEL);
        screen = {r.left + 8, r.bottom};
        ::ClientToScreen(list_, &screen);
    }
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, KeepCommand, Widen(forms::KeepInstalledItem).c_str());
    ::AppendMenuW(menu, MF_STRING, InstallCommand, Widen(forms::InstallCachedItem).c_str());
    ::SetMenuDefaultItem(menu, KeepCommand, FALSE);
    const UINT chosen = UINT(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                              screen.y, 0, hwnd_, nullptr));
    ::DestroyMenu(menu);
    if (chosen == InstallCommand)
        InstallCached(rows);
}

void EntriesWindow::ExamineInSpareTime() {
    const DWORD start = ::GetTickCount();
    do
        model_.ExamineSome(32);
    while (model_.Unexamined() > 0 && ::GetTickCount() - start < ExamineSliceMs);
    if (model_.Unexamined() == 0)
        ::KillTimer(hwnd_, ExamineTimer);
    if (model_.Unexamined() == 0 || ::GetTickCount() - statusShownAt_ > 250)
        ShowStatus();
}

LRESULT EntriesWindow::OnNotify(const NMHDR& header, LPARAM lParam) {
    if (header.hwndFrom == tips_ && header.code == TTN_GETDISPINFOW) {
        // The cell's own tip: the full name and cache name, the full GUID, the whole state.
        auto& tip = *reinterpret_cast<NMTTDISPINFOW*>(lParam);
        const auto [row, column] = tipCell_;
        tipText_ = row >= 0 ? Widen(model_.Tooltip(row, ColumnAt(column))) : std::wstring();
        tip.lpszText = tipText_.data();
        return 0;
    }
    if (header.hwndFrom != list_)
        return 0;
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
        if (item.mask & LVIF_TEXT) {
            cellText_ = Widen(model_.Cell(item.iItem, ColumnAt(item.iSubItem)));
            CopyText(cellText_, item.pszText, item.cchTextMax);
        }
        if ((item.mask & LVIF_STATE) && item.iSubItem == 0) {
            item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                         INDEXTOSTATEIMAGEMASK(UINT(StateImage(item.iItem)));
            item.stateMask |= LVIS_STATEIMAGEMASK;
        }
        return 0;
    }
    case LVN_ODFINDITEMW:
        return -1; // typing a name does not jump to it
    case LVN_COLUMNCLICK:
        SortByColumn(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        return 0;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_SPACE)
            ToggleSelected();
        return 0;
    case NM_CLICK:
    case NM_DBLCLK: {
        LVHITTESTINFO hit{};
        ::GetCursorPos(&hit.pt);
        ::ScreenToClient(list_, &hit.pt);
        if (ListView_SubItemHitTest(list_, &hit) >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) &&
            model_.Toggle(hit.iItem)) {
            Redraw(hit.iItem);
            ShowStatus();
        }
        return 0;
    }
    case NM_CUSTOMDRAW: {
        auto& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const int s = int(draw.nmcd.dwItemSpec);
            if (StateImage(s) == Disabled)
                draw.clrText = ::GetSysColor(COLOR_GRAYTEXT);
        }
        return CDRF_DODEFAULT;
    }
    default:
        return 0;
    }
}

LRESULT EntriesWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        if (list_)
            LayOut();
        return 0;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: the size Windows suggests, laid out at its DPI.
        dpi_ = LOWORD(wParam);
        const auto* r = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut();
        return 0;
    }
    case WM_GETMINMAXINFO: {
        RECT frame{0, 0, Px(forms::EntriesMinimumWidth), Px(forms::EntriesMinimumHeight)};
        ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
        return 0;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            Close();
            return 0;
        case FilterId:
            if (HIWORD(wParam) == EN_CHANGE) {
                const int n = ::GetWindowTextLengthW(filter_);
                std::wstring text(std::size_t(n) + 1, L'\0');
                text.resize(std::size_t(::GetWindowTextW(filter_, text.data(), n + 1)));
                model_.SetNameFilter(Narrow(text));
                ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
                ShowRows();
            }
            return 0;
        case KindsId:
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                const auto at = ::SendMessageW(kinds_, CB_GETCURSEL, 0, 0);
                const auto kind =
                    at == CB_ERR ? -1 : int(::SendMessageW(kinds_, CB_GETITEMDATA, WPARAM(at), 0));
                model_.SetKindFilter(kind >= 0 ? std::optional(UnrealMOD::EntryKind(kind))
                                               : std::nullopt);
                ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
                ShowRows();
            }
            return 0;
        case MoveId:
            if (HIWORD(wParam) == BN_CLICKED)
                MoveChecked();
            return 0;
        default:
            break;
        }
        break;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == list_) {
            ShowRowMenu({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == ExamineTimer)
            ExamineInSpareTime();
        return 0;
    case WM_CLOSE:
        if (::IsWindowEnabled(hwnd_))
            Close();
        return 0;
    case WM_NCDESTROY: {
        HWND gone = hwnd_;
        hwnd_ = filter_ = kinds_ = list_ = status_ = move_ = nullptr;
        ::SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
        describer_.reset();
        return ::DefWindowProcW(gone, msg, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

bool EntriesWindow::PreTranslate(MSG& msg) {
    EntriesWindow* self = FromHandle(::GetAncestor(msg.hwnd, GA_ROOT));
    if (!self || !self->hwnd_)
        return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F5) {
        self->ReadAgain();
        return true;
    }
    return ::IsDialogMessageW(self->hwnd_, &msg) != FALSE;
}

} // namespace win32ui
