// What both front ends build on: the two windows as data, and the handlers apart from drawing.

#include "forms/Bitmap.h"
#include "forms/Definitions.h"
#include "forms/EntriesLogic.h"
#include "forms/FindUnrealLogic.h"
#include "forms/Folders.h"
#include "forms/MainFormLogic.h"
#include "runtime/Games.h"
#include "runtime/Globals.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const std::vector<const forms::Control*>& controls) {
    std::vector<std::string> names;
    for (const forms::Control* c : controls)
        names.push_back(c->name);
    return names;
}

// Every control sits in the window or in a container of the same window; places in the keyboard
// order are unique; a control array is told apart by its index.
void CheckWellFormed(const forms::Form& form) {
    SCOPED_TRACE(form.name);
    std::set<int> tabs;
    std::set<std::pair<std::string, int>> seen;
    for (const forms::Control& c : form.controls) {
        SCOPED_TRACE(c.name);
        const forms::Control* container = forms::Find(form, c.container);
        EXPECT_TRUE(std::string(c.container) == form.name ||
                    (container && forms::IsContainer(container->kind)));
        if (c.tabIndex >= 0) {
            EXPECT_TRUE(tabs.insert(c.tabIndex).second) << "tab index " << c.tabIndex;
        }
        EXPECT_TRUE(seen.insert({c.name, c.index}).second);
    }
}

TEST(Definitions, BothWindowsAreWellFormedAndKeepTheirKeyboardOrder) {
    CheckWellFormed(forms::MainFormDefinition());
    CheckWellFormed(forms::FindUnrealDefinition());

    // The first to take the focus: the picture box, and "Cancel" (the panel never takes it).
    EXPECT_EQ(Names(forms::FocusOrder(forms::FindUnrealDefinition())),
              (std::vector<std::string>{"Command2", "Command1", "ThePath", "Drive1", "Dir1",
                                        "Command3"}));
    EXPECT_EQ(Names(forms::FocusOrder(forms::MainFormDefinition())),
              (std::vector<std::string>{"Picture1", "FileNameList", "CacheNameList",
                                        "DestinationList", "Copied", "NumFilesTxt",
                                        "OnesToTransfer", "Runit", "ExitProg", "EndProg"}));
}

