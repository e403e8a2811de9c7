#include "platform/PathResolver.h"
#include "platform/Utf.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using platform::DriveRoot;
using platform::ResolvePath;
using testsupport::TempTree;

namespace {

#ifdef _WIN32
TEST(PathResolverTest, WinePathResolution) {
    GTEST_SKIP() << "POSIX only: Windows takes a game path as the native path it is";
}
#else

class PathResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string game = tree.driveC() + "/UnrealTournament";
        testsupport::MakeFolder(game);
        testsupport::MakeFolder(game + "/System");
        testsupport::WriteFile(game + "/System/UnrealTournament.exe", "MZ");
        // Two folders equal under case folding: exact spelling must win over either.
        testsupport::MakeFolder(game + "/Maps");
        testsupport::MakeFolder(game + "/MAPS");
        testsupport::MakeFolder(tree.driveC() + "/\xC3\x89lan");              // Élan
        testsupport::MakeFolder(tree.driveC() + "/\xD0\x9A\xD0\xB0\xD1\x80"); // Кар
        testsupport::MakeFolder(tree.driveC() + "/\xD2\x90\xD0\xB0\xD0\xBD"); // Ґан
        testsupport::MakeFolder(tree.driveC() + "/\xC4\xB0zmir");             // İzmir
        cRoot = tree.prefix() + "/dosdevices/c:";
    }
    TempTree tree;
    std::string cRoot;
};

TEST_F(PathResolverTest, ResolvesDriveCComponentsAsOnDisk) {
    const struct {
        const char* windows;
        const char* native; // below the C: root
    } cases[] = {
        {"C:\\unrealtournament\\system\\UNREALTOURNAMENT.EXE",
         "/UnrealTournament/System/UnrealTournament.exe"},
        {"c:/UnrealTournament/System", "/UnrealTournament/System"},
        {"C:\\UnrealTournament/System\\", "/UnrealTournament/System"},
        {"C:\\\\UnrealTournament\\\\\\System", "/UnrealTournament/System"},
        {"C:\\UnrealTournament\\Maps", "/UnrealTournament/Maps"},
        {"C:\\UnrealTournament\\MAPS", "/UnrealTournament/MAPS"},
        // No exact match: the first equal entry in byte order ("MAPS" < "Maps").
        {"C:\\UnrealTournament\\maps", "/UnrealTournament/MAPS"},
        {"C:\\UnrealTournament\\mApS\\DM-New.unr", "/UnrealTournament/MAPS/DM-New.unr"},
        {"C:\\.\\UnrealTournament\\.\\Maps\\..\\System", "/UnrealTournament/System"},
        {"C:\\UnrealTournament\\..\\..\\..\\..\\UnrealTournament", "/UnrealTournament"},
        {"C:..\\..\\unrealtournament", "/UnrealTournament"},
        // What does not exist keeps the program's spelling, below it too.
        {"C:\\UnrealTournament\\NewFolder\\New File.TXT",
         "/UnrealTournament/NewFolder/New File.TXT"},
        {"C:\\\xC3\xA9LAN", "/\xC3\x89lan"},                           // éLAN -> Élan
        {"C:\\\xD0\xBA\xD0\x90\xD0\xA0", "/\xD0\x9A\xD0\xB0\xD1\x80"}, // кАР -> Кар
        {"C:\\\xD2\x91\xD0\x90\xD0\x9D", "/\xD2\x90\xD0\xB0\xD0\xBD"}, // ґАН -> Ґан
        {"C:\\IZMIR", "/IZMIR"},                                       // İzmir is another name
        {"C:", ""},
        {"C:\\", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        const auto resolved = ResolvePath(c.windows);
        ASSERT_TRUE(resolved.has_value());
        EXPECT_EQ(*resolved, cRoot + c.native);
    }
}

TEST_F(PathResolverTest, DriveZFallsBackToRootUnlessMapped) {
    EXPECT_EQ(ResolvePath("Z:\\"), "/");
    EXPECT_EQ(ResolvePath("z:" + tree.root() + "/PREFIX/Drive_C"), tree.driveC());

    ASSERT_EQ(::symlink("../drive_c", (tree.prefix() + "/dosdevices/z:").c_str()), 0);
    EXPECT_EQ(ResolvePath("Z:\\unrealtournament"),
              tree.prefix() + "/dosdevices/z:/UnrealTournament");
    EXPECT_EQ(DriveRoot('z'), tree.prefix() + "/dosdevices/z:");
}

TEST_F(PathResolverTest, UnresolvableDriveMakesEveryPathAbsent) {
    EXPECT_EQ(ResolvePath("D:\\UnrealTournament\\System"), std::nullopt);
    EXPECT_EQ(ResolvePath("d:"), std::nullopt);
    EXPECT_EQ(DriveRoot('D'), std::nullopt);
    // A mapping that leads nowhere, or to a file, is no drive either; not even for Z:.
    ASSERT_EQ(::symlink("../missing", (tree.prefix() + "/dosdevices/e:").c_str()), 0);
    testsupport::WriteFile(tree.root() + "/afile", "x");
    ASSERT_EQ(::symlink("../../afile", (tree.prefix() + "/dosdevices/f:").c_str()), 0);
    ASSERT_EQ(::symlink("../missing", (tree.prefix() + "/dosdevices/z:").c_str()), 0);
    EXPECT_EQ(ResolvePath("E:\\x"), std::nullopt);
    EXPECT_EQ(ResolvePath("F:\\"), std::nullopt);
    EXPECT_EQ(ResolvePath("Z:\\tmp"), std::nullopt);
}

TEST_F(PathResolverTest, NativeAbsoluteAndRelativePaths) {
    EXPECT_EQ(ResolvePath(tree.driveC() + "/unrealtournament\\SYSTEM"),
              tree.driveC() + "/UnrealTournament/System");
    EXPECT_EQ(ResolvePath("/../.."), "/");
    EXPECT_EQ(ResolvePath("\\"), "/");

    char* old = ::get_current_dir_name();
    ASSERT_EQ(::chdir((tree.driveC() + "/UnrealTournament").c_str()), 0);
    EXPECT_EQ(ResolvePath("system\\unrealtournament.exe"),
              tree.driveC() + "/UnrealTournament/System/UnrealTournament.exe");
    EXPECT_EQ(ResolvePath(""), tree.driveC() + "/UnrealTournament");
    // Relative paths may climb out of the working folder, and what they reach is matched again.
    EXPECT_EQ(ResolvePath("..\\..\\DRIVE_C\\unrealtournament"),
              tree.driveC() + "/UnrealTournament");
    ASSERT_EQ(::chdir(old), 0);
    std::free(old);
}

TEST_F(PathResolverTest, PrefixDefaultsToHomeWine) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", tree.root().c_str(), 1);
    ::unsetenv("WINEPREFIX");
    testsupport::MakeFolder(tree.root() + "/.wine");
    testsupport::MakeFolder(tree.root() + "/.wine/dosdevices");
    ASSERT_EQ(::symlink("../../prefix/drive_c", (tree.root() + "/.wine/dosdevices/c:").c_str()), 0);
    EXPECT_EQ(ResolvePath("C:\\UNREALTOURNAMENT"),
              tree.root() + "/.wine/dosdevices/c:/UnrealTournament");
    ::setenv("WINEPREFIX", "", 1); // empty counts as unset
    EXPECT_EQ(DriveRoot('c'), tree.root() + "/.wine/dosdevices/c:");
    ::setenv("HOME", savedHome.c_str(), 1);
}

