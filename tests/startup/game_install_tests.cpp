// Generated install trees: what counts as a game, and which cache the game really uses.

#include "StartupFixture.h"

#include "startup/GameInstall.h"
#include "startup/Location.h"
#include "startup/StartupSequence.h"
#include "support/NullView.h"
#include "transfer/Transfer.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace testsupport;
using startup_test::OnWindows;
using UnrealMOD::StartupOutcome;

namespace {

// Game paths relative to the game folder; "~/" paths are in the home folder.
using Tree = std::vector<std::pair<std::string, std::string>>;

// The game at C:\Games\UT of the prefix.
class InstallTreeTest : public startup_test::StartupFixture {
protected:
    fs::path Native(const std::string& path) const {
        if (path.starts_with("~/"))
            return Utf8Path(Home(path));
        return game / path;
    }
    void Build(const Tree& files, const std::vector<std::string>& folders = {}) const {
        for (const auto& [path, bytes] : files)
            WriteFile(Native(path), bytes);
        for (const std::string& folder : folders)
            MakeFolder(Native(folder));
    }
    // "{game}" at the start stands for the game folder string, "{drive}" for its drive's root,
    // "~" for the home folder.
    std::string Expand(const std::string& text) const {
        if (text.starts_with("{game}"))
            return gameFolder + text.substr(6);
        if (text.starts_with("{drive}"))
            return gameFolder.substr(0, 3) + text.substr(7);
        return Home(text);
    }

    fs::path game = prefix.driveC() / "Games/UT";
    std::string gameFolder = GamePath("C:\\Games\\UT\\");
};

struct MarkerCase : NamedCase {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    bool installed;
};

class GameMarkerTest : public InstallTreeTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(GameMarkerTest, StartUpCheckAndEnterAgree) {
    Tree tree;
    for (const std::string& file : GetParam().files)
        tree.emplace_back(file, "program");
    Build(tree, GetParam().folders);
    WriteFile(Settings(), gameFolder + "\r\n");
    FakeHost host;
    EXPECT_EQ(UnrealMOD::RunStartupSequence(host),
              GetParam().installed ? StartupOutcome::GameFound : StartupOutcome::GameMissing);
    EXPECT_EQ(UnrealMOD::ConfirmGameFolder(GamePath("C:\\Games\\UT")), GetParam().installed);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, GameMarkerTest,
    ::testing::Values(
        MarkerCase{"WindowsExecutable", {"System/UnrealTournament.exe"}, {}, true},
        MarkerCase{"Linux32", {"System/ut-bin"}, {}, true},
        MarkerCase{"Linux64", {"System64/ut-bin"}, {}, true},
        MarkerCase{"Linux64Named", {"System64/ut-bin-amd64"}, {}, true},
        MarkerCase{"Arm64", {"SystemARM64/ut-bin"}, {}, true},
        MarkerCase{"Arm64Named", {"SystemARM64/ut-bin-arm64"}, {}, true},
        MarkerCase{"OtherLetterCase", {"system64/UT-Bin"}, {}, true},
        MarkerCase{
            "IniOnly", {"System/UnrealTournament.ini", "System64/UnrealTournament.ini"}, {}, false},
        MarkerCase{"ProgramInTheWrongFolder",
                   {"ut-bin", "System/ut-bin-amd64", "System64/ut-bin-arm64", "Help/ut-bin"},
                   {},
                   false},
        MarkerCase{"FoldersNamedLikePrograms",
                   {},
                   {"System/UnrealTournament.exe", "System64/ut-bin", "SystemARM64/ut-bin"},
                   false}),
    CaseName());

struct CacheCase : NamedCase {
    const char* marker; // the game's program
    Tree files;
    std::string folder; // expected cache folder
    std::string ext;    // expected extension
    std::vector<std::string> folders = {};
};

class CacheLocationTest : public InstallTreeTest,
                          public ::testing::WithParamInterface<CacheCase> {};

TEST_P(CacheLocationTest, CacheComesFromTheIniTheGameReads) {
    const CacheCase& c = GetParam();
    if (OnWindows() && c.folder.starts_with("~"))
        GTEST_SKIP() << "POSIX only: a native game's ini in the home folder";
    Build({{c.marker, "program"}}, c.folders);
    Build(c.files);
    const UnrealMOD::CacheLocation location = UnrealMOD::LocateCache(gameFolder);
    EXPECT_EQ(location.folder, Expand(c.folder));
    EXPECT_EQ(location.ext, c.ext);
}

std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// As many "..\\" as given: more than the game folder is deep, on every machine.
std::string Up(int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i)
        text += "..\\";
    return text;
}

// Binary junk around what a careless reader would take for the keys.
std::string Binary() {
    std::string bytes = "\x7F"
                        "ELF\x02\x01\x01\0\0\0[Core.System]\r\nCachePath=\x01\x02\0x\r\n"
                        "CacheExt=.u\0xx\r\n";
    bytes.append(std::string("\0\xFF\xFE\x80\x9F\r\x1A", 7));
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>((i * 73 + 11) & 0xFF);
    return bytes;
}