TEST(Definitions, WindowedControlsLieInFrontOfWindowlessOnes) {
    const forms::Form& main = forms::MainFormDefinition();
    EXPECT_EQ(
        Names(forms::Children(main, "Picture1")),
        (std::vector<std::string>{"EndProg", "TranFrame", "ExitProg", "Runit", "OnesToTransfer",
                                  "NumFilesTxt", "Image1", "NoFiles", "Label2", "Label1"}));
    EXPECT_EQ(Names(forms::Children(main, "MainForm")),
              (std::vector<std::string>{"Picture1", "AdvFrame"}));
    // The higher heading index in front.
    const auto headings = forms::Children(main, "AdvFrame");
    ASSERT_EQ(headings.size(), 8u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(headings[std::size_t(4 + i)]->index, 3 - i);
}

TEST(Definitions, TheCatalogueFrameLiesWhollyBehindThePictureBox) {
    const forms::Form& main = forms::MainFormDefinition();
    const forms::TwipsRect adv = forms::Find(main, "AdvFrame")->rect;
    const forms::TwipsRect pic = forms::Find(main, "Picture1")->rect;
    EXPECT_GE(adv.left, pic.left);
    EXPECT_GE(adv.top, pic.top);
    EXPECT_LE(adv.left + adv.width, pic.left + pic.width);
    EXPECT_LE(adv.top + adv.height, pic.top + pic.height);
    // ... and at the smallest size the layout may give the picture box.
    EXPECT_LE(adv.left + adv.width, 2175.0f);
    EXPECT_LE(adv.top + adv.height, 2535.0f);
}

TEST(MainFormLogic, ProgressBecomesWholeNumbersThatTheBarCanHold) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float min, max, value;
        forms::WholeProgress want;
    } cases[] = {
        {0, 100, 0, {0, 100, 0}},    {0, 7, 2.5f, {0, 7, 3}}, // half rounds away from zero
        {1, 5, 9, {1, 5, 5}},  // a value beyond the range is held at its end
        {10, 3, 4, {0, 1, 1}}, // max below min: no range, the value is past the max
        {0, 0, 0, {0, 1, 1}},  // a total of 0 ends full, never as a busy bar
        {0, 2, 0, {0, 2, 0}},        {0, 1e20f, 1e19f, {0, 2147483647, 2147483647}},
        {-inf, inf, nan, {0, 1, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(forms::ToWholeProgress(c.min, c.max, c.value), c.want)
            << c.min << " " << c.max << " " << c.value;
}

TEST(Folders, PathsAreReadLexically) {
    struct Case {
        const char* text;
        forms::DirPath want;
    } cases[] = {
        {"c:", {"C:", {}}},
        {"C:\\", {"C:", {}}},
        {"d:/Games//UT/", {"D:", {"Games", "UT"}}},
        {"C:\\a\\.\\b\\..\\..\\..\\x", {"C:", {"x"}}},
        {"\\\\server\\share", {"", {}}},
        {"7:\\", {"", {}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(forms::ParseDirPath(c.text), c.want) << c.text;
    EXPECT_EQ((forms::DirPath{"C:", {}}).Join(), "C:\\");
    EXPECT_EQ((forms::DirPath{"C:", {"A", "B"}}).Join(), "C:\\A\\B");
}

// A bitmap file: the file header, an information header of `infoSize` bytes (the fields past the
// first 40 taken from `more`), then `tables` (masks, palette) and `pixels`.
std::string Bmp(std::uint32_t infoSize, std::int32_t width, std::int32_t height, std::uint16_t bits,
                std::uint32_t compression, const std::string& tables, const std::string& pixels,
                std::uint32_t coloursUsed = 0, const std::string& more = {}) {
    std::string b;
    auto u16 = [&](std::uint32_t v) { b.append({char(v & 0xFF), char((v >> 8) & 0xFF)}); };
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(char((v >> (8 * i)) & 0xFF));
    };
    const std::uint32_t offset = 14 + infoSize + std::uint32_t(tables.size());
    b += "BM";
    u32(std::uint32_t(offset + pixels.size()));
    u32(0);
    u32(offset);
    u32(infoSize);
    if (infoSize == 12) {
        u16(std::uint32_t(width));
        u16(std::uint32_t(height));
        u16(1);
        u16(bits);
    } else {
        u32(std::uint32_t(width));
        u32(std::uint32_t(height));
        u16(1);
        u16(bits);
        for (std::uint32_t v : {compression, 0u, 2835u, 2835u, coloursUsed, 0u})
            u32(v);
        b += more;
        b.resize(14 + infoSize, '\0');
    }
    return b + tables + pixels;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string b;
    for (int v : values)
        b.push_back(char(v));
    return b;
}

// Red, green, blue, white as palette entries (blue, green, red, 0).
const std::string Palette = Bytes({0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0});

// Every format the decoder knows gives the same 2 x 2 picture (red, green over blue, white); a
// file cut anywhere before its end is no picture.
TEST(Bitmap, EveryFormatDecodesToTheSamePixelsAndNoCutFileDoes) {
    const std::vector<std::uint32_t> want = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    const std::string masks565 = Bytes({0, 0xF8, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0});
    const std::string bgrMasks = Bytes({0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0});
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"24-bit, bottom-up, rows padded",
         Bmp(40, 2, 2, 24, 0, "",
             Bytes({255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}))},
        {"32-bit, top-down",
         Bmp(40, 2, -2, 32, 0, "",
             Bytes({0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0}))},
        {"8-bit palette of four", Bmp(40, 2, 2, 8, 0, Palette, Bytes({2, 3, 0, 0, 0, 1, 0, 0}), 4)},
        {"4-bit", Bmp(40, 2, 2, 4, 0, Palette, Bytes({0x23, 0, 0, 0, 0x01, 0, 0, 0}), 4)},
        {"1-bit", Bmp(40, 2, 2, 1, 0, Palette.substr(0, 8) + Palette.substr(0, 8),
                      Bytes({0x80, 0, 0, 0, 0x40, 0, 0, 0}))}, // overwritten below
        {"16-bit, 5-5-5", Bmp(40, 2, 2, 16, 0, "", Bytes({0x1F, 0, 0xFF, 0x7F, 0, 0x7C, 0xE0, 3}))},
        {"16-bit, bit fields 5-6-5",
         Bmp(40, 2, 2, 16, 3, masks565, Bytes({0x1F, 0, 0xFF, 0xFF, 0, 0xF8, 0xE0, 7}))},
        {"32-bit, bit fields in a version 5 header",
         Bmp(124, 2, 2, 32, 3, "",
             Bytes({0, 0, 255, 0, 255, 255, 255, 0, 255, 0, 0, 0, 0, 255, 0, 0}), 0, bgrMasks)},
        {"RLE8", Bmp(40, 2, 2, 8, 1, Palette, Bytes({1, 2, 1, 3, 0, 0, 1, 0, 1, 1, 0, 1}), 4)},
        {"RLE4", Bmp(40, 2, 2, 4, 2, Palette, Bytes({2, 0x23, 0, 0, 1, 0x00, 1, 0x10, 0, 1}), 4)},
        {"OS/2 core header",
         Bmp(12, 2, 2, 8, 0, Bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255}),
             Bytes({2, 3, 0, 0, 0, 1, 0, 0}))},
    };
    // One bit per pixel has two colours: red and white, set apart from the table above.
    cases[4].bytes = Bmp(40, 2, 2, 1, 0, Bytes({0, 0, 255, 0, 255, 255, 255, 0}),
                         Bytes({0x80, 0, 0, 0, 0x40, 0, 0, 0}), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto picture = forms::DecodeBitmap(c.bytes);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, 2);
        EXPECT_EQ(picture->height, 2);
        if (std::string(c.what) == "1-bit")
            EXPECT_EQ(picture->pixels,
                      (std::vector<std::uint32_t>{0xFFFF0000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF0000}));
        else
            EXPECT_EQ(picture->pixels, want);
        for (std::size_t cut = 0; cut < c.bytes.size(); ++cut)
            EXPECT_FALSE(forms::DecodeBitmap(c.bytes.substr(0, cut))) << "cut at " << cut;
    }
}

