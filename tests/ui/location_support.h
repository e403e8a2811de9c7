#pragma once
// What the location window tests share: a Qt application for the widgets, a Wine prefix with
// drive C:, and a program folder without cues.

#include "startup/DoEvents.h"
#include "startup/Globals.h"
#include "support/TestGame.h"
#include "ui/FindUnreal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QList>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

// Readable QString values in failure messages.
static inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace locationtest {

// Double-clicks the row of a list view, once the view has laid its rows out.
inline bool DoubleClickRow(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> hits = list->findItems(text, Qt::MatchExactly);
    if (hits.size() != 1)
        return false;
    list->doItemsLayout();
    const QRect row = list->visualItemRect(hits.first());
    if (!row.isValid())
        return false;
    // A real double-click is a click followed by the double-click press.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    return true;
}

namespace fs = std::filesystem;

// The application these tests made, if they made it; it goes when the last test has run, while
// Qt's own statics still stand (torn down among them at exit, it crashes).
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

// The tests run without a display; one application object serves them all.
inline void EnsureApplication() {
    if (QApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    OwnApplication() = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::AddGlobalTestEnvironment(new ApplicationTearDown);
}

// Deletes what close() left for later, so that closed windows are really gone.
inline void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

inline void CloseAllWindows() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isWindow() && w->isVisible())
            w->close();
    }
    FlushDeletes();
    QList<QPointer<QWidget>> left;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            left.append(w);
    for (const QPointer<QWidget>& w : left)
        delete w.data();
}

class Environment {
public:
    Environment() {
        EnsureApplication();
        oldProgramFolder_ = UnrealMOD::ProgramFolder();
        oldGameFolder_ = UnrealMOD::GameFolder;
        UnrealMOD::ProgramFolder() = program_.path().string();
        UnrealMOD::GameFolder.clear();
        UnrealMOD::SetDoEventsHandler([] { QCoreApplication::processEvents(); });
    }
    ~Environment() {
        ui::FindUnreal::MessageBoxHook() = nullptr;
        CloseAllWindows();
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
    void MapDrive(char letter, const fs::path& target) const {
        fs::create_directory_symlink(target, prefix_.root() / "dosdevices" /
                                                 (std::string(1, letter) + ":"));
    }

private:
    testsupport::WinePrefix prefix_;
    testsupport::TempDir program_;
    std::string oldProgramFolder_;
    std::string oldGameFolder_;
};

} // namespace locationtest
