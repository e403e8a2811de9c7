// The cache entries window: the ways to open it, checking rows, "Move checked" and "Install the
// cached version" on a real game folder.

#include "forms/EntriesLogic.h"
#include "main_support.h"
#include "support/PackageBytes.h"
#include "ui/EntriesWindow.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

using ui::EntriesWindow;
using ui::MainForm;

namespace {

class EntriesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainForm::SetCuePlayerForTesting([](const std::string&) {});
        for (const char* folder : {"Maps", "Textures"})
            testsupport::MakeFolder(env.game() / folder);
    }
    // The main window loaded on the game's cache, with the entries window opened by F3.
    EntriesWindow& Open(MainForm& form) {
        EXPECT_TRUE(form.Form_Load());
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F3);
        if (!form.Entries())
            throw std::runtime_error("F3 did not open the entries window");
        return *form.Entries();
    }
    std::string Read(const std::string& path) const {
        return testsupport::ReadFile(env.game() / path);
    }
    maintest::GameEnvironment env;
};

// Answers the menu that is about to open with its first item; keeps that item's text.
void ChooseFirstItemOfNextMenu(QString* text) {
    QTimer::singleShot(50, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        *text = menu->actions().value(0)->text();
        menu->setActiveAction(menu->actions().value(0));
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

TEST_F(EntriesWindowTest, OpensByF3DoubleClickAndTheLogosMenuOneAtATime) {
    env.WriteCacheIndex("[Cache]\r\nK1=DM-A.unr\r\n");
    MainForm form;
    EntriesWindow* first = &Open(form);
    EXPECT_EQ(first->windowTitle(), "Cache Entries - Unreal Tournament");
    EXPECT_EQ(first->focusWidget(), first->List);
    EXPECT_EQ(form.NumFilesTxt->toolTip(), "Double-click to see every entry");
    EXPECT_EQ(form.OnesToTransfer->toolTip(), "Double-click to see every entry");
    // A count too long to show whole is given whole by the tooltip.
    for (const std::string count : {"99999", "123456", "Error"}) {
        form.SetNumFilesText(count);
        form.SetOnesToTransferText(count);
        const QString tip = QString::fromStdString(
            count.size() > 5 ? count + "\nDouble-click to see every entry"
                             : std::string("Double-click to see every entry"));
        for (QLineEdit* box : {form.NumFilesTxt, form.OnesToTransfer}) {
            EXPECT_EQ(box->toolTip(), tip);
            if (count.size() > 5)
                continue;
            // Shown whole: the text area is the contents less the line edit's two pixels a side.
            QStyleOptionFrame option;
            option.initFrom(box);
            option.lineWidth =
                box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
            const int room =
                box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box).width() - 4;
            EXPECT_LE(box->fontMetrics().horizontalAdvance(QString::fromStdString(count)), room)
                << count;
        }
    }
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_F3);
    EXPECT_EQ(form.Entries(), first); // one window at a time

    const std::vector<std::function<void()>> openers = {
        [&] { QTest::mouseDClick(form.NumFilesTxt, Qt::LeftButton); },
        [&] { QTest::mouseDClick(form.OnesToTransfer, Qt::LeftButton); },
        [&] {
            QString item;
            ChooseFirstItemOfNextMenu(&item);
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(200, 150), QPoint(200, 150));
            QApplication::sendEvent(form.Picture1->Inside(), &click);
            EXPECT_EQ(item, QString::fromUtf8("Cache entries\u2026"));
        },
    };
    for (const auto& open : openers) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.Entries()));
        QTest::keyClick(form.Entries()->List, Qt::Key_Escape); // Escape closes it
        uitest::FlushDeletes();
        ASSERT_EQ(form.Entries(), nullptr);
        open();
        QCoreApplication::processEvents();
        ASSERT_NE(form.Entries(), nullptr);
        EXPECT_TRUE(form.Entries()->isVisible());
    }
    form.close(); // it goes with the main window
    EXPECT_FALSE(form.Entries() && form.Entries()->isVisible());
}