TEST(Bitmap, ClaimsBeyondTheFileOrTheFormatAreNoPicture) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"palette larger than the bits allow",
         Bmp(40, 4, 4, 8, 0, std::string(4 * 257, '\0'), std::string(16, 'x'), 257)},
        {"enormous claim", Bmp(40, 30000, 30000, 24, 0, "", std::string(16, 'x'))},
        {"no width", Bmp(40, 0, 5, 24, 0, "", std::string(64, 'x'))},
        {"12 bits per pixel", Bmp(40, 2, 2, 12, 0, "", std::string(64, 'x'))},
        {"RLE running top-down", Bmp(40, 2, -2, 8, 1, Palette, Bytes({0, 1}), 4)},
        {"RLE8 with 4 bits per pixel", Bmp(40, 2, 2, 4, 1, Palette, Bytes({0, 1}), 4)},
        {"JPEG inside", Bmp(40, 2, 2, 24, 4, "", std::string(64, 'x'))},
        {"header size of no known kind", Bmp(41, 2, 2, 24, 0, "", std::string(64, 'x'))},
        {"not a bitmap", std::string(200, 'x')},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(forms::DecodeBitmap(c.bytes)) << c.what;
    // Runs that reach past the picture's edge are cut there.
    const auto wide = forms::DecodeBitmap(Bmp(40, 2, 1, 8, 1, Palette, Bytes({200, 3, 0, 1}), 4));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->pixels, (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF}));
    // Indices given one by one, padded to a whole word; a jump leaves the first colour behind.
    const auto absolute = forms::DecodeBitmap(
        Bmp(40, 4, 2, 8, 1, Palette, Bytes({0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 3, 0, 1}), 4));
    ASSERT_TRUE(absolute);
    const std::uint32_t r = 0xFFFF0000, g = 0xFF00FF00, b = 0xFF0000FF, w = 0xFFFFFFFF;
    EXPECT_EQ(absolute->pixels, (std::vector<std::uint32_t>{r, r, r, w, g, b, w, r}));
}

