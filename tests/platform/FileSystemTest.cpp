// <windows.h> first: the platform header takes back the names it turns into macros.
#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/FileSystem.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using testsupport::TempTree;
using Names = std::vector<std::string>;

namespace {

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        game = tree.driveC() + "/Game";
        testsupport::MakeFolder(game);
        testsupport::MakeFolder(game + "/Cache");
        testsupport::MakeFolder(game + "/Maps");
        testsupport::WriteFile(game + "/Cache/K1.uxx", "map bytes");
        testsupport::WriteFile(game + "/Cache/cache.ini", "[Cache]\r\n");
        testsupport::WriteFile(game + "/Cache/.hidden", "h");
        testsupport::WriteFile(game + "/Cache/README", "r");
        testsupport::MakeFolder(game + "/Cache/A.uxx"); // a folder that sorts before K1.uxx
        testsupport::WriteFile(game + "/Maps/DM-A.unr", "old map");
    }
    TempTree tree;
    std::string game; // native
    const std::string w = testsupport::GamePath("C:\\Game\\");
};

TEST_F(FileSystemTest, FindFirstFileMatchesRegularFilesOnly) {
    testsupport::WriteFile(testsupport::Utf8Path(game + "/Cache/\xC3\x9C.wav"), "u");
    const struct {
        std::string pattern;
        std::optional<std::string> found;
    } cases[] = {
        {w + "Cache\\k1.UXX", "K1.uxx"},
        {testsupport::GamePath("c:/game/CACHE/K1.uxx"), "K1.uxx"},
        {w + "Cache\\*.uxx", "K1.uxx"},
        {w + "Cache\\K?.uxx", "K1.uxx"},
        {w + "Cache\\K??.uxx", std::nullopt},
        {w + "Cache\\?.wav", "\xC3\x9C.wav"},
#ifndef _WIN32
        // No hidden attribute here: a name with a dot in front is a file like any other.
        {w + "Cache\\*.*", ".hidden"},
        {w + "Cache\\.HIDDEN", ".hidden"},
#endif
        {w + "Cache\\A.uxx", std::nullopt}, // folder
        {w + "Cache\\A*", std::nullopt},
        {w + "Cache", std::nullopt},
        {w + "Cache\\", std::nullopt},
        {w + "Cache\\.", std::nullopt},
        {w + "Cache\\..", std::nullopt},
        {w + "Nowhere\\*", std::nullopt},
        {"Q:\\*", std::nullopt},
        {game + "/Cache/cache.INI", "cache.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(platform::FindFirstFile(c.pattern), c.found);
    }
#ifdef _WIN32
    // Hidden and system files never match; the first match is in the file system's order.
    ASSERT_TRUE(::SetFileAttributesW(testsupport::Utf8Path(game + "/Cache/.hidden").c_str(),
                                     FILE_ATTRIBUTE_HIDDEN));
    testsupport::WriteFile(game + "/Cache/sys.uxx", "s");
    ASSERT_TRUE(::SetFileAttributesW(testsupport::Utf8Path(game + "/Cache/sys.uxx").c_str(),
                                     FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(platform::FindFirstFile(w + "Cache\\.HIDDEN"), std::nullopt);
    EXPECT_EQ(platform::FindFirstFile(w + "Cache\\sys.uxx"), std::nullopt);
    const auto any = platform::FindFirstFile(w + "Cache\\*.*");
    const Names visible{"K1.uxx", "README", "cache.ini", "\xC3\x9C.wav"};
    EXPECT_TRUE(any && std::find(visible.begin(), visible.end(), *any) != visible.end())
        << any.value_or("(none)");
#endif
}

TEST_F(FileSystemTest, FindFirstFilePrefersTheExactSpelling) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: on Windows two names that differ in letter case are one file";
#else
    testsupport::WriteFile(game + "/Maps/dm-a.unr", "other");
    EXPECT_EQ(platform::FindFirstFile(w + "Maps\\dm-a.unr"), "dm-a.unr");
    EXPECT_EQ(platform::FindFirstFile(w + "Maps\\DM-A.unr"), "DM-A.unr");
    // A folder with the exact name does not hide a file of another spelling.
    testsupport::MakeFolder(game + "/Maps/Dm-A.unr");
    EXPECT_EQ(platform::FindFirstFile(w + "Maps\\Dm-A.unr"), "DM-A.unr");
#endif
}

TEST_F(FileSystemTest, ExistenceAndReadOnlyQueries) {
    testsupport::WriteFile(game + "/Maps/Locked.unr", "x");
    testsupport::SetMode(game + "/Maps/Locked.unr", 0444);
    const struct {
        std::string path;
        bool exists, folder, readOnly;
    } cases[] = {
        {w + "cache\\K1.UXX", true, false, false}, {w + "CACHE", true, true, false},
        {w + "Cache\\", true, true, false},        {w + "maps\\locked.unr", true, false, true},
        {w + "Missing", false, false, false},      {"Q:\\", false, false, false},
        {"/dev/null", false, false, false}, // neither file nor folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::PathExists(c.path), c.exists);
        EXPECT_EQ(platform::IsDirectory(c.path), c.folder);
        EXPECT_EQ(platform::IsReadOnly(c.path), c.readOnly);
    }
}

// Every writing operation under the read-only rule: the target stays as it was.
TEST_F(FileSystemTest, ReadOnlyFileIsNeverChanged) {
    testsupport::WriteFile(tree.root() + "/new.unr", "new map");
    const std::string locked = game + "/Maps/DM-A.unr";
    testsupport::SetMode(locked, 0444);
    const std::string target = w + "maps\\dm-a.unr";
    const std::pair<const char*, std::function<bool()>> operations[] = {
        {"DeleteFile", [&] { return platform::DeleteFile(target); }},
        {"CopyFileReplace",
         [&] { return platform::CopyFileReplace(tree.root() + "/new.unr", target); }},
        {"WriteFileBytes", [&] { return platform::WriteFileBytes(target, "new"); }},
        {"ReplaceFileAtomic", [&] { return platform::ReplaceFileAtomic(target, "new"); }},
        {"CreateOrTruncateFile", [&] { return platform::CreateOrTruncateFile(target); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(operation());
        EXPECT_EQ(testsupport::TryReadFile(locked), "old map");
        EXPECT_EQ(testsupport::Names(game + "/Maps"), Names{"DM-A.unr"});
    }
}

TEST_F(FileSystemTest, ReadOnlyFolderGainsAndLosesNoFiles) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: on Windows the read-only attribute of a folder does not refuse "
                    "new files (Explorer sets it on folders it customises)";
#else
    testsupport::WriteFile(tree.root() + "/new.unr", "new map");
    testsupport::SetMode(game + "/Maps", 0555);
    const std::pair<const char*, std::function<bool()>> operations[] = {
        {"DeleteFile", [&] { return platform::DeleteFile(w + "Maps\\DM-A.unr"); }},
        {"CopyFileReplace new",
         [&] { return platform::CopyFileReplace(tree.root() + "/new.unr", w + "Maps\\B.unr"); }},
        // Replacing means renaming into the folder, which its write bit forbids too.
        {"CopyFileReplace existing",
         [&] { return platform::CopyFileReplace(tree.root() + "/new.unr", w + "Maps\\DM-A.unr"); }},
        {"WriteFileBytes", [&] { return platform::WriteFileBytes(w + "Maps\\B.unr", "b"); }},
        {"ReplaceFileAtomic", [&] { return platform::ReplaceFileAtomic(w + "Maps\\B.unr", "b"); }},
        {"CreateOrTruncateFile", [&] { return platform::CreateOrTruncateFile(w + "Maps\\B.unr"); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(operation());
        EXPECT_EQ(testsupport::Names(game + "/Maps"), Names{"DM-A.unr"});
        EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "old map");
    }
    // An existing writable file in such a folder can still be rewritten in place.
    EXPECT_TRUE(platform::WriteFileBytes(w + "Maps\\DM-A.unr", "rewritten"));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "rewritten");
#endif
}

TEST_F(FileSystemTest, DeleteFile) {
    EXPECT_TRUE(platform::DeleteFile(w + "cache\\k1.uxx"));
    EXPECT_EQ(testsupport::Names(game + "/Cache"),
              (Names{".hidden", "A.uxx", "README", "cache.ini"}));
    EXPECT_FALSE(platform::DeleteFile(w + "Cache\\K1.uxx")); // already gone
    EXPECT_FALSE(platform::DeleteFile(w + "Cache\\A.uxx"));  // a folder
    EXPECT_FALSE(platform::DeleteFile(w + "Cache\\*"));      // no patterns here
    EXPECT_EQ(testsupport::Names(game + "/Cache"),
              (Names{".hidden", "A.uxx", "README", "cache.ini"}));
}

TEST_F(FileSystemTest, CopyFileReplaceKeepsTheExistingSpellingAndMode) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: file modes";
#else
    testsupport::SetMode(game + "/Maps/DM-A.unr", 0640);
    ASSERT_TRUE(platform::CopyFileReplace(w + "Cache\\K1.uxx", w + "MAPS\\dm-a.UNR"));
    EXPECT_EQ(testsupport::Names(game + "/Maps"), Names{"DM-A.unr"});
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "map bytes");
    struct stat st {};
    ASSERT_EQ(::stat((game + "/Maps/DM-A.unr").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(testsupport::TryReadFile(game + "/Cache/K1.uxx"), "map bytes"); // the source stays

    // A new file gets the program's spelling.
    ASSERT_TRUE(platform::CopyFileReplace(w + "Cache\\K1.uxx", w + "Maps\\CTF-New.unr"));
    EXPECT_EQ(testsupport::Names(game + "/Maps"), (Names{"CTF-New.unr", "DM-A.unr"}));
#endif
}

TEST_F(FileSystemTest, CopyFileReplaceCopiesLargeFilesExactly) {
    std::string big(5 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    testsupport::WriteFile(game + "/Cache/BIG.uxx", big);
    ASSERT_TRUE(platform::CopyFileReplace(w + "Cache\\BIG.uxx", w + "Maps\\DM-A.unr"));
    EXPECT_TRUE(testsupport::TryReadFile(game + "/Maps/DM-A.unr") == big);
    // Empty files copy too.
    testsupport::WriteFile(game + "/Cache/Empty.uxx", "");
    ASSERT_TRUE(platform::CopyFileReplace(w + "Cache\\Empty.uxx", w + "Maps\\DM-A.unr"));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "");
}

TEST_F(FileSystemTest, FailedCopyLeavesDestinationAndFolderAsTheyWere) {
    testsupport::MakeFolder(game + "/Maps/Folder.unr");
    const struct {
        const char* name;
        std::string source, destination;
    } cases[] = {
        {"missing source", w + "Cache\\K9.uxx", w + "Maps\\DM-A.unr"},
        {"source is a folder", w + "Cache\\A.uxx", w + "Maps\\DM-A.unr"},
        {"source on no drive", "Q:\\K1.uxx", w + "Maps\\DM-A.unr"},
        {"missing folder", w + "Cache\\K1.uxx", w + "Music\\DM-A.unr"},
        {"destination is a folder", w + "Cache\\K1.uxx", w + "Maps\\folder.UNR"},
        {"destination on no drive", w + "Cache\\K1.uxx", "Q:\\Maps\\DM-A.unr"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(platform::CopyFileReplace(c.source, c.destination));
        EXPECT_EQ(testsupport::Names(game + "/Maps"), (Names{"DM-A.unr", "Folder.unr"}));
        EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "old map");
        EXPECT_EQ(testsupport::Names(game), (Names{"Cache", "Maps"}));
    }
}

TEST_F(FileSystemTest, ReplaceFileAtomicKeepsTheOnDiskSpelling) {
    ASSERT_TRUE(
        platform::ReplaceFileAtomic(w + "Cache\\Cache.ini", "[Cache]\r\nK2=Pack.u\r\n\r\n"));
    EXPECT_EQ(testsupport::Names(game + "/Cache"),
              (Names{".hidden", "A.uxx", "K1.uxx", "README", "cache.ini"}));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
    ASSERT_TRUE(platform::ReplaceFileAtomic(w + "Maps\\New.ini", "n"));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/New.ini"), "n");
    EXPECT_FALSE(platform::ReplaceFileAtomic(w + "Cache\\A.uxx", "n")); // a folder
}

TEST_F(FileSystemTest, PlainReadsAndWrites) {
    EXPECT_EQ(platform::ReadFileBytes(w + "CACHE\\Cache.INI"), "[Cache]\r\n");
    EXPECT_EQ(platform::ReadFileBytes(w + "Cache\\A.uxx"), std::nullopt);
    EXPECT_EQ(platform::ReadFileBytes(w + "Cache\\K9.uxx"), std::nullopt);

    EXPECT_TRUE(platform::WriteFileBytes(w + "maps\\dm-a.unr", "short"));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "short");
    EXPECT_TRUE(platform::CreateOrTruncateFile(w + "Maps\\DM-A.UNR"));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/DM-A.unr"), "");
    EXPECT_TRUE(platform::CreateOrTruncateFile(w + "Maps\\Probe.tmp"));
    EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/Probe.tmp"), "");
    EXPECT_FALSE(platform::CreateOrTruncateFile(w + "Maps"));
    EXPECT_FALSE(platform::WriteFileBytes(w + "Nowhere\\x", "x"));

    // A pinned read names the file whose bytes it read, whatever spelling reached it.
    platform::PinnedFile index, again, map;
    EXPECT_EQ(platform::ReadFileBytes(w + "CACHE\\Cache.INI", index), "[Cache]\r\n");
    EXPECT_EQ(platform::ReadFileBytes(w + "cache\\CACHE.ini", again), "[Cache]\r\n");
    EXPECT_EQ(platform::ReadFileBytes(w + "Cache\\K1.uxx", map), "map bytes");
    EXPECT_EQ(platform::ReadFileBytes(again.location), "[Cache]\r\n");
    EXPECT_EQ(again.identity, index.identity);
    EXPECT_NE(map.identity, index.identity);

#ifndef _WIN32
    // A dangling link is not followed to create a file elsewhere.
    ASSERT_EQ(::symlink((tree.root() + "/elsewhere").c_str(), (game + "/Maps/link").c_str()), 0);
    EXPECT_FALSE(platform::CreateOrTruncateFile(w + "Maps\\link"));
    EXPECT_EQ(testsupport::TryReadFile(tree.root() + "/elsewhere"), std::nullopt);
#endif
}

TEST_F(FileSystemTest, ListSubfoldersSortsWithoutRegardToCase) {
    const std::string base = tree.driveC();
    for (const char* name : {"b", "A", "C", "unrealtournament"})
        testsupport::MakeFolder(base + "/" + name);
    testsupport::WriteFile(base + "/a.txt", "x");
    Names expected{"A", "b", "C", "Game", "unrealtournament"};
#ifndef _WIN32
    ASSERT_EQ(::symlink("C", (base + "/Link").c_str()), 0);
    ASSERT_EQ(::symlink("a.txt", (base + "/FileLink").c_str()), 0);
    expected.insert(expected.begin() + 4, "Link");
#endif
    EXPECT_EQ(platform::ListSubfolders(testsupport::GamePath("C:\\")), expected);
    EXPECT_EQ(platform::ListSubfolders(testsupport::GamePath("C:\\Nowhere")), std::nullopt);
    EXPECT_EQ(platform::ListSubfolders(testsupport::GamePath("C:\\a.txt")), std::nullopt);
    EXPECT_EQ(platform::ListSubfolders("Q:\\"), std::nullopt);
}

TEST_F(FileSystemTest, LogicalDrivesAreThePrefixDrivesAndZ) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the drives of a Wine prefix";
#else
    EXPECT_EQ(platform::LogicalDrives(), (Names{"C:", "Z:"}));
    const std::string devices = tree.prefix() + "/dosdevices/";
    ASSERT_EQ(::symlink("/", (devices + "z:").c_str()), 0);
    ASSERT_EQ(::symlink("../drive_c/Game", (devices + "d:").c_str()), 0);
    ASSERT_EQ(::symlink("../missing", (devices + "e:").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (devices + "f:").c_str()), 0);
    ASSERT_EQ(::symlink("/", (devices + "com1").c_str()), 0);
    ASSERT_EQ(::symlink("/", (devices + "gg:").c_str()), 0);
    EXPECT_EQ(platform::LogicalDrives(), (Names{"C:", "D:", "Z:"}));
#endif
}

TEST(ExecutableFolder, IsTheFolderOfThisTestProgram) {
    const std::string folder = platform::ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_NE(folder.back(), '\\');
#ifdef _WIN32
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "\\platform_tests.exe")) << folder;
#else
    struct stat st {};
    EXPECT_EQ(::stat((folder + "/platform_tests").c_str(), &st), 0);
