#pragma once
// File helpers: they never report an error, they answer true or false.

#include <string>

namespace Copier {

inline constexpr const char* ProbeFileName = "12345643298379187973.tmp";

// True for an existing regular file (the last component may be a pattern), or, for a path ending
// in "\", for an existing folder in which a file can be created.
bool FileExists(std::string path);
// Deletes the file when it exists, then processes pending events.
bool KillIfExists(const std::string& path);
// Copies source over destination when the source exists.
bool CopyIfExists(const std::string& source, const std::string& destination);

} // namespace Copier
