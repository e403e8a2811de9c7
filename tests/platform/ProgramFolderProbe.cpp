// Run from a copy placed in a folder of the test's choosing: writes the settings file into the
// program folder and into the player's configuration folder the way the program does, and prints
// which cue the program folder's search finds.

#include "platform/FileSystem.h"
#include "platform/UserFolders.h"

#include <cstdio>

int main() {
    const std::string settings = "C:\\UnrealTournament\\\r\n";
    const std::string folder = platform::ExecutableFolder();
    if (!platform::WriteFileBytes(folder + "\\Lodestow.ini", settings))
        return 1;
    const std::string user = platform::UserConfigFolder();
    if (!platform::CreateFolders(user) ||
        !platform::WriteFileBytes(user + "\\Lodestow.ini", settings))
        return 2;
    const auto cue = platform::FindFirstFile(folder + "\\*.wav");
    std::printf("%s", cue ? cue->c_str() : "");
    return 0;
}
