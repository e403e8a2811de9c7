// The Win32 windows against their definitions: each control the matching system control at its
// place, stacking, keyboard order, the catalogue lists kept together, the picture box taking the
// logo's size. Needs a display (under Wine: an X server).

#include "catalogue/CacheIndex.h"
#include "forms/Definitions.h"
#include "runtime/Globals.h"
#include "transfer/Entries.h"
#include "transfer/Transfer.h"
#include "ui-win32/EntriesWindow.h"
#include "ui-win32/FindUnreal.h"
#include "ui-win32/MainForm.h"
#include "ui-win32/Windows.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    std::wstring lower = name;
    for (wchar_t& c : lower)
        c = wchar_t(std::towlower(c));
    return lower;
}

std::wstring ExpectedClass(forms::Kind kind) {
    switch (kind) {
    case forms::Kind::PictureBox:
    case forms::Kind::Frame:
        return L"lodestowform";
    case forms::Kind::TextBox:
        return L"edit";
    case forms::Kind::ListBox:
    case forms::Kind::DirList:
        return L"listbox";
    case forms::Kind::DriveList:
        return L"combobox";
    case forms::Kind::CommandButton:
        return L"button";
    case forms::Kind::ProgressBar:
        return L"msctls_progress32";
    default:
        return L"";
    }
}

// The control's rectangle in its parent's client area, in pixels.
RECT PlaceInParent(HWND hwnd) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Text(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return win32ui::Narrow(text);
}

