#include "ui-win32/FormWindow.h"

#include <algorithm>
#include <cmath>

namespace win32ui {

namespace {

constexpr wchar_t WindowClass[] = L"LodestowForm";
constexpr int FirstControlId = 100;
// Rows of a drop-down list when it is open.
constexpr int DropDownRows = 8;
// A list row: 16 pixels at 96 dpi.
constexpr float RowTwips = 240;
// A text box's margins, in pixels a side: the font's own leave a count box room for four digits.
constexpr int TextMargin = 1;

bool& BusyFlag() {
    static bool busy = false;
    return busy;
}

COLORREF ToColorRef(const forms::Rgb& c) {
    return RGB(c.r, c.g, c.b);
}

// A callback of the system's own calling convention (a lambda has another on 32-bit Windows).
int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(HDC dc, const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(dc, &wanted, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The face itself where it is installed, else the first stand-in that is; with none of them the
// system substitutes for the face asked for.
std::wstring FaceToUse(HDC dc, const char* face) {
    const std::wstring asked = Widen(face);
    if (!dc || FaceInstalled(dc, asked))
        return asked;
    for (const char* standIn : forms::StandInFaces(face))
        if (FaceInstalled(dc, Widen(standIn)))
            return Widen(standIn);
    return asked;
}

} // namespace

int WindowDpi(HWND hwnd) {
    // Looked up, not imported: Windows 7 and 8 have no such function.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (hwnd && forWindow)
        if (const UINT dpi = forWindow(hwnd); dpi > 0)
            return int(dpi);
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : forms::BaseDpi;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : forms::BaseDpi;
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(std::max(n, 0)), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string utf8(std::size_t(std::max(n, 0)), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr,
                              nullptr);
    return utf8;
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Handle(hwnd, msg, wParam, lParam);
}

namespace {

void RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = FormProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = WindowClass;
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

FormWindow* FormWindow::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    wchar_t name[64] = {};
    if (!::GetClassNameW(hwnd, name, 64) || std::wstring_view(name) != WindowClass)
        return nullptr;
    return reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

FormWindow::FormWindow(const forms::Form& form) : form_(form), windowRect_(form.rect) {
    RegisterWindowClass();
    items_.reserve(form.controls.size());
    for (const forms::Control& c : form.controls)
        items_.push_back({&c, nullptr, c.rect, c.caption, c.visible, nullptr});

    dpi_ = WindowDpi(nullptr);
    // Hidden until the load has run; no border, no title bar; listed where the system lists
    // programs.
    hwnd_ = ::CreateWindowExW(WS_EX_APPWINDOW, WindowClass, Widen(form.title).c_str(),
                              WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0,
                              Px(form.rect.width), Px(form.rect.height), nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
    if (!hwnd_)
        return;
    dpi_ = WindowDpi(hwnd_);
    SetWindowRect(windowRect_);
    CreateChildren(hwnd_, form.name);
}

FormWindow::~FormWindow() {
    Destroy();
    for (auto& [key, font] : fonts_)
        ::DeleteObject(font);
    for (auto& [name, fit] : fitted_)
        if (fit.font)
            ::DeleteObject(fit.font);
    for (auto& [colour, brush] : brushes_)
        ::DeleteObject(brush);
    for (Item& item : items_)
        if (item.picture)
            ::DeleteObject(item.picture);
}

void FormWindow::Destroy() {
    if (hwnd_)
        ::DestroyWindow(hwnd_);
}

void FormWindow::CreateChildren(HWND parent, std::string_view container) {
    // Front to back: each new window goes behind the ones made before it.
    for (const forms::Control* c : forms::Children(form_, container)) {
        if (!forms::Windowed(c->kind))
            continue;
        const auto index = std::size_t(c - form_.controls.data());
        Item& item = items_[index];
        item.hwnd = CreateControl(parent, item, FirstControlId + int(index));
        if (!item.hwnd)
            continue;
        ::SetWindowPos(item.hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (forms::IsContainer(c->kind))
            CreateChildren(item.hwnd, c->name);
    }
}

HWND FormWindow::CreateControl(HWND parent, Item& item, int id) {
    const forms::Control& c = *item.def;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (item.visible ? WS_VISIBLE : 0);
    DWORD exStyle = 0;
    const wchar_t* cls = nullptr;
    std::wstring text = Widen(c.caption);
    switch (c.kind) {
    case forms::Kind::PictureBox:
        cls = WindowClass;
        style |= WS_CLIPCHILDREN;
        exStyle = WS_EX_CLIENTEDGE; // the single sunken border, inside the control's size
        break;
    case forms::Kind::Frame:
        cls = WindowClass;
        style |= WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case forms::Kind::TextBox:
        cls = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case forms::Kind::ListBox:
        // The catalogue's lists hold no text: the window draws each row from its catalogue, so
        // a list of a million rows costs next to nothing.
        cls = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_NODATA |
                 LBS_OWNERDRAWFIXED;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case forms::Kind::DirList:
        cls = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED |
                 LBS_HASSTRINGS;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case forms::Kind::DriveList:
        cls = L"COMBOBOX";
        // Drawn by the window: each drive with its picture.
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
        break;
    case forms::Kind::CommandButton:
        cls = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case forms::Kind::ProgressBar:
        cls = PROGRESS_CLASSW;
        text.clear();
        break;
    case forms::Kind::Label:
    case forms::Kind::Image:
        return nullptr;
    }
    if (forms::IsContainer(c.kind))
        text.clear(); // a panel draws its own caption
    RECT r = PixelRect(item.rect);
    int height = r.bottom - r.top;
    if (c.kind == forms::Kind::DriveList)
        height += DropDownRows * Px(RowTwips); // the size given is the closed box
    HWND hwnd = ::CreateWindowExW(
        exStyle, cls, text.c_str(), style, r.left, r.top, r.right - r.left, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), this);
    if (!hwnd)
        return nullptr;
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c)), FALSE);
    if (c.kind == forms::Kind::DriveList) {
        // The closed box keeps the height it was given.
        const int field = std::max(Px(120), Px(item.rect.height) - Px(90));
        ::SendMessageW(hwnd, CB_SETITEMHEIGHT, WPARAM(-1), field);
    }
    if (c.kind == forms::Kind::TextBox) {
        // Not the margins WM_SETFONT gives: see TextMargin.
        ::SendMessageW(hwnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                       MAKELPARAM(TextMargin, TextMargin));
    }
    if (c.kind == forms::Kind::ProgressBar)
        ::SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
    return hwnd;
}

HFONT FormWindow::FontFor(const forms::Control& control) {
    const forms::Font font = control.font.value_or(form_.font);
    // Points at the window's DPI, the pixel height rounded down so that a caption that fits at
    // 96 dpi still fits when the font grows with its control.
    return SizedFont(control, int(std::floor(double(font.points) * dpi_ / 72.0 + 1e-6)));
}

HFONT FormWindow::SizedFont(const forms::Control& control, int height) {
    const forms::Font font = control.font.value_or(form_.font);
    const auto key = std::make_pair(std::string(font.face), height * 2 + (font.bold ? 1 : 0));
    if (auto it = fonts_.find(key); it != fonts_.end())
        return it->second;
    HDC screen = ::GetDC(nullptr);
    const std::wstring face = FaceToUse(screen, font.face);
    if (screen)
        ::ReleaseDC(nullptr, screen);
    // Height and weight as asked for, whatever face stands in.
    HFONT hfont = ::CreateFontW(-height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    fonts_[key] = hfont;
    return hfont;
}

HFONT FormWindow::CaptionFont(std::string_view name) {
    const Item* item = Find(name);
    if (!item)
        return nullptr;
    if (item->def->kind != forms::Kind::Label)
        return FontFor(*item->def);
    HDC dc = ::GetDC(nullptr);
    const RECT r = PixelRect(item->rect);
    HFONT font =
        LabelFont(dc, *item->def, Widen(item->caption), r.right - r.left, r.bottom - r.top);
    ::ReleaseDC(nullptr, dc);
    return font;
}

HFONT FormWindow::LabelFont(HDC dc, const forms::Control& control, const std::wstring& text,
                            int width, int height) {
    // A face's widths do not grow in step with its height (bitmap faces come in a few sizes,
    // hinting rounds each letter): where the words would wrap onto a line more than the label
    // has, or a word stick out, the font is made a pixel smaller until they fit. The last line's
    // descenders may touch the edge, as they do at 96 dpi.
    HFONT font = FontFor(control);
    LOGFONTW asked{};
    ::GetObjectW(font, sizeof asked, &asked);
    const int base = std::abs(int(asked.lfHeight));
    const HGDIOBJ old = ::GetCurrentObject(dc, OBJ_FONT);
    for (int size = base; size > base / 2; --size) {
        font = size == base ? font : SizedFont(control, size);
        ::SelectObject(dc, font);
        RECT need{0, 0, width, 0};
        ::DrawTextW(dc, text.c_str(), int(text.size()), &need,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        if (need.right <= width && need.bottom - metrics.tmDescent <= height)
            break;
    }
    ::SelectObject(dc, old);
    return font;
}

HBRUSH FormWindow::Brush(const forms::Rgb& colour) {
    const COLORREF ref = ToColorRef(colour);
    if (auto it = brushes_.find(ref); it != brushes_.end())
        return it->second;
    HBRUSH brush = ::CreateSolidBrush(ref);
    brushes_[ref] = brush;
    return brush;
}

FormWindow::Item* FormWindow::Find(std::string_view name) {
    for (Item& item : items_)
        if (name == item.def->name && item.def->index < 0)
            return &item;
    return nullptr;
}

const FormWindow::Item* FormWindow::Find(std::string_view name) const {
    return const_cast<FormWindow*>(this)->Find(name);
}

FormWindow::Item* FormWindow::FindByHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    for (Item& item : items_)
        if (item.hwnd == hwnd)
            return &item;
    return nullptr;
}

HWND FormWindow::Control(std::string_view name) const {
    const Item* item = Find(name);
    return item ? item->hwnd : nullptr;
}

HWND FormWindow::ParentOf(const Item& item) const {
    if (form_.name == std::string_view(item.def->container))
        return hwnd_;
    return Control(item.def->container);
}

std::string FormWindow::ContainerName(HWND hwnd) const {
    if (hwnd == hwnd_)
        return form_.name;
    for (const Item& item : items_)
        if (item.hwnd == hwnd)
            return item.def->name;
    return {};
}

RECT FormWindow::PixelRect(const forms::TwipsRect& r) const {
    const int left = Px(r.left), top = Px(r.top);
    return {left, top, left + std::max(Px(r.width), 0), top + std::max(Px(r.height), 0)};
}

forms::TwipsRect FormWindow::Rect(std::string_view name) const {
    const Item* item = Find(name);
    return item ? item->rect : forms::TwipsRect{};
}

void FormWindow::InvalidateItem(const Item& item) {
    if (HWND parent = ParentOf(item)) {
        const RECT r = PixelRect(item.rect);
        ::InvalidateRect(parent, &r, TRUE);
    }
}

void FormWindow::SetRect(std::string_view name, const forms::TwipsRect& r) {
    Item* item = Find(name);
    if (!item)
        return;
    if (!item->hwnd) {
        InvalidateItem(*item);
        item->rect = r;
        InvalidateItem(*item);
        return;
    }
    item->rect = r;
    const RECT px = PixelRect(r);
    int height = px.bottom - px.top;
    if (item->def->kind == forms::Kind::DriveList)
        height += DropDownRows * Px(RowTwips);
    ::MoveWindow(item->hwnd, px.left, px.top, px.right - px.left, height, TRUE);
}

void FormWindow::SetWindowRect(const forms::TwipsRect& r) {
    windowRect_ = r;
    if (hwnd_)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, std::max(Px(r.width), 0), std::max(Px(r.height), 0),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

int WidestOf(HDC dc, HFONT font, const std::vector<std::string>& samples) {
    const HGDIOBJ old = ::SelectObject(dc, font);
    int widest = 0;
    for (const std::string& sample : samples) {
        const std::wstring wide = Widen(sample);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &extent);
        widest = std::max(widest, int(extent.cx));
    }
    ::SelectObject(dc, old);
    return widest;
}

} // namespace

void FormWindow::FitCaptions(std::string_view name, std::vector<std::string> samples) {
    auto [it, added] = fitted_.try_emplace(std::string(name));
    it->second.samples = std::move(samples);
    Fit(name, it->second);
}

void FormWindow::Fit(std::string_view name, Fitted& fit) {
    const Item* item = Find(name);
    if (!item || !item->hwnd)
        return;
    HFONT base = FontFor(*item->def);
    HFONT chosen = base;
    RECT client{};
    ::GetClientRect(item->hwnd, &client);
    const int room = int(client.right) - 2 * TextMargin;
    HDC dc = ::GetDC(item->hwnd);
    int widest = WidestOf(dc, base, fit.samples);
    if (widest > room && room > 0) {
        // A bitmap face (MS Sans Serif is one) cannot be narrowed; the font mapper's TrueType
        // face of the same height can, by giving it a smaller average width.
        LOGFONTW face{};
        ::GetObjectW(base, sizeof face, &face);
        face.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        face.lfWidth = 0;
        for (int attempt = 0; attempt < 8 && widest > room; ++attempt) {
            HFONT font = ::CreateFontIndirectW(&face);
            if (!font)
                break;
            const HGDIOBJ old = ::SelectObject(dc, font);
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(dc, &metrics);
            ::SelectObject(dc, old);
            if (chosen != base)
                ::DeleteObject(chosen);
            chosen = font;
            widest = WidestOf(dc, font, fit.samples);
            if (widest <= room)
                break;
            face.lfWidth = std::max<LONG>(1, LONG(metrics.tmAveCharWidth) * room / widest -
                                                 (attempt > 0 ? attempt : 0));
        }
    }
    ::ReleaseDC(item->hwnd, dc);
    ::SendMessageW(item->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
    // A new font brings its own margins.
    ::SendMessageW(item->hwnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                   MAKELPARAM(TextMargin, TextMargin));
    if (fit.font && fit.font != chosen)
        ::DeleteObject(fit.font);
    fit.font = chosen == base ? nullptr : chosen;
}

void FormWindow::ApplyDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_)
        return;
    dpi_ = dpi;
    // New fonts first, then the old ones go once no control holds them.
    std::map<std::pair<std::string, int>, HFONT> old;
    old.swap(fonts_);
    for (Item& item : items_) {
        if (!item.hwnd)
            continue;
        ::SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(*item.def)), FALSE);
        if (item.def->kind == forms::Kind::TextBox)
            ::SendMessageW(item.hwnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                           MAKELPARAM(TextMargin, TextMargin));
        if (item.def->kind == forms::Kind::DirList || item.def->kind == forms::Kind::ListBox)
            ::SendMessageW(item.hwnd, LB_SETITEMHEIGHT, 0, Px(RowTwips));
        if (item.def->kind == forms::Kind::DriveList) {
            ::SendMessageW(item.hwnd, CB_SETITEMHEIGHT, WPARAM(-1),
                           std::max(Px(120), Px(item.rect.height) - Px(90)));
            ::SendMessageW(item.hwnd, CB_SETITEMHEIGHT, 0, Px(RowTwips));
        }
    }
    for (const Item& item : items_)
        SetRect(item.def->name, item.rect);
    SetWindowRect(windowRect_);
    for (auto& [name, fit] : fitted_)
        Fit(name, fit);
    for (auto& [key, font] : old)
        ::DeleteObject(font);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void FormWindow::SetVisible(std::string_view name, bool visible) {
    Item* item = Find(name);
    if (!item)
        return;
    item->visible = visible;
    if (item->hwnd)
        ::ShowWindow(item->hwnd, visible ? SW_SHOWNA : SW_HIDE);
    else
        InvalidateItem(*item);
}

