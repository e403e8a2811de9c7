#include "runtime/GameRunning.h"

#include "platform/Processes.h"
#include "runtime/Games.h"

#include <algorithm>
#include <vector>

namespace UnrealMOD {

bool GameIsRunning(const std::string& gameFolder) {
    // Compared as files, not as names: a link, another spelling or the Wine drive that leads to
    // the program is the same program.
    std::vector<platform::FileIdentity> programs;
    for (const GameKind& game : Games()) {
        for (const GameMarker& marker : game.markers) {
            const std::string path = gameFolder + marker.systemFolder + "\\" + marker.program;
            if (const auto identity = platform::FileIdentityOf(path))
                programs.push_back(*identity);
        }
    }
    if (programs.empty())
        return false;
    const std::vector<platform::FileIdentity> running = platform::RunningPrograms();
    return std::any_of(running.begin(), running.end(), [&](const platform::FileIdentity& id) {
        return std::find(programs.begin(), programs.end(), id) != programs.end();
    });
}

std::string GameRunningRefusal() {
    return std::string(CurrentGame().name) +
           " is running. Close the game first, then press Begin Transfer again: the game writes "
           "its cache while it runs.";
}

std::string GameRunningNotice() {
    return std::string(CurrentGame().name) +
           " is running. Close the game before you press Begin Transfer: the game writes its "
           "cache while it runs.";
}

} // namespace UnrealMOD
