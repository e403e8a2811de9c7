// First start: the game found where players' installations put it, in generated home folders.

#include "StartupFixture.h"

#include "startup/Discovery.h"
#include "startup/StartupSequence.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

using namespace testsupport;
using startup_test::StartupFixture;
using UnrealMOD::StartupOutcome;

namespace {

#ifdef _WIN32
TEST(FirstStartTest, WhereLinuxPlayersKeepTheGame) {
    GTEST_SKIP() << "POSIX only: the places of Steam, Lutris, Heroic and Wine prefixes on Linux";
}
#endif

// "~" in a path or a file's text stands for the home folder.
struct HomeTree {
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::pair<std::string, std::string>> links = {}; // link, target
    std::string dataHome = {};                                   // XDG_DATA_HOME
};

class DiscoveryTest : public StartupFixture {
protected:
    void Build(const HomeTree& tree) const {
        for (const auto& [path, bytes] : tree.files)
            WriteFile(Utf8Path(Home(path)), Home(bytes));
        for (const auto& [link, target] : tree.links) {
            MakeFolder(Utf8Path(Home(link)).parent_path());
            fs::create_directory_symlink(Utf8Path(Home(target)), Utf8Path(Home(link)));
        }
#ifndef _WIN32
        if (!tree.dataHome.empty())
            ::setenv("XDG_DATA_HOME", Home(tree.dataHome).c_str(), 1);
#endif
    }
};

// A settings file says where the game is even when it names no game; the home folder's game
// (which a first start would have found) does not replace it.
TEST_F(DiscoveryTest, ASettingsFileThatExistsIsNeverSecondGuessed) {
    Build({{{"~/.local/share/OldUnreal/UnrealTournament/System64/ut-bin", "x"}}});
    for (const std::string& bytes : {std::string("D:\\Gone\\\r\n"), std::string()}) {
        WriteFile(Settings(), bytes);
        UnrealMOD::GameFolder.clear();
        FakeHost host;
        EXPECT_EQ(UnrealMOD::RunStartupSequence(host), StartupOutcome::GameMissing);
        EXPECT_EQ(host.locationWindows, 1);
        EXPECT_EQ(ReadFile(Settings()), bytes);
    }
}

#ifndef _WIN32

struct DiscoveryCase : NamedCase {
    HomeTree tree;
    std::string found; // "" when no one game is found
};

class FirstStartTest : public DiscoveryTest, public ::testing::WithParamInterface<DiscoveryCase> {};

TEST_P(FirstStartTest, OneGameFoundIsStoredOtherwiseTheDefault) {
    Build(GetParam().tree);
    FakeHost host;
    const StartupOutcome outcome = UnrealMOD::RunStartupSequence(host);
    if (GetParam().found.empty()) {
        EXPECT_EQ(outcome, StartupOutcome::GameMissing);
        EXPECT_EQ(host.locationWindows, 1);
        EXPECT_EQ(ReadFile(Settings()), "C:\\UnrealTournament\\\r\n");
    } else {
        const std::string found = Home(GetParam().found);
        EXPECT_EQ(outcome, StartupOutcome::GameFound);
        EXPECT_EQ(UnrealMOD::GameFolder, found);
        EXPECT_EQ(ReadFile(Settings()), found + "\r\n");
    }
}

const std::string Steam = "~/.local/share/Steam/steamapps/";
const std::string Vdf = Steam + "libraryfolders.vdf";

INSTANTIATE_TEST_SUITE_P(
    Homes, FirstStartTest,
    ::testing::Values(
        DiscoveryCase{"NativeInstaller",
                      {{{"~/.local/share/OldUnreal/UnrealTournament/System64/ut-bin", "x"}}},
                      "~/.local/share/OldUnreal/UnrealTournament/"},
        DiscoveryCase{"NativeInstallerUnderXdgDataHome",
                      {{{"~/data/OldUnreal/UnrealTournament/System/ut-bin", "x"}}, {}, "~/data"},
                      "~/data/OldUnreal/UnrealTournament/"},
        DiscoveryCase{"SteamItself",
                      {{{Steam + "common/Unreal Tournament/System/UnrealTournament.exe", "x"}}},
                      "~/.local/share/Steam/steamapps/common/Unreal Tournament/"},
        DiscoveryCase{
            "SteamThirdLibrary",
            {{{Vdf,
               "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"~/.local/share/Steam\"\n"
               "\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"~/disk1/SteamLibrary\"\n\t}\n"
               "\t\"2\"\n\t{\n\t\t\"path\"\t\t\"~/disk2/SteamLibrary\"\n\t\t\"apps\"\n\t\t{\n"
               "\t\t\t\"13240\"\t\t\"123\"\n\t\t}\n\t}\n}\n"},
              {"~/disk1/SteamLibrary/steamapps/common/Other Game/Game.exe", "x"},
              {"~/disk2/SteamLibrary/steamapps/common/Unreal Tournament/System/"
               "UnrealTournament.exe",
               "x"}}},
            "~/disk2/SteamLibrary/steamapps/common/Unreal Tournament/"},
        DiscoveryCase{"SteamSeenThroughItsLinksCountsOnce",
                      {{{Steam + "common/Unreal Tournament/System/UnrealTournament.exe", "x"}},
                       {{"~/.steam/steam", "~/.local/share/Steam"},
                        {"~/.steam/root", "~/.local/share/Steam"}}},
                      "~/.local/share/Steam/steamapps/common/Unreal Tournament/"},
        DiscoveryCase{"FlatpakSteam",
                      {{{"~/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/"
                         "Unreal Tournament/System/UnrealTournament.exe",
                         "x"}}},
                      "~/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/"
                      "Unreal Tournament/"},
        DiscoveryCase{"LutrisNative",
                      {{{"~/Games/unreal-tournament/System64/ut-bin-amd64", "x"}}},
                      "~/Games/unreal-tournament/"},
        DiscoveryCase{
            "LutrisWinePrefix",
            {{{"~/Games/unreal-tournament/drive_c/UnrealTournament/System/UnrealTournament.exe",
               "x"}}},
            "~/Games/unreal-tournament/drive_c/UnrealTournament/"},
        DiscoveryCase{
            "Heroic",
            {{{"~/Games/Heroic/Unreal Tournament GOTY/System/UnrealTournament.exe", "x"}}},
            "~/Games/Heroic/Unreal Tournament GOTY/"},
        DiscoveryCase{"HeroicPrefix",
                      {{{"~/Games/Heroic/Prefixes/UT/drive_c/UnrealTournament/System/"
                         "UnrealTournament.exe",
                         "x"}}},
                      "~/Games/Heroic/Prefixes/UT/drive_c/UnrealTournament/"},
        DiscoveryCase{"DefaultWinePrefix",
                      {{{"~/.wine/drive_c/UnrealTournament/System/UnrealTournament.exe", "x"}}},
                      "~/.wine/drive_c/UnrealTournament/"},
        DiscoveryCase{
            "NoneAmongLookalikes",
            {{{"~/.local/share/OldUnreal/UnrealTournament/System/UnrealTournament.ini", "x"},
              {Steam + "common/Unreal Tournament/System/Core.u", "x"},
              {"~/Games/Heroic/Other/System/UnrealTournament.exe/x", "x"},
              {"~/UnrealTournament/System/UnrealTournament.exe", "x"}}},
            ""},
        DiscoveryCase{"TwoGames",
                      {{{"~/.local/share/OldUnreal/UnrealTournament/System64/ut-bin", "x"},
                        {"~/Games/ut/System/UnrealTournament.exe", "x"}}},
                      ""},
        // The other games, each where its own installation puts it; Unreal Tournament wins over
        // them, and two of them leave the choice to the player.
        DiscoveryCase{"UT2004OnSteam",
                      {{{Steam + "common/Unreal Tournament 2004/System/UT2004.exe", "x"}}},
                      "~/.local/share/Steam/steamapps/common/Unreal Tournament 2004/"},
        DiscoveryCase{"UT2004WhereItsSteamManifestSays",
                      {{{Steam + "appmanifest_13230.acf",
                         "\"AppState\"\n{\n\t\"appid\"\t\"13230\"\n\t\"installdir\"\t\"UT2004 "
                         "Classic\"\n}\n"},
                        {Steam + "common/UT2004 Classic/System/UT2004.exe", "x"}}},
                      "~/.local/share/Steam/steamapps/common/UT2004 Classic/"},
        DiscoveryCase{"KillingFloorOnSteam",
                      {{{Steam + "common/KillingFloor/System/killingfloor-bin", "x"}}},
                      "~/.local/share/Steam/steamapps/common/KillingFloor/"},
        DiscoveryCase{"UnrealGoldInAHeroicPrefix",
                      {{{"~/Games/Heroic/Prefixes/U/drive_c/UnrealGold/System/Unreal.exe", "x"}}},
                      "~/Games/Heroic/Prefixes/U/drive_c/UnrealGold/"},
        DiscoveryCase{"UnrealTournamentWinsOverTheOthers",
                      {{{"~/.wine/drive_c/UT2004/System/UT2004.exe", "x"},
                        {"~/.wine/drive_c/Rune/System/Rune.exe", "x"},
                        {"~/.wine/drive_c/UnrealTournament/System/UnrealTournament.exe", "x"}}},
                      "~/.wine/drive_c/UnrealTournament/"},
        DiscoveryCase{"TwoOtherGames",
                      {{{"~/.wine/drive_c/UT2004/System/UT2004.exe", "x"},
                        {"~/Games/kf/System/KillingFloor.exe", "x"}}},
                      ""}),
    CaseName());

TEST_F(DiscoveryTest, AFolderThatCannotBeStoredIsUsedForThisRunOnly) {
    Build({{{"~/Games/Line\nBreak/System64/ut-bin", "x"}}});
    FakeHost host;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host), StartupOutcome::GameFound);
    EXPECT_EQ(UnrealMOD::GameFolder, Home("~/Games/Line\nBreak/"));
    EXPECT_FALSE(fs::exists(Settings()));
}

