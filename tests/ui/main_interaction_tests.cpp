// The main window's handlers: keeping the four selections together, dragging, closing.

#include "main_support.h"
#include "runtime/PlayCue.h"
#include "ui/CatalogueList.h"
#include "ui/FreakyForm.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using ui::CatalogueList;
using ui::MainForm;
namespace fs = std::filesystem;

namespace {

class MainInteractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new MainForm;
        std::vector<UnrealMOD::CatalogueRow> rows;
        for (int r = 0; r < 6; ++r)
            rows.push_back({"F" + std::to_string(r), "C" + std::to_string(r), "Maps", "NO"});
        form->AppendRows(rows);
    }
    void TearDown() override {
        FreakyForm::SetSystemMoveForTesting(nullptr);
        delete form.data();
    }

    std::vector<CatalogueList*> Lists() const {
        return {form->FileNameList, form->CacheNameList, form->DestinationList, form->Copied};
    }

    maintest::GameEnvironment env;
    QPointer<MainForm> form;
};

// --- selection ------------------------------------------------------------------------------

TEST_F(MainInteractionTest, EachSelectionHandlerSetsItsTargetsInOrder) {
    enum { File, Cache, Dest, Copy };
    struct Case {
        int source;
        void (MainForm::*handler)();
        std::vector<int> targets; // in the order the handler sets them
    } cases[] = {
        {File, &MainForm::FileNameList_Click, {Cache, Dest}},
        {Cache, &MainForm::CacheNameList_Click, {File, Dest, Copy}},
        {Dest, &MainForm::DestinationList_Click, {Cache, File, Copy}},
        {Copy, &MainForm::Copied_Click, {File, Dest, Cache}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const auto lists = Lists();
        // Start from row 1 everywhere, handlers silenced, so only the handler's own work shows.
        std::vector<std::unique_ptr<QSignalBlocker>> quiet;
        for (CatalogueList* l : lists)
            quiet.push_back(std::make_unique<QSignalBlocker>(l));
        for (CatalogueList* l : lists)
            l->setCurrentRow(1);
        lists[c.source]->setCurrentRow(3);

        std::vector<int> order;
        std::vector<QMetaObject::Connection> taps;
        for (int i = 0; i < 4; ++i)
            taps.push_back(QObject::connect(lists[i]->selectionModel(),
                                            &QItemSelectionModel::currentChanged,
                                            [&order, i] { order.push_back(i); }));
        (form->*c.handler)();
        for (auto& t : taps)
            QObject::disconnect(t);

        EXPECT_EQ(order, c.targets);
        for (int i = 0; i < 4; ++i) {
            const bool target = std::find(c.targets.begin(), c.targets.end(), i) != c.targets.end();
            const int expected = (target || i == c.source) ? 3 : 1;
            EXPECT_EQ(lists[i]->currentRow(), expected) << "list " << i;
            if (expected == 3) {
                EXPECT_TRUE(lists[i]->selectionModel()->isRowSelected(3)) << "list " << i;
            }
        }
    }
}

TEST_F(MainInteractionTest, ASelectionAnywhereEndsWithAllFourOnTheSameRow) {
    const auto lists = Lists();
    int row = 0;
    for (CatalogueList* source : lists) {
        row = (row + 2) % 6;
        std::vector<int> changes(4, 0);
        std::vector<QMetaObject::Connection> taps;
        for (int i = 0; i < 4; ++i)
            taps.push_back(QObject::connect(lists[i], &CatalogueList::currentRowChanged,
                                            [&changes, i] { ++changes[i]; }));
        source->setCurrentRow(row); // from code, as the user's click would be reported
        for (auto& t : taps)
            QObject::disconnect(t);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(lists[i]->currentRow(), row) << source->objectName().toStdString();
            EXPECT_EQ(changes[i], 1) << "list " << i << " changed more than once";
        }
    }
    // A click with the mouse does the same.
    CatalogueList* copied = form->Copied;
    const QRect cell = copied->visualRect(copied->Column()->index(5, 0));
    QTest::mouseClick(copied->viewport(), Qt::LeftButton, {}, cell.center());
    for (CatalogueList* l : lists)
        EXPECT_EQ(l->currentRow(), 5) << l->objectName().toStdString();
}

