// lodestow.exe: the program with its Win32 windows.
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "ui-win32/Win32.h"
#include "ui-win32/Windows.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    UnrealMOD::ProgramFolder() = platform::ExecutableFolder();
    UnrealMOD::UserFolder() = platform::UserConfigFolder();
    UnrealMOD::SetDoEventsHandler([] { win32ui::ProcessPendingMessages(); });

    win32ui::LoadMainForm();
    return win32ui::RunMessageLoop();
}