void CheckBuiltAsDefined(const win32ui::FormWindow& window) {
    const forms::Form& form = window.Definition();
    SCOPED_TRACE(form.name);
    HWND top = window.Handle();
    ASSERT_NE(top, nullptr);
    const LONG style = ::GetWindowLongW(top, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
    RECT client;
    ::GetClientRect(top, &client);
    EXPECT_EQ(client.right, window.Px(form.rect.width));
    EXPECT_EQ(client.bottom, window.Px(form.rect.height));
    EXPECT_EQ(Text(top), form.title);

    for (const forms::Control& c : form.controls) {
        SCOPED_TRACE(c.name);
        if (c.index >= 0 || !forms::Windowed(c.kind)) {
            if (c.index < 0) {
                EXPECT_EQ(window.Control(c.name), nullptr) << "a windowless control has a window";
            }
            continue;
        }
        HWND hwnd = window.Control(c.name);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(ClassOf(hwnd), ExpectedClass(c.kind));
        HWND parent = form.name == std::string(c.container) ? top : window.Control(c.container);
        EXPECT_EQ(::GetParent(hwnd), parent);
        const RECT r = PlaceInParent(hwnd);
        EXPECT_EQ(r.left, window.Px(c.rect.left));
        EXPECT_EQ(r.top, window.Px(c.rect.top));
        EXPECT_EQ(r.right - r.left, window.Px(c.rect.width));
        if (c.kind != forms::Kind::DriveList) { // its height includes the list that drops down
            EXPECT_EQ(r.bottom - r.top, window.Px(c.rect.height));
        }
        EXPECT_EQ((::GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0, c.visible);
        if (c.kind == forms::Kind::TextBox || c.kind == forms::Kind::CommandButton) {
            EXPECT_EQ(Text(hwnd), c.caption);
        }
    }

    // Stacking: the windowed children of the window and of each container, front to back.
    std::vector<std::string> containers{form.name};
    for (const forms::Control& c : form.controls)
        if (forms::IsContainer(c.kind))
            containers.push_back(c.name);
    for (const std::string& container : containers) {
        HWND parent = container == form.name ? top : window.Control(container);
        std::vector<HWND> expected;
        for (const forms::Control* child : forms::Children(form, container))
            if (forms::Windowed(child->kind))
                expected.push_back(window.Control(child->name));
        std::vector<HWND> actual;
        for (HWND h = ::GetWindow(parent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
            actual.push_back(h);
        EXPECT_EQ(actual, expected) << "children of " << container;
    }
}

// A window with the fonts its captions are drawn in at hand.
template <class Window> struct Measuring : Window {
    using Window::CaptionFont;
    using Window::FontFor;
};
using MeasuringMainForm = Measuring<win32ui::MainForm>;

// Every caption shows whole in its control at the window's DPI: a label's words, wrapped as it
// draws them, within its rectangle; a button's caption on one line inside its edges.
template <class Window> void CheckCaptionsWhole(Measuring<Window>& window) {
    HDC dc = ::GetDC(nullptr);
    for (const forms::Control& c : window.Definition().controls) {
        const bool label = c.kind == forms::Kind::Label;
        if ((!label && c.kind != forms::Kind::CommandButton) || !window.Visible(c.name))
            continue;
        std::wstring text = win32ui::Widen(window.Caption(c.name));
        if (text.empty())
            continue;
        std::erase(text, L'&');
        const forms::TwipsRect twips = window.Rect(c.name);
        const int width = window.Px(twips.width) - (label ? 0 : 4);
        RECT need{0, 0, width, 0};
        const HGDIOBJ old = ::SelectObject(dc, window.CaptionFont(c.name));
        ::DrawTextW(dc, text.c_str(), int(text.size()), &need,
                    DT_CALCRECT | DT_NOPREFIX | (label ? DT_WORDBREAK : DT_SINGLELINE));
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        ::SelectObject(dc, old);
        // The last line's descenders may touch the edge.
        EXPECT_LE(need.right, width) << c.name << " at " << window.Dpi() << " dpi";
        EXPECT_LE(need.bottom - metrics.tmDescent, window.Px(twips.height))
            << c.name << " at " << window.Dpi() << " dpi";
    }
    ::ReleaseDC(nullptr, dc);
}

TEST(Win32Windows, EveryControlIsTheMatchingSystemControlAtItsPlace) {
    MeasuringMainForm main;
    Measuring<win32ui::FindUnreal> location;
    CheckBuiltAsDefined(main);
    CheckBuiltAsDefined(location);
    // The window's own children, front to back.
    EXPECT_EQ(::GetWindow(location.Handle(), GW_CHILD), location.Control("Command3"));
    // Moved to a monitor of another DPI, every control is laid out again at its twips there.
    for (const int dpi : {120, 144, 192, 96}) {
        SCOPED_TRACE(dpi);
        main.ApplyDpi(dpi);
        location.ApplyDpi(dpi);
        EXPECT_EQ(main.Dpi(), dpi);
        CheckBuiltAsDefined(main);
        CheckBuiltAsDefined(location);
        CheckCaptionsWhole(main);
        CheckCaptionsWhole(location);
    }
}

TEST(Win32Windows, TabFollowsTheKeyboardOrderAndSkipsHiddenControls) {
    win32ui::FindUnreal location;
    location.CentreAndShow();
    std::vector<std::string> seen;
    for (int i = 0; i < 7; ++i) {
        const forms::Control* focused = location.Focused();
        seen.push_back(focused ? focused->name : "(none)");
        location.FocusNext(false);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Command2", "Command1", "ThePath", "Drive1", "Dir1",
                                              "Command3", "Command2"}));
    // Now on "Enter"; back twice passes "Cancel" and wraps round to "X".
    location.FocusNext(true);
    location.FocusNext(true);
    ASSERT_NE(location.Focused(), nullptr);
    EXPECT_STREQ(location.Focused()->name, "Command3");

    win32ui::MainForm main;
    main.CentreAndShow();
    ASSERT_NE(main.Focused(), nullptr);
    EXPECT_STREQ(main.Focused()->name, "Picture1");
    main.FocusNext(true); // back from the first: the last one shown ("Exit" is hidden)
    ASSERT_NE(main.Focused(), nullptr);
    EXPECT_STREQ(main.Focused()->name, "ExitProg");
    main.Destroy();
    location.Destroy();
}

int Selected(const win32ui::MainForm& main, const char* list) {
    return int(::SendMessageW(main.Control(list), LB_GETCURSEL, 0, 0));
}

void UserSelects(const win32ui::MainForm& main, const char* list, int row) {
    HWND box = main.Control(list);
    ::SendMessageW(box, LB_SETCURSEL, WPARAM(row), 0);
    ::SendMessageW(::GetParent(box), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(box), LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(box));
}

TEST(Win32Windows, ASelectionIsCarriedToTheOtherListsAndMarksKeepIt) {
    win32ui::MainForm main;
    std::vector<UnrealMOD::CatalogueRow> rows;
    for (char r = '0'; r < '6'; ++r)
        rows.push_back(
            {std::string("F.unr").insert(1, 1, r), std::string("K").append(1, r), "Maps", "NO"});
    main.AppendRows(rows);
    ASSERT_EQ(main.RowCount(), 6);
    EXPECT_EQ(main.Row(4), rows[4]);

    // "FileNameList" passes its row to two lists, which pass it on to "Copied".
    UserSelects(main, "FileNameList", 3);
    for (const char* list : {"FileNameList", "CacheNameList", "DestinationList", "Copied"})
        EXPECT_EQ(Selected(main, list), 3) << list;
    UserSelects(main, "Copied", 1);
    for (const char* list : {"FileNameList", "CacheNameList", "DestinationList", "Copied"})
        EXPECT_EQ(Selected(main, list), 1) << list;

    main.SetCopied(1, "YES");
    main.SetCopied(99, "YES"); // no such row: nothing happens
    EXPECT_EQ(main.Row(1).copied, "YES");
    EXPECT_EQ(Selected(main, "Copied"), 1);
    EXPECT_EQ(main.RowCount(), 6);

    // Every list box has as many rows as the catalogue, before and after a clear.
    const auto counts = [&main] {
        std::vector<LRESULT> n;
        for (const char* list : {"FileNameList", "CacheNameList", "DestinationList", "Copied"})
            n.push_back(::SendMessageW(main.Control(list), LB_GETCOUNT, 0, 0));
        return n;
    };
    EXPECT_EQ(counts(), std::vector<LRESULT>(4, 6));
    main.Clear();
    EXPECT_EQ(main.RowCount(), 0);
    EXPECT_EQ(counts(), std::vector<LRESULT>(4, 0));
}

// The width of `text` in `font`, in pixels.
int TextWidth(HFONT font, const std::string& text) {
    HDC dc = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, font);
    const std::wstring wide(text.begin(), text.end());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return extent.cx;
}

// While a run walks the rows (the window disabled) the bar and the label are not repainted for
// every row; whatever was skipped, the last values show once the window is enabled again.
TEST(Win32Windows, ProgressIsThrottledDuringARunAndEndsOnItsLastValue) {
    MeasuringMainForm main;
    HWND bar = main.Control("TranProg");
    ASSERT_NE(bar, nullptr);
    constexpr int rows = 1000;
    main.SetProgMax(float(rows));
    main.SetProgMin(0.0F);
    main.SetProgValue(0.0F);
    main.SetWindowEnabled(false);
    int repaints = 0;
    LRESULT shown = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
    for (int r = 1; r <= rows; ++r) {
        main.SetProgValue(float(r));
        main.SetProgLbl(std::to_string(r) + " of 1000");
        const LRESULT now = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
        repaints += now != shown;
        shown = now;
    }
    EXPECT_LT(repaints, rows / 10); // a repaint per 40 ms, and the loop takes far less than 4 s
    main.SetWindowEnabled(true);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0),
              LRESULT(forms::ToWholeProgress(0.0F, float(rows), float(rows)).value));
    EXPECT_EQ(main.Caption("ProgLbl"), "1000 of 1000");
    // The end of a run that kept rows in the cache is read whole.
    const std::string end = UnrealMOD::CompleteCaption(12345);
    main.SetProgLbl(end);
    EXPECT_EQ(main.Caption("ProgLbl"), end);
    // The label is drawn by its window, in its own font, inside its rectangle.
    const forms::Control* def = nullptr;
    for (const forms::Control& c : main.Definition().controls)
        if (std::string(c.name) == "ProgLbl")
            def = &c;
    ASSERT_NE(def, nullptr);
    const int width = TextWidth(main.FontFor(*def), end);
    EXPECT_GT(width, 0);
    EXPECT_LE(width, forms::TwipsToPixels(main.Rect("ProgLbl").width));
}

