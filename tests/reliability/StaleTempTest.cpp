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
#include <functional>
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
    fs::permissions(journals, fs::perms::owner_all); // as the program makes it: private
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

// A journal is acted on only when it is the running user's own, in a private folder of theirs,
// and only for a file of a temporary's shape reached without a link. Each case below records a
// file with its true identity: only the first, the normal case, may remove it.
TEST(StaleTempTest, OnlyTheUsersOwnJournalsRemoveAndOnlyTemporaries) {
    struct Files {
        fs::path state, journals, target, journal;
    };
    struct Case {
        const char* what;
        bool posixOnly;
        bool removed;                        // the recorded file
        bool journalKept;                    // ignored journals stay for their own user
        std::function<void(Files&)> arrange; // before the journal line is written
    };
#ifndef _WIN32
    constexpr uid_t player = 1000; // anyone but the user who runs the test
    const auto chownAll = [](const fs::path& top, uid_t uid) {
        for (fs::path p = top;; p = p.parent_path()) {
            EXPECT_EQ(lchown(p.c_str(), uid, uid), 0) << p;
            if (p.filename() == "state")
                break;
        }
    };
#endif
    const std::vector<Case> cases = {
        {"the run's own journal", false, true, false, [](Files&) {}},
        {"a name not of a temporary's shape", false, false, false,
         [](Files& f) { f.target = f.target.parent_path() / "DM-Keep.unr"; }},
#ifndef _WIN32
        {"a journal another user owns", true, false, true,
         [&](Files& f) {
             WriteFile(f.journal, "");
             EXPECT_EQ(lchown(f.journal.c_str(), player, player), 0);
         }},
        {"a journal folder others can write to", true, false, true,
         [](Files& f) { fs::permissions(f.journals, fs::perms::all); }},
        // A player's link in a folder of the user's own journal: the recorded path goes
        // through it to a folder only the user may enter.
        {"a link on the recorded path", true, false, false,
         [&](Files& f) {
             const fs::path secret = f.state.parent_path() / "secret";
             fs::create_directories(secret);
             fs::permissions(secret, fs::perms::owner_all);
             fs::create_directories(f.state.parent_path() / "player");
             fs::create_directory_symlink(secret, f.state.parent_path() / "player" / "link");
             EXPECT_EQ(lchown((f.state.parent_path() / "player" / "link").c_str(), player, player),
                       0);
             f.target = f.state.parent_path() / "player" / "link" / f.target.filename();
         }},
        // Run as root with a player's state folder (sudo -E): the player's folder, the player's
        // journal, a path through the player's link to a file only root may remove.
        {"another user's state folder", true, false, true,
         [&](Files& f) {
             const fs::path secret = f.state.parent_path() / "secret";
             fs::create_directories(secret);
             fs::permissions(secret, fs::perms::owner_all);
             fs::create_directory_symlink(secret, f.journals / "link");
             f.target = f.journals / "link" / f.target.filename();
             WriteFile(f.journal, "");
             chownAll(f.journal, player);
             chownAll(f.journals / "link", player);
         }},
        {"a journal that is a FIFO", true, false, true,
         [](Files& f) { EXPECT_EQ(mkfifo(f.journal.c_str(), 0600), 0); }},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        if (c.posixOnly)
            continue;
#endif
        testsupport::TempDir dir;
        Files f;
        f.state = dir.path() / "state";
        f.journals = f.state / JournalFolder;
        f.journal = f.journals / "ended.journal";
        f.target = dir.path() / "Maps" / ".DM-A.unr.lodestow-a1B2c3";
        fs::create_directories(f.journals);
        fs::create_directories(dir.path() / "Maps");
        fs::permissions(f.journals, fs::perms::owner_all);
        c.arrange(f);
        WriteFile(f.target, "not the run's to remove");
        if (fs::is_regular_file(f.journal) || !fs::exists(fs::symlink_status(f.journal)))
            std::ofstream(f.journal, std::ios::binary | std::ios::app) << JournalLine(f.target);

        const char* oldState = std::getenv(StateVariable);
        const std::optional<std::string> savedState =
            oldState ? std::optional<std::string>(oldState) : std::nullopt;
        SetVariable(StateVariable, f.state.string());
        { platform::MoveBatch run; }
        SetVariable(StateVariable, savedState);

        EXPECT_EQ(fs::exists(f.target), !c.removed);
        EXPECT_EQ(fs::exists(fs::symlink_status(f.journal)), c.journalKept);
    }
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
