#include "runtime/Globals.h"

namespace UnrealMOD {

std::string GameFolder;
std::string CacheIndexName;
std::string CacheFolder;
std::string CacheExt;

std::string CacheFolderPath() {
    return CacheFolder.empty() ? GameFolder + "Cache\\" : CacheFolder;
}

std::string CacheFileExt() {
    return CacheExt.empty() ? std::string(".uxx") : CacheExt;
}

std::string& ProgramFolder() {
    static std::string folder;
    return folder;
}

std::string& UserFolder() {
    static std::string folder;
    return folder;
}

} // namespace UnrealMOD