// Every digit of a count up to 99,999 and the whole word "Error" fit in the count boxes' text
// area (the client area less the edit control's margins).
TEST(Win32Windows, CountBoxesShowFiveDigitsAndErrorWhole) {
    win32ui::MainForm main;
    for (const int dpi : {96, 120, 144, 192}) {
        main.ApplyDpi(dpi);
        for (const char* box : {"NumFilesTxt", "OnesToTransfer"}) {
            HWND edit = main.Control(box);
            RECT client{};
            ::GetClientRect(edit, &client);
            const LRESULT margins = ::SendMessageW(edit, EM_GETMARGINS, 0, 0);
            const int room = client.right - LOWORD(margins) - HIWORD(margins);
            const auto font = reinterpret_cast<HFONT>(::SendMessageW(edit, WM_GETFONT, 0, 0));
            // The box's text keeps the height of its font at this DPI.
            LOGFONTW face{};
            ::GetObjectW(font, sizeof face, &face);
            EXPECT_EQ(std::abs(face.lfHeight), int(9.75 * dpi / 72));
            for (const char* text : {"99999", "88888", "20000", "Error"})
                EXPECT_LE(TextWidth(font, text), room) << dpi << " dpi, " << box << " " << text;
        }
    }
}

// The list box's rows as it draws them (WM_PRINTCLIENT into a bitmap of its own), as pixels.
std::vector<COLORREF> Drawn(HWND box) {
    RECT r;
    ::GetClientRect(box, &r);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, r.right, r.bottom);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            pixels.push_back(::GetPixel(dc, x, y));
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return pixels;
}

