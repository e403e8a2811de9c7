#include "StartupFixture.h"

#include "startup/Location.h"
#include "startup/Settings.h"
#include "startup/StartupSequence.h"

#include <gtest/gtest.h>

using namespace testsupport;
using startup_test::OnWindows;
using UnrealMOD::StartupOutcome;

namespace {

// The game goes on drive C: of the test's own prefix. On Windows, which takes game paths as they
// are, the test's paths name the prefix's folder instead (GamePath); there only the default
// folder, C:\UnrealTournament\, stays the machine's own, which a fresh Wine prefix leaves empty.
class StartupTest : public startup_test::StartupFixture {
protected:
    void SetUp() override {
        StartupFixture::SetUp();
        // Not made yet, parents included: the program makes it when it needs it.
        UnrealMOD::UserFolder() = user().string();
    }
    void TearDown() override { UnrealMOD::UserFolder().clear(); }
    fs::path user() const { return home.path() / "config/lodestow"; }
    fs::path UserSettings() const { return user() / "Lodestow.ini"; }
    void InstallGame(const fs::path& folder,
                     const std::string& exe = "System/UnrealTournament.exe") {
        WriteFile(folder / exe, "MZ");
    }
    StartupOutcome Start() { return UnrealMOD::RunStartupSequence(form); }

    FakeHost form;
};

TEST_F(StartupTest, FirstStartStoresTheDefaultAndASecondStartOnlyReadsIt) {
    if (OnWindows())
        GTEST_SKIP() << "POSIX only: the default game folder is the machine's own on Windows";
    InstallGame(prefix.driveC() / "UnrealTournament");
    WriteFile(prefix.driveC() / "UnrealTournament/Cache/cache.ini",
              "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\n");
    EXPECT_EQ(Start(), StartupOutcome::GameFound);
    EXPECT_EQ(ReadFile(Settings()), "C:\\UnrealTournament\\\r\n");
    EXPECT_EQ(UnrealMOD::CacheIndexName, "cache.ini");
    EXPECT_EQ(form.catalogue.RowCount(), 2);
    EXPECT_TRUE(form.runitEnabled);
    EXPECT_FALSE(form.noFilesVisible);

    // A hand-edited value survives the next start untouched.
    WriteFile(Settings(), "C:\\UnrealTournament\\\r\nnotes of mine\r\n");
    UnrealMOD::GameFolder.clear();
    FakeHost again;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(again), StartupOutcome::GameFound);
    EXPECT_EQ(ReadFile(Settings()), "C:\\UnrealTournament\\\r\nnotes of mine\r\n");
    EXPECT_FALSE(fs::exists(user())) << "a portable copy leaves the player's folder alone";
}

// An installed program's folder takes no new files: the settings go to the player's own folder,
// with the same bytes, and the next start finds them there. A file that is already beside the
// executable still wins, read-only folder or not (a portable copy on read-only media).
TEST_F(StartupTest, InstalledProgramKeepsItsSettingsInThePlayersFolder) {
    if (OnWindows())
        GTEST_SKIP() << "POSIX only: the default game folder is the machine's own on Windows";
    InstallGame(prefix.driveC() / "UnrealTournament");
    InstallGame(prefix.driveC() / "Games/UT");
    MakeReadOnly(program.path());
    EXPECT_EQ(Start(), StartupOutcome::GameFound);
    EXPECT_EQ(ReadFile(UserSettings()), "C:\\UnrealTournament\\\r\n");
    EXPECT_FALSE(fs::exists(Settings()));

    WriteFile(UserSettings(), "C:\\Games\\UT\\\r\n");
    UnrealMOD::GameFolder.clear();
    FakeHost second;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(second), StartupOutcome::GameFound);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\Games\\UT\\");

    SetMode(program.path(), 0755);
    WriteFile(Settings(), "C:\\UnrealTournament\\\r\n");
    MakeReadOnly(program.path());
    UnrealMOD::GameFolder.clear();
    FakeHost third;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(third), StartupOutcome::GameFound);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\UnrealTournament\\");
    EXPECT_EQ(ReadFile(UserSettings()), "C:\\Games\\UT\\\r\n");
}

