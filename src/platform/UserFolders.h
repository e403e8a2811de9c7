#pragma once
// Where an installed program keeps what its own folder cannot hold. Paths are native ones, as
// ExecutableFolder gives them.

#include <string>

namespace platform {

// The player's own configuration folder for Lodestow: $XDG_CONFIG_HOME/lodestow when that variable
// holds an absolute path, otherwise HomeFolder() + /.config/lodestow (Places.h); on Windows
// %APPDATA%\Lodestow. Empty when no such base is known. Nothing is created here.
std::string UserConfigFolder();

// True when a new file can be created in the folder now: it exists, the read-only rule allows it,
// and so do the system's permissions for the running user.
bool FolderAcceptsNewFiles(const std::string& folder);

// Creates the folder and every missing parent (POSIX: readable by its owner only, as a
// configuration folder should be). True when the folder exists afterwards.
bool CreateFolders(const std::string& folder);

} // namespace platform
