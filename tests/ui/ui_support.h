#pragma once
// What every window test shares: one Qt application without a display, window clean-up, and a
// Wine prefix with an empty program folder (no cues) in place of the program's own.

#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "support/TestSupport.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>

// Readable QString values in failure messages.
static inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace uitest {

namespace fs = std::filesystem;

// The application the tests made. It goes when the last test has run, while Qt's own statics
// still stand: torn down among them by the exit handlers, it crashes (in ~QInputDevice).
inline QApplication*& OwnApplication() {
    static QApplication* app = nullptr;
    return app;
}

class ApplicationTearDown : public ::testing::Environment {
public:
    void TearDown() override {
        delete OwnApplication();
        OwnApplication() = nullptr;
    }
};

// The tests run without a display or a sound device; one application object serves them all.
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
    OwnApplication() = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ui::UseClassicLook(); // as the program does: the windows are tested with the look they have
    ::testing::AddGlobalTestEnvironment(new ApplicationTearDown);
}

// Deletes what close() left for later, so that closed windows are really gone.
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

// Closes the windows still open the way the user would, then deletes every one left.
inline void CloseAllWindows() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isWindow() && w->isVisible())
            w->close();
    }
    DeleteAllWindows();
}

// Runs the event loop until the program ends itself; answers its exit status (-1: it did not).
inline int RunUntilTheProgramEnds(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard; // only a stop for a program that never ends, not a measurement
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(20000);
    return QApplication::exec();
}

// The application, a Wine prefix and an empty program folder, with the game folder set as given;
// everything goes back as it was afterwards.
class Environment {
public:
    explicit Environment(const std::string& gameFolder) {
        EnsureApplication();
        oldProgramFolder_ = UnrealMOD::ProgramFolder();
        oldGameFolder_ = UnrealMOD::GameFolder;
        UnrealMOD::ProgramFolder() = program_.path().string();
        UnrealMOD::GameFolder = gameFolder;
        UnrealMOD::CacheFolder.clear(); // each start settles it anew from the game's ini
        UnrealMOD::CacheExt.clear();
        UnrealMOD::SetDoEventsHandler([] { QCoreApplication::processEvents(); });
    }
    ~Environment() {
        UnrealMOD::SetDoEventsHandler(nullptr);
        UnrealMOD::ProgramFolder() = oldProgramFolder_;
        UnrealMOD::GameFolder = oldGameFolder_;
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    const fs::path& driveC() const { return prefix_.driveC(); }
    const fs::path& prefixRoot() const { return prefix_.root(); }
    const fs::path& programFolder() const { return program_.path(); }
    // A drive letter of the prefix mapped onto a native folder.
    void MapDrive(char letter, const fs::path& target) const { prefix_.MapDrive(letter, target); }

private:
    testsupport::WinePrefix prefix_;
    testsupport::TempDir program_;
    std::string oldProgramFolder_;
    std::string oldGameFolder_;
};

} // namespace uitest