TEST_F(StartupTest, MissingGameHandsOverToTheLocationWindowButStillStoresTheDefault) {
    EXPECT_EQ(Start(), StartupOutcome::GameMissing);
    EXPECT_EQ(form.locationWindows, 1);
    EXPECT_EQ(ReadFile(Settings()), "C:\\UnrealTournament\\\r\n");
    EXPECT_EQ(UnrealMOD::CacheIndexName, "") << "no catalogue load without the game";
    EXPECT_EQ(form.catalogue.NumFilesText(), "Error");
}

TEST_F(StartupTest, GameCheckIgnoresLetterCase) {
    InstallGame(prefix.driveC() / "unrealtournament", "system/UNREALTOURNAMENT.EXE");
    WriteFile(Settings(), GamePath("C:\\UnrealTournament\\") + "\r\n");
    EXPECT_EQ(Start(), StartupOutcome::GameFound);
    EXPECT_EQ(form.locationWindows, 0);
}

// "{C}" stands for the prefix's drive C: as GamePath gives it.
std::string OnDriveC(std::string text) {
    const std::string drive = GamePath("C:");
    for (std::size_t at = text.find("{C}"); at != std::string::npos;
         at = text.find("{C}", at + drive.size()))
        text.replace(at, 3, drive);
    return text;
}

struct SettingsCase : NamedCase {
    std::string bytes;
    std::string gameFolder;
    bool gameFound;
};

