#pragma once
// Where a player's own files and installed programs are recorded, as the system tells it. Paths
// returned here are native: on POSIX absolute paths, which the path resolution takes as they are.

#include <optional>
#include <string>

namespace platform {

// POSIX: $HOME when set and absolute, else the password database's entry; no trailing separator.
// nullopt on Windows, where installed programs are found through the registry.
std::optional<std::string> HomeFolder();

// POSIX: $XDG_DATA_HOME when set and absolute, else HomeFolder() + "/.local/share". nullopt on
// Windows.
std::optional<std::string> DataHomeFolder();

// A text value (REG_SZ or REG_EXPAND_SZ, expanded) of the registry. The key begins with its root,
// "HKEY_LOCAL_MACHINE\" or "HKEY_CURRENT_USER\" (or HKLM, HKCU). nullopt when the key or the value
// is missing or holds no text, and always on POSIX.
std::optional<std::string> RegistryString(const std::string& key, const std::string& valueName);

// The path of an existing file or folder with every link resolved (Windows: the final path of
// its handle), so that two spellings of one folder compare equal; nullopt when it does not exist.
std::optional<std::string> CanonicalPath(const std::string& path);

} // namespace platform