bool FormWindow::Visible(std::string_view name) const {
    const Item* item = Find(name);
    return item && item->visible;
}

void FormWindow::SetCaption(std::string_view name, const std::string& text) {
    Item* item = Find(name);
    if (!item)
        return;
    item->caption = text;
    if (item->hwnd && !forms::IsContainer(item->def->kind))
        ::SetWindowTextW(item->hwnd, Widen(text).c_str());
    else if (item->hwnd)
        ::InvalidateRect(item->hwnd, nullptr, TRUE);
    else
        InvalidateItem(*item);
}

std::string FormWindow::Caption(std::string_view name) const {
    const Item* item = Find(name);
    if (!item)
        return {};
    if (!item->hwnd || forms::IsContainer(item->def->kind))
        return item->caption;
    std::wstring text(std::size_t(::GetWindowTextLengthW(item->hwnd)) + 1, L'\0');
    text.resize(std::size_t(::GetWindowTextW(item->hwnd, text.data(), int(text.size()))));
    return Narrow(text);
}

void FormWindow::SetPicture(std::string_view name, HBITMAP picture) {
    Item* item = Find(name);
    if (!item) {
        if (picture)
            ::DeleteObject(picture);
        return;
    }
    if (item->picture)
        ::DeleteObject(item->picture);
    item->picture = picture;
    if (item->def->kind == forms::Kind::PictureBox && picture) {
        BITMAP info{};
        ::GetObjectW(picture, sizeof info, &info);
        // A picture's pixels and its border are counted as on a 96 dpi display, so the box keeps
        // its twips at any DPI (and the picture is stretched to them).
        const float border = forms::PixelsToTwips(2 * ::GetSystemMetrics(SM_CXEDGE));
        forms::TwipsRect r = item->rect;
        r.width = forms::PixelsToTwips(info.bmWidth) + border;
        r.height = forms::PixelsToTwips(info.bmHeight) + border;
        SetRect(name, r);
    }
    if (item->hwnd)
        ::InvalidateRect(item->hwnd, nullptr, TRUE);
    else
        InvalidateItem(*item);
}

