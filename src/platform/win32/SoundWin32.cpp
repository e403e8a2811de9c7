// Sound cues on Windows: the multimedia library plays the file to its end.
#ifdef _WIN32

#include "platform/Sound.h"
#include "platform/win32/Wide.h"
// The multimedia header needs the base types first.
#include <mmsystem.h>

namespace platform {

void PlayWavSync(const std::string& path) {
    const std::wstring file = win32::Widen(path);
    if (file.empty())
        return;
    // SND_NODEFAULT: a file that cannot be played means silence, not the system's default sound.
    ::PlaySoundW(file.c_str(), nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT);
}

} // namespace platform

#endif // _WIN32
