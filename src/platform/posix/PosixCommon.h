#pragma once
// Small path helpers the POSIX platform files share. Internal: not part of the platform interface.

#include <string>

namespace platform::posix {

// Windows paths may use either slash.
inline bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

inline std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? folder + name : folder + "/" + name;
}

} // namespace platform::posix
