// The location window: its make-up and its handlers.

#include "location_support.h"
#include "runtime/Globals.h"
#include "ui/DirListBox.h"
#include "ui/DriveListBox.h"
#include "ui/FreakyForm.h"
#include "ui/MainForm.h"
#include "ui/Twips.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using locationtest::Environment;
using testsupport::ReadFile;
using testsupport::WriteFile;
using ui::FindUnreal;
using ui::TwipsRect;
using uitest::FlushDeletes;

namespace {

FindUnreal* OpenLocationWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<FindUnreal*>(w); found && found->isVisible())
            return found;
    return nullptr;
}

QWidget* VisibleWindowTitled(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title)
            return w;
    return nullptr;
}

class LocationWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        FindUnreal::MessageBoxHook() = [this](QWidget* owner, const QString& text,
                                              const QString& title) {
            messages.push_back({owner, text, title});
        };
    }

    FindUnreal* Load() {
        ui::LoadFindUnreal();
        FindUnreal* w = OpenLocationWindow();
        EXPECT_NE(w, nullptr);
        return w;
    }

    void InstallGame(const std::filesystem::path& folder) {
        WriteFile(folder / "System" / "UnrealTournament.exe", "MZ");
        WriteFile(folder / "Cache" / "cache.ini", "[Cache]\r\nK1=DM-A.unr\r\n");
        WriteFile(folder / "Cache" / "K1.uxx", "map");
    }

    struct Message {
        QWidget* owner;
        QString text;
        QString title;
    };

    Environment env;
    std::vector<Message> messages;
};

TEST_F(LocationWindowTest, IsMadeAsDefined) {
    FindUnreal w;
    EXPECT_EQ(w.windowTitle(), "Unreal Tourament Location Form");
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(ui::Twips(&w).width, 5460.0f);
    EXPECT_EQ(ui::Twips(&w).height, 4275.0f);
    EXPECT_EQ(w.size(), QSize(364, 285));
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(w.Frame1->palette().color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_EQ(w.Frame1->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(w.ThePath->text(), "Text1");
    EXPECT_EQ(w.Label1->text(), "Locate the Unreal Tourament Directory");
    EXPECT_EQ(w.Label1->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_FALSE(w.Label1->autoFillBackground());
    EXPECT_EQ(w.Dir1->Path(), "") << "no folder before the load";

    struct Placed {
        QWidget* control;
        QWidget* container;
        TwipsRect twips;
    };
    const Placed placed[] = {
        {w.Command3, &w, {5040, 120, 255, 195}},
        {w.Frame1, &w, {0, 360, 5655, 3975}},
        {w.Label1, w.Frame1, {120, 0, 5175, 495}},
        {w.Drive1, w.Frame1, {120, 480, 5175, 315}},
        {w.Dir1, w.Frame1, {120, 840, 5175, 1890}},
        {w.ThePath, w.Frame1, {120, 2760, 5175, 375}},
        {w.Command2, w.Frame1, {1800, 3240, 1695, 495}},
        {w.Command1, w.Frame1, {3600, 3240, 1695, 495}},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.control->objectName().toStdString());
        EXPECT_EQ(p.control->parentWidget(), p.container);
        EXPECT_EQ(ui::Twips(p.control), p.twips);
        EXPECT_EQ(p.control->geometry(), ui::ToPixels(p.twips));
    }
    // The panel reaches past the window's right and bottom edges.
    EXPECT_GT(w.Frame1->geometry().right(), w.rect().right());
    EXPECT_GT(w.Frame1->geometry().bottom(), w.rect().bottom());

    struct Captioned {
        QPushButton* button;
        const char* caption;
        qreal points;
        bool bold;
    };
    for (const Captioned& c :
         {Captioned{w.Command1, "Enter", 18, true}, Captioned{w.Command2, "Cancel", 18, true},
          Captioned{w.Command3, "X", 8.25, false}}) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(c.button->text(), c.caption);
        EXPECT_DOUBLE_EQ(c.button->font().pointSizeF(), c.points);
        EXPECT_EQ(c.button->font().bold(), c.bold);
        EXPECT_FALSE(c.button->isDefault());
        EXPECT_FALSE(c.button->autoDefault());
    }
    EXPECT_DOUBLE_EQ(w.Label1->font().pointSizeF(), 13.5);
    EXPECT_FALSE(w.Label1->font().bold());
}

TEST_F(LocationWindowTest, FocusStartsOnCancelAndFollowsTheTabOrder) {
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    const std::vector<QWidget*> order = {w->Command2, w->Command1, w->ThePath,
                                         w->Drive1,   w->Dir1,     w->Command3};
    EXPECT_EQ(QApplication::focusWidget(), w->Command2);
    for (std::size_t i = 1; i <= order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i % order.size()]) << "step " << i;
    }
    // Space on the first focus presses "Cancel".
    QPointer<FindUnreal> alive(w);
    QTest::keyClick(w->Command2, Qt::Key_Space);
    FlushDeletes();
    EXPECT_TRUE(alive.isNull());
}