#endif
}

// A destination on a nearly full disk: the copy and the atomic rewrite fail with everything as
// it was and no temporary file left, while a small copy on the same disk still works. Runs in a
// child process with a private mount namespace holding a 1 MiB tmpfs.
TEST_F(FileSystemTest, FullDiskLeavesDestinationWhole) {
    const std::string disk = tree.root() + "/disk";
    testsupport::MakeFolder(disk);
    const std::string big(4 * 1024 * 1024, 'b');
    testsupport::WriteFile(tree.root() + "/big.uxx", big);

    testsupport::InOwnMountNamespace([&] {
        testsupport::MountTmpfs(disk, 1024 * 1024);
        testsupport::WriteFile(disk + "/DM-A.unr", "old map");
        EXPECT_FALSE(platform::CopyFileReplace(tree.root() + "/big.uxx", disk + "/dm-a.unr"))
            << "copy reported success";
        EXPECT_EQ(testsupport::TryReadFile(disk + "/DM-A.unr"), "old map")
            << "destination changed by copy";
        EXPECT_EQ(testsupport::Names(disk), Names{"DM-A.unr"}) << "copy left a file behind";
        EXPECT_FALSE(platform::ReplaceFileAtomic(disk + "/DM-A.unr", big))
            << "rewrite reported success";
        EXPECT_EQ(testsupport::TryReadFile(disk + "/DM-A.unr"), "old map")
            << "destination changed by rewrite";
        EXPECT_EQ(testsupport::Names(disk), Names{"DM-A.unr"}) << "rewrite left a file behind";
        EXPECT_FALSE(platform::CopyFileReplace(tree.root() + "/big.uxx", disk + "/New.unr"))
            << "new-file copy reported success";
        EXPECT_EQ(testsupport::Names(disk), Names{"DM-A.unr"})
            << "new-file copy left a file behind";
        EXPECT_TRUE(platform::CopyFileReplace(w + "Cache\\K1.uxx", disk + "/DM-A.unr"))
            << "small copy failed";
        EXPECT_EQ(testsupport::TryReadFile(disk + "/DM-A.unr"), "map bytes") << "small copy wrong";
    });
}

} // namespace

