#pragma once
// Program-wide state. Every path into the game is GameFolder followed by a relative path; it is
// expected to end in a backslash.

#include <string>

namespace UnrealMOD {

extern std::string GameFolder;
extern std::string CacheIndexName;

// Where the game keeps its download cache, as the game's own ini says (settled by the start-up
// sequence, see GameInstall.h): the folder, ending in a separator, and the extension of the
// cached files. Empty stands for the game's defaults, GameFolder + "Cache\" and ".uxx".
extern std::string CacheFolder;
extern std::string CacheExt;
std::string CacheFolderPath();
std::string CacheFileExt();

// The folder of the executable: settings file and sound cues live there. Paths into it are this
// followed by a literal beginning with "\". Set once at start (tests point it elsewhere).
std::string& ProgramFolder();

// The player's own folder (platform::UserConfigFolder): it takes the settings file when the program
// folder cannot (an installed program), and cues not found beside the executable. Empty: no such
// folder, everything stays in the program folder. Set once at start (tests point it elsewhere).
std::string& UserFolder();

} // namespace UnrealMOD