// A location window without a toolkit: records what the handlers do to it.
class FakeLocation : public forms::LocationWindow {
public:
    bool SetDrive(const std::string& drive) override {
        const char letter = forms::DriveLetter(drive);
        if (!letter || std::string("cdz").find(letter) == std::string::npos)
            return false;
        const std::string entry = std::string(1, letter) + ":";
        log.push_back("drive " + entry);
        if (entry != drive_) {
            drive_ = entry;
            forms::Drive1_Change(*this, inFallback, [] { return true; });
        }
        return true;
    }
    std::string Drive() const override { return drive_; }
    bool SetDirPath(const std::string& path) override {
        const auto folder = forms::ReadFolder(path);
        if (!folder)
            return false;
        if (folder->path != dir_) {
            dir_ = folder->path;
            forms::Dir1_Change(*this);
        }
        return true;
    }
    std::string DirPath() const override { return dir_; }
    std::string ThePathText() const override { return thePath; }
    void SetThePathText(const std::string& text) override { thePath = text; }
    void ShowTryAgain() override { log.push_back("Try Again"); }
    void CloseMainForm() override { log.push_back("close main"); }
    void OpenMainForm() override { log.push_back("open main"); }
    void CloseWindow() override { log.push_back("close"); }

    std::string thePath = "Text1";
    std::vector<std::string> log;
    bool inFallback = false;

private:
    std::string drive_ = "c:";
    std::string dir_;
};

TEST(FindUnrealLogic, TheListsFollowTheDriveAndEnterTriesThePathBox) {
    testsupport::WinePrefix prefix;
    prefix.MapDrive('d', prefix.root() / "no medium");
    testsupport::WriteFile(prefix.driveC() / "Games/UT/System/UnrealTournament.exe", "x");
    UnrealMOD::GameFolder.clear();
    FakeLocation w;
    forms::FindUnreal_Load(w, [] { return true; });
    EXPECT_EQ(w.log, (std::vector<std::string>{"close main", "drive c:"}));
    EXPECT_EQ(w.thePath, "C:\\");

    // Drive Z: maps onto the whole file system here; one that cannot be read falls back to C:.
    ASSERT_TRUE(w.SetDrive("Z:\\"));
    EXPECT_EQ(w.thePath, "Z:\\");
    ASSERT_TRUE(w.SetDrive("d:"));
    EXPECT_EQ(w.Drive(), "c:");
    EXPECT_EQ(w.thePath, "C:\\");
    EXPECT_FALSE(w.inFallback);

    w.log.clear();
    w.thePath = "c:\\games";
    forms::Command1_Click(w, [] { return true; });
    EXPECT_EQ(UnrealMOD::GameFolder, "c:\\games\\");
    w.thePath = "c:\\games\\ut";
    forms::Command1_Click(w, [] { return true; });
    EXPECT_EQ(UnrealMOD::GameFolder, "c:\\games\\ut\\");
    EXPECT_EQ(w.log, (std::vector<std::string>{"Try Again", "open main", "close"}));

    // A window that vanished while the cue played is left alone.
    w.log.clear();
    forms::Command1_Click(w, [] { return false; });
    EXPECT_TRUE(w.log.empty());
    UnrealMOD::GameFolder.clear();
}

} // namespace

// The entries window's rows: what starts checked and what can be, the order of each column, the
// filters, the line under the list and the choice handed to the transfer.
namespace {

UnrealMOD::EntryView Entry(int row, const char* name, UnrealMOD::EntryState state,
                           std::uint64_t size, std::int64_t modified) {
    UnrealMOD::EntryView entry;
    entry.catalogueRow = row;
    entry.fileName = name;
    entry.cacheName = "C" + std::to_string(row);
    entry.kind = UnrealMOD::KindOf(name);
    entry.cacheFileFound = state != UnrealMOD::EntryState::Missing;
    entry.size = size;
    entry.modified = modified;
    entry.state = state;
    return entry;
}

std::vector<std::string> ShownNames(const forms::EntriesModel& model) {
    std::vector<std::string> names;
    for (int s = 0; s < model.Shown(); ++s)
        names.push_back(model.At(s).fileName);
    return names;
}

} // namespace

