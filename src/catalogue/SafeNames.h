#pragma once
// Names in the cache index come from whatever server the game downloaded from. A name that could
// lead a path out of its folder, or that Windows treats specially, is never used as a path.

#include <string>

namespace UnrealMOD {

// False for names holding "\", "/", ":", "*", "?", a control character, for "." and "..", and for
// device names (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension). Also false for
// names ending in "." or " ", names holding '<', '>', '"' or '|', and text that is not UTF-8.
// The empty name is safe (an entry may have an empty cache name).
bool IsSafeName(const std::string& name);

} // namespace UnrealMOD