TEST_F(LocationWindowTest, TheEnterKeyOnlyPressesEnterWhileItHasTheFocus) {
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->ThePath->setFocus();
    QTest::keyClick(w->ThePath, Qt::Key_Return);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(UnrealMOD::GameFolder, "");

    w->Command1->setFocus();
    QTest::keyClick(w->Command1, Qt::Key_Space);
    ASSERT_EQ(messages.size(), 1u);
}

TEST_F(LocationWindowTest, CancelHoldsTheFocusBeforeAnyoneActivatesTheWindow) {
    // Without a window manager nobody hands the window the keyboard: its focus is set all the same.
    ui::LoadFindUnreal();
    FindUnreal* w = OpenLocationWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->focusWidget(), w->Command2);
}

TEST_F(LocationWindowTest, ReturnPressesTheFocusedButtonOfEitherWindow) {
    // No button is a default button, so the key acts on the focused one only (the path box with
    // the focus takes it as text input, see above); keypad Enter is the same key.
    QPointer<FindUnreal> location = new FindUnreal;
    QPointer<ui::MainForm> main = new ui::MainForm;
    main->setAttribute(Qt::WA_DeleteOnClose);
    struct Case {
        QPushButton* button;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {
        {location->Command1, Qt::Key_Return, Qt::NoModifier}, // "Enter": the folder is refused
        {main->ExitProg, Qt::Key_Enter, Qt::KeypadModifier},  // "X": the main window unloads
        {location->Command2, Qt::Key_Return, Qt::NoModifier}, // "Cancel": the window closes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button->text().toStdString());
        int clicks = 0;
        const auto tap = QObject::connect(c.button, &QPushButton::clicked, [&] { ++clicks; });
        QTest::keyClick(c.button, c.key, c.modifiers);
        QObject::disconnect(tap);
        EXPECT_EQ(clicks, 1);
    }
    EXPECT_EQ(messages.size(), 1u);
    FlushDeletes();
    EXPECT_TRUE(location.isNull());
    EXPECT_TRUE(main.isNull());
}

TEST_F(LocationWindowTest, ClosedFromOutsideItEndsTheProgram) {
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    QPointer<FindUnreal> alive(w);
    // The window manager's close command (Alt+F4, the close button of its frame) closes the
    // window itself, not through any of its buttons.
    const int status = uitest::RunUntilTheProgramEnds([w] { w->windowHandle()->close(); });
    EXPECT_EQ(status, 0);
    FlushDeletes();
    EXPECT_TRUE(alive.isNull());
}

TEST(MessageBox, IsWideEnoughForItsTitleAndHasAPlainOkButton) {
    uitest::EnsureApplication();
    std::unique_ptr<QMessageBox> box(
        ui::NewMessageBox(nullptr, QStringLiteral("Try Again"), QStringLiteral("System Failure")));
    box->show();
    QFont bold = box->font();
    bold.setBold(true);
    // A title bar holds the title beside the window's icon and three buttons.
    EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100);
    EXPECT_EQ(box->windowTitle(), "System Failure");
    EXPECT_EQ(box->text(), "Try Again");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons()[0]), QMessageBox::Ok);
    EXPECT_TRUE(box->buttons()[0]->icon().isNull());
}

