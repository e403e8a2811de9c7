#pragma once
// The settings file: program folder + "\Lodestow.ini", one line, the game folder.

#include <optional>
#include <string>

namespace UnrealMOD {

std::string SettingsPath();

// The first line (up to CR or the end of the file; an LF right after the CR is consumed), decoded
// from the ANSI code page. nullopt when the file cannot be opened or read, or holds no bytes.
std::optional<std::string> ReadSettings();

// Writes value + CR LF, creating or emptying the file. False when it cannot be written.
bool WriteSettings(std::string value);

} // namespace UnrealMOD
