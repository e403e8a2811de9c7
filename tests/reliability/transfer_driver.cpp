// "Begin Transfer" without a window: reads the index of the game folder given as the first
// argument (a Windows-style path; WINEPREFIX from the environment) and runs the whole click with
// a view that shows nothing. The crash tests start it and kill it midway.
//
//   transfer_driver 'C:\Game\' [program folder]
//
// Exit code: 0 done, 2 usage, 3 the index could not be read, 4 the run reported a problem.

#include "catalogue/CacheIndex.h"
#include "runtime/Globals.h"
#include "startup/GameInstall.h"
#include "support/NullView.h"
#include "transfer/Transfer.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s GAME_FOLDER [PROGRAM_FOLDER]\n", argv[0]);
        return 2;
    }
    UnrealMOD::GameFolder = argv[1];
    UnrealMOD::CacheIndexName = "cache.ini";
    // No cues: a folder that holds none.
    UnrealMOD::ProgramFolder() = argc == 3 ? argv[2] : "/nonexistent/lodestow-driver";
    // The game, its ini's cache and its folders, settled as the windows settle them.
    UnrealMOD::SettleCacheLocation();
    UnrealMOD::MemoryCatalogue catalogue;
    if (!UnrealMOD::ReadCacheIndex(catalogue))
        return 3;
    testsupport::NullView view;
    bool problem = false;
    view.onProblem = [&problem](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
        problem = true;
    };
    UnrealMOD::RunitClick(catalogue, view);
    return problem ? 4 : 0;
}
