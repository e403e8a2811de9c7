#include "runtime/PlayCue.h"

#include "platform/FileSystem.h"
#include "platform/Sound.h"
#include "runtime/Globals.h"

namespace UnrealMOD {

namespace {
bool silenced = false;
}

void SilenceCues() {
    silenced = true;
}

void PlayCue(const std::string& path) {
    if (silenced)
        return;
    if (!platform::FindFirstFile(path))
        return;
    platform::PlayWavSync(path);
}

std::string CuePath(const char* literal) {
    std::string beside = ProgramFolder() + literal;
    if (UserFolder().empty() || platform::FindFirstFile(beside))
        return beside;
    return UserFolder() + literal;
}

} // namespace UnrealMOD
