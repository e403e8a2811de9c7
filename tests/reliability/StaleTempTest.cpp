// Temporary files of the copy and of the index rewrite: a leftover of a killed run is removed by
// the next write into its folder, and nothing that only looks like one is touched.

#include "platform/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What a killed run of either kind leaves, and what a user may keep beside it.
struct Leftovers {
    std::vector<std::string> ours = {".DM-A.unr.lodestow-a1B2c3", ".Other.utx.lodestow-ZZZZZZ",
                                     ".cache.ini.lodestow-000000"};
    std::vector<std::string> theirs = {"DM-A.unr.lodestow-a1B2c3",   // no leading dot
                                       ".DM-A.unr.lodestow-a1B2c",   // five characters
                                       ".DM-A.unr.lodestow-a1B2c3d", // seven
                                       ".DM-A.unr.lodestow-a1B_c3",  // not a letter or digit
                                       ".lodestow-a1B2c3",           // no name before the marker
                                       ".DM-A.unr.lodestow-a1B2c3.txt",
                                       ".notes.lodestow"};
};

void Plant(const fs::path& folder, const Leftovers& l) {
    for (const std::string& name : l.ours)
        WriteFile(folder / name, "partial");
    for (const std::string& name : l.theirs)
        WriteFile(folder / name, "the user's");
    // Of our pattern, but protected or not a file: left alone.
    WriteFile(folder / ".Locked.unr.lodestow-Locked", "read-only");
    testsupport::MakeReadOnly(folder / ".Locked.unr.lodestow-Locked");
    fs::create_directory(folder / ".Folder.unr.lodestow-Folder");
    fs::create_symlink("/nonexistent", folder / ".Link.unr.lodestow-LinkLk");
}

void ExpectOnlyTheirsLeft(const fs::path& folder, const Leftovers& l,
                          std::vector<std::string> also) {
    also.insert(also.end(), l.theirs.begin(), l.theirs.end());
    also.push_back(".Locked.unr.lodestow-Locked");
    also.push_back(".Folder.unr.lodestow-Folder");
    also.push_back(".Link.unr.lodestow-LinkLk");
    std::sort(also.begin(), also.end());
    EXPECT_EQ(Names(folder), also);
    for (const std::string& name : l.theirs)
        EXPECT_EQ(ReadFile(folder / name), "the user's") << name;
}

TEST(StaleTempTest, CopyIntoAFolderRemovesOnlyOurLeftovers) {
    testsupport::TempDir dir;
    const fs::path maps = dir.path() / "Maps";
    fs::create_directories(maps);
    const Leftovers l;
    Plant(maps, l);
    WriteFile(dir.path() / "K1.uxx", "map");

    ASSERT_TRUE(platform::CopyFileReplace((dir.path() / "K1.uxx").string(),
                                          (maps / "DM-New.unr").string()));
    ExpectOnlyTheirsLeft(maps, l, {"DM-New.unr"});
    EXPECT_EQ(ReadFile(maps / "DM-New.unr"), "map");
}

TEST(StaleTempTest, ReplacingTheIndexRemovesOnlyOurLeftovers) {
    testsupport::TempDir dir;
    const fs::path cache = dir.path() / "Cache";
    fs::create_directories(cache);
    const Leftovers l;
    Plant(cache, l);
    WriteFile(cache / "cache.ini", "old");

    ASSERT_TRUE(platform::ReplaceFileAtomic((cache / "Cache.ini").string(), "new"));
    ExpectOnlyTheirsLeft(cache, l, {"cache.ini"});
    EXPECT_EQ(ReadFile(cache / "cache.ini"), "new");
}

// A write that is refused (read-only destination) must not clean up either: nothing in a folder
// changes unless the program writes there.
TEST(StaleTempTest, RefusedCopyChangesNothingInTheFolder) {
    testsupport::TempDir dir;
    const fs::path maps = dir.path() / "Maps";
    fs::create_directories(maps);
    WriteFile(maps / "DM-A.unr", "old");
    testsupport::MakeReadOnly(maps / "DM-A.unr");
    WriteFile(maps / ".DM-A.unr.lodestow-a1B2c3", "partial");
    WriteFile(dir.path() / "K1.uxx", "map");

    EXPECT_FALSE(
        platform::CopyFileReplace((dir.path() / "K1.uxx").string(), (maps / "DM-A.unr").string()));
    EXPECT_EQ(Names(maps), (std::vector<std::string>{".DM-A.unr.lodestow-a1B2c3", "DM-A.unr"}));
}

// Replacing keeps the mode of the file it replaces, and a new file gets the usual one: the
// unnamed file must not end up with the mode it was opened with.
TEST(StaleTempTest, ReplacedAndNewFilesGetTheRightMode) {
    testsupport::TempDir dir;
    WriteFile(dir.path() / "src", "bytes");
    WriteFile(dir.path() / "old", "old");
    fs::permissions(dir.path() / "old", fs::perms(0640));
    ASSERT_TRUE(
        platform::CopyFileReplace((dir.path() / "src").string(), (dir.path() / "old").string()));
    ASSERT_TRUE(
        platform::CopyFileReplace((dir.path() / "src").string(), (dir.path() / "new").string()));
    struct stat st {};
    ASSERT_EQ(stat((dir.path() / "old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640U);
    ASSERT_EQ(stat((dir.path() / "new").c_str(), &st), 0);
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666U & ~mask);
    EXPECT_EQ(ReadFile(dir.path() / "new"), "bytes");
    EXPECT_EQ(ReadFile(dir.path() / "old"), "bytes");
}

} // namespace