#endif

struct VdfCase : NamedCase {
    std::string vdf;
    std::vector<std::string> libraries;
};

class SteamLibraryTest : public ::testing::TestWithParam<VdfCase> {};

TEST_P(SteamLibraryTest, EveryListedLibraryInOrder) {
    EXPECT_EQ(UnrealMOD::SteamLibraryFolders(GetParam().vdf), GetParam().libraries);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SteamLibraryTest,
    ::testing::Values(
        VdfCase{
            "Current",
            "\"libraryfolders\"\r\n{\r\n\t\"contentstatsid\"\t\t\"-4\"\r\n"
            "\t\"0\"\r\n\t{\r\n\t\t\"path\"\t\t\"C:\\\\Program Files (x86)\\\\Steam\"\r\n"
            "\t\t\"label\"\t\t\"\"\r\n\t\t\"apps\"\r\n\t\t{\r\n\t\t\t\"13240\"\t\t\"1\"\r\n"
            "\t\t}\r\n\t}\r\n\t\"1\"\r\n\t{\r\n\t\t\"path\"\t\t\"D:\\\\Steam \\\"Games\\\"\"\r\n"
            "\t}\r\n\t\"2\"\r\n\t{\r\n\t\t\"PATH\"\t\t\"/mnt/games\"\r\n\t}\r\n}\r\n",
            {"C:\\Program Files (x86)\\Steam", "D:\\Steam \"Games\"", "/mnt/games"}},
        VdfCase{"Older",
                "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1\"\n"
                "\t\"ContentStatsID\"\t\t\"-2\"\n\t\"1\"\t\t\"/mnt/one\"\n"
                "\t// a comment \"2\" \"/no\"\n\t\"2\"\t\t\"/mnt/two\"\n}\n",
                {"/mnt/one", "/mnt/two"}},
        VdfCase{"NamesElsewhereAreNoLibraries",
                "\"libraryfolders\"\n{\n\t\"path\"\t\"/top\"\n\t\"0\"\n\t{\n\t\t\"apps\"\n\t\t{\n"
                "\t\t\t\"path\"\t\"/deep\"\n\t\t}\n\t}\n}\n",
                {}},
        VdfCase{"Truncated",
                "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/mnt/a",
                {"/mnt/a"}},
        VdfCase{"Binary", std::string("\0\xFF{}}\"\x01\"{\0", 11), {}}),
    CaseName());