TEST_F(EntriesWindowTest, SpaceTogglesAndMoveCheckedMovesExactlyTheCheckedRows) {
    env.WriteCacheIndex("[Cache]\r\nK1=DM-A.unr\r\nK2=DM-B.unr\r\nK3=Pack.u\r\nK4=Sky.utx\r\n");
    for (const char* name : {"K1", "K2", "K3", "K4"})
        testsupport::WriteFile(env.game() / "Cache" / (std::string(name) + ".uxx"), name);
    MainForm form;
    EntriesWindow& window = Open(form);
    forms::EntriesModel& model = window.Table().Model();
    model.ExamineAll();
    EXPECT_EQ(model.CheckedCount(), 3);
    for (const int row : {1, 2}) { // a checkable row, then one that is not
        window.List->selectRow(row);
        QTest::keyClick(window.List, Qt::Key_Space);
    }
    EXPECT_FALSE(model.Checked(1));
    EXPECT_FALSE(model.Checked(2));
    EXPECT_TRUE(window.Status->text().startsWith("4 entries, 2 checked (4 bytes)"))
        << window.Status->text().toStdString();

    QTest::mouseClick(window.MoveChecked, Qt::LeftButton);
    EXPECT_EQ(Read("Maps/DM-A.unr"), "K1");
    EXPECT_EQ(Read("Textures/Sky.utx"), "K4");
    EXPECT_FALSE(std::filesystem::exists(env.game() / "Maps" / "DM-B.unr"));
    EXPECT_EQ(Read("Cache/K2.uxx"), "K2");
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=DM-B.unr\r\nK3=Pack.u\r\n\r\n");
    ASSERT_EQ(model.Shown(), 4); // every row still listed, saying what happened
    using UnrealMOD::EntryState;
    EXPECT_EQ(model.At(0).state, EntryState::Moved);
    EXPECT_EQ(model.At(1).state, EntryState::WillMove);
    EXPECT_FALSE(model.Checked(1)); // left as the player left it
    EXPECT_EQ(model.At(3).state, EntryState::Moved);
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(EntriesWindowTest, InstallingTheCachedVersionKeepsTheInstalledOneUnderItsGuid) {
    const testsupport::Guid cachedId{1, 2, 3, 4}, installedId{5, 6, 7, 8};
    const std::string cached = testsupport::MakePackage(68, cachedId, 600, 1);
    const std::string installed = testsupport::MakePackage(68, installedId, 700, 2);
    const std::string cacheName = testsupport::GuidHex(cachedId);
    const std::string keptName = testsupport::GuidHex(installedId);
    env.WriteCacheIndex("[Cache]\r\n" + cacheName + "=CTF-Face.unr\r\n");
    testsupport::WriteFile(env.game() / "Cache" / (cacheName + ".uxx"), cached);
    testsupport::WriteFile(env.game() / "Maps" / "CTF-Face.unr", installed);
    MainForm form;
    EntriesWindow& window = Open(form);
    window.Table().Model().ExamineAll();
    window.List->selectRow(0);
    EXPECT_EQ(window.Table().Model().Cell(0, forms::EntriesColumn::State),
              "another version is installed");
    EXPECT_EQ(window.ContextItems(), (std::vector<std::string>{"Keep the installed version",
                                                               "Install the cached version"}));
    window.InstallCached({0});
    EXPECT_TRUE(Read("Maps/CTF-Face.unr") == cached);
    EXPECT_TRUE(Read("Cache/" + keptName + ".uxx") == installed);
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\n" + keptName + "=CTF-Face.unr\r\n\r\n");
    ASSERT_EQ(window.Table().Model().Shown(), 1);
    EXPECT_EQ(window.Table().Model().At(0).cacheName, keptName);
}

} // namespace
