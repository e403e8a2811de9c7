#pragma once
// The settings file: "\Lodestow.ini" in the settings folder, one line, the game folder.

#include <optional>
#include <string>

namespace UnrealMOD {

// The program folder when the file is already there or the folder takes new files (a portable
// copy); otherwise the player's own folder (an installed program), when there is one.
std::string SettingsFolder();
std::string SettingsPath();

// The first line (up to CR or the end of the file; an LF right after the CR is consumed), decoded
// from the ANSI code page. nullopt when the file cannot be opened or read, or holds no bytes.
std::optional<std::string> ReadSettings();

// Writes value + CR LF, creating or emptying the file (and creating the player's folder when the
// file goes there). False when it cannot be written, or when the value holds a line end or a
// character the ANSI code page lacks (nothing is written then).
bool WriteSettings(std::string value);

} // namespace UnrealMOD
