// Running programs on Linux, from /proc. Elsewhere there is no /proc and nothing is found.

#include "platform/PathResolver.h"
#include "platform/Processes.h"

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
        const std::string first = FirstArgument(process);
        if (IsDrivePath(first)) {
            if (const auto named = FileIdentityOf(first))
                programs.push_back(*named);
        }
    }
    ::closedir(proc);
    return programs;
}

} // namespace platform