namespace {

// The move of a transfer, on one disk and across file systems (Music is a tmpfs of its own), for
// each case that must not lose or double a package.
struct MoveCase {
    const char* name;
    std::string to;                                // "Maps" (same disk) or "Music" (tmpfs)
    std::string toName;                            // name in the destination folder
    std::function<void(const std::string&)> setup; // given the game folder (native)
    std::function<void(const std::string&)> beforeCommit;
    platform::MoveResult result;
    std::optional<std::string> sourceAfter; // K1.uxx after Finish
    std::optional<std::string> destAfter;
};

TEST_F(FileSystemTest, MoveKeepsEveryPackageWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: hard links, file modes and a tmpfs of its own";
#else
    using R = platform::MoveResult;
    const std::vector<MoveCase> cases = {
        {"RenameOnOneDisk", "Maps", "DM-B.unr", nullptr, nullptr, R::Moved, std::nullopt,
         "map bytes"},
        // An installed file is never replaced; one with the very same bytes lets the source go.
        {"InstalledOnOneDiskStays", "Maps", "DM-A.unr", nullptr, nullptr, R::DestinationTaken,
         "map bytes", "old map"},
        {"DuplicateOnOneDisk", "Maps", "DM-A.unr",
         [](const std::string& g) { testsupport::WriteFile(g + "/Maps/DM-A.unr", "map bytes"); },
         nullptr, R::Duplicate, std::nullopt, "map bytes"},
        {"CopyAcrossFileSystems", "Music", "Song.umx", nullptr, nullptr, R::Moved, std::nullopt,
         "map bytes"},
        {"InstalledAcrossFileSystemsStays", "Music", "Old.umx", nullptr, nullptr,
         R::DestinationTaken, "map bytes", "old song"},
        {"DuplicateAcrossFileSystems", "Music", "Old.umx",
         [](const std::string& g) { testsupport::WriteFile(g + "/Music/Old.umx", "map bytes"); },
         nullptr, R::Duplicate, std::nullopt, "map bytes"},
        {"ReadOnlySourceDuplicateStays", "Music", "Old.umx",
         [](const std::string& g) {
             testsupport::WriteFile(g + "/Music/Old.umx", "map bytes");
             chmod((g + "/Cache/K1.uxx").c_str(), 0444);
         },
         nullptr, R::DuplicateKept, "map bytes", "map bytes"},
        // A file that takes the name while the copy is made is not replaced by it.
        {"DestinationAppearsDuringTheCopy", "Music", "Song.umx",
         [](const std::string& g) {
             platform::SetAfterCopyForTesting(
                 [g] { testsupport::WriteFile(g + "/Music/Song.umx", "appeared"); });
         },
         nullptr, R::DestinationTaken, "map bytes", "appeared"},
        {"ReadOnlySourceIsCopiedAndKept", "Maps", "DM-B.unr",
         [](const std::string& g) { chmod((g + "/Cache/K1.uxx").c_str(), 0444); }, nullptr,
         R::CopiedSourceKept, "map bytes", "map bytes"},
        {"ReadOnlyDestinationIsNotReplaced", "Maps", "DM-A.unr",
         [](const std::string& g) { chmod((g + "/Maps/DM-A.unr").c_str(), 0444); }, nullptr,
         R::DestinationTaken, "map bytes", "old map"},
        {"HardLinkIsTheSameFile", "Maps", "DM-L.unr",
         [](const std::string& g) {
             link((g + "/Cache/K1.uxx").c_str(), (g + "/Maps/DM-L.unr").c_str());
         },
         nullptr, R::SameFile, "map bytes", "map bytes"},
        // Rewritten while it is copied: the torn copy never takes the name.
        {"SourceRewrittenDuringItsCopy", "Music", "Song.umx",
         [](const std::string& g) {
             platform::SetAfterCopyForTesting(
                 [g] { testsupport::WriteFile(g + "/Cache/K1.uxx", "newer bytes"); });
         },
         nullptr, R::SourceChanged, "newer bytes", std::nullopt},
        // Changed after its copy was made: the copy stays in place, the changed file in the cache.
        {"SourceChangedBeforeItsDeletion", "Music", "Song.umx", nullptr,
         [](const std::string& g) { testsupport::WriteFile(g + "/Cache/K1.uxx", "newer bytes"); },
         R::Moved, "newer bytes", "map bytes"},
        {"SourceReplacedBeforeItsDeletion", "Music", "Song.umx", nullptr,
         [](const std::string& g) {
             testsupport::WriteFile(g + "/Cache/new", "map bytes");
             rename((g + "/Cache/new").c_str(), (g + "/Cache/K1.uxx").c_str());
         },
         R::Moved, "map bytes", "map bytes"},
    };
    testsupport::InOwnMountNamespace([&] {
        testsupport::MakeFolder(game + "/Music");
        testsupport::MountTmpfs(game + "/Music", 1 << 20);
        for (const MoveCase& c : cases) {
            SCOPED_TRACE(c.name);
            testsupport::WriteFile(game + "/Cache/K1.uxx", "map bytes");
            chmod((game + "/Cache/K1.uxx").c_str(), 0644);
            testsupport::WriteFile(game + "/Music/Old.umx", "old song");
            if (c.setup)
                c.setup(game);
            const auto from = platform::OpenFolder(w + "Cache");
            const auto to = platform::OpenFolder(w + c.to);
            ASSERT_TRUE(from && to);
            {
                platform::MoveBatch batch;
                EXPECT_EQ(batch.Move(*from, "K1.uxx", *to, c.toName), c.result);
                if (c.beforeCommit)
                    c.beforeCommit(game);
                EXPECT_TRUE(batch.Finish());
            }
            platform::SetAfterCopyForTesting(nullptr);
            EXPECT_EQ(testsupport::TryReadFile(game + "/Cache/K1.uxx"), c.sourceAfter);
            EXPECT_EQ(testsupport::TryReadFile(game + "/" + c.to + "/" + c.toName), c.destAfter);
            for (const char* f :
                 {"/Cache/K1.uxx", "/Maps/DM-B.unr", "/Maps/DM-L.unr", "/Music/Song.umx"})
                unlink((game + f).c_str());
            chmod((game + "/Maps/DM-A.unr").c_str(), 0644);
            testsupport::WriteFile(game + "/Maps/DM-A.unr", "old map");
        }
    });
#endif
}

// Every entry, told apart as a file the search can match or not.
TEST_F(FileSystemTest, ReadFolderListsEveryEntryWithItsKind) {
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(testsupport::Utf8Path(game + "/Cache/.hidden").c_str(),
                                     FILE_ATTRIBUTE_HIDDEN));
#endif
    const auto cache = platform::OpenFolder(w + "cache");
    ASSERT_TRUE(cache);
    const auto entries = platform::ReadFolder(*cache);
    ASSERT_TRUE(entries);
    Names files, folders;
    for (const auto& e : *entries)
        (e.regularFile ? files : folders).push_back(e.name);
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
#ifdef _WIN32
    // A hidden file is no match for the search (Wine hides names with a dot in front anyway).
    EXPECT_EQ(files, (Names{"K1.uxx", "README", "cache.ini"}));
    EXPECT_EQ(folders, (Names{".hidden", "A.uxx"}));
#else
    EXPECT_EQ(files, (Names{".hidden", "K1.uxx", "README", "cache.ini"}));
    EXPECT_EQ(folders, (Names{"A.uxx"}));
#endif
    EXPECT_FALSE(platform::OpenFolder(w + "Cache\\K1.uxx"));
    EXPECT_FALSE(platform::OpenFolder(w + "Nowhere"));
}

