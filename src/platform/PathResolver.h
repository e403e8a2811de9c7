#pragma once
// POSIX only: how a Windows-style path becomes a file on disk, the way Wine resolves it.
//  - separators '\' and '/'; empty components skipped; '.' and '..' applied lexically, never above
//    the drive root;
//  - "X:" first: $WINEPREFIX/dosdevices/x: (prefix defaults to ~/.wine); Z: is '/' when the prefix
//    does not map it; an unmapped drive makes every path on it absent (nullopt);
//  - a leading '/' is a native absolute path; anything else is relative to the working folder;
//  - a path that begins with the executable's folder or the player's configuration folder keeps
//    that folder whole (native, split at '/' only), so a program folder whose name holds a '\'
//    is still the program folder;
//  - each component is matched case-insensitively against the folder's entries, an exact match
//    first; a component that matches nothing keeps its spelling.

#include <optional>
#include <string>

namespace platform {

std::optional<std::string> ResolvePath(const std::string& windowsPath);

// The native folder behind a drive letter ("C:"), or nullopt when it is not mapped.
std::optional<std::string> DriveRoot(char letter);

// The Wine prefix in use: $WINEPREFIX when set and not empty, otherwise ~/.wine.
std::string WinePrefix();

// ResolvePath with the drives of another Wine prefix: that of another program, which may run in
// a prefix of its own.
std::optional<std::string> ResolvePathInPrefix(const std::string& windowsPath,
                                               const std::string& prefix);

} // namespace platform
