#include "startup/Location.h"

#include "runtime/Globals.h"
#include "startup/GameInstall.h"

namespace UnrealMOD {

bool ConfirmGameFolder(const std::string& thePathText) {
    // The separator is appended whatever the text ends in: "C:\" becomes "C:\\".
    GameFolder = thePathText + "\\";
    return GameIsInstalledAt(GameFolder);
}

} // namespace UnrealMOD
