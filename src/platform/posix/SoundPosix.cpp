// Sound cues through SDL2's audio subsystem (never its video). Playback is synchronous: the call
// returns after the queue and the device's own buffer have drained. Anything that goes wrong
// means silence, at once.

#include "platform/PathResolver.h"
#include "platform/Sound.h"

#include <SDL.h>
#include <cstdlib>

namespace platform {

namespace {

// Audio is started once per process and kept; a failure is remembered too, so a machine without
// sound does not pay for a second attempt on every cue.
bool AudioReady() {
    static const bool ready = [] {
        // Leave SIGINT and SIGTERM to the program: Ctrl-C must still end it.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        std::atexit([] { SDL_QuitSubSystem(SDL_INIT_AUDIO); });
        return true;
    }();
    return ready;
}

class Wav {
public:
    explicit Wav(const std::string& file) {
        if (!SDL_LoadWAV(file.c_str(), &spec_, &data_, &length_))
            data_ = nullptr;
    }
    Wav(const Wav&) = delete;
    Wav& operator=(const Wav&) = delete;
    ~Wav() {
        if (data_)
            SDL_FreeWAV(data_);
    }
    bool ok() const { return data_ != nullptr && length_ > 0; }
    const SDL_AudioSpec& spec() const { return spec_; }
    const Uint8* data() const { return data_; }
    Uint32 length() const { return length_; }

private:
    SDL_AudioSpec spec_{};
    Uint8* data_ = nullptr;
    Uint32 length_ = 0;
};

Uint32 DurationMs(Uint32 bytes, const SDL_AudioSpec& spec) {
    const Uint64 frameBytes = static_cast<Uint64>(SDL_AUDIO_BITSIZE(spec.format) / 8) *
                              (spec.channels ? spec.channels : 1);
    if (frameBytes == 0 || spec.freq <= 0)
        return 0;
    return static_cast<Uint32>(bytes / frameBytes * 1000 / static_cast<Uint64>(spec.freq));
}

} // namespace

void PlayWavSync(const std::string& path) {
    const auto file = ResolvePath(path);
    if (!file || !AudioReady())
        return;
    Wav wav(*file);
    if (!wav.ok())
        return;

    SDL_AudioSpec wanted = wav.spec();
    wanted.callback = nullptr; // queued audio
    wanted.userdata = nullptr;
    // The loader asks for 4096-frame buffers (186 ms at 22 kHz). SDL drains two buffers when the
    // device closes, so smaller ones (about 50 ms) let the call return close to the sound's end.
    Uint16 frames = 256;
    while (frames < 4096 && frames * 2 <= wanted.freq / 20)
        frames = static_cast<Uint16>(frames * 2);
    wanted.samples = frames;
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0)
        return;
    if (SDL_QueueAudio(device, wav.data(), wav.length()) == 0) {
        SDL_PauseAudioDevice(device, 0);
        // A device that stops consuming (unplugged, broken driver) must not hold the program:
        // give up well after the sound should have ended.
        const Uint32 length = DurationMs(wav.length(), wav.spec());
        const Uint64 deadline = SDL_GetTicks64() + 2ull * length + 2000;
        while (SDL_GetQueuedAudioSize(device) > 0 &&
               SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_PLAYING && SDL_GetTicks64() < deadline)
            SDL_Delay(5);
        // The queue is empty once the device has taken the last buffer; let that buffer play.
        if (obtained.freq > 0)
            SDL_Delay(static_cast<Uint32>(obtained.samples * 1000u / obtained.freq) + 30);
    }
    SDL_CloseAudioDevice(device);
}

} // namespace platform
