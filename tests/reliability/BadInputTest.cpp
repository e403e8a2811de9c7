// Start-up and the transfer over files that are not what they should be: a settings file that is
// binary, enormous or a folder; a cache index that is binary, holds NUL bytes or is a folder; any
// of the files read at the start that is a FIFO. Nothing may crash or hang, and nothing outside
// the game's own destinations may be touched.

#include "Driver.h"
#include "GameFolderFixture.h"
#include "Invariant.h"

#include "catalogue/CacheIndex.h"
#include "forms/MainFormLogic.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/Copier.h"
#include "runtime/Globals.h"
#include "startup/Settings.h"
#include "startup/StartupSequence.h"

#include "support/FakeHost.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// Its catalogue records the marks the transfer sets.
using Host = testsupport::BasicFakeHost<lodestow_test::MarkingCatalogue>;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class BadInputTest : public lodestow_test::GameFolderTest {
protected:
    void SetUp() override {
        GameFolderTest::SetUp();
        fs::create_directories(Native("System"));
        Write("System/UnrealTournament.exe", "the game");
        UnrealMOD::GameFolder.clear(); // as at a first start: the settings file decides
    }
    std::string SettingsNative() const { return root_ + "/prog/Lodestow.ini"; }
    void WriteSettings(const std::string& bytes) const {
        std::ofstream(SettingsNative(), std::ios::binary) << bytes;
    }
    reliability::Before TakeBefore() const {
        UnrealMOD::GameFolder = testsupport::GamePath("C:\\Game\\");
        reliability::Before before = reliability::Before::Take(root_);
        UnrealMOD::GameFolder.clear();
        return before;
    }
    void ExpectNoViolations(const reliability::Before& before,
                            const lodestow_test::MarkingCatalogue& catalogue) const {
        std::vector<std::string> states;
        for (const std::string& mark : catalogue.marks)
            states.push_back(mark.substr(mark.rfind(':') + 1));
        for (const std::string& problem : reliability::Violations(before, &states))
            ADD_FAILURE() << problem;
    }
};

// --- the settings file --------------------------------------------------------------------

TEST_F(BadInputTest, BinarySettingsFileIsTakenAsAFolderThatHoldsNoGame) {
    std::string bytes = RandomBytes(4096, 1);
    std::replace(bytes.begin(), bytes.end(), '\r', 'x');
    std::replace(bytes.begin(), bytes.end(), '\n', 'y');
    bytes[3000] = '\r';
    WriteSettings(bytes);
    Host host;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameMissing);
    EXPECT_EQ(host.locationWindows, 1);
    EXPECT_EQ(UnrealMOD::GameFolder, platform::AnsiToUtf8(bytes.substr(0, 3000)));
    EXPECT_EQ(testsupport::ReadFile(SettingsNative()), bytes); // read, never rewritten
}

// A NUL byte ends a path for the operating system. A folder read from the settings file that
// holds one must not turn into the path before it: here that would make the game's executable
// the cache index, and the transfer would copy it over itself and delete it.
TEST_F(BadInputTest, NulByteInTheSettingsCannotShortenAPath) {
    WriteSettings(testsupport::GamePath("C:\\Game\\System\\UnrealTournament.exe") + "\0\\\r\n"s);
    Host host;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameMissing);
    EXPECT_EQ(host.locationWindows, 1);

    const std::string exe = testsupport::GamePath("C:\\Game\\System\\UnrealTournament.exe");
    const std::string shortened = exe + std::string(1, '\0') + "\\Cache\\K1.uxx";
    EXPECT_TRUE(Copier::FileExists(exe));
    EXPECT_FALSE(Copier::FileExists(shortened));
    EXPECT_FALSE(platform::ReadFileBytes(shortened));
    EXPECT_FALSE(platform::PathExists(shortened));
    EXPECT_FALSE(platform::CopyFileReplace(exe, shortened));
    EXPECT_FALSE(platform::DeleteFile(shortened));
    EXPECT_FALSE(platform::ReplaceFileAtomic(shortened, "x"));
    EXPECT_FALSE(platform::WriteFileBytes(shortened, "x"));
    EXPECT_FALSE(Copier::KillIfExists(shortened));
    EXPECT_EQ(Read("System/UnrealTournament.exe"), "the game");
}