TEST(SteamManifestTest, OneFolderNameOrNone) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"\"AppState\"\r\n{\r\n\t\"appid\"\t\t\"1250\"\r\n\t\"InstallDir\"\t\t\"KillingFloor\"\r\n"
         "\t\"UserConfig\"\r\n\t{\r\n\t\t\"installdir\"\t\"No\"\r\n\t}\r\n}\r\n",
         "KillingFloor"},
        {"\"AppState\"\n{\n\t\"UserConfig\"\n\t{\n\t\t\"installdir\"\t\"Deep\"\n\t}\n}\n",
         std::nullopt},
        {"\"AppState\"\n{\n\t\"installdir\"\t\"..\"\n}\n", std::nullopt},
        {"\"AppState\"\n{\n\t\"installdir\"\t\"../../Elsewhere\"\n}\n", std::nullopt},
        {"\"AppState\"\n{\n\t\"installdir\"\t\"C:\\\\Games\"\n}\n", std::nullopt},
        {"\"AppState\"\n{\n\t\"installdir\"\t\"\"\n}\n", std::nullopt},
        {std::string("\0}}{\"installdir\"", 16), std::nullopt},
    };
    for (const auto& [acf, folder] : cases)
        EXPECT_EQ(UnrealMOD::SteamInstallFolder(acf), folder) << acf;
}

} // namespace
