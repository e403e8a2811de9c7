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
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <random>
#include <set>
#include <string_view>
#include <sys/stat.h>
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
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return false;
    }
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
// digits. Nothing else the program writes looks like that, so a leftover of this exact form is
// ours and may go.
constexpr std::string_view TempMarker = ".lodestow-";
constexpr std::size_t TempSuffixLength = 6;

bool IsTempSuffixChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsOurTempName(std::string_view name) {
    const std::size_t tail = TempMarker.size() + TempSuffixLength;
    if (name.size() < tail + 2 || name.front() != '.')
        return false;
    const std::string_view end = name.substr(name.size() - tail);
    return end.starts_with(TempMarker) &&
           std::all_of(end.begin() + static_cast<std::ptrdiff_t>(TempMarker.size()), end.end(),
                       IsTempSuffixChar);
}

// A run that was killed between naming its temporary file and renaming it leaves the file
// behind. The first write into a folder in each run removes such leftovers (regular files only,
// never one that the read-only rule protects).
void RemoveStaleTempsOnce(const std::string& folder) {
    static std::set<std::string> cleaned;
    if (!cleaned.insert(folder).second)
        return;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsOurTempName(entry->d_name))
            continue;
        struct stat st {};
        const std::string path = Join(folder, entry->d_name);
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && OwnerWritable(st))
            stale.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : stale)
        ::unlink(path.c_str());
}

std::string TempPrefix(const std::string& folder, const std::string& name) {
    std::string stem = name;
    if (stem.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return Join(folder, "." + stem + std::string(TempMarker));
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

bool SyncFolder(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir && ::fsync(dir.get()) == 0;
}

// Linux: the bytes go into an unnamed file in the destination folder, which gets a name only
// once it is complete and flushed. A run killed while copying leaves nothing behind: the kernel
// frees an unnamed file with its last descriptor. Needs /proc to name the file.
#ifdef O_TMPFILE
bool CanNameUnnamedFiles() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

enum class Unnamed { Done, Failed, Unsupported };

Unnamed ReplaceThroughUnnamedFile(const std::string& folder, const std::string& name,
                                  const std::string& target, bool targetExists, mode_t mode,
                                  const std::function<bool(int)>& fill) {
    if (!CanNameUnnamedFiles())
        return Unnamed::Unsupported;
    Fd out(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!out) {
        // Not offered by this file system (or kernel): the named temporary file will do.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOTSUP)
            return Unnamed::Unsupported;
        return Unnamed::Failed;
    }
    if (!fill(out.get()) || ::fchmod(out.get(), mode) != 0 || ::fsync(out.get()) != 0)
        return Unnamed::Failed;
    const std::string self = "/proc/self/fd/" + std::to_string(out.get());
    // A new destination is named directly: it appears complete or not at all.
    if (!targetExists) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return out.Close() ? Unnamed::Done : Unnamed::Failed;
        if (errno != EEXIST)
            return Unnamed::Failed;
    }
    // An existing one is replaced by renaming over it, which needs a name for the new file.
    const std::string prefix = TempPrefix(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = prefix + RandomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST)
                continue;
            return Unnamed::Failed;
        }
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            ::unlink(temp.c_str());
            return Unnamed::Failed;
        }
        return out.Close() ? Unnamed::Done : Unnamed::Failed;
    }
    return Unnamed::Failed;
}
#endif

// Puts new contents in place of `destination` in one step: the bytes from `fill` go to a file
// beside it that is flushed and then takes the destination's name. On failure the destination is
// untouched and no temporary file is left; a run killed midway leaves none that outlives the
// next run's first write into the folder.
bool ReplaceWith(const std::string& destination, const std::function<bool(int)>& fill) {
    const auto target = ResolvePath(destination);
    if (!target)
        return false;
    const auto [folder, name] = SplitNative(*target);
    if (name.empty())
        return false;

    mode_t mode = NewFileMode();
    struct stat st {};
    bool targetExists = false;
    if (::stat(target->c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || !OwnerWritable(st))
            return false;
        mode = st.st_mode & 0777;
        targetExists = true;
    } else if (errno != ENOENT) {
        return false;
    }
    if (!FolderAcceptsChanges(folder))
        return false;
    RemoveStaleTempsOnce(folder);

#ifdef O_TMPFILE
    switch (ReplaceThroughUnnamedFile(folder, name, *target, targetExists, mode, fill)) {
    case Unnamed::Done:
        // Make the new name durable. The contents are already in place, so a folder that
        // cannot be synced (some file systems refuse) does not turn this into a failure.
        SyncFolder(folder);
        return true;
    case Unnamed::Failed:
        return false;
    case Unnamed::Unsupported:
        break;
    }
#endif

    std::string temp = TempPrefix(folder, name) + "XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out)
        return false;
    const bool written =
        fill(out.get()) && ::fchmod(out.get(), mode) == 0 && ::fsync(out.get()) == 0 && out.Close();
    if (!written || ::rename(temp.c_str(), target->c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
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

bool CopyFileReplace(const std::string& source, const std::string& destination) {
    const auto from = ResolvePath(source);
    if (!from)
        return false;
    Fd in(::open(from->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return ReplaceWith(destination,
                       [&](int out) { return CopyContents(in.get(), out, st.st_size); });
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    const auto target = ResolvePath(path);
    if (!target)
        return std::nullopt;
    Fd in(::open(target->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0)
            return bytes;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
    Fd fd = OpenForWriting(path);
    return fd && WriteAll(fd.get(), bytes) && fd.Close();
}

bool ReplaceFileAtomic(const std::string& path, std::string_view bytes) {
    return ReplaceWith(path, [&](int out) { return WriteAll(out, bytes); });
}

namespace {
std::optional<std::vector<std::string>> ListEntries(const std::string& folder, bool folders) {
    const auto native = ResolvePath(folder);
    if (!native)
        return std::nullopt;
    DIR* dir = ::opendir(native->c_str());
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (folders ? IsFolderEntry(*native, *entry) : IsRegularEntry(*native, *entry))
            names.emplace_back(name);
    }
    ::closedir(dir);
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