// Megabytes on one line, in the shapes that make path handling slow: many components, one
// endless component, and a folder that climbs back to the game through a million "..".
TEST_F(BadInputTest, HugeSettingsLineStartsWithoutHanging) {
    std::string manyParts;
    for (int i = 0; i < 2000000; ++i)
        manyParts += "a\\";
    for (const std::string& value : {manyParts, "C:\\" + std::string(6 << 20, 'a') + "\\"}) {
        WriteSettings(value + "\r\n");
        UnrealMOD::GameFolder.clear();
        Host host;
        EXPECT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameMissing);
        EXPECT_EQ(host.locationWindows, 1);
        EXPECT_EQ(UnrealMOD::GameFolder.size(), value.size());
    }

    std::string climbing = testsupport::GamePath("C:\\Game\\");
    for (int i = 0; i < 1000000; ++i)
        climbing += "x\\..\\";
    WriteSettings(climbing + "\r\n");
    Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\n");
    Write("Cache/K1.uxx", "map");
    UnrealMOD::GameFolder.clear();
    Host host;
#ifdef _WIN32
    // Windows takes no path longer than 32767 units: such a folder holds no game, and nothing
    // is touched.
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameMissing);
    EXPECT_EQ(Read("Cache/K1.uxx"), "map");
    return;
#endif
    // The value is used as it stands, and it does lead to the game.
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameFound);
    EXPECT_EQ(host.catalogue.rows.size(), 1U);
    lodestow_test::FakeView view;
    UnrealMOD::RunitClick(host.catalogue, view);
    EXPECT_EQ(Read("Maps/DM-A.unr"), "map");
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\n\r\n");
}

TEST_F(BadInputTest, SettingsFileThatIsAFolderGivesTheDefault) {
    fs::create_directory(SettingsNative());
    Host host;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameMissing);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\UnrealTournament\\");
    EXPECT_EQ(host.locationWindows, 1);
    EXPECT_TRUE(fs::is_directory(SettingsNative()));
    EXPECT_TRUE(fs::is_empty(SettingsNative()));
}

// --- the cache index ----------------------------------------------------------------------

TEST_F(BadInputTest, BinaryIndexIsReadAndTheRunTouchesNothingElse) {
    WriteSettings(testsupport::GamePath("C:\\Game\\") + "\r\n");
    std::string bytes = RandomBytes(256 << 10, 2);
    // Give it lines and entries enough to be worth running over.
    for (std::size_t i = 0; i < bytes.size(); i += 97)
        bytes[i] = (i / 97) % 3 == 0 ? '=' : '\n';
    Write("Cache/cache.ini", bytes);
    Write("Cache/K1.uxx", "one real file");
    Write("Maps/DM-A.unr", "an older map");
    const reliability::Before before = TakeBefore();
    ASSERT_GT(before.entries.size(), 500U);

    Host host;
    ASSERT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameFound);
    EXPECT_EQ(host.catalogue.rows.size(), before.entries.size());
    for (const auto& row : host.catalogue.rows)
        EXPECT_FALSE(row.fileName.empty());
    lodestow_test::FakeView view;
    UnrealMOD::RunitClick(host.catalogue, view);
    ExpectNoViolations(before, host.catalogue);
    EXPECT_EQ(Read("Cache/K1.uxx"), "one real file");
}

