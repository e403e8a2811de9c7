#pragma once
#include <string>

namespace platform {

// Plays a .wav file to its end before returning. No audio device, a file that cannot be played,
// or the sound system failing to start: returns at once, silently.
void PlayWavSync(const std::string& path);

} // namespace platform