// The list boxes hold no text: what they draw comes from the catalogue, marks included.
TEST(Win32Windows, TheListsDrawTheirRowsFromTheCatalogue) {
    win32ui::MainForm main;
    HWND names = main.Control("FileNameList");
    HWND copied = main.Control("Copied");
    main.AppendRows({{"", "K0", "Maps", ""}});
    const auto noName = Drawn(names);
    const auto noMark = Drawn(copied);
    main.Clear();
    main.AppendRows({{"WWWWWW.unr", "K0", "Maps", ""}});
    const auto aName = Drawn(names);
    EXPECT_NE(aName, noName);
    EXPECT_EQ(Drawn(copied), noMark);
    main.SetCopied(0, "Errored");
    EXPECT_NE(Drawn(copied), noMark);
    EXPECT_EQ(Drawn(names), aName);
}

// A 24-bit bitmap file of the given size.
std::string Bitmap(int width, int height) {
    const int stride = (width * 3 + 3) / 4 * 4;
    std::string b = "BM";
    auto u32 = [&b](unsigned v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(char((v >> (8 * i)) & 0xFF));
    };
    u32(unsigned(54 + stride * height));
    u32(0);
    u32(54);
    u32(40);
    u32(unsigned(width));
    u32(unsigned(height));
    b += std::string("\x01\x00\x18\x00", 4);
    for (int i = 0; i < 6; ++i)
        u32(0);
    b.append(std::size_t(stride * height), '\x40');
    return b;
}

