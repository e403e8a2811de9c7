#pragma once
// File operations with Windows semantics. Every path is a Windows-style game path as the user
// and the settings file see it ("C:\UnrealTournament\Cache\K1.uxx"); on POSIX it is resolved
// through the Wine drive mapping (see PathResolver.h). Text inside the program is UTF-8.
//
// Read-only rule: a file without its owner write bit is read-only, as Windows would report it:
// it cannot be deleted, replaced or opened for writing, and a folder without it accepts no new
// files. The rule is applied by this layer itself, so it holds when the program runs as root.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
// <windows.h> turns these names into macros for its A/W variants. The platform functions keep
// their own names in every translation unit, whatever was included before this header.
#undef FindFirstFile
#undef DeleteFile
#endif

namespace platform {

// Directory search: the last component is a pattern ('*' and '?', case-insensitive); only regular
// files match, never folders. Returns the on-disk name of the first match.
std::optional<std::string> FindFirstFile(const std::string& pattern);

// True when the path names an existing regular file or folder (no pattern matching).
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsReadOnly(const std::string& path);

// Opens the file for writing, creating it or emptying an existing one, and closes it at once.
bool CreateOrTruncateFile(const std::string& path);

// Deletes a regular file. Fails for read-only files, folders and files in read-only folders.
bool DeleteFile(const std::string& path);

// Copies source over destination. The bytes go to a temporary file beside the destination, are
// flushed to disk, and only then replace the destination in one step. On failure the destination
// is exactly as it was and no temporary file is left.
bool CopyFileReplace(const std::string& source, const std::string& destination);

// Whole-file read; nullopt when the file cannot be opened or read (or is a folder).
std::optional<std::string> ReadFileBytes(const std::string& path);

// Opens for writing (creating or emptying) and writes the bytes. Not atomic.
bool WriteFileBytes(const std::string& path, std::string_view bytes);

// Replaces (or creates) the file with these bytes atomically: temporary file in the same folder,
// flushed, then renamed over the target. An existing file keeps its on-disk spelling. On failure
// the old file is whole and no temporary file is left.
bool ReplaceFileAtomic(const std::string& path, std::string_view bytes);

// Names of the sub-folders of a folder, sorted case-insensitively; nullopt when the folder cannot
// be read. Windows leaves out hidden and system folders; POSIX lists every folder.
std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder);

// Names of the regular files of a folder (what the directory search can match), sorted like
// ListSubfolders; nullopt when the folder cannot be read.
std::optional<std::vector<std::string>> ListFiles(const std::string& folder);

// The machine's drives as "C:", "Z:" ... (on POSIX the drives of the Wine prefix, Z: at least).
std::vector<std::string> LogicalDrives();

// The folder of the running executable, without a trailing separator.
std::string ExecutableFolder();

} // namespace platform
