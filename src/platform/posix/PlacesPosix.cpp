// The player's folders on POSIX. There is no registry here.

#include "platform/PathResolver.h"
#include "platform/Places.h"

#include <cstdlib>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

std::optional<std::string> AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    std::string folder = value;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

std::optional<std::string> HomeFolder() {
    if (auto home = AbsoluteVariable("HOME"))
        return home;
    const passwd* pw = ::getpwuid(::getuid());
    if (!pw || !pw->pw_dir || pw->pw_dir[0] != '/')
        return std::nullopt;
    return std::string(pw->pw_dir);
}

std::optional<std::string> DataHomeFolder() {
    if (auto data = AbsoluteVariable("XDG_DATA_HOME"))
        return data;
    const auto home = HomeFolder();
    if (!home)
        return std::nullopt;
    return (*home == "/" ? std::string() : *home) + "/.local/share";
}

std::optional<std::string> RegistryString(const std::string&, const std::string&) {
    return std::nullopt;
}

std::optional<std::string> CanonicalPath(const std::string& path) {
    const auto native = ResolvePath(path);
    if (!native)
        return std::nullopt;
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(native->c_str(), nullptr),
                                                           &std::free);
    if (!real)
        return std::nullopt;
    return std::string(real.get());
}

} // namespace platform