TEST(EntriesModel, ChecksSortsFiltersAndChooses) {
    using S = UnrealMOD::EntryState;
    forms::EntriesModel model;
    model.Load({Entry(0, "dm-b.unr", S::WillMove, 3000, 300),
                Entry(1, "Core.u", S::StaysCode, 10, 100),
                Entry(2, "DM-A.unr", S::WillMove, 1000, 200),
                Entry(3, "Sky.utx", S::Identical, 2000, 50), Entry(4, "Gone.uax", S::Missing, 0, 0),
                Entry(5, "\xC3\x89t\xC3\xA9.umx", S::OtherVersion, 500, 400)});
    EXPECT_EQ(ShownNames(model),
              (std::vector<std::string>{"dm-b.unr", "Core.u", "DM-A.unr", "Sky.utx", "Gone.uax",
                                        "\xC3\x89t\xC3\xA9.umx"}));
    // Only "will be moved" starts checked; only what a transfer can take can be checked.
    const std::vector<bool> checked = {true, false, true, false, false, false};
    const std::vector<bool> checkable = {true, false, true, true, false, false};
    for (int s = 0; s < model.Shown(); ++s) {
        EXPECT_EQ(model.Checked(s), checked[static_cast<std::size_t>(s)]) << s;
        EXPECT_EQ(model.Checkable(s), checkable[static_cast<std::size_t>(s)]) << s;
    }
    EXPECT_FALSE(model.Toggle(1));
    EXPECT_FALSE(model.Checked(1));
    EXPECT_TRUE(model.Toggle(3)); // a duplicate may be chosen: its cached copy then goes
    EXPECT_EQ(model.CheckedCount(), 3);
    EXPECT_EQ(model.CheckedBytes(), 6000u);
    EXPECT_EQ(model.StatusLine(std::uint64_t{5} << 30),
              "6 entries, 3 checked (5.9 KB), 5.0 GB free on the game's drive");

    struct Order {
        forms::EntriesColumn column;
        bool ascending;
        std::vector<std::string> names;
    };
    const Order orders[] = {
        {forms::EntriesColumn::Name,
         true,
         {"Core.u", "DM-A.unr", "dm-b.unr", "Gone.uax", "Sky.utx", "\xC3\x89t\xC3\xA9.umx"}},
        {forms::EntriesColumn::Size,
         true,
         {"Gone.uax", "Core.u", "\xC3\x89t\xC3\xA9.umx", "DM-A.unr", "Sky.utx", "dm-b.unr"}},
        {forms::EntriesColumn::Date,
         false,
         {"\xC3\x89t\xC3\xA9.umx", "dm-b.unr", "DM-A.unr", "Core.u", "Sky.utx", "Gone.uax"}},
        // Equal keys keep index order, in both directions.
        {forms::EntriesColumn::State,
         true,
         {"dm-b.unr", "DM-A.unr", "Sky.utx", "\xC3\x89t\xC3\xA9.umx", "Core.u", "Gone.uax"}},
        {forms::EntriesColumn::Kind,
         false,
         {"Core.u", "\xC3\x89t\xC3\xA9.umx", "Gone.uax", "Sky.utx", "dm-b.unr", "DM-A.unr"}},
    };
    for (const Order& order : orders) {
        model.SortBy(order.column, order.ascending);
        EXPECT_EQ(ShownNames(model), order.names) << forms::ColumnTitle(order.column);
    }
    EXPECT_TRUE(model.Checked(model.Shown() - 2)); // checks follow their rows, not places

    model.SortBy(forms::EntriesColumn::Name, true);
    model.SetNameFilter("\xC3\xA9T"); // case-insensitive beyond ASCII
    EXPECT_EQ(ShownNames(model), (std::vector<std::string>{"\xC3\x89t\xC3\xA9.umx"}));
    model.SetNameFilter("D?-*");
    EXPECT_EQ(ShownNames(model), (std::vector<std::string>{"DM-A.unr", "dm-b.unr"}));
    model.SetKindFilter(UnrealMOD::EntryKind::Texture);
    EXPECT_EQ(model.Shown(), 0);
    EXPECT_EQ(model.StatusLine(std::nullopt), "6 entries (0 shown), 3 checked (5.9 KB)");
    // Rows hidden by a filter stay chosen.
    EXPECT_EQ(model.Choice(7),
              (UnrealMOD::RowChoice{true, false, true, true, false, false, false}));

    // After a run of the checked rows, what the player left unchecked (shown or not) stays so.
    model.SetKindFilter(std::nullopt);
    model.SetNameFilter("");
    ASSERT_EQ(model.At(2).fileName, "dm-b.unr");
    model.SetChecked(2, false);
    const std::vector<std::string> left = model.LeftUnchecked();
    model.Load({Entry(0, "dm-b.unr", S::WillMove, 3000, 300),
                Entry(2, "DM-A.unr", S::Moved, 1000, 200),
                Entry(7, "New.unr", S::WillMove, 10, 10)});
    model.KeepUnchecked(left);
    EXPECT_EQ(model.Choice(8),
              (UnrealMOD::RowChoice{false, false, false, false, false, false, false, true}));
}

