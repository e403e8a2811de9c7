#pragma once
// Program-wide state. Every path into the game is GameFolder followed by a relative path; it is
// expected to end in a backslash.

#include <string>

namespace UnrealMOD {

extern std::string GameFolder;
extern std::string CacheIndexName;

// The folder of the executable: settings file and sound cues live there. Paths into it are this
// followed by a literal beginning with "\". Set once at start (tests point it elsewhere).
std::string& ProgramFolder();

// The player's own folder (platform::UserConfigFolder): it takes the settings file when the program
// folder cannot (an installed program), and cues not found beside the executable. Empty: no such
// folder, everything stays in the program folder. Set once at start (tests point it elsewhere).
std::string& UserFolder();

} // namespace UnrealMOD
