#pragma once
// What the main window tests share: one Qt application, a Wine prefix with a game folder on
// drive C:, and a program folder without cues.

#include "startup/DoEvents.h"
#include "startup/Globals.h"
#include "support/TestGame.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <cstdlib>
#include <string>

namespace maintest {

namespace fs = std::filesystem;

inline void EnsureApplication() {
    if (QApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("SDL_AUDIODRIVER"))
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: torn down among the exit handlers, Qt's own statics may already be gone.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    QApplication::setQuitOnLastWindowClosed(false);
}

inline void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

inline void DeleteAllWindows() {
    FlushDeletes();
    QList<QPointer<QWidget>> left;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            left.append(w);
    for (const QPointer<QWidget>& w : left)
        delete w.data();
}

// A game installed at C:\UT\ (the check file only) and an empty program folder.
class GameEnvironment {
public:
    GameEnvironment() {
        EnsureApplication();
        DeleteAllWindows();
        oldProgramFolder_ = UnrealMOD::ProgramFolder();
        oldGameFolder_ = UnrealMOD::GameFolder;
        UnrealMOD::ProgramFolder() = program_.path().string();
        UnrealMOD::GameFolder = "C:\\UT\\";
        UnrealMOD::SetDoEventsHandler([] { QCoreApplication::processEvents(); });
        testsupport::WriteFile(game() / "System" / "UnrealTournament.exe", "exe");
    }
    ~GameEnvironment() {
        ui::MainForm::SetCuePlayerForTesting(nullptr);
        DeleteAllWindows();
        UnrealMOD::SetDoEventsHandler(nullptr);
        UnrealMOD::ProgramFolder() = oldProgramFolder_;
        UnrealMOD::GameFolder = oldGameFolder_;
    }
    GameEnvironment(const GameEnvironment&) = delete;
    GameEnvironment& operator=(const GameEnvironment&) = delete;

    fs::path game() const { return prefix_.driveC() / "UT"; }
    const fs::path& programFolder() const { return program_.path(); }

    // A logo of the given size in pixels, as the game ships it (a bitmap file).
    void WriteLogo(int width, int height) const {
        QImage logo(width, height, QImage::Format_RGB32);
        logo.fill(QColor(20, 30, 90));
        fs::create_directories(game() / "Help");
        const fs::path path = game() / "Help" / "UnrealTournamentLogo.bmp";
        logo.save(QString::fromStdString(path.string()), "BMP");
    }

    void WriteCacheIndex(const std::string& text) const {
        testsupport::WriteFile(game() / "Cache" / "cache.ini", text);
    }

private:
    testsupport::WinePrefix prefix_;
    testsupport::TempDir program_;
    std::string oldProgramFolder_;
    std::string oldGameFolder_;
};

} // namespace maintest