// Each game names its kinds by its own table, whatever folder its ini gives them; the kind list,
// the logo and the window's title follow the game the folder holds.
TEST(EntriesModel, KindsTitleAndLogoFollowTheGame) {
    struct Case {
        UnrealMOD::GameId game;
        const char* names; // file names, each with the kind word it gets
        const char* items; // the kind list after "All kinds"
        const char* logo;
        const char* title;
    };
    const Case cases[] = {
        {UnrealMOD::GameId::UnrealTournament,
         "DM-A.unr=map A.UTX=texture A.uax=sound A.umx=music A.u=code A.int=language file "
         "A.det=other A.ut2=other A.usx=other noext=other",
         "Maps|Textures|Sounds|Music|Code|Language files|Other files", "UnrealTournamentLogo.bmp",
         "Unreal Tournament"},
        {UnrealMOD::GameId::UT2004,
         "DM-A.ut2=map A.usx=static mesh A.UKX=animation A.det=language file A.unr=other",
         "Maps|Textures|Sounds|Music|Static meshes|Animations|Code|Language files|Other files",
         "UT2004Logo.bmp", "Unreal Tournament 2004"},
        {UnrealMOD::GameId::Unreal, "A.unr=map A.usm=mesh A.ut2=other",
         "Maps|Textures|Sounds|Music|Meshes|Code|Language files|Other files", "UnrealLogo.bmp",
         "Unreal"},
        {UnrealMOD::GameId::KillingFloor, "A.rom=map A.ut2=other", nullptr, "KillingFloorLogo.bmp",
         "Killing Floor"},
        {UnrealMOD::GameId::Rune, "A.run=map", nullptr, "RuneLogo.bmp", "Rune"},
    };
    const UnrealMOD::GameKind* was = UnrealMOD::SettledGame;
    const std::string folder = UnrealMOD::GameFolder;
    UnrealMOD::GameFolder = "C:\\G\\";
    for (const Case& c : cases) {
        UnrealMOD::SettledGame = &UnrealMOD::GameById(c.game);
        std::string names = c.names;
        for (std::size_t at = 0; at < names.size();) {
            const std::size_t eq = names.find('=', at);
            std::size_t end = names.find(' ', names.find_first_not_of(' ', eq + 1));
            // A kind word may hold a blank ("language file"): it runs to the next name's start.
            while (end != std::string::npos && names.find('=', end) != std::string::npos &&
                   names.find(' ', end + 1) < names.find('=', end))
                end = names.find(' ', end + 1);
            const std::string name = names.substr(at, eq - at);
            const std::string word =
                names.substr(eq + 1, end == std::string::npos ? end : end - eq - 1);
            EXPECT_EQ(UnrealMOD::KindWord(UnrealMOD::KindOf(name)), word) << c.title << " " << name;
            at = end == std::string::npos ? names.size() : end + 1;
        }
        if (c.items) {
            std::string items;
            const auto shown = forms::KindFilterItems();
            ASSERT_EQ(shown.size(), forms::KindFilterChoices().size());
            for (std::size_t i = 1; i < shown.size(); ++i)
                items += (i > 1 ? "|" : "") + shown[i].substr(0, shown[i].size() - 5); // " only"
            EXPECT_EQ(shown.front(), forms::AllKindsItem);
            EXPECT_EQ(items, c.items) << c.title;
        }
        EXPECT_EQ(forms::LogoPath(), std::string("C:\\G\\Help\\") + c.logo);
        EXPECT_EQ(forms::EntriesWindowTitle(), std::string("Cache Entries - ") + c.title);
    }
    UnrealMOD::SettledGame = was;
    UnrealMOD::GameFolder = folder;
}

