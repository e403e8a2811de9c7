// lodestow.exe: the program with its Win32 windows.
#include "forms/MainFormLogic.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/UserFolders.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "ui-win32/Win32.h"
#include "ui-win32/Windows.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
                                                       ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    UnrealMOD::ProgramFolder() = platform::ExecutableFolder();
    UnrealMOD::UserFolder() = platform::UserConfigFolder();
    UnrealMOD::SetDoEventsHandler([] { win32ui::ProcessPendingMessages(); });
    // Started again as administrator: the same game, for this run only.
    if (const auto game = forms::GameFolderArgument(platform::ProgramArguments(0, nullptr)))
        UnrealMOD::GameFolder = *game;

    win32ui::LoadMainForm();
    return win32ui::RunMessageLoop();
}
