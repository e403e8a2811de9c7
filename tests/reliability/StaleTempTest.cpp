// Temporary files of the copy and of the index rewrite: nothing is removed for the shape of its
// name; a leftover of a killed run goes only when the journal of that run recorded it, and only
// while it is still the file recorded.

// <windows.h> first: the platform header takes back the names it turns into macros.
#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
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

// Files shaped exactly like the program's temporaries, and others nearly so: all a user's.
const std::vector<std::string> Lookalikes = {
    ".DM-A.unr.lodestow-a1B2c3", ".Other.utx.lodestow-ZZZZZZ", ".cache.ini.lodestow-000000",
    "DM-A.unr.lodestow-a1B2c3",  ".DM-A.unr.lodestow-a1B2c",   ".notes.lodestow"};

TEST(StaleTempTest, NothingIsRemovedForTheShapeOfItsName) {
    testsupport::TempDir dir;
    const fs::path maps = dir.path() / "Maps", cache = dir.path() / "Cache";
    fs::create_directories(maps);
    fs::create_directories(cache);
    for (const fs::path& folder : {maps, cache})
        for (const std::string& name : Lookalikes)
            WriteFile(folder / name, "the user's");
    WriteFile(cache / "K1.uxx", "map");
    WriteFile(cache / "K2.uxx", "other map");
    WriteFile(cache / "cache.ini", "old");

    ASSERT_TRUE(
        platform::CopyFileReplace((cache / "K1.uxx").string(), (maps / "DM-A.unr").string()));
    ASSERT_TRUE(platform::ReplaceFileAtomic((cache / "Cache.ini").string(), "new"));
    {
        platform::MoveBatch batch;
        const auto from = platform::OpenFolder(cache.string());
        const auto to = platform::OpenFolder(maps.string());
        ASSERT_TRUE(from && to);
        EXPECT_EQ(batch.Move(*from, "K2.uxx", *to, "DM-B.unr"), platform::MoveResult::Moved);
        EXPECT_TRUE(batch.Finish());
    }
    std::vector<std::string> inMaps = Lookalikes, inCache = Lookalikes;
    inMaps.insert(inMaps.end(), {"DM-A.unr", "DM-B.unr"});
    inCache.insert(inCache.end(), {"K1.uxx", "cache.ini"});
    std::sort(inMaps.begin(), inMaps.end());
    std::sort(inCache.begin(), inCache.end());
    EXPECT_EQ(Names(maps), inMaps);
    EXPECT_EQ(Names(cache), inCache);
    for (const fs::path& folder : {maps, cache})
        for (const std::string& name : Lookalikes)
            EXPECT_EQ(ReadFile(folder / name), "the user's") << name;
    EXPECT_EQ(ReadFile(maps / "DM-B.unr"), "other map");
}

// A journal line as the program writes it, for a file that exists: its identity, then its path.
std::string JournalLine(const fs::path& file) {
#ifdef _WIN32
    const HANDLE h = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info));
    CloseHandle(h);
    const std::uint64_t index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return std::to_string(info.dwVolumeSerialNumber) + " " + std::to_string(index) + " " +
           file.string() + "\n";
#else
    struct stat st {};
    EXPECT_EQ(lstat(file.c_str(), &st), 0);
    return std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + file.string() + "\n";
#endif
}

// Where journals are kept, under a state folder the test chooses, and the variable naming it.
#ifdef _WIN32
constexpr const char* StateVariable = "LOCALAPPDATA";
constexpr const char* JournalFolder = "Lodestow/temporaries";
#else
constexpr const char* StateVariable = "XDG_STATE_HOME";
constexpr const char* JournalFolder = "lodestow/temporaries";
#endif

void SetVariable(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
#endif
}

// Holds a journal the way its running program does, so that no other run takes it for an ended one.
class HeldJournal {
public:
    explicit HeldJournal(const fs::path& path) {
#ifdef _WIN32
        h_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h_, INVALID_HANDLE_VALUE);
#else
        fd_ = open(path.c_str(), O_RDONLY);
        EXPECT_EQ(flock(fd_, LOCK_EX), 0);
#endif
    }
    ~HeldJournal() {
#ifdef _WIN32
        CloseHandle(h_);
#else
        close(fd_);
#endif
    }

private:
#ifdef _WIN32
    HANDLE h_;
#else
    int fd_;
#endif
};

// The journal of a run that ended (killed) lists three temporaries: one still as recorded, one
// whose name now holds another file, and one cut short by the kill. A journal whose program
// still runs is left alone, and so is a file shaped like a temporary that no journal lists.
TEST(StaleTempTest, TheNextRunRemovesOnlyWhatAnEndedRunRecorded) {
    testsupport::TempDir dir;
    const char* oldState = std::getenv(StateVariable);
    const std::optional<std::string> savedState =
        oldState ? std::optional<std::string>(oldState) : std::nullopt;
    SetVariable(StateVariable, (dir.path() / "state").string());
    const fs::path journals = dir.path() / "state" / JournalFolder;
    fs::create_directories(journals);
    const fs::path maps = dir.path() / "Maps";
    fs::create_directories(maps);

    const fs::path ours = maps / ".DM-A.unr.lodestow-a1B2c3";
    const fs::path replaced = maps / ".DM-B.unr.lodestow-d4E5f6";
    const fs::path cut = maps / ".DM-C.unr.lodestow-g7H8i9";
    const fs::path living = maps / ".DM-D.unr.lodestow-j1K2l3";
    const fs::path unlisted = maps / ".DM-E.unr.lodestow-m4N5o6";
    for (const fs::path& file : {ours, replaced, cut, living, unlisted})
        WriteFile(file, "partial");
    const std::string replacedLine = JournalLine(replaced);
    fs::rename(replaced, dir.path() / "held"); // its file number is not free for the next
    WriteFile(replaced, "the user's");
    std::string cutLine = JournalLine(cut);
    cutLine.pop_back();
    std::ofstream(journals / "ended.journal", std::ios::binary)
        << JournalLine(ours) << replacedLine << cutLine;
    std::ofstream(journals / "living.journal", std::ios::binary) << JournalLine(living);
    {
        HeldJournal hold(journals / "living.journal");
        platform::MoveBatch run;
    }
    SetVariable(StateVariable, savedState);

    EXPECT_FALSE(fs::exists(ours));
    EXPECT_EQ(ReadFile(replaced), "the user's");
    EXPECT_TRUE(fs::exists(cut));
    EXPECT_TRUE(fs::exists(living));
    EXPECT_TRUE(fs::exists(unlisted));
    EXPECT_FALSE(fs::exists(journals / "ended.journal"));
    EXPECT_TRUE(fs::exists(journals / "living.journal"));
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
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: file modes";
#else
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
#endif
}

} // namespace
