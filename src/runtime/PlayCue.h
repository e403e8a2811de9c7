#pragma once
#include <string>

namespace UnrealMOD {

// Plays the .wav file when it exists and returns when it has finished; silence otherwise.
void PlayCue(const std::string& path);

// For the rest of the run no cue plays (a run from the command line makes no sound).
void SilenceCues();

// Program folder + cue literal, e.g. CuePath("\\winstart.wav"); when no such file is beside the
// executable, the player's folder + the literal instead.
std::string CuePath(const char* literal);

} // namespace UnrealMOD