// --- drag -----------------------------------------------------------------------------------

TEST(FreakyForm, ButtonStateSumsTheButtons) {
    struct Case {
        Qt::MouseButtons buttons;
        int state;
    } cases[] = {{Qt::NoButton, 0},
                 {Qt::LeftButton, 1},
                 {Qt::RightButton, 2},
                 {Qt::MiddleButton, 4},
                 {Qt::LeftButton | Qt::RightButton, 3},
                 {Qt::LeftButton | Qt::RightButton | Qt::MiddleButton, 7},
                 {Qt::BackButton, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(FreakyForm::ButtonState(c.buttons), c.state) << c.buttons.toInt();
}

void SendMove(QWidget* target, Qt::MouseButtons buttons, QPoint local = {5, 5}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(target->mapToGlobal(local)),
                     Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

void SendRelease(QWidget* target) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5),
                        QPointF(target->mapToGlobal(QPoint(5, 5))), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST_F(MainInteractionTest, OnlyTheLeftButtonAloneStartsADrag) {
    std::vector<QWindow*> requests;
    FreakyForm::SetSystemMoveForTesting([&requests](QWindow* w) {
        requests.push_back(w);
        return true;
    });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    struct Case {
        Qt::MouseButtons buttons;
        bool drags;
    } cases[] = {{Qt::NoButton, false},
                 {Qt::RightButton, false},
                 {Qt::LeftButton | Qt::RightButton, false},
                 {Qt::MiddleButton, false},
                 {Qt::LeftButton, true}};
    for (const Case& c : cases) {
        requests.clear();
        SendMove(form->Picture1, c.buttons, {250, 150});
        EXPECT_EQ(requests.size(), c.drags ? 1u : 0u) << c.buttons.toInt();
        SendRelease(form->Picture1);
    }
    EXPECT_EQ(requests.front(), form->windowHandle());
}

TEST_F(MainInteractionTest, OnePressAsksTheSystemForOneMove) {
    int requests = 0;
    FreakyForm::SetSystemMoveForTesting([&requests](QWindow*) {
        ++requests;
        return true;
    });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    // Moves already queued when the system took over arrive afterwards: no second request.
    SendMove(form->Picture1, Qt::LeftButton, {250, 150});
    SendMove(form->Picture1, Qt::LeftButton, {252, 151});
    EXPECT_EQ(requests, 1);
    SendRelease(form->Picture1);
    SendMove(form->Picture1, Qt::LeftButton, {250, 150});
    EXPECT_EQ(requests, 2);
    SendMove(form->Picture1, Qt::NoButton, {250, 150}); // the button went up unseen
    SendMove(form->Picture1, Qt::LeftButton, {250, 150});
    EXPECT_EQ(requests, 3);
    SendRelease(form->Picture1);
}

TEST_F(MainInteractionTest, MovesOverTheControlsOnThePictureStartNoDrag) {
    int requests = 0;
    FreakyForm::SetSystemMoveForTesting([&requests](QWindow*) {
        ++requests;
        return true;
    });
    form->NoFiles->show();
    form->ShowTranFrame();
    form->ShowEndProg();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    for (QWidget* w :
         {static_cast<QWidget*>(form->Label1), static_cast<QWidget*>(form->Label2),
          static_cast<QWidget*>(form->NoFiles), static_cast<QWidget*>(form->Image1),
          static_cast<QWidget*>(form->NumFilesTxt), static_cast<QWidget*>(form->OnesToTransfer),
          static_cast<QWidget*>(form->Runit), static_cast<QWidget*>(form->ExitProg),
          static_cast<QWidget*>(form->EndProg), static_cast<QWidget*>(form->ProgLbl),
          static_cast<QWidget*>(form->TranProg), static_cast<QWidget*>(form->TranFrame1)}) {
        SendMove(w, Qt::LeftButton, {2, 2});
        EXPECT_EQ(requests, 0) << w->objectName().toStdString();
    }
    // A disabled button is still a control on the picture, not the picture.
    form->DisableRunit();
    SendMove(form->Runit, Qt::LeftButton, {2, 2});
    EXPECT_EQ(requests, 0);
}

TEST_F(MainInteractionTest, WithoutASystemMoveTheWindowFollowsTheMouseUntilRelease) {
    FreakyForm::SetSystemMoveForTesting([](QWindow*) { return false; });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    form->move(100, 100);
    const QPoint start = form->pos();
    const QPoint cursor = QCursor::pos();

    SendMove(form->Picture1, Qt::LeftButton, {250, 150});
    ASSERT_TRUE(FreakyForm::FollowingMouse());
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(cursor + QPoint(30, 20)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Picture1, &move);
    EXPECT_EQ(form->pos(), start + QPoint(30, 20));

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10),
                        QPointF(cursor + QPoint(30, 20)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(form->Picture1, &release);
    EXPECT_FALSE(FreakyForm::FollowingMouse());
    QMouseEvent after(QEvent::MouseMove, QPointF(10, 10), QPointF(cursor + QPoint(90, 90)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form->Picture1, &after);
    EXPECT_EQ(form->pos(), start + QPoint(30, 20));
}

// --- closing --------------------------------------------------------------------------------

struct CueSeen {
    std::string path;
    bool visible;
};

TEST_F(MainInteractionTest, ExitHidesTheWindowBeforeItsCueAndXPlaysWhileItStays) {
    struct Case {
        void (MainForm::*handler)();
        const char* cue;
        bool visibleDuringCue;
    } cases[] = {{&MainForm::EndProg_Click, "\\TazerFire.wav", false},
                 {&MainForm::ExitProg_Click, "\\unstoppable.wav", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cue);
        auto* w = new MainForm;
        QPointer<MainForm> alive(w);
        w->show();
        std::vector<CueSeen> cues;
        MainForm::SetCuePlayerForTesting([&cues, w](const std::string& path) {
            cues.push_back({path, w->isVisible()});
        });
        (w->*c.handler)();
        MainForm::SetCuePlayerForTesting(nullptr);
        ASSERT_EQ(cues.size(), 1u);
        EXPECT_EQ(cues[0].path, UnrealMOD::CuePath(c.cue));
        EXPECT_EQ(cues[0].visible, c.visibleDuringCue);
        EXPECT_FALSE(w->isVisible() && alive);
        uitest::FlushDeletes();
        EXPECT_TRUE(alive.isNull()) << "the window is unloaded";
    }
}

// The main window that LoadMainForm showed, if any.
MainForm* VisibleMainForm() {
    MainForm* shown = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MainForm*>(top); m && m->isVisible())
            shown = m;
    return shown;
}

TEST_F(MainInteractionTest, BothCloseButtonsEndTheProgramWithoutCueFiles) {
    delete form.data();
    for (const char* which : {"EndProg", "ExitProg"}) {
        SCOPED_TRACE(which);
        ui::LoadMainForm();
        MainForm* w = VisibleMainForm();
        ASSERT_NE(w, nullptr);
        QPointer<MainForm> alive(w);
        if (std::string(which) == "EndProg")
            w->ShowEndProg();
        QPushButton* button = std::string(which) == "EndProg" ? w->EndProg : w->ExitProg;
        const int status =
            uitest::RunUntilTheProgramEnds([button] { QTest::mouseClick(button, Qt::LeftButton); });
        EXPECT_EQ(status, 0);
        uitest::FlushDeletes();
        EXPECT_TRUE(alive.isNull());
    }
    // Closing wrote nothing: no settings file appeared beside the program.
    EXPECT_TRUE(fs::is_empty(env.programFolder()));
}

TEST_F(MainInteractionTest, LoadShowsTheWindowCentredWhenTheGameIsThere) {
    delete form.data();
    ui::LoadMainForm();
    MainForm* w = VisibleMainForm();
    ASSERT_NE(w, nullptr);
    const QRect screen = w->screen()->geometry();
    EXPECT_LE(std::abs(w->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(w->geometry().center().y() - screen.center().y()), 1);
    EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
}

TEST_F(MainInteractionTest, LoadLeavesTheMainWindowUnshownWhenTheGameIsMissing) {
    delete form.data();
    fs::remove(env.game() / "System" / "UnrealTournament.exe");
    ui::LoadMainForm();
    uitest::FlushDeletes();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MainForm*>(top)) {
            EXPECT_FALSE(m->isVisible());
        }
}

} // namespace
