// File operations with Windows semantics on POSIX. Every game path goes through ResolvePath.
//
// Read-only rule: no owner write bit means read-only, checked here rather than left to the
// kernel, so it also holds for root. A file without the bit is never deleted, replaced or opened
// for writing. A folder without the bit accepts no new files and loses none: Windows would still
// let a file be deleted from a folder carrying the read-only attribute, but on POSIX the folder's
// write bit is what governs adding and removing names, and we follow the system we run on.

#include "platform/FileSystem.h"
#include "platform/PathResolver.h"
#include "platform/Utf.h"
#include "platform/posix/PosixCommon.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using posix::IsSeparator;
using posix::Join;

// A resolved path is always absolute, so it has a parent folder.
std::pair<std::string, std::string> SplitNative(const std::string& native) {
    const std::size_t slash = native.rfind('/');
    if (slash == std::string::npos)
        return {".", native};
    return {slash == 0 ? "/" : native.substr(0, slash), native.substr(slash + 1)};
}

bool OwnerWritable(const struct stat& st) {
    return (st.st_mode & S_IWUSR) != 0;
}

bool FolderAcceptsChanges(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && OwnerWritable(st);
}

bool IsRegularEntry(const std::string& folder, const dirent& entry) {
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat st {};
    return ::stat(Join(folder, entry.d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolderEntry(const std::string& folder, const dirent& entry) {
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat st {};
    return ::stat(Join(folder, entry.d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and reports the result: a failed close can be a failed delayed write.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads the open file from its current offset to its end through `buffer`, handing each piece to
// `piece` in order; false when a read fails or `piece` answers false.
bool ReadPieces(int fd, std::string& buffer, const std::function<bool(std::string_view)>& piece) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!piece(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return false;
    }
}

// Appends the rest of the open file to `bytes`, read `chunk` bytes at a time.
bool AppendAll(int fd, std::size_t chunk, std::string& bytes) {
    std::string buffer(chunk, '\0');
    return ReadPieces(fd, buffer, [&bytes](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
}

// Copies from the current offsets to the end of `in`, in chunks, never the whole file at once.
bool CopyContents(int in, int out, off_t expected) {
    off_t copied = 0;
#ifdef __linux__
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0) {
            if (copied >= expected)
                return true;
            break; // some file systems answer 0 early; let plain reads find the real end
        }
        if (errno == EINTR)
            continue;
        if (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP ||
            errno == ENOTSUP || errno == EBADF || errno == EPERM)
            break; // not offered for this pair of files: fall back
        return false;
    }
#else
    (void)expected;
#endif
    std::string buffer(1 << 20, '\0');
    return ReadPieces(in, buffer, [out](std::string_view piece) { return WriteAll(out, piece); });
}

mode_t NewFileMode() {
    // umask can only be read by setting it; do it once (the program is single-threaded).
    static const mode_t mask = [] {
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return 0666 & ~mask;
}

// Temporary files are named "." + target name (cut to 200 bytes) + ".lodestow-" + six letters or
// digits. The name alone proves nothing: a temporary is removed after a killed run only when the
// journal below recorded it, with its identity, before it got its name.
constexpr std::string_view TempMarker = ".lodestow-";
constexpr std::size_t TempSuffixLength = 6;

std::string StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/lodestow/temporaries";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.local/state/lodestow/temporaries";
    return {};
}

bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// The shape the program gives its temporaries: "." + a name + ".lodestow-" + six letters or
// digits. The sweep removes nothing else, whatever a journal says.
bool IsTemporaryName(std::string_view name) {
    if (name.size() < 2 + TempMarker.size() + TempSuffixLength || name.front() != '.')
        return false;
    const std::string_view suffix = name.substr(name.size() - TempSuffixLength);
    const std::string_view marker =
        name.substr(name.size() - TempSuffixLength - TempMarker.size(), TempMarker.size());
    return marker == TempMarker && std::all_of(suffix.begin(), suffix.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0;
           });
}

#ifdef O_PATH
constexpr int WalkFlags = O_PATH; // no read permission needed to pass through a folder
#else
constexpr int WalkFlags = O_RDONLY;
#endif

// The journal folder, opened only when it is the running user's own and private: journals that
// others can write, or that belong to another user whose state folder this program was handed
// (root run with a player's HOME), are nobody's to act on.
Fd OpenOwnPrivateFolder(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!dir || ::fstat(dir.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0)
        return Fd();
    return dir;
}

// One journal per running program, locked while it runs: "device inode path" per temporary
// name, flushed before the file takes that name. A journal whose lock can be taken belongs to a
// program that ended; the files it lists that still are what it recorded are its leftovers.
// The path is recorded with every link on the way resolved, since the sweep follows none.
class TempJournal {
public:
    static TempJournal& Get() {
        static TempJournal journal;
        return journal;
    }
    bool Record(const std::string& path, const struct stat& st) {
        if (fd_ < 0)
            return false;
        const auto [folder, name] = SplitNative(path);
        const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr),
                                                               &std::free);
        if (!real)
            return false;
        const std::string line = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " +
                                 Join(real.get(), name) + "\n";
        return std::count(line.begin(), line.end(), '\n') == 1 && WriteAll(fd_, line) &&
               ::fdatasync(fd_) == 0;
    }
    // Removes what the journals of ended programs list and still find as they recorded it.
    static void SweepEnded() {
        const std::string folder = StateFolder();
        if (!folder.empty())
            SweepEnded(folder);
    }

private:
    TempJournal() {
        const std::string folder = StateFolder();
        if (folder.empty() || !MakeFolders(folder))
            return;
        dir_ = OpenOwnPrivateFolder(folder);
        if (!dir_)
            return;
        // The process number comes again; with the time beside it the name is this run's alone,
        // and an ended run's journal under the same number is never emptied before its sweep.
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        name_ = std::to_string(::getpid()) + "-" + std::to_string(now.tv_sec) + "." +
                std::to_string(now.tv_nsec) + ".journal";
        fd_ = ::openat(dir_.get(), name_.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~TempJournal() {
        if (fd_ >= 0) {
            ::unlinkat(dir_.get(), name_.c_str(), 0);
            ::close(fd_);
        }
    }

    static void SweepEnded(const std::string& folder) {
        const Fd dir = OpenOwnPrivateFolder(folder);
        if (!dir)
            return;
        std::vector<std::string> journals;
        {
            const int copy = ::fcntl(dir.get(), F_DUPFD_CLOEXEC, 0);
            DIR* entries = copy >= 0 ? ::fdopendir(copy) : nullptr;
            if (!entries) {
                if (copy >= 0)
                    ::close(copy);
                return;
            }
            while (const dirent* entry = ::readdir(entries)) {
                const std::string_view name = entry->d_name;
                if (name.ends_with(".journal"))
                    journals.emplace_back(name);
            }
            ::closedir(entries);
        }
        for (const std::string& journal : journals) {
            // Not followed if a link, not waited on if a FIFO, not trusted if another's.
            Fd fd(::openat(dir.get(), journal.c_str(),
                           O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
            struct stat st {};
            if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
                st.st_uid != ::geteuid())
                continue;
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
                continue; // its program still runs
            std::string text;
            if (!AppendAll(fd.get(), 4096, text))
                continue;
            for (std::size_t start = 0; start < text.size();) {
                std::size_t end = text.find('\n', start);
                if (end == std::string::npos)
                    break; // a line cut short by the kill: its file never got the name
                RemoveIfStill(text.substr(start, end - start));
                start = end + 1;
            }
            ::unlinkat(dir.get(), journal.c_str(), 0);
        }
    }

    static void RemoveIfStill(const std::string& line) {
        const std::size_t a = line.find(' ');
        const std::size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
        if (b == std::string::npos)
            return;
        const std::string path = line.substr(b + 1);
        if (path.empty() || path.front() != '/')
            return;
        const auto [folder, name] = SplitNative(path);
        if (!IsTemporaryName(name))
            return;
        // Folder by folder from the root, never through a link: a link on the way could lead
        // the removal to a file of the same identity somewhere this run must not reach.
        Fd parent(::open("/", WalkFlags | O_DIRECTORY | O_CLOEXEC));
        for (std::size_t start = 1; parent && start < folder.size();) {
            std::size_t slash = folder.find('/', start);
            if (slash == std::string::npos)
                slash = folder.size();
            const std::string part = folder.substr(start, slash - start);
            start = slash + 1;
            if (part.empty())
                continue;
            if (part == "." || part == "..")
                return;
            parent = Fd(::openat(parent.get(), part.c_str(),
                                 WalkFlags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat st {};
            if (parent && (::fstat(parent.get(), &st) != 0 || !S_ISDIR(st.st_mode)))
                return;
        }
        struct stat st {};
        if (!parent || ::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            return;
        if (std::to_string(st.st_dev) != line.substr(0, a) ||
            std::to_string(st.st_ino) != line.substr(a + 1, b - a - 1))
            return;
        ::unlinkat(parent.get(), name.c_str(), 0);
    }

    Fd dir_;
    int fd_ = -1;
    std::string name_;
};

// The start of a temporary's name beside `name`; a random suffix follows.
std::string TempStem(const std::string& name) {
    std::string stem = name;
    if (stem.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return "." + stem + std::string(TempMarker);
}

std::string RandomSuffix() {
    static constexpr std::string_view letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::string suffix;
    for (std::size_t i = 0; i < TempSuffixLength; ++i)
        suffix += letters[random() % letters.size()];
    return suffix;
}

// A folder reached once and held open: every name below is looked up, made, renamed and removed
// relative to it, so a folder that is renamed, or replaced by a link, while it is held is never
// followed. `path` is its native path, for the journal and for nothing else.
struct At {
    int dir;
    const std::string& path;
};

bool FolderAcceptsChangesAt(int dir) {
    struct stat st {};
    return ::fstat(dir, &st) == 0 && S_ISDIR(st.st_mode) && OwnerWritable(st);
}

bool SyncFolderAt(int dir) {
    return ::fsync(dir) == 0;
}

// A file system that offers neither an atomic no-replace rename nor hard links (FAT and exFAT
// through FUSE, among others) says so with one of these.
bool Unoffered(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EPERM;
}

// A new name that must not replace a file that appeared since the folder was listed: an atomic
// no-replace rename, else a hard link and the removal of the old name, else (a drive with
// neither) a rename made only when the name is free just before, checked just after.
int RenameNoReplaceAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!Unoffered(errno))
        return -1;
#endif
    if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) == 0)
        return ::unlinkat(fromDir, from.c_str(), 0);
    if (!Unoffered(errno))
        return -1;
    struct stat source {
    }, there{};
    if (::fstatat(fromDir, from.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    if (::fstatat(toDir, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    if (errno != ENOENT || ::renameat(fromDir, from.c_str(), toDir, to.c_str()) != 0)
        return -1;
    if (::fstatat(toDir, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        there.st_size != source.st_size || there.st_mtim.tv_sec != source.st_mtim.tv_sec ||
        there.st_mtim.tv_nsec != source.st_mtim.tv_nsec) {
        errno = EIO; // the name holds something else than what was renamed
        return -1;
    }
    return 0;
}

// How a new file's contents reach disk: each on its own (the index), or with its whole batch
// (a transfer, which flushes the file system once before any source goes).
enum class Flush { Now, WithBatch };

// Gives the complete file `fd` the name `name` in one step. A new name is linked directly; an
// existing one is replaced by a rename from a temporary name that the journal records first.
// `linkTo` names the file inside the folder: linkat from /proc for an unnamed file.
// With `mayReplace` false a name that exists (or appears) is left alone: false with errno EEXIST.
bool PutInPlace(At at, const std::string& name, bool targetExists, bool mayReplace, int fd,
                const std::function<int(const std::string&)>& linkTo) {
    if (!targetExists) {
        if (linkTo(name) == 0)
            return true;
        if (errno != EEXIST || !mayReplace)
            return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    const std::string stem = TempStem(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = stem + RandomSuffix();
        struct stat there {};
        if (::fstatat(at.dir, temp.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
            continue;
        TempJournal::Get().Record(Join(at.path, temp), st);
        if (linkTo(temp) != 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (::renameat(at.dir, temp.c_str(), at.dir, name.c_str()) != 0) {
            ::unlinkat(at.dir, temp.c_str(), 0);
            return false;
        }
        return true;
    }
    return false;
}

// Linux: the bytes go into an unnamed file in the destination folder, which gets a name only
// once it is complete. A run killed while copying leaves nothing behind: the kernel frees an
// unnamed file with its last descriptor. Needs /proc to name the file.
#ifdef O_TMPFILE
bool CanNameUnnamedFiles() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

enum class Unnamed { Done, Failed, Unsupported };

Unnamed ReplaceThroughUnnamedFile(At at, const std::string& name, bool targetExists,
                                  bool mayReplace, mode_t mode, Flush flush,
                                  const std::function<bool(int)>& fill, bool& taken) {
    if (!CanNameUnnamedFiles())
        return Unnamed::Unsupported;
    Fd out(::openat(at.dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!out) {
        // Not offered by this file system (or kernel): the named temporary file will do.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOTSUP)
            return Unnamed::Unsupported;
        return Unnamed::Failed;
    }
    if (!fill(out.get()) || ::fchmod(out.get(), mode) != 0 ||
        (flush == Flush::Now && ::fsync(out.get()) != 0))
        return Unnamed::Failed;
    const std::string self = "/proc/self/fd/" + std::to_string(out.get());
    const auto linkTo = [&](const std::string& to) {
        return ::linkat(AT_FDCWD, self.c_str(), at.dir, to.c_str(), AT_SYMLINK_FOLLOW);
    };
    if (!PutInPlace(at, name, targetExists, mayReplace, out.get(), linkTo)) {
        taken = errno == EEXIST && !mayReplace;
        return Unnamed::Failed;
    }
    // In place, its contents flushed (or about to be, with its batch): a failing close cannot
    // undo that, and the file is what it is.
    out.Close();
    return Unnamed::Done;
}
#endif

// Puts new contents in place of `name` in the held folder in one step: the bytes from `fill` go
// to a file beside it that then takes the name. On failure the destination is untouched and no
// temporary file is left; a run killed midway leaves none that outlives the next run's journal
// sweep. With `mayReplace` false an existing file is never replaced: *taken (when given) then
// says that the name was taken, before the copy or while it was made.
bool ReplaceAt(At at, const std::string& name, Flush flush, const std::function<bool(int)>& fill,
               bool mayReplace = true, bool* taken = nullptr) {
    if (name.empty())
        return false;
    bool nameTaken = false;
    struct Report {
        bool* to;
        bool& value;
        ~Report() {
            if (to)
                *to = value;
        }
    } report{taken, nameTaken};

    mode_t mode = NewFileMode();
    struct stat st {};
    bool targetExists = false;
    if (::fstatat(at.dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !mayReplace) {
        nameTaken = true;
        return false;
    }
    if (::fstatat(at.dir, name.c_str(), &st, 0) == 0) {
        if (!S_ISREG(st.st_mode) || !OwnerWritable(st))
            return false;
        mode = st.st_mode & 0777;
        targetExists = true;
    } else if (errno != ENOENT) {
        return false;
    }
    if (!FolderAcceptsChangesAt(at.dir))
        return false;

#ifdef O_TMPFILE
    switch (ReplaceThroughUnnamedFile(at, name, targetExists, mayReplace, mode, flush, fill,
                                      nameTaken)) {
    case Unnamed::Done:
        // Make the new name durable. The contents are already in place, so a folder that
        // cannot be synced (some file systems refuse) does not turn this into a failure.
        if (flush == Flush::Now)
            SyncFolderAt(at.dir);
        return true;
    case Unnamed::Failed:
        return false;
    case Unnamed::Unsupported:
        break;
    }
#endif

    // A named temporary from the start: the journal records it as soon as it exists, before it
    // holds anything of value; a kill in between leaves a file nobody removes, never a loss.
    std::string temp;
    Fd out;
    const std::string stem = TempStem(name);
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        temp = stem + RandomSuffix();
        out = Fd(::openat(at.dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out && errno != EEXIST)
            return false;
    }
    struct stat made {};
    if (!out)
        return false;
    if (::fstat(out.get(), &made) != 0) {
        ::unlinkat(at.dir, temp.c_str(), 0);
        return false;
    }
    TempJournal::Get().Record(Join(at.path, temp), made);
    const bool written = fill(out.get()) && ::fchmod(out.get(), mode) == 0 &&
                         (flush == Flush::WithBatch || ::fsync(out.get()) == 0) && out.Close();
    if (!written || (mayReplace ? ::renameat(at.dir, temp.c_str(), at.dir, name.c_str())
                                : RenameNoReplaceAt(at.dir, temp, at.dir, name)) != 0) {
        nameTaken = written && !mayReplace && errno == EEXIST;
        ::unlinkat(at.dir, temp.c_str(), 0);
        return false;
    }
    if (flush == Flush::Now)
        SyncFolderAt(at.dir);
    return true;
}

// The same for a native path: its folder is held for the one replacement.
bool ReplaceNative(const std::string& target, Flush flush, const std::function<bool(int)>& fill) {
    const auto [folder, name] = SplitNative(target);
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir && ReplaceAt({dir.get(), folder}, name, flush, fill);
}

bool ReplaceWith(const std::string& destination, const std::function<bool(int)>& fill) {
    const auto target = ResolvePath(destination);
    return target && ReplaceNative(*target, Flush::Now, fill);
}

// Opens a regular file for writing, creating it or emptying it, under the read-only rule.
Fd OpenForWriting(const std::string& path) {
    const auto target = ResolvePath(path);
    if (!target)
        return Fd();
    struct stat st {};
    if (::stat(target->c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || !OwnerWritable(st))
            return Fd();
        return Fd(::open(target->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    }
    if (errno != ENOENT || !FolderAcceptsChanges(SplitNative(*target).first))
        return Fd();
    // O_EXCL: a dangling symbolic link is not followed to create a file somewhere else.
    return Fd(::open(target->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
}

std::optional<struct stat> StatPath(const std::string& path) {
    const auto target = ResolvePath(path);
    struct stat st {};
    if (!target || ::stat(target->c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

} // namespace

std::optional<std::string> FindFirstFile(const std::string& pattern) {
    if (pattern.find('\0') != std::string::npos)
        return std::nullopt; // see ResolvePath
    std::size_t split = pattern.size();
    while (split > 0 && !IsSeparator(pattern[split - 1]))
        --split;
    std::string folderPart = pattern.substr(0, split);
    std::string last = pattern.substr(split);
    if (split == 0 && pattern.size() >= 2 && std::isalpha(static_cast<unsigned char>(pattern[0])) &&
        pattern[1] == ':') {
        folderPart = pattern.substr(0, 2); // "C:name": the name in the drive's root
        last = pattern.substr(2);
    }
    if (last.empty() || last == "." || last == "..")
        return std::nullopt;
    const auto folder = ResolvePath(folderPart);
    if (!folder)
        return std::nullopt;

    const bool wildcard = utf::HasWildcard(last);
    if (!wildcard) {
        struct stat st {};
        if (::stat(Join(*folder, last).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return last;
    }
    DIR* dir = ::opendir(folder->c_str());
    if (!dir)
        return std::nullopt;
    // Directory order is arbitrary: answer the match that sorts first, so results are stable.
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (best && !(name < *best))
            continue;
        if (utf::WildcardMatch(last, name) && IsRegularEntry(*folder, *entry))
            best = std::string(name);
    }
    ::closedir(dir);
    return best;
}

bool PathExists(const std::string& path) {
    const auto st = StatPath(path);
    return st && (S_ISREG(st->st_mode) || S_ISDIR(st->st_mode));
}

bool IsDirectory(const std::string& path) {
    const auto st = StatPath(path);
    return st && S_ISDIR(st->st_mode);
}

bool IsReadOnly(const std::string& path) {
    const auto st = StatPath(path);
    return st && !OwnerWritable(*st);
}

bool CreateOrTruncateFile(const std::string& path) {
    Fd fd = OpenForWriting(path);
    return fd && fd.Close();
}

bool DeleteFile(const std::string& path) {
    const auto target = ResolvePath(path);
    if (!target)
        return false;
    // A symbolic link is judged by what it points at (as Wine reports it) but the link itself
    // is what goes.
    struct stat st {};
    if (::stat(target->c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !OwnerWritable(st))
        return false;
    if (!FolderAcceptsChanges(SplitNative(*target).first))
        return false;
    return ::unlink(target->c_str()) == 0;
}

namespace {
// Opens a regular file for reading; `st` receives what was opened. An empty Fd otherwise.
// O_NONBLOCK: a FIFO in the file's place would block the open until a writer came, a device
// could wait too; both are refused as soon as they are seen, never read.
Fd OpenRegular(const std::string& native, struct stat& st) {
    Fd in(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fd();
    // Reads of a regular file ignore the flag on most file systems, not all (FUSE): drop it.
    const int flags = ::fcntl(in.get(), F_GETFL);
    if (flags < 0 || ::fcntl(in.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Fd();
    return in;
}

std::optional<std::string> ReadAll(int fd, const struct stat& st) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    if (!AppendAll(fd, 65536, bytes))
        return std::nullopt;
    return bytes;
}

void Pin(PinnedFile& pinned, const std::string& native, const struct stat& st) {
    pinned.location = native;
    pinned.identity = {static_cast<std::uint64_t>(st.st_dev),
                       static_cast<std::uint64_t>(st.st_ino)};
}
} // namespace

bool CopyFileReplace(const std::string& source, const std::string& destination) {
    const auto from = ResolvePath(source);
    struct stat st {};
    Fd in = from ? OpenRegular(*from, st) : Fd();
    if (!in)
        return false;
    return ReplaceWith(destination,
                       [&](int out) { return CopyContents(in.get(), out, st.st_size); });
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    const auto target = ResolvePath(path);
    struct stat st {};
    Fd in = target ? OpenRegular(*target, st) : Fd();
    if (!in)
        return std::nullopt;
    return ReadAll(in.get(), st);
}

std::optional<std::string> ReadFileBytes(const std::string& path, PinnedFile& pinned) {
    const auto target = ResolvePath(path);
    struct stat st {};
    Fd in = target ? OpenRegular(*target, st) : Fd();
    if (!in)
        return std::nullopt;
    auto bytes = ReadAll(in.get(), st);
    if (bytes)
        Pin(pinned, *target, st); // the file the bytes came from
    return bytes;
}

bool ReadFilePieces(const std::string& path, PinnedFile& pinned,
                    const std::function<void(std::string_view)>& piece) {
    const auto target = ResolvePath(path);
    struct stat st {};
    Fd in = target ? OpenRegular(*target, st) : Fd();
    if (!in)
        return false;
    Pin(pinned, *target, st);
    std::string buffer(1 << 20, '\0');
    return ReadPieces(in.get(), buffer, [&piece](std::string_view bytes) {
        piece(bytes);
        return true;
    });
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
    Fd fd = OpenForWriting(path);
    return fd && WriteAll(fd.get(), bytes) && fd.Close();
}

namespace {
// The file a chain of symbolic links ends at (the path itself when it is no link, or names
// nothing yet); nullopt for a loop or a link that cannot be read.
std::optional<std::string> FollowLinks(std::string native) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(native.c_str(), &st) != 0)
            return errno == ENOENT ? std::optional<std::string>(native) : std::nullopt;
        if (!S_ISLNK(st.st_mode))
            return native;
        std::string to(4096, '\0');
        const ssize_t n = ::readlink(native.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= to.size())
            return std::nullopt;
        to.resize(static_cast<std::size_t>(n));
        native = to[0] == '/' ? to : Join(SplitNative(native).first, to);
    }
    return std::nullopt;
}
} // namespace

bool ReplaceFileAtomic(const std::string& path, std::string_view bytes) {
    const auto target = ResolvePath(path);
    // Renaming over a link would put a plain file in its place and leave the file it names
    // stale: the new file goes beside the one the link names, and takes its name.
    const auto real = target ? FollowLinks(*target) : std::nullopt;
    return real && ReplaceNative(*real, Flush::Now, [&](int out) { return WriteAll(out, bytes); });
}

struct HeldFile::Impl {
    Fd fd;
};

HeldFile::HeldFile() = default;
HeldFile::~HeldFile() = default;
HeldFile::HeldFile(HeldFile&&) noexcept = default;
HeldFile& HeldFile::operator=(HeldFile&&) noexcept = default;

HeldFile::HeldFile(const std::string& path) {
    const auto target = ResolvePath(path);
    struct stat st {};
    Fd in = target ? OpenRegular(*target, st) : Fd();
    if (in)
        impl_ = std::make_unique<Impl>(Impl{std::move(in)});
}

bool HeldFile::IsOpen() const {
    return impl_ != nullptr;
}

std::optional<std::string> HeldFile::Read() const {
    if (!impl_ || ::lseek(impl_->fd.get(), 0, SEEK_SET) != 0)
        return std::nullopt;
    std::string bytes;
    if (!AppendAll(impl_->fd.get(), 65536, bytes))
        return std::nullopt;
    return bytes;
}

void HeldFile::Close() {
    impl_.reset();
}

std::string ShownPath(const std::string& path) {
    const auto native = ResolvePath(path);
    if (!native)
        return path;
    // The folders as they really are (not, say, through the prefix's drive link); the file's
    // own name as the resolver found it on disk, a link shown as the link.
    const auto [folder, name] = SplitNative(*native);
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return *native;
    const std::string shown = Join(real, name);
    std::free(real);
    return shown;
}

namespace {
// Calls visit for every entry but "." and "..". False when the folder cannot be opened or a read
// fails: a failed read must not pass for the end of the list.
template <typename Visit> bool VisitOpenFolder(DIR* dir, Visit visit) {
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            const int error = errno;
            ::closedir(dir);
            return error == 0;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            visit(*entry);
    }
}

template <typename Visit> bool VisitEntries(const std::string& native, Visit visit) {
    DIR* dir = ::opendir(native.c_str());
    return dir && VisitOpenFolder(dir, visit);
}

std::optional<std::vector<std::string>> ListEntries(const std::string& folder, bool folders) {
    const auto native = ResolvePath(folder);
    if (!native)
        return std::nullopt;
    std::vector<std::string> names;
    const bool listed = VisitEntries(*native, [&](const dirent& entry) {
        if (folders ? IsFolderEntry(*native, entry) : IsRegularEntry(*native, entry))
            names.emplace_back(entry.d_name);
    });
    if (!listed)
        return std::nullopt;
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return utf::LessIgnoringCase(a, b);
    });
    return names;
}
} // namespace

std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder) {
    return ListEntries(folder, true);
}

std::optional<std::vector<std::string>> ListFiles(const std::string& folder) {
    return ListEntries(folder, false);
}

namespace {
int DirOf(const Folder& folder) {
    return folder.handle ? *static_cast<const int*>(folder.handle.get()) : -1;
}
} // namespace

std::optional<Folder> OpenFolder(const std::string& path) {
    const auto native = ResolvePath(path);
    if (!native)
        return std::nullopt;
    int fd = ::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::open(native->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); // enough to reach names
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    std::shared_ptr<const void> handle(new int(fd), [](const void* held) {
        ::close(*static_cast<const int*>(held));
        delete static_cast<const int*>(held);
    });
    return Folder{*native,
                  {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
                  std::move(handle)};
}

bool CreateSubfolder(const Folder& folder, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return false;
    ::mkdirat(DirOf(folder), name.c_str(), 0777);
    struct stat st {};
    return ::fstatat(DirOf(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
    const auto native = ResolvePath(path);
    struct statvfs fs {};
    if (!native || ::statvfs(native->c_str(), &fs) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::optional<std::vector<FolderEntry>> ReadFolder(const Folder& folder) {
    const int copy = ::fcntl(DirOf(folder), F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return std::nullopt;
    }
    ::rewinddir(dir);
    std::vector<FolderEntry> entries;
    const bool listed = VisitOpenFolder(dir, [&](const dirent& entry) {
        bool regular = entry.d_type == DT_REG;
        if (entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN) {
            struct stat st {};
            regular = ::fstatat(DirOf(folder), entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        entries.push_back({std::string(entry.d_name), regular});
    });
    if (!listed)
        return std::nullopt; // a failed read is not the end of the list
    return entries;
}

struct InputFile::Impl {
    Fd fd;
    struct stat opened {};
};

InputFile::InputFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;
InputFile::~InputFile() = default;

std::optional<InputFile> InputFile::Open(const Folder& folder, const std::string& name,
                                         bool followLinks, bool* notAFile) {
    if (notAFile)
        *notAFile = false;
    if (name.empty())
        return std::nullopt;
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
    auto impl = std::make_unique<Impl>();
    impl->fd = Fd(::openat(DirOf(folder), name.c_str(), flags));
    if (!impl->fd) {
        if (notAFile)
            *notAFile = errno == ELOOP || errno == ENXIO || errno == EISDIR;
        return std::nullopt;
    }
    if (::fstat(impl->fd.get(), &impl->opened) != 0)
        return std::nullopt;
    if (!S_ISREG(impl->opened.st_mode)) {
        if (notAFile)
            *notAFile = true;
        return std::nullopt;
    }
    return InputFile(std::move(impl));
}

std::uint64_t InputFile::Size() const {
    return static_cast<std::uint64_t>(impl_->opened.st_size);
}

std::int64_t InputFile::ModifiedTime() const {
    return static_cast<std::int64_t>(impl_->opened.st_mtim.tv_sec);
}

FileIdentity InputFile::Identity() const {
    return {static_cast<std::uint64_t>(impl_->opened.st_dev),
            static_cast<std::uint64_t>(impl_->opened.st_ino)};
}

std::optional<std::string> InputFile::ReadAt(std::uint64_t offset, std::size_t length) const {
    const std::uint64_t size = Size();
    if (offset >= size)
        return std::string();
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(length, size - offset)),
                      '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(impl_->fd.get(), bytes.data() + done, bytes.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

bool InputFile::Unchanged() const {
    struct stat now {};
    const struct stat& was = impl_->opened;
    return ::fstat(impl_->fd.get(), &now) == 0 && now.st_size == was.st_size &&
           now.st_mtim.tv_sec == was.st_mtim.tv_sec && now.st_mtim.tv_nsec == was.st_mtim.tv_nsec;
}

namespace {

bool SameContents(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool SyncFileSystemAt(int dir) {
#ifdef __linux__
    return ::syncfs(dir) == 0;
#else
    (void)dir;
    ::sync();
    return true;
#endif
}

// Folders a batch has changed, held until their names are made durable, by path.
using HeldFolders = std::map<std::string, std::shared_ptr<const void>>;

std::function<void()>& AfterCopyHook() {
    static std::function<void()> hook;
    return hook;
}

constexpr std::size_t BatchFiles = 512;
constexpr off_t BatchBytes = off_t(256) << 20;

} // namespace

struct MoveBatch::Impl {
    struct Pending {
        std::string name;
        Folder folder; // held until the source is deleted
        struct stat copied;
    };
    std::vector<Pending> pending;
    HeldFolders copiedInto; // folders of the pending copies, one per file system
    HeldFolders changed;    // folders whose names changed
    off_t pendingBytes = 0;
    bool ok = true;
    bool denied = false; // the last Move failed for want of the right to write
};

MoveBatch::MoveBatch() : impl_(std::make_unique<Impl>()) {
    // A run killed earlier may have left a temporary name behind: this run removes it.
    TempJournal::SweepEnded();
}

MoveBatch::~MoveBatch() {
    Finish();
}

namespace {

// The destination's name is taken. Only a file with the very bytes of the source lets the move
// go on, as the deletion of the source (unless the source must stay): nothing else is replaced.
MoveResult OnTakenName(const Folder& from, const std::string& fromName, const Folder& to,
                       const std::string& toName, bool keep, HeldFolders& changed) {
    const auto cached = InputFile::Open(from, fromName, false);
    const auto installed = InputFile::Open(to, toName, false);
    if (!cached || !installed)
        return MoveResult::DestinationTaken;
    if (cached->Identity() == installed->Identity())
        return MoveResult::SameFile;
    if (CompareFiles(*cached, *installed) != Sameness::Same)
        return MoveResult::DestinationTaken;
    if (keep)
        return MoveResult::DuplicateKept;
    // Deleted only while its name still leads to the file that was compared.
    struct stat now {};
    if (::fstatat(DirOf(from), fromName.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(now.st_mode) ||
        !(FileIdentity{static_cast<std::uint64_t>(now.st_dev),
                       static_cast<std::uint64_t>(now.st_ino)} == cached->Identity()) ||
        !cached->Unchanged() || ::unlinkat(DirOf(from), fromName.c_str(), 0) != 0)
        return MoveResult::DuplicateKept;
    changed[from.location] = from.handle;
    return MoveResult::Duplicate;
}

} // namespace

bool MoveBatch::Denied() const {
    return impl_->denied;
}

MoveResult MoveBatch::Move(const Folder& from, const std::string& fromName, const Folder& to,
                           const std::string& toName) {
    impl_->denied = false;
    const auto refused = [this] {
        impl_->denied = errno == EACCES || errno == EPERM || errno == EROFS;
        return MoveResult::Failed;
    };
    if (fromName.empty() || toName.empty())
        return MoveResult::Failed;
    const int fromDir = DirOf(from), toDir = DirOf(to);
    struct stat link {};
    if (::fstatat(fromDir, fromName.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0)
        return MoveResult::Failed;
    const auto opened = InputFile::Open(from, fromName);
    if (!opened)
        return MoveResult::Failed;
    const struct stat st = opened->impl_->opened;
    const int in = opened->impl_->fd.get();
    // A read-only file, or one in a folder that keeps its files, is copied and stays; so does a
    // link, whose target is not ours to move.
    const bool keep =
        !OwnerWritable(st) || !FolderAcceptsChangesAt(fromDir) || S_ISLNK(link.st_mode);
    struct stat there {};
    if (::fstatat(toDir, toName.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0)
        return OnTakenName(from, fromName, to, toName, keep, impl_->changed);
    if (errno != ENOENT)
        return MoveResult::Failed;
    if (!FolderAcceptsChangesAt(toDir)) {
        impl_->denied = true; // a read-only folder, as Windows would refuse it
        return MoveResult::Failed;
    }

    if (!keep && st.st_dev == to.identity.device) {
        if (RenameNoReplaceAt(fromDir, fromName, toDir, toName) == 0) {
            impl_->changed[from.location] = from.handle;
            impl_->changed[to.location] = to.handle;
            return MoveResult::Moved;
        }
        if (errno == EEXIST)
            return OnTakenName(from, fromName, to, toName, keep, impl_->changed);
        if (errno != EXDEV)
            return refused();
    }

    bool changed = false;
    bool taken = false;
    const bool copied = ReplaceAt(
        {toDir, to.location}, toName, Flush::WithBatch,
        [&](int out) {
            if (::lseek(in, 0, SEEK_SET) != 0 || !CopyContents(in, out, st.st_size))
                return false;
            if (AfterCopyHook())
                AfterCopyHook()();
            // A file rewritten while it was read gives a torn copy: it must not take the name.
            struct stat written {};
            if (!opened->Unchanged() || ::fstat(out, &written) != 0 ||
                written.st_size != st.st_size) {
                changed = true;
                return false;
            }
            return true;
        },
        false, &taken);
    if (!copied) {
        if (taken)
            return OnTakenName(from, fromName, to, toName, keep, impl_->changed);
        return changed ? MoveResult::SourceChanged : refused();
    }
    impl_->copiedInto[to.location] = to.handle;
    impl_->changed[to.location] = to.handle;
    if (keep)
        return MoveResult::CopiedSourceKept;
    impl_->pending.push_back({fromName, from, st});
    impl_->pendingBytes += st.st_size;
    if (impl_->pending.size() >= BatchFiles || impl_->pendingBytes >= BatchBytes)
        Commit();
    return MoveResult::Moved;
}

void MoveBatch::Commit() {
    if (impl_->pending.empty())
        return;
    // One flush per file system for the whole batch; a source goes only once its copy is on disk.
    bool flushed = true;
    std::set<std::uint64_t> devices;
    for (const auto& [path, folder] : impl_->copiedInto) {
        const int dir = *static_cast<const int*>(folder.get());
        struct stat st {};
        if (::fstat(dir, &st) == 0 && !devices.insert(st.st_dev).second)
            continue;
        flushed = SyncFileSystemAt(dir) && flushed;
    }
    impl_->copiedInto.clear();
    if (!flushed) {
        impl_->ok = false;
    } else {
        for (const Impl::Pending& p : impl_->pending) {
            const int dir = DirOf(p.folder);
            struct stat now {};
            if (::fstatat(dir, p.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(now.st_mode) && SameContents(p.copied, now) &&
                ::unlinkat(dir, p.name.c_str(), 0) == 0)
                impl_->changed[p.folder.location] = p.folder.handle;
        }
    }
    impl_->pending.clear();
    impl_->pendingBytes = 0;
}

bool MoveBatch::Finish() {
    Commit();
    for (const auto& [path, folder] : impl_->changed)
        impl_->ok = SyncFolderAt(*static_cast<const int*>(folder.get())) && impl_->ok;
    impl_->changed.clear();
    return impl_->ok;
}

void SetAfterCopyForTesting(std::function<void()> hook) {
    AfterCopyHook() = std::move(hook);
}

std::vector<std::string> LogicalDrives() {
    std::set<char> letters{'Z'};
    const std::string devices = WinePrefix() + "/dosdevices";
    if (DIR* dir = ::opendir(devices.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name.size() == 2 && name[1] == ':' &&
                std::isalpha(static_cast<unsigned char>(name[0])) && DriveRoot(name[0]))
                letters.insert(
                    static_cast<char>(std::toupper(static_cast<unsigned char>(name[0]))));
        }
        ::closedir(dir);
    }
    std::vector<std::string> drives;
    for (const char letter : letters)
        drives.push_back(std::string(1, letter) + ":");
    return drives;
}

DriveType TypeOfDrive(const std::string&) {
    return DriveType::Unknown;
}

std::string ExecutableFolder() {
    std::string buffer(4096, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            break;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return SplitNative(buffer).first;
        }
        buffer.resize(buffer.size() * 2);
    }
    // No /proc: the working folder is the best remaining guess.
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size()))
        return cwd.c_str();
    return ".";
}

} // namespace platform
