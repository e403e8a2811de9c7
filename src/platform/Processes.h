#pragma once
// The programs that are running, as files: what the check "is the game running?" needs of the
// system. Which programs count is the caller's decision.

#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The identity of the regular file at a game path (as FileSystem.h takes paths); nullopt when
// there is none.
std::optional<FileIdentity> FileIdentityOf(const std::string& path);

// The files the other running processes were started from. Windows: each process's image.
// POSIX: each process's executable (/proc/PID/exe) and, for a program run under Wine, the file
// that the first word of its command line names when that is a Windows path ("C:\...\Game.exe"),
// resolved as every game path is. Processes this program may not look into are left out.
std::vector<FileIdentity> RunningPrograms();

// Starts this program again with administrator rights and these arguments (Windows asks the user
// first). False when it was not started: refused, or a system with no such thing (POSIX).
bool StartElevated(const std::vector<std::string>& arguments);

// The program's arguments as UTF-8, without the program itself (Windows: from the process's
// wide command line, whatever the ANSI code page; POSIX: as given).
std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace platform