class SettingsFileTest : public StartupTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFileTest, FirstLineBecomesTheGameFolderAndTheFileStaysAsItWas) {
    const auto& c = GetParam();
    const std::string bytes = OnDriveC(c.bytes);
    InstallGame(prefix.driveC() / "Games/UT");
    WriteFile(Settings(), bytes);
    EXPECT_EQ(Start(), c.gameFound ? StartupOutcome::GameFound : StartupOutcome::GameMissing);
    EXPECT_EQ(UnrealMOD::GameFolder, OnDriveC(c.gameFolder));
    EXPECT_EQ(ReadFile(Settings()), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsFileTest,
    ::testing::Values(
        SettingsCase{"CrLf", "{C}\\Games\\UT\\\r\n", "{C}\\Games\\UT\\", true},
        SettingsCase{"NoLineEnd", "{C}\\Games\\UT\\", "{C}\\Games\\UT\\", true},
        SettingsCase{"FurtherLines", "{C}\\Games\\UT\\\r\n{C}\\Else\\\r\n", "{C}\\Games\\UT\\",
                     true},
        SettingsCase{"CrOnly", "{C}\\Games\\UT\\\rjunk", "{C}\\Games\\UT\\", true},
        SettingsCase{"UnixLineEnd", "{C}\\Games\\UT\\\n{C}\\Else\\\n", "{C}\\Games\\UT\\", true},
        SettingsCase{"NoTrailingBackslash", "{C}\\Games\\UT\r\n", "{C}\\Games\\UT", false},
        SettingsCase{"Untrimmed", " {C}\\Games\\UT\\\r\n", " {C}\\Games\\UT\\", false},
        SettingsCase{"EmptyFirstLine", "\r\n", "", false},
        // No bytes at all: as if absent, but not overwritten.
        SettingsCase{"EmptyFile", "", "C:\\UnrealTournament\\", false},
        SettingsCase{"Windows1252", "{C}\\Spi\xe9le\\UT\\\r\n", "{C}\\Spi\xc3\xa9le\\UT\\", false}),
    CaseName());

TEST_F(StartupTest, EmptyFirstLineLooksForTheGameInTheWorkingFolder) {
    WriteFile(Settings(), "\r\n");
    const auto old = fs::current_path();
    InstallGame(program.path());
    fs::current_path(program.path());
    const auto outcome = Start();
    fs::current_path(old);
    EXPECT_EQ(outcome, StartupOutcome::GameFound);
    EXPECT_EQ(UnrealMOD::GameFolder, "");
}

TEST_F(StartupTest, UnwritableProgramAndPlayersFoldersAreNoError) {
    if (OnWindows())
        GTEST_SKIP() << "POSIX only: the default game folder is the machine's own on Windows";
    InstallGame(prefix.driveC() / "UnrealTournament");
    MakeReadOnly(program.path());
    MakeReadOnly(home.path());
    EXPECT_EQ(Start(), StartupOutcome::GameFound);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\UnrealTournament\\");
    EXPECT_FALSE(fs::exists(Settings()));
    EXPECT_FALSE(fs::exists(user().parent_path()));
}

TEST_F(StartupTest, SettingsNameTakenByAFolderFallsBackToTheDefault) {
    fs::create_directories(Settings());
    EXPECT_EQ(Start(), StartupOutcome::GameMissing);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\UnrealTournament\\");
    EXPECT_TRUE(fs::is_directory(Settings()));
}

TEST_F(StartupTest, ReopenedWindowNeitherReadsNorWritesSettings) {
    InstallGame(prefix.driveC() / "Games/UT");
    UnrealMOD::GameFolder = GamePath("C:\\Games\\UT\\");
    EXPECT_EQ(Start(), StartupOutcome::GameFound);
    EXPECT_FALSE(fs::exists(Settings()));
    EXPECT_EQ(UnrealMOD::GameFolder, GamePath("C:\\Games\\UT\\"));
}

struct CountCase : NamedCase {
    std::string index; // empty: no index file at all
    bool runitEnabled;
};

class TransferableCountTest : public StartupTest,
                              public ::testing::WithParamInterface<CountCase> {};

TEST_P(TransferableCountTest, NothingToTransferDisablesBeginTransfer) {
    const auto game = prefix.driveC() / "Games/UT";
    InstallGame(game);
    WriteFile(Settings(), GamePath("C:\\Games\\UT\\") + "\r\n");
    if (!GetParam().index.empty())
        WriteFile(game / "Cache/cache.ini", GetParam().index);
    EXPECT_EQ(Start(), StartupOutcome::GameFound);
    EXPECT_EQ(form.runitEnabled, GetParam().runitEnabled);
    EXPECT_EQ(form.noFilesVisible, !GetParam().runitEnabled);
}

INSTANTIATE_TEST_SUITE_P(Counts, TransferableCountTest,
                         ::testing::Values(CountCase{"NoIndex", "", false},
                                           CountCase{"OnlySystem", "[Cache]\r\nK=Core.u\r\n",
                                                     false},
                                           CountCase{"SectionOnly", "[Cache]\r\n", false},
                                           CountCase{"OneMap", "[Cache]\r\nK=DM-X.unr\r\n", true}),
                         CaseName());

TEST_F(StartupTest, ConfirmedFolderAlwaysGetsASeparator) {
    InstallGame(prefix.driveC() / "Games/UT");
    EXPECT_TRUE(UnrealMOD::ConfirmGameFolder(GamePath("C:\\Games\\UT")));
    EXPECT_EQ(UnrealMOD::GameFolder, GamePath("C:\\Games\\UT\\"));
    EXPECT_FALSE(UnrealMOD::ConfirmGameFolder(GamePath("C:\\")));
    EXPECT_EQ(UnrealMOD::GameFolder, GamePath("C:\\\\"));
    // The doubled separator is harmless: a game at the drive root is found through it.
    InstallGame(prefix.driveC());
    EXPECT_TRUE(UnrealMOD::ConfirmGameFolder(GamePath("C:\\")));
}

} // namespace
