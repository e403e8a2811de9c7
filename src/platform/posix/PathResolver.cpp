// Windows-style game paths to native POSIX paths, the way Wine resolves them.

#include "platform/PathResolver.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"
#include "platform/Utf.h"
#include "platform/posix/PosixCommon.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using posix::IsSeparator;
using posix::Join;

// The entry of `folder` that `name` stands for: the exact name when it exists, otherwise the
// case-insensitive match that sorts first (directory order is arbitrary, so pick a stable one).
// `failed` is set when the folder could not be read to its end: no match is then known.
std::optional<std::string> MatchEntry(const std::string& folder, const std::string& name,
                                      bool& failed) {
    struct stat st {};
    if (::lstat(Join(folder, name).c_str(), &st) == 0)
        return name;
    if (errno != ENOENT) {
        failed = errno != ENOTDIR;
        return std::nullopt;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        failed = errno != ENOENT && errno != ENOTDIR;
        return std::nullopt;
    }
    const std::u32string wanted = utf::Folded(name);
    std::optional<std::string> best;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            failed = errno != 0;
            break;
        }
        const std::string_view candidate = entry->d_name;
        if (candidate == "." || candidate == "..")
            continue;
        if (utf::Folded(candidate) == wanted && (!best || candidate < *best))
            best = std::string(candidate);
    }
    ::closedir(dir);
    return failed ? std::nullopt : best;
}

// Appends the components of `text`, applying "." and ".." lexically. `fixed` counts the leading
// components that are already spelled as on disk; a ".." that removes one shrinks it.
void SplitInto(std::string_view text, std::vector<std::string>& parts, std::size_t& fixed) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        const std::string_view part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back(); // lexical, and never above the root
            fixed = std::min(fixed, parts.size());
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
}

// The program's own folders (the executable's, and the player's configuration folder) are native
// paths taken whole: their names may hold any character, a '\\' among them, and a path built on
// one (the folder followed by "\\Lodestow.ini") must not be split there.
const std::string& ExecutableFolderOnce() {
    static const std::string folder = ExecutableFolder();
    return folder;
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
    return folder.size() > 1 && folder.front() == '/' &&
           path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || IsSeparator(path[folder.size()]));
}

// Appends the components of a native path: only '/' separates them.
void SplitNativeInto(std::string_view native, std::vector<std::string>& parts) {
    for (std::size_t start = 0; start < native.size();) {
        std::size_t end = native.find('/', start);
        if (end == std::string_view::npos)
            end = native.size();
        if (end > start)
            parts.emplace_back(native.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

namespace {
// Set only while ResolvePathInPrefix runs (the program is single-threaded).
std::optional<std::string>& PrefixInstead() {
    static std::optional<std::string> prefix;
    return prefix;
}
} // namespace

std::optional<std::string> ResolvePathInPrefix(const std::string& windowsPath,
                                               const std::string& prefix) {
    PrefixInstead() = prefix;
    struct Reset {
        ~Reset() { PrefixInstead().reset(); }
    } reset;
    return ResolvePath(windowsPath);
}

std::string WinePrefix() {
    if (PrefixInstead())
        return *PrefixInstead();
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) {
        std::string p = prefix;
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        return p;
    }
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : "";
    }
    return std::string(home) + "/.wine";
}

std::optional<std::string> DriveRoot(char letter) {
    if (!std::isalpha(static_cast<unsigned char>(letter)))
        return std::nullopt;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    const std::string device = WinePrefix() + "/dosdevices/" + lower + ":";
    struct stat st {};
    if (::lstat(device.c_str(), &st) == 0) {
        // Mapped: it counts only when it leads to a folder (a dangling link is no drive).
        if (::stat(device.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return device;
        return std::nullopt;
    }
    if (lower == 'z')
        return std::string("/");
    return std::nullopt;
}

std::optional<std::string> ResolvePath(const std::string& windowsPath) {
    // The system would end the path at a NUL byte and act on a different file: such a path
    // names nothing.
    if (windowsPath.find('\0') != std::string::npos)
        return std::nullopt;
    std::string root(1, '/');
    std::size_t rest = 0;
    std::vector<std::string> parts;
    std::size_t fixedCount = 0; // the working folder's components need no matching
    // The longer of the two when one lies inside the other (a program kept in the home folder).
    std::string user;
    const std::string* own = nullptr;
    if (!windowsPath.empty() && windowsPath[0] == '/') {
        user = UserConfigFolder();
        for (const std::string* folder :
             {&ExecutableFolderOnce(), static_cast<const std::string*>(&user)})
            if (StartsWithFolder(windowsPath, *folder) && (!own || folder->size() > own->size()))
                own = folder;
    }
    if (own) {
        SplitNativeInto(*own, parts);
        fixedCount = parts.size();
        rest = own->size();
    } else if (windowsPath.size() >= 2 &&
               std::isalpha(static_cast<unsigned char>(windowsPath[0])) && windowsPath[1] == ':') {
        const auto drive = DriveRoot(windowsPath[0]);
        if (!drive)
            return std::nullopt;
        root = *drive;
        rest = 2;
    } else {
        if (windowsPath.empty() || !IsSeparator(windowsPath[0])) {
            std::vector<char> buffer(4096);
            while (!::getcwd(buffer.data(), buffer.size())) {
                if (errno != ERANGE)
                    return std::nullopt;
                buffer.resize(buffer.size() * 2);
            }
            // The working folder is native: only '/' separates, a '\\' is part of a name.
            SplitNativeInto(buffer.data(), parts);
            fixedCount = parts.size();
        }
    }
    SplitInto(std::string_view(windowsPath).substr(rest), parts, fixedCount);

    std::string path = root;
    bool found = true; // once a component is missing, nothing below it can be matched
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string name = parts[i];
        if (i >= fixedCount && found) {
            bool failed = false;
            if (auto match = MatchEntry(path, name, failed))
                name = std::move(*match);
            else if (failed)
                return std::nullopt; // unknown which file the name stands for: none
            else
                found = false;
        }
        // Appended in place: a path of millions of components must not be copied per component.
        if (path.back() != '/')
            path += '/';
        path += name;
    }
    return path;
}

} // namespace platform
