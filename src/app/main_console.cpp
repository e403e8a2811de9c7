// lodestow.com: the commands of the program from a Windows console, without its windows.
#include "cli/CommandLine.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/UserFolders.h"
#include "runtime/Globals.h"

int main(int argc, char** argv) {
    platform::PrepareConsole();
    UnrealMOD::ProgramFolder() = platform::ExecutableFolder();
    UnrealMOD::UserFolder() = platform::UserConfigFolder();
    return cli::RunCommandLine(platform::ProgramArguments(argc, argv));
}
