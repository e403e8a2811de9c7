#include "startup/Globals.h"

namespace UnrealMOD {

std::string GameFolder;
std::string CacheIndexName;

std::string& ProgramFolder() {
    static std::string folder;
    return folder;
}

std::string& UserFolder() {
    static std::string folder;
    return folder;
}

} // namespace UnrealMOD