const char* const Exe = "System/UnrealTournament.exe";
const char* const Bin64 = "System64/ut-bin";
const char* const Bin32 = "System/ut-bin";
const std::string Ini = "System/UnrealTournament.ini";
const std::string Ini64 = "System64/UnrealTournament.ini";

INSTANTIATE_TEST_SUITE_P(
    Inis, CacheLocationTest,
    ::testing::Values(
        CacheCase{"NoIni", Exe, {}, "{game}Cache\\", ".uxx"},
        CacheCase{"DefaultsWrittenOut",
                  Exe,
                  {{Ini, "[Core.System]\r\nPurgeCacheDays=30\r\nCachePath=..\\Cache\r\n"
                         "CacheExt=.uxx\r\nPaths=..\\Maps\\*.unr\r\n"}},
                  "{game}Cache\\",
                  ".uxx"},
        CacheCase{"OtherRelativeFolderAndExtension",
                  Exe,
                  {{Ini, "[Engine.Engine]\r\nCachePath=..\\Wrong\r\n[Core.System]\r\n"
                         "CachePath=../Downloads/./Cache\r\nCachePath=..\\Second\r\n"
                         "CacheExt=.ucx\r\n"}},
                  "{game}Downloads\\Cache\\",
                  ".ucx"},
        CacheCase{"RelativeNeverAboveTheDrive",
                  Exe,
                  {{Ini, "[Core.System]\r\nCachePath=" + Up(16) + "Shared\r\n"}},
                  "{drive}Shared\\",
                  ".uxx"},
        CacheCase{"AbsoluteDrive",
                  Exe,
                  {{Ini, "[Core.System]\r\nCachePath=D:\\UT Cache\r\n"}},
                  "D:\\UT Cache\\",
                  ".uxx"},
        CacheCase{"AbsoluteNative",
                  Exe,
                  {{Ini, "[Core.System]\r\nCachePath=/srv/ut/../cache/\r\n"}},
                  "/srv/cache/",
                  ".uxx"},
        CacheCase{"NamesInAnyLetterCase",
                  Exe,
                  {{Ini, "[core.SYSTEM]\r\n  cachepath = ..\\Lower  \r\nCACHEEXT=\".low\"\r\n"}},
                  "{game}Lower\\",
                  ".low"},
        CacheCase{"FirstSectionOnly",
                  Exe,
                  {{Ini, "[Core.System]\r\nCacheExt=.one\r\n[Engine.Engine]\r\nX=1\r\n"
                         "[Core.System]\r\nCachePath=..\\Second\r\nCacheExt=.two\r\n"}},
                  "{game}Cache\\",
                  ".one"},
        CacheCase{"EmptyValuesAreDefaults",
                  Exe,
                  {{Ini, "[Core.System]\r\nCachePath=\r\nCacheExt=  \r\n"}},
                  "{game}Cache\\",
                  ".uxx"},
        CacheCase{"Ansi",
                  Exe,
                  {{Ini, "[Core.System]\r\nCachePath=..\\Cach\xE9\r\n"}},
                  "{game}Cach\xC3\xA9\\",
                  ".uxx"},
        CacheCase{"Utf8WithMark",
                  Exe,
                  {{Ini, "\xEF\xBB\xBF[Core.System]\r\nCachePath=..\\Cach\xC3\xA9\r\n"}},
                  "{game}Cach\xC3\xA9\\",
                  ".uxx"},
        CacheCase{"Utf8WithoutMark",
                  Exe,
                  {{Ini, "[Core.System]\nCachePath=..\\Cach\xC3\xA9\n"}},
                  "{game}Cach\xC3\xA9\\",
                  ".uxx"},
        CacheCase{"Utf16LeWithMark",
                  Exe,
                  {{Ini, Utf16Le(u"[Core.System]\r\nCachePath=..\\Cach\u00E9\r\nCacheExt=.w\r\n")}},
                  "{game}Cach\xC3\xA9\\",
                  ".w"},
        CacheCase{"Empty", Exe, {{Ini, ""}}, "{game}Cache\\", ".uxx"},
        CacheCase{"Binary", Exe, {{Ini, Binary()}}, "{game}Cache\\", ".uxx"},
        CacheCase{"Unreadable", Exe, {}, "{game}Cache\\", ".uxx", {Ini}},
        CacheCase{"NativeReadsTheHomeFolder",
                  Bin64,
                  {{Ini64, "[Core.System]\r\nCachePath=..\\GameCache\r\n"},
                   {"~/.utpg/System64/UnrealTournament.ini",
                    "[Core.System]\nCachePath=../Cache\nCacheExt=.uxx\n"}},
                  "~/.utpg/Cache/",
                  ".uxx"},
        CacheCase{"NativeHomeIniWithoutKeys",
                  Bin64,
                  {{Ini64, "[Core.System]\r\nCachePath=..\\GameCache\r\n"},
                   {"~/.utpg/System64/UnrealTournament.ini", "[Engine.Engine]\n"}},
                  "~/.utpg/Cache/",
                  ".uxx"},
        CacheCase{"NativeWithoutHomeIniReadsItsOwn",
                  Bin64,
                  {{Ini64, "[Core.System]\r\nCachePath=..\\GameCache\r\n"},
                   {"~/.utpg/System/UnrealTournament.ini", "[Core.System]\nCachePath=../Wrong\n"}},
                  "{game}GameCache\\",
                  ".uxx"},
        CacheCase{"OlderLinuxBuild",
                  Bin32,
                  {{"~/.loki/ut/System/UnrealTournament.ini", "[Core.System]\nCacheExt=.old\n"}},
                  "~/.loki/ut/Cache/",
                  ".old"},
        // The other games' native builds, each in its own home folder and by its own ini's name.
        CacheCase{"UT2004ReadsItsHomeFolder",
                  "System/UT2004",
                  {{"System/UT2004.ini", "[Core.System]\r\nCachePath=..\\GameCache\r\n"},
                   {"~/.ut2004/System/UT2004.ini", "[Core.System]\nCachePath=../Cache\n"}},
                  "~/.ut2004/Cache/",
                  ".uxx"},
        CacheCase{"Unreal227ReadsItsLinuxIni",
                  "System64/unreal-bin-amd64",
                  {{"System64/UnrealLinux.ini", "[Core.System]\r\nCacheExt=.uxz\r\n"}},
                  "{game}Cache\\",
                  ".uxz"},
        CacheCase{"Unreal227ReadsItsHomeFolder",
                  "System64/unreal-bin-amd64",
                  {{"System64/UnrealLinux.ini", "[Core.System]\r\nCacheExt=.uxz\r\n"},
                   {"~/.Unreal/System/UnrealLinux.ini", "[Core.System]\nCachePath=../Cache\n"}},
                  "~/.Unreal/Cache/",
                  ".uxx"},
        CacheCase{"WindowsBuildIgnoresTheHomeFolder",
                  Exe,
                  {{"~/.utpg/System/UnrealTournament.ini", "[Core.System]\nCachePath=../Wrong\n"}},
                  "{game}Cache\\",
                  ".uxx"}),
    CaseName());