#ifdef PROGRAM_FOLDER_PROBE
// The program folder is the executable's folder whatever its name holds: the settings file and
// the cues are found beside the executable, not in folders its backslashes seem to name. The
// same holds for the player's configuration folder.
TEST(ProgramFolder, IsTheExecutablesFolderWhateverItsName) {
    testsupport::TempDir dir;
    const char* names[] = {"lode\\stow", "trailing\\", "..\\up", "C:\\Games"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const char* name = names[i];
        SCOPED_TRACE(name);
        const auto folder = dir.path() / name;
        testsupport::MakeFolder(folder);
        testsupport::WriteFile(folder / "ImpactFire.wav", "RIFF");
        std::filesystem::copy_file(PROGRAM_FOLDER_PROBE, folder / "probe");
        const std::string command = "XDG_CONFIG_HOME='" + (folder / name).string() + "' '" +
                                    (folder / "probe").string() + "'";
        FILE* out = ::popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        char line[256] = {};
        const bool read = std::fgets(line, sizeof line, out) != nullptr;
        const int status = ::pclose(out);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(read);
        EXPECT_STREQ(line, "ImpactFire.wav");
        for (const auto& settings :
             {folder / "Lodestow.ini", folder / name / "lodestow" / "Lodestow.ini"})
            EXPECT_EQ(testsupport::ReadFile(settings), "C:\\UnrealTournament\\\r\n") << settings;
        // Nothing was made outside the folder.
        EXPECT_EQ(testsupport::Names(dir.path()).size(), i + 1);
    }
}
#endif
#endif

TEST(UtfMatching, Wildcards) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*", "anything.uxx", true},
        {"*.*", "README", true},
        {"*.uxx", "K1.UXX", true},
        {"*.uxx", "K1.uxx.bak", false},
        {"K?.uxx", "K1.uxx", true},
        {"K?.uxx", "K.uxx", false},
        {"K?.uxx", "K12.uxx", false},
        {"?.wav", "\xC3\x9C.wav", true}, // one character, two bytes
        {"??.wav", "\xC3\x9C.wav", false},
        {"*a*b*c", "xxaxxbxxbxxc", true},
        {"*a*b*c", "xxaxxbxxbxxcx", false},
        {"a**", "A", true},
        {"exact.ini", "EXACT.INI", true},
        {"exact.ini", "exact.in", false},
        {"dm-\xCE\xAC*", "DM-\xCE\x86\xCE\xBB.unr", true}, // ά matches Ά
        {"ctf-i*", "CTF-\xC4\xB0zmir.unr", false},         // i does not match İ
        {"", "", true},
        {"", "a", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
        EXPECT_EQ(platform::utf::WildcardMatch(c.pattern, c.name), c.match);
    }
    // No exponential backtracking on a hostile pattern.
    EXPECT_FALSE(platform::utf::WildcardMatch(std::string(40, '*') + "b", std::string(5000, 'a')));
}

} // namespace