void FormWindow::CentreAndShow() {
    if (!hwnd_)
        return;
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const int w = Px(windowRect_.width), h = Px(windowRect_.height);
    ::SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
                   area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
    for (const forms::Control* c : forms::FocusOrder(form_)) {
        HWND h = Control(c->name);
        if (h && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) {
            ::SetFocus(h);
            break;
        }
    }
}

const forms::Control* FormWindow::Focused() const {
    for (HWND h = ::GetFocus(); h && h != hwnd_; h = ::GetParent(h))
        for (const Item& item : items_)
            if (item.hwnd == h)
                return item.def;
    return nullptr;
}

void FormWindow::FocusNext(bool backwards) {
    const auto order = forms::FocusOrder(form_);
    if (order.empty())
        return;
    const forms::Control* now = Focused();
    const auto at = std::find(order.begin(), order.end(), now);
    const int n = int(order.size());
    int index = at == order.end() ? (backwards ? 0 : n - 1) : int(at - order.begin());
    for (int step = 0; step < n; ++step) {
        index = (index + (backwards ? n - 1 : 1)) % n;
        HWND h = Control(order[std::size_t(index)]->name);
        if (h && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) {
            ::SetFocus(h);
            return;
        }
    }
}

void FormWindow::SetBusy(bool busy) {
    BusyFlag() = busy;
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

bool FormWindow::Busy() {
    return BusyFlag();
}

void FormWindow::OnCloseRequest() {
    // While a transfer runs the window is disabled; it is not closed under the transfer's feet.
    if (hwnd_ && ::IsWindowEnabled(hwnd_))
        Destroy();
}

void FormWindow::PaintWindowless(HDC dc, std::string_view container) {
    auto children = forms::Children(form_, container);
    // Back to front, so the ones listed first end up in front.
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        const forms::Control& c = **it;
        if (forms::Windowed(c.kind))
            continue;
        const Item& item = items_[std::size_t(&c - form_.controls.data())];
        if (!item.visible)
            continue;
        RECT r = PixelRect(item.rect);
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        if (c.kind == forms::Kind::Image) {
            if (item.picture) {
                HDC mem = ::CreateCompatibleDC(dc);
                HGDIOBJ old = ::SelectObject(mem, item.picture);
                BITMAP info{};
                ::GetObjectW(item.picture, sizeof info, &info);
                ::SetStretchBltMode(dc, HALFTONE);
                ::SetBrushOrgEx(dc, 0, 0, nullptr);
                ::StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0,
                             info.bmWidth, info.bmHeight, SRCCOPY);
                ::SelectObject(mem, old);
                ::DeleteDC(mem);
            }
        } else {
            if (c.opaque)
                ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
            const std::wstring text = Widen(item.caption);
            ::SelectObject(dc, LabelFont(dc, c, text, r.right - r.left, r.bottom - r.top));
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, c.fore ? ToColorRef(*c.fore) : ::GetSysColor(COLOR_BTNTEXT));
            UINT format = DT_WORDBREAK | DT_NOPREFIX | DT_TOP;
            format |= c.align == forms::Align::Right    ? DT_RIGHT
                      : c.align == forms::Align::Centre ? DT_CENTER
                                                        : DT_LEFT;
            ::DrawTextW(dc, text.c_str(), int(text.size()), &r, format);
        }
        ::RestoreDC(dc, saved);
    }
}