// A native Linux game whose player files live in the home folder: start-up, then "Begin
// Transfer", with the cache taken from the home folder's ini (its own extension included).
TEST_F(InstallTreeTest, NativeGameWithItsCacheInTheHomeFolder) {
    if (OnWindows())
        GTEST_SKIP() << "POSIX only: a native game's ini in the home folder";
    const fs::path native = home.path() / ".local/share/OldUnreal/UnrealTournament";
    const fs::path cache = home.path() / ".utpg/Cache";
    WriteFile(native / "System64/ut-bin-amd64", "program");
    for (const char* folder : {"Maps", "Textures", "Sounds", "Music"})
        MakeFolder(native / folder);
    const std::string decoy = "[Cache]\r\nD1=DM-Decoy.unr\r\n";
    WriteFile(native / "Cache/cache.ini", decoy);
    WriteFile(native / "Cache/D1.uxx", "decoy");
    WriteFile(home.path() / ".utpg/System64/UnrealTournament.ini",
              "[Core.System]\nCachePath=../Cache\nCacheExt=.ucx\n");
    WriteFile(cache / "cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n");
    for (const char* name : {"K1", "K2", "K3"})
        WriteFile(cache / (std::string(name) + ".ucx"), std::string("bytes of ") + name);
    WriteFile(Settings(), native.string() + "/\r\n");

    FakeHost host;
    ASSERT_EQ(UnrealMOD::RunStartupSequence(host), StartupOutcome::GameFound);
    EXPECT_EQ(host.catalogue.NumFilesText(), "3");
    EXPECT_EQ(host.catalogue.OnesToTransferText(), "2");

    NullView view;
    std::vector<std::string> problems;
    view.onProblem = [&](const std::string& message) { problems.push_back(message); };
    UnrealMOD::RunitClick(host.catalogue, view);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(ReadFile(native / "Maps/DM-A.unr"), "bytes of K1");
    EXPECT_EQ(ReadFile(native / "Textures/Sky.utx"), "bytes of K3");
    EXPECT_EQ(Names(cache), (std::vector<std::string>{"K2.ucx", "cache.ini"}));
    EXPECT_EQ(ReadFile(cache / "cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
    EXPECT_EQ(ReadFile(native / "Cache/cache.ini"), decoy);
    EXPECT_EQ(ReadFile(native / "Cache/D1.uxx"), "decoy");
}

} // namespace