TEST_F(LocationWindowTest, OpensOnDriveCWithThePathInTheBox) {
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Drive1->Drive(), "c:");
    EXPECT_EQ(w->Dir1->Path(), "C:\\");
    EXPECT_EQ(w->ThePath->text(), "C:\\");
    // Centred on its screen.
    const QRect screen = w->screen()->geometry();
    EXPECT_LE(std::abs(w->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(w->geometry().center().y() - screen.center().y()), 1);
}

TEST_F(LocationWindowTest, EnterOnADriveRootTestsTwoBackslashesAndAcceptsAGameThere) {
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\\\");
    ASSERT_EQ(messages.size(), 1u);

    // The doubled backslash still finds a game installed at the root.
    InstallGame(env.driveC());
    QPointer<FindUnreal> alive(w);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    FlushDeletes();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(alive.isNull());
    EXPECT_NE(VisibleWindowTitled("Lodestow"), nullptr);
}

TEST_F(LocationWindowTest, AFolderWithoutTheGameIsRejectedAndTheWindowStays) {
    std::filesystem::create_directories(env.driveC() / "Games" / "Empty" / "System");
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    w->ThePath->setText("C:\\Games\\Empty");
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    FlushDeletes();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Try Again");
    EXPECT_EQ(messages[0].title, "System Failure");
    EXPECT_EQ(messages[0].owner, w);
    EXPECT_EQ(UnrealMOD::GameFolder, "C:\\Games\\Empty\\");
    ASSERT_EQ(OpenLocationWindow(), w);
    EXPECT_EQ(VisibleWindowTitled("Lodestow"), nullptr);
    EXPECT_EQ(w->ThePath->text(), "C:\\Games\\Empty") << "the typed text stays";
}

TEST_F(LocationWindowTest, AValidFolderOpensTheMainWindowAndLeavesTheSettingsAlone) {
    InstallGame(env.driveC() / "Games" / "UT");
    const auto settings = env.programFolder() / "Lodestow.ini";
    WriteFile(settings, "C:\\UnrealTournament\\\r\n");

    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    // Typed by hand, in another letter case than on disk.
    w->ThePath->setText("c:\\games\\ut");
    QPointer<FindUnreal> alive(w);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    FlushDeletes();

    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(UnrealMOD::GameFolder, "c:\\games\\ut\\");
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(OpenLocationWindow(), nullptr);
    EXPECT_NE(VisibleWindowTitled("Lodestow"), nullptr);
    EXPECT_EQ(ReadFile(settings), "C:\\UnrealTournament\\\r\n");
}

TEST_F(LocationWindowTest, BrowsingFollowsIntoThePathBoxUntilTheUserTypes) {
    std::filesystem::create_directories(env.driveC() / "Games" / "UT");
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(locationtest::DoubleClickRow(w->Dir1, "Games"));
    EXPECT_EQ(w->ThePath->text(), "C:\\Games");

    w->ThePath->setText("typed");
    w->Dir1->SetPath("C:\\Games"); // no change of folder: the typed text stays
    EXPECT_EQ(w->ThePath->text(), "typed");
    w->Dir1->SetPath("C:\\Games\\UT");
    EXPECT_EQ(w->ThePath->text(), "C:\\Games\\UT");
}