TEST(Win32Windows, ThePictureBoxTakesTheLogosSizeAndTheWindowFollows) {
    const fs::path game = fs::temp_directory_path() / "lodestow-ui-win32-test";
    fs::remove_all(game);
    fs::create_directories(game / "Help");
    UnrealMOD::GameFolder = win32ui::Narrow(game.wstring()) + "\\";

    const auto layOut = [](const std::string& logo) {
        if (!logo.empty())
            std::ofstream(fs::path(win32ui::Widen(UnrealMOD::GameFolder)) / "Help" /
                              "UnrealTournamentLogo.bmp",
                          std::ios::binary)
                << logo;
        auto main = std::make_unique<win32ui::MainForm>();
        main->LayOut();
        return main;
    };
    const int border = 2 * ::GetSystemMetrics(SM_CXEDGE);
    {
        auto main = layOut(Bitmap(300, 200));
        const forms::TwipsRect picture = main->Rect("Picture1");
        EXPECT_EQ(picture.width, float(300 + border) * 15);
        EXPECT_EQ(picture.height, float(200 + border) * 15);
        EXPECT_EQ(main->WindowRect().width, picture.width);
        EXPECT_EQ(main->Rect("ExitProg").left, picture.width - 255 - 75);
        EXPECT_EQ(main->Rect("Image1").height, picture.height);
        RECT client;
        ::GetClientRect(main->Handle(), &client);
        EXPECT_EQ(client.right, 300 + border);
    }
    {
        // Cut off: counts as missing, the window keeps the picture box's designed size.
        auto main = layOut(Bitmap(300, 200).substr(0, 1000));
        EXPECT_EQ(main->WindowRect().width, 7335.0f);
        EXPECT_EQ(main->WindowRect().height, 4095.0f);
    }
    UnrealMOD::GameFolder.clear();
    fs::remove_all(game);
}

// A game whose cache holds three maps that a transfer would move; the main window has read it.
struct EntriesGame {
    fs::path game = fs::temp_directory_path() / "lodestow-ui-win32-entries";
    std::vector<std::string> maps{"DM-A.unr", "DM-B.unr", "DM-C.unr"};
    win32ui::MainForm main;

    EntriesGame() {
        fs::remove_all(game);
        fs::create_directories(game / "Cache");
        fs::create_directories(game / "Maps");
        std::ofstream index(game / "Cache" / "cache.ini", std::ios::binary);
        index << "[Cache]\r\n";
        for (std::size_t i = 0; i < maps.size(); ++i) {
            index << "K" << i << "=" << maps[i] << "\r\n";
            const std::string cacheName{'K', char('0' + i)};
            std::ofstream(game / "Cache" / (cacheName + ".uxx"), std::ios::binary) << "map " << i;
        }
        index.close();
        UnrealMOD::GameFolder = win32ui::Narrow(game.wstring()) + "\\";
        UnrealMOD::CacheIndexName = "cache.ini";
        UnrealMOD::ReadCacheIndex(main);
    }
    ~EntriesGame() {
        main.Destroy();
        win32ui::ProcessPendingMessages();
        UnrealMOD::GameFolder.clear();
        fs::remove_all(game);
    }
    // A message as the user's input makes it, through the program's message loop.
    void Input(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam = 0) {
        ::PostMessageW(hwnd, msg, wParam, lParam);
        win32ui::ProcessPendingMessages();
    }
};

