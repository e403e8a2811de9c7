#include "platform/UserFolders.h"

#include "platform/PathResolver.h"
#include "platform/Places.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string UserConfigFolder() {
    // The base directory rules: a relative XDG_CONFIG_HOME is invalid and is ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = xdg ? xdg : "";
    if (base.empty() || base.front() != '/') {
        const auto home = HomeFolder();
        if (!home)
            return {};
        const std::string h = WithoutTrailingSlashes(*home);
        base = (h == "/" ? "" : h) + "/.config";
    }
    base = WithoutTrailingSlashes(base);
    return (base == "/" ? "" : base) + "/lodestow";
}

bool FolderAcceptsNewFiles(const std::string& folder) {
    const auto native = ResolvePath(folder);
    struct stat st {};
    if (!native || ::stat(native->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // The read-only rule first (it also holds for root), then what the kernel allows this user.
    return (st.st_mode & S_IWUSR) != 0 && ::access(native->c_str(), W_OK | X_OK) == 0;
}

bool CreateFolders(const std::string& folder) {
    const auto native = ResolvePath(folder);
    if (!native)
        return false;
    std::string parent = "/";
    for (std::size_t end = 1; end <= native->size(); ++end) {
        if (end != native->size() && (*native)[end] != '/')
            continue;
        const std::string part = native->substr(0, end);
        struct stat st {};
        if (::stat(part.c_str(), &st) != 0) {
            // A new folder is a new name in its parent: the read-only rule applies (root too).
            struct stat up {};
            if (::stat(parent.c_str(), &up) != 0 || (up.st_mode & S_IWUSR) == 0 ||
                (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST))
                return false;
        }
        parent = part;
    }
    struct stat st {};
    return ::stat(native->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace platform