// A large cache opens at once: a row is examined when it is shown or asked for, the rest in
// spare time, and a sort by what only the files tell examines them all.
TEST(EntriesModel, RowsAreExaminedWhenNeeded) {
    using S = UnrealMOD::EntryState;
    std::vector<UnrealMOD::EntryView> named;
    for (int r = 0; r < 5; ++r)
        named.push_back(Entry(r, ("M" + std::to_string(r) + ".unr").c_str(), S::WillMove, 0, 0));
    named[4].examined = true;
    std::vector<int> examined;
    forms::EntriesModel model;
    model.Load(named, [&examined](UnrealMOD::EntryView& entry) {
        examined.push_back(entry.catalogueRow);
        entry.size = 100u * static_cast<unsigned>(5 - entry.catalogueRow);
        entry.state = entry.catalogueRow == 1 ? S::OtherVersion : S::WillMove;
    });
    EXPECT_EQ(model.Unexamined(), 4);
    EXPECT_TRUE(examined.empty());
    EXPECT_EQ(model.Cell(1, forms::EntriesColumn::State), "another version is installed");
    EXPECT_FALSE(model.Checked(1));
    model.SortBy(forms::EntriesColumn::Name, false); // names need no file
    model.ExamineSome(1);                            // the first shown row not yet examined
    EXPECT_EQ(examined, (std::vector<int>{1, 3}));
    model.SortBy(forms::EntriesColumn::Size, true);
    EXPECT_EQ(model.Unexamined(), 0);
    EXPECT_EQ(ShownNames(model),
              (std::vector<std::string>{"M4.unr", "M3.unr", "M2.unr", "M1.unr", "M0.unr"}));
    EXPECT_EQ(model.CheckedCount(), 4);
}

TEST(EntriesModel, CellsShowHostileNamesReadably) {
    struct Case {
        std::string name, shown;
    };
    const Case cases[] = {
        {"plain.unr", "plain.unr"},
        {"bad\xFF\xFEname.unr", "bad\xEF\xBF\xBD\xEF\xBF\xBDname.unr"},
        {"line\r\nbreak<b>.unr", "line\xEF\xBF\xBD\xEF\xBF\xBD"
                                 "break<b>.unr"},
        {std::string(5000, 'x'), std::string(260, 'x') + "\xE2\x80\xA6"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(forms::ShownName(c.name), c.shown);
    EXPECT_EQ(forms::SizeText(1234567), "1,234,567");
    EXPECT_EQ(forms::SizeText(999), "999");
    EXPECT_EQ(forms::DateText(0), "1970-01-01 00:00");
    EXPECT_EQ(forms::DateText(1796803260), "2026-12-09 08:01");
    EXPECT_EQ(forms::DateText(-60), "1969-12-31 23:59");
    const auto layout =
        forms::LayOutEntries(forms::EntriesDefaultWidth, forms::EntriesDefaultHeight);
    EXPECT_LT(layout.filter.left + layout.filter.width, layout.kinds.left);
    EXPECT_LT(layout.list.top + layout.list.height, layout.moveChecked.top);
    EXPECT_LT(layout.status.left + layout.status.width, layout.moveChecked.left);
    // Every column shows when the window opens, beside a vertical scroll bar (255 twips).
    float columns = 0;
    for (int c = 0; c < forms::EntriesColumnCount; ++c)
        columns += forms::ColumnWidth(static_cast<forms::EntriesColumn>(c));
    EXPECT_LE(columns, layout.list.width - 255 - 60); // and the list's own borders
}