void FormWindow::Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT client;
    ::GetClientRect(hwnd, &client);
    const std::string container = ContainerName(hwnd);
    const Item* self = hwnd == hwnd_ ? nullptr : FindByHandle(hwnd);
    const std::optional<forms::Rgb> back = self ? self->def->back : form_.back;
    ::FillRect(dc, &client, back ? Brush(*back) : ::GetSysColorBrush(COLOR_BTNFACE));

    if (self && self->picture) {
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, self->picture);
        BITMAP info{};
        ::GetObjectW(self->picture, sizeof info, &info);
        // Stretched to its size at the window's DPI, smoothly.
        const int width = Px(forms::PixelsToTwips(info.bmWidth));
        const int height = Px(forms::PixelsToTwips(info.bmHeight));
        if (width == info.bmWidth && height == info.bmHeight) {
            ::BitBlt(dc, 0, 0, width, height, mem, 0, 0, SRCCOPY);
        } else {
            ::SetStretchBltMode(dc, HALFTONE);
            ::SetBrushOrgEx(dc, 0, 0, nullptr);
            ::StretchBlt(dc, 0, 0, width, height, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        }
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    if (self && self->def->kind == forms::Kind::Frame && self->def->border) {
        // An ordinary frame: an etched line around it, the caption set into the top line.
        ::SelectObject(dc, FontFor(*self->def));
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        RECT edge = client;
        edge.top += metrics.tmHeight / 2;
        ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
        const std::wstring caption = Widen(self->caption);
        if (!caption.empty()) {
            RECT text{8, 0, client.right - 8, metrics.tmHeight};
            ::SetBkMode(dc, OPAQUE);
            ::SetBkColor(dc, back ? ToColorRef(*back) : ::GetSysColor(COLOR_BTNFACE));
            ::SetTextColor(dc, self->def->fore ? ToColorRef(*self->def->fore)
                                               : ::GetSysColor(COLOR_BTNTEXT));
            const std::wstring padded = L" " + caption + L" ";
            ::DrawTextW(dc, padded.c_str(), int(padded.size()), &text,
                        DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        }
    }
    PaintWindowless(dc, container);
    ::EndPaint(hwnd, &ps);
}

LRESULT FormWindow::ControlColour(HDC dc, HWND control) {
    const Item* item = FindByHandle(control);
    if (!item)
        return 0;
    const forms::Control& c = *item->def;
    if (c.kind == forms::Kind::CommandButton) {
        // The corners around a button show its container's colour.
        const Item* parent = Find(c.container);
        const std::optional<forms::Rgb> back = parent ? parent->def->back : form_.back;
        return reinterpret_cast<LRESULT>(back ? Brush(*back) : ::GetSysColorBrush(COLOR_BTNFACE));
    }
    if (!c.back && !c.fore)
        return 0;
    if (c.fore)
        ::SetTextColor(dc, ToColorRef(*c.fore));
    if (c.back) {
        ::SetBkColor(dc, ToColorRef(*c.back));
        return reinterpret_cast<LRESULT>(Brush(*c.back));
    }
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
}

LRESULT FormWindow::Handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (const LRESULT brush =
                ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return brush;
        break;
    case WM_COMMAND: {
        const auto index = std::size_t(LOWORD(wParam)) - FirstControlId;
        if (lParam && index < items_.size() && items_[index].hwnd) {
            OnCommand(*items_[index].def, HIWORD(wParam));
            return 0;
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        measure->itemHeight = UINT(Px(RowTwips));
        return TRUE;
    }
    case WM_DPICHANGED:
        if (hwnd == hwnd_) {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ApplyDpi(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const auto index = std::size_t(draw->CtlID) - FirstControlId;
        if (index < items_.size()) {
            OnDrawItem(*items_[index].def, *draw);
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONDOWN:
        if (const Item* item = FindByHandle(hwnd); item && forms::TakesFocus(item->def->kind))
            ::SetFocus(hwnd);
        return 0;
    case WM_MOUSEMOVE: {
        const std::string container = ContainerName(hwnd);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        // A move over a windowless control is a move over that control, not over the surface.
        for (const forms::Control* c : forms::Children(form_, container)) {
            const Item& item = items_[std::size_t(c - form_.controls.data())];
            if (!forms::Windowed(c->kind) && item.visible) {
                const RECT r = PixelRect(item.rect);
                if (::PtInRect(&r, at))
                    return 0;
            }
        }
        const int buttons = ((wParam & MK_LBUTTON) ? 1 : 0) + ((wParam & MK_RBUTTON) ? 2 : 0) +
                            ((wParam & MK_MBUTTON) ? 4 : 0);
        OnSurfaceMouseMove(container, buttons);
        return 0;
    }
    case WM_SETCURSOR:
        if (Busy()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        if (hwnd == hwnd_) {
            OnCloseRequest();
            return 0;
        }
        break;
    case WM_NCDESTROY:
        if (hwnd == hwnd_) {
            hwnd_ = nullptr;
            for (Item& item : items_)
                item.hwnd = nullptr;
            OnDestroyed();
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RouteKey(MSG& msg) {
    if (msg.message != WM_KEYDOWN)
        return false;
    FormWindow* form = FormWindow::FromHandle(::GetAncestor(msg.hwnd, GA_ROOT));
    if (!form)
        return false;
    if (msg.wParam == VK_TAB) {
        form->FocusNext(::GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (msg.wParam == VK_RETURN) {
        const forms::Control* focused = form->Focused();
        if (!focused)
            return false;
        if (focused->kind == forms::Kind::CommandButton) {
            ::SendMessageW(form->Control(focused->name), BM_CLICK, 0, 0);
            return true;
        }
        form->OnReturnKey(*focused);
        return focused->kind == forms::Kind::DirList;
    }
    return false;
}

} // namespace win32ui