// Gives a file another modification time, as a writer would, without opening it for writing:
// the copy holds its source open and shares no writing on Windows.
void TouchFile(const std::string& native) {
#ifdef _WIN32
    HANDLE h = ::CreateFileW(testsupport::Utf8Path(native).c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME written{};
    ASSERT_TRUE(::GetFileTime(h, nullptr, nullptr, &written));
    written.dwHighDateTime += 1; // about seven minutes later
    EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &written));
    ::CloseHandle(h);
#else
    const auto when = std::filesystem::last_write_time(native);
    std::filesystem::last_write_time(native, when + std::chrono::minutes(7));
#endif
}

// The move on one disk, where both systems can make every case: a rename that replaces or not, a
// read-only source copied and kept, a read-only destination left alone, and a source that changes
// while it is copied, which leaves the destination as it was and no file behind.
TEST_F(FileSystemTest, MoveOnOneDiskKeepsEveryPackageWhole) {
    using R = platform::MoveResult;
    const struct {
        const char* name;
        const char* toName;
        const char* readOnly; // native, relative to the game folder
        bool changeDuringCopy;
        R result;
        std::optional<std::string> sourceAfter, destAfter;
    } cases[] = {
        {"rename", "DM-B.unr", nullptr, false, R::Moved, std::nullopt, "map bytes"},
        {"installed file stays", "DM-A.unr", nullptr, false, R::DestinationTaken, "map bytes",
         "old map"},
        {"read-only source", "DM-B.unr", "/Cache/K1.uxx", false, R::CopiedSourceKept, "map bytes",
         "map bytes"},
        {"read-only destination", "DM-A.unr", "/Maps/DM-A.unr", false, R::DestinationTaken,
         "map bytes", "old map"},
        {"source changed during its copy to a new name", "DM-B.unr", "/Cache/K1.uxx", true,
         R::SourceChanged, "map bytes", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WriteFile(game + "/Cache/K1.uxx", "map bytes");
        if (c.readOnly)
            testsupport::SetMode(game + c.readOnly, 0444);
        if (c.changeDuringCopy)
            platform::SetAfterCopyForTesting([&] { TouchFile(game + "/Cache/K1.uxx"); });
        {
            platform::MoveBatch batch;
            const auto from = platform::OpenFolder(w + "Cache");
            const auto to = platform::OpenFolder(w + "Maps");
            ASSERT_TRUE(from && to);
            EXPECT_EQ(batch.Move(*from, "K1.uxx", *to, c.toName), c.result);
            EXPECT_TRUE(batch.Finish());
        }
        platform::SetAfterCopyForTesting(nullptr);
        const std::string dest = c.toName;
        EXPECT_EQ(testsupport::TryReadFile(game + "/Cache/K1.uxx"), c.sourceAfter);
        EXPECT_EQ(testsupport::TryReadFile(game + "/Maps/" + dest), c.destAfter);
        const Names expected =
            c.destAfter && dest == "DM-B.unr" ? Names{"DM-A.unr", "DM-B.unr"} : Names{"DM-A.unr"};
        EXPECT_EQ(testsupport::Names(game + "/Maps"), expected);
        if (c.readOnly)
            testsupport::SetMode(game + c.readOnly, 0644);
        std::error_code ec;
        std::filesystem::remove(game + "/Maps/DM-B.unr", ec);
        testsupport::WriteFile(game + "/Maps/DM-A.unr", "old map");
    }
}

// Beyond the 260 units of the plain Windows calls (the long form takes over there) every
// operation works as on a short path; beyond the 32767 units any path can have, none pretends to.
TEST_F(FileSystemTest, LongPathsWorkAndOverlongOnesFail) {
    std::string folder = w + "Maps";
    std::string native = game + "/Maps";
    for (int i = 0; i < 4; ++i) {
        const std::string part(100, static_cast<char>('a' + i));
        folder += "\\" + part;
        native += "/" + part;
        testsupport::MakeFolder(native);
    }
    const std::string file = folder + "\\DM-Long.unr";
    ASSERT_GT(file.size(), 400u);
    EXPECT_TRUE(platform::ReplaceFileAtomic(file, "first"));
    EXPECT_EQ(platform::FindFirstFile(folder + "\\dm-long.*"), "DM-Long.unr");
    EXPECT_TRUE(platform::CopyFileReplace(w + "Cache\\K1.uxx", file));
    EXPECT_EQ(platform::ReadFileBytes(file), "map bytes");
    EXPECT_EQ(platform::ListFiles(folder), Names{"DM-Long.unr"});
    EXPECT_TRUE(platform::DeleteFile(file));
    EXPECT_EQ(platform::ListFiles(folder), Names{});

    const std::string overlong = w + std::string(40000, 'x');
    EXPECT_FALSE(platform::CreateOrTruncateFile(overlong));
    EXPECT_FALSE(platform::PathExists(overlong));
    EXPECT_EQ(platform::FindFirstFile(overlong), std::nullopt);
}

} // namespace
