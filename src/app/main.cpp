#include "cli/CommandLine.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/UserFolders.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    // With arguments it is the command line: no window system, no display needed.
    if (argc > 1) {
        platform::PrepareConsole();
        UnrealMOD::ProgramFolder() = platform::ExecutableFolder();
        UnrealMOD::UserFolder() = platform::UserConfigFolder();
        return cli::RunCommandLine(platform::ProgramArguments(argc, argv));
    }
    QApplication app(argc, argv);
    // Ties the windows to the installed desktop entry (its icon and name in docks and task lists).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lodestow.Lodestow"));
    // Windows are closed by the program's own rule (no window left), not by Qt's.
    QApplication::setQuitOnLastWindowClosed(false);
    ui::UseClassicLook();
    UnrealMOD::ProgramFolder() = platform::ExecutableFolder();
    UnrealMOD::UserFolder() = platform::UserConfigFolder();
    UnrealMOD::SetDoEventsHandler([] { QCoreApplication::processEvents(); });

    ui::LoadMainForm();
    bool anyLeft = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        anyLeft = anyLeft || w->isVisible();
    if (!anyLeft)
        return 0;
    return QApplication::exec();
}
