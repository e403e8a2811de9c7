#pragma once
#include <string>

namespace UnrealMOD {

// Plays the .wav file when it exists and returns when it has finished; silence otherwise.
void PlayCue(const std::string& path);

// Program folder + cue literal, e.g. Cue("\\winstart.wav").
std::string CuePath(const char* literal);

} // namespace UnrealMOD