TEST_F(LocationWindowTest, ChangingDrivePointsBothListsThere) {
    std::filesystem::create_directories(env.prefixRoot() / "disc" / "Stuff");
    env.MapDrive('d', env.prefixRoot() / "disc");
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    w->Drive1->setCurrentIndex(w->Drive1->findText("d:"));
    EXPECT_EQ(w->Dir1->Path(), "D:\\");
    EXPECT_EQ(w->Dir1->Subfolders(), QStringList{"Stuff"});
    EXPECT_EQ(w->ThePath->text(), "D:\\");
}

TEST_F(LocationWindowTest, ADriveThatCannotBeReadPutsBothListsBackOnC) {
    // Listed while the window is made, gone (like a removed disc) when chosen.
    std::filesystem::create_directories(env.prefixRoot() / "disc");
    env.MapDrive('d', env.prefixRoot() / "disc");
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->Dir1->SetPath("C:\\"));
    std::filesystem::create_directories(env.driveC() / "Games");
    ASSERT_TRUE(w->Dir1->SetPath("C:\\Games"));
    std::filesystem::remove(env.prefixRoot() / "disc");

    w->Drive1->setCurrentIndex(w->Drive1->findText("d:"));
    EXPECT_EQ(w->Drive1->Drive(), "c:");
    EXPECT_EQ(w->Dir1->Path(), "C:\\");
    EXPECT_EQ(w->ThePath->text(), "C:\\");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(OpenLocationWindow(), w);
}

TEST_F(LocationWindowTest, WithDriveCUnreadableTooTheFallBackStopsQuietly) {
    std::filesystem::create_directories(env.prefixRoot() / "disc");
    env.MapDrive('d', env.prefixRoot() / "disc");
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    w->Drive1->SetDrive("d:");
    ASSERT_EQ(w->Dir1->Path(), "D:\\");
    std::filesystem::remove(env.prefixRoot() / "disc");
    std::filesystem::remove_all(env.driveC());

    // Chosen by the user: c: first (nothing to fall back to), then d: (falls back to c:, which
    // changes the drive once more and fails again): no message, no endless round, back on c:.
    w->Drive1->setCurrentIndex(w->Drive1->findText("c:"));
    w->Drive1->setCurrentIndex(w->Drive1->findText("d:"));
    EXPECT_EQ(w->Drive1->Drive(), "c:");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(OpenLocationWindow(), w);
}

TEST_F(LocationWindowTest, CancelAndXBothCloseTheWindow) {
    for (const char* name : {"Command2", "Command3"}) {
        SCOPED_TRACE(name);
        FindUnreal* w = Load();
        ASSERT_NE(w, nullptr);
        QPointer<FindUnreal> alive(w);
        auto* button = w->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        FlushDeletes();
        EXPECT_TRUE(alive.isNull());
        EXPECT_EQ(OpenLocationWindow(), nullptr);
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(LocationWindowTest, OnlyTheRedStripDragsTheWindowAndOnlyWithTheLeftButton) {
    FindUnreal* w = Load();
    ASSERT_NE(w, nullptr);
    std::vector<QWindow*> moves;
    FreakyForm::SetSystemMoveForTesting([&](QWindow* handle) {
        moves.push_back(handle);
        return true;
    });
    auto moveOver = [](QWidget* target, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(target->mapToGlobal(at)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
    };
    struct Case {
        QWidget* target;
        Qt::MouseButtons buttons;
        std::size_t movesAfter;
    };
    const Case cases[] = {
        {w, Qt::NoButton, 0},
        {w, Qt::RightButton, 0},
        {w, Qt::LeftButton | Qt::RightButton, 0},
        {w->Frame1, Qt::LeftButton, 0}, // the panel is not the window's own surface
        {w->Label1, Qt::LeftButton, 0},
        {w, Qt::LeftButton, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target->objectName().toStdString());
        moveOver(c.target, QPoint(5, 5), c.buttons);
        EXPECT_EQ(moves.size(), c.movesAfter);
    }
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], w->windowHandle());
    FreakyForm::SetSystemMoveForTesting(nullptr);
}

} // namespace
