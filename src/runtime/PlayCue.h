#pragma once
#include <string>

namespace UnrealMOD {

// Plays the .wav file when it exists and returns when it has finished; silence otherwise.
void PlayCue(const std::string& path);

// Program folder + cue literal, e.g. CuePath("\\winstart.wav"); when no such file is beside the
// executable, the player's folder + the literal instead.
std::string CuePath(const char* literal);

} // namespace UnrealMOD