TEST(Win32EntriesWindow, OpensFromTheMainWindowOneAtATimeAndEscapeClosesIt) {
    const std::vector<std::pair<const char*, std::function<void(EntriesGame&)>>> ways = {
        {"F3", [](EntriesGame& g) { g.Input(g.main.Control("Picture1"), WM_KEYDOWN, VK_F3); }},
        {"double-click on the found-files box",
         [](EntriesGame& g) { g.Input(g.main.Control("NumFilesTxt"), WM_LBUTTONDBLCLK, 0); }},
        {"double-click on the transferable box",
         [](EntriesGame& g) { g.Input(g.main.Control("OnesToTransfer"), WM_LBUTTONDBLCLK, 0); }},
        {"the logo's menu",
         [](EntriesGame& g) { g.main.LogoMenuChosen(win32ui::MainForm::EntriesMenuCommand); }},
    };
    EntriesGame g;
    g.main.CentreAndShow();
    for (const auto& [way, open] : ways) {
        SCOPED_TRACE(way);
        ASSERT_EQ(g.main.Entries(), nullptr);
        open(g);
        win32ui::EntriesWindow* entries = g.main.Entries();
        ASSERT_NE(entries, nullptr);
        EXPECT_TRUE(::IsWindowVisible(entries->Handle()));
        EXPECT_EQ(Text(entries->Handle()), "Cache Entries - Unreal Tournament");
        EXPECT_EQ(::GetFocus(), entries->List());
        EXPECT_EQ(::SendMessageW(entries->List(), LVM_GETITEMCOUNT, 0, 0), 3);
        open(g); // a second time: the same window
        EXPECT_EQ(g.main.Entries(), entries);
        g.Input(entries->List(), WM_KEYDOWN, VK_ESCAPE);
        EXPECT_EQ(g.main.Entries(), nullptr);
    }
    // The count boxes tell what a double-click does, and a count too long to show whole.
    for (const char* box : {"NumFilesTxt", "OnesToTransfer"}) {
        for (const std::string count : {"3", "99999", "123456", "Error"}) {
            g.main.SetNumFilesText(count);
            g.main.SetOnesToTransferText(count);
            EXPECT_EQ(g.main.CountTipText(box), count.size() > 5
                                                    ? count + "\nDouble-click to see every entry"
                                                    : "Double-click to see every entry")
                << box;
        }
    }
}

TEST(Win32EntriesWindow, SpaceTogglesAndMoveCheckedMovesExactlyTheCheckedRows) {
    EntriesGame g;
    g.main.CentreAndShow();
    win32ui::EntriesWindow* entries = g.main.OpenEntries();
    ASSERT_NE(entries, nullptr);
    forms::EntriesModel& model = entries->Model();
    ASSERT_EQ(model.Shown(), 3);
    // The rows out of sight are examined in the window's spare time.
    for (int wait = 0; wait < 400 && model.Unexamined() > 0; ++wait) {
        win32ui::ProcessPendingMessages();
        ::Sleep(5);
    }
    ASSERT_EQ(model.Unexamined(), 0);
    for (int s = 0; s < 3; ++s)
        EXPECT_TRUE(model.Checked(s)) << s;
    const std::string before = Text(entries->Status());

    // The second row selected; Space unchecks it and again checks it, then unchecks it again.
    ListView_SetItemState(entries->List(), -1, 0, LVIS_SELECTED);
    ListView_SetItemState(entries->List(), 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    for (const bool checked : {false, true, false}) {
        g.Input(entries->List(), WM_KEYDOWN, VK_SPACE);
        EXPECT_EQ(model.Checked(1), checked);
    }
    EXPECT_NE(Text(entries->Status()), before);

    g.Input(entries->MoveButton(), BM_CLICK, 0);
    const fs::path cache = g.game / "Cache";
    EXPECT_TRUE(fs::exists(g.game / "Maps" / "DM-A.unr"));
    EXPECT_TRUE(fs::exists(g.game / "Maps" / "DM-C.unr"));
    EXPECT_FALSE(fs::exists(g.game / "Maps" / "DM-B.unr"));
    EXPECT_FALSE(fs::exists(cache / "K0.uxx"));
    EXPECT_TRUE(fs::exists(cache / "K1.uxx"));
    std::ifstream in(cache / "cache.ini", std::ios::binary);
    const std::string index((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(index, "[Cache]\r\nK1=DM-B.unr\r\n\r\n");
    // The window stays open and tells what the run did; the row not chosen is still listed.
    ASSERT_EQ(g.main.Entries(), entries);
    ASSERT_EQ(model.Shown(), 3);
    std::vector<UnrealMOD::EntryState> states;
    for (int s = 0; s < 3; ++s)
        states.push_back(model.At(s).state);
    using enum UnrealMOD::EntryState;
    EXPECT_EQ(states, (std::vector<UnrealMOD::EntryState>{Moved, WillMove, Moved}));
    // Closing the main window closes it too.
    g.main.Destroy();
    EXPECT_EQ(entries->Handle(), nullptr);
}

} // namespace