TEST_F(BadInputTest, NulBytesInTheIndexNeverReachAPath) {
    WriteSettings(testsupport::GamePath("C:\\Game\\") + "\r\n");
    const std::string index =
        "[Cache]\r\nK1=DM-A.unr\0.utx\r\nK2\0=Sky.utx\r\nK3=Ok.utx\r\nK4=\0\r\n"s;
    Write("Cache/cache.ini", index);
    Write("Cache/K1.uxx", "one");
    Write("Cache/K2.uxx", "two");
    Write("Cache/K3.uxx", "three");
    const reliability::Before before = TakeBefore();
    ASSERT_EQ(before.entries.size(), 4U);

    Host host;
    ASSERT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameFound);
    EXPECT_EQ(host.catalogue.onesToTransfer, "4");
    lodestow_test::FakeView view;
    UnrealMOD::RunitClick(host.catalogue, view);
    ExpectNoViolations(before, host.catalogue);
    EXPECT_EQ(host.catalogue.marks[0], "DM-A.unr\0.utx:Errored"s);
    EXPECT_EQ(host.catalogue.marks[2], "Ok.utx:YES");
    EXPECT_FALSE(Exists("Textures/DM-A.unr"));
    EXPECT_FALSE(Exists("Maps/DM-A.unr"));
    // The entries that could not be moved stay, NUL bytes and all.
    EXPECT_EQ(Read("Cache/cache.ini"),
              "[Cache]\r\nK1=DM-A.unr\0.utx\r\nK2\0=Sky.utx\r\nK4=\0\r\n\r\n"s);
}

TEST_F(BadInputTest, IndexThatIsAFolderLeavesNothingToTransfer) {
    WriteSettings(testsupport::GamePath("C:\\Game\\") + "\r\n");
    fs::create_directory(Native("Cache/cache.ini"));
    Write("Cache/K1.uxx", "one");
    const reliability::Tree before = reliability::ScanTree(root_);

    Host host;
    ASSERT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameFound);
    EXPECT_TRUE(host.catalogue.rows.empty());
    EXPECT_EQ(host.catalogue.numFiles, "Error");
    EXPECT_EQ(host.catalogue.onesToTransfer, "Error");
    EXPECT_FALSE(host.runitEnabled);
    EXPECT_TRUE(host.noFilesVisible);

    // Even a run started anyway changes nothing, and says why it did not rewrite the index.
    lodestow_test::FakeView view;
    UnrealMOD::RunitClick(host.catalogue, view);
    EXPECT_EQ(reliability::ScanTree(root_), before);
    EXPECT_EQ(view.problems.size(), 1U);
    EXPECT_TRUE(view.enabled);
}

// --- special files ------------------------------------------------------------------------

#ifndef _WIN32
// A FIFO where the start or the run reads a file would keep the open waiting for a writer that
// never comes. Each is refused as missing: the start and the headless run end, the FIFO stays.
TEST_F(BadInputTest, FifoInPlaceOfAFileReadAtTheStartIsRefusedQuickly) {
    struct Case {
        const char* what;
        std::string native;
        bool gameFound;
        int driverExit; // 3: the index could not be read
    };
    const std::vector<Case> cases = {
        {"cache index", Native("Cache/cache.ini"), true, 3},
        {"settings file", SettingsNative(), false, 0},
        {"game ini", Native("System/UnrealTournament.ini"), true, 0},
        {"logo", Native("Help/UnrealTournamentLogo.bmp"), true, 0},
    };
    fs::create_directories(Native("Help"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSettings(testsupport::GamePath("C:\\Game\\") + "\r\n");
        Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\n");
        Write("Cache/K1.uxx", "map");
        fs::remove(c.native);
        ASSERT_EQ(mkfifo(c.native.c_str(), 0644), 0);

        // The start and a click, as the window makes them, in a process that can be waited for.
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            UnrealMOD::GameFolder.clear();
            Host host;
            const bool found =
                UnrealMOD::RunStartupSequence(host) == UnrealMOD::StartupOutcome::GameFound;
            const bool logo = platform::ReadFileBytes(forms::LogoPath()).has_value();
            if (found) {
                lodestow_test::FakeView view;
                UnrealMOD::RunitClick(host.catalogue, view);
            }
            _exit((found ? 1 : 0) + (logo ? 2 : 0));
        }
        EXPECT_EQ(reliability::WaitWithin(child, 30), c.gameFound ? 1 : 0);
        EXPECT_EQ(reliability::WaitWithin(reliability::StartDriver(), 30), c.driverExit);

        struct stat st {};
        EXPECT_EQ(lstat(c.native.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        fs::remove(c.native);
    }
}
#endif

} // namespace
