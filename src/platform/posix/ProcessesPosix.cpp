// Running programs on Linux, from /proc. Elsewhere there is no /proc and nothing is found.

#include "platform/PathResolver.h"
#include "platform/Processes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The first word of a process's command line: what it was started as. Wine puts the Windows
// path of the program there.
std::string FirstArgument(const std::string& process) {
    const int fd = ::open((process + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string bytes(4096, '\0');
    ssize_t n = 0;
    do {
        n = ::read(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes.substr(0, bytes.find('\0'));
}

// The Wine prefix a process runs in: its own WINEPREFIX, else its HOME's ~/.wine. Empty when its
// environment cannot be read.
std::string PrefixOf(const std::string& process) {
    const int fd = ::open((process + "/environ").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string bytes;
    std::string piece(65536, '\0');
    for (;;) {
        const ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || bytes.size() > (1u << 20))
            break;
        bytes.append(piece.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    std::string prefix, home;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', at), bytes.size());
        const std::string_view variable(bytes.data() + at, end - at);
        if (variable.starts_with("WINEPREFIX="))
            prefix = variable.substr(11);
        else if (variable.starts_with("HOME="))
            home = variable.substr(5);
        at = end + 1;
    }
    if (!prefix.empty())
        return prefix;
    return home.empty() ? std::string() : home + "/.wine";
}

bool IsDrivePath(std::string_view path) {
    return path.size() > 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

} // namespace

std::optional<FileIdentity> FileIdentityOf(const std::string& path) {
    const auto native = ResolvePath(path);
    struct stat st {};
    if (!native || ::stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return IdentityOf(st);
}

std::vector<FileIdentity> RunningPrograms() {
    std::vector<FileIdentity> programs;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return programs;
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(proc)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name == self ||
            name.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        const std::string process = "/proc/" + std::string(name);
        struct stat st {};
        // The link is followed to the very file the process runs, even a deleted one.
        if (::stat((process + "/exe").c_str(), &st) == 0 && S_ISREG(st.st_mode))
            programs.push_back(IdentityOf(st));
        // A drive letter means what it means in the prefix that process runs in, which need
        // not be ours.
        const std::string first = FirstArgument(process);
        const std::string prefix = IsDrivePath(first) ? PrefixOf(process) : std::string();
        struct stat named {};
        if (!prefix.empty()) {
            const auto native = ResolvePathInPrefix(first, prefix);
            if (native && ::stat(native->c_str(), &named) == 0 && S_ISREG(named.st_mode))
                programs.push_back(IdentityOf(named));
        }
    }
    ::closedir(proc);
    return programs;
}

bool StartElevated(const std::vector<std::string>&) {
    return false; // the desktop's own tools do that, not the program
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

} // namespace platform
