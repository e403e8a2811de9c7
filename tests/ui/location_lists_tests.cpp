// The drive list and directory list controls on their own.

#include "location_support.h"
#include "ui/DirListBox.h"
#include "ui/DriveListBox.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

using locationtest::Environment;
using testsupport::WriteFile;
using ui::DirListBox;
using ui::DriveListBox;

namespace {

class DirListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto ut = env.driveC() / "Games" / "UT";
        for (const char* sub : {"System", "Cache", "maps", "Help"})
            std::filesystem::create_directories(ut / sub);
        std::filesystem::create_directories(env.driveC() / "Windows");
        WriteFile(ut / "ReadMe.txt", "not a folder");
    }

    void DoubleClick(const QString& name) {
        list.show();
        ASSERT_TRUE(locationtest::DoubleClickRow(&list, name)) << name.toStdString();
    }

    Environment env;
    DirListBox list;
};

TEST_F(DirListBoxTest, ShowsTheAncestorsAndTheFoldersBelowSpelledAsOnDisk) {
    struct Case {
        const char* given;
        const char* path;
        QStringList ancestors;
        QStringList below;
    };
    const Case cases[] = {
        {"C:\\", "C:\\", {"C:\\"}, {"Games", "Windows"}},
        {"c:", "C:\\", {"C:\\"}, {"Games", "Windows"}},
        {"c:/GAMES\\ut\\",
         "C:\\Games\\UT",
         {"C:\\", "Games", "UT"},
         {"Cache", "Help", "maps", "System"}},
        {"C:\\Games\\\\UT\\System\\..\\.",
         "C:\\Games\\UT",
         {"C:\\", "Games", "UT"},
         {"Cache", "Help", "maps", "System"}},
        {"C:\\..\\..\\Games", "C:\\Games", {"C:\\", "Games"}, {"UT"}},
        {"C:\\Games\\UT\\Cache", "C:\\Games\\UT\\Cache", {"C:\\", "Games", "UT", "Cache"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        ASSERT_TRUE(list.SetPath(QString::fromUtf8(c.given)));
        EXPECT_EQ(list.Path(), QString::fromUtf8(c.path));
        EXPECT_EQ(list.Ancestors(), c.ancestors);
        EXPECT_EQ(list.Subfolders(), c.below);
        // The open folder is the highlighted row, the last of its ancestors.
        ASSERT_NE(list.currentItem(), nullptr);
        EXPECT_EQ(list.currentRow(), c.ancestors.size() - 1);
    }
}

TEST_F(DirListBoxTest, RefusesPathsItCannotOpenAndKeepsWhereItWas) {
    std::filesystem::create_directories(env.prefixRoot() / "media");
    env.MapDrive('e', env.prefixRoot() / "media");
    ASSERT_TRUE(list.SetPath("C:\\Games"));
    QSignalSpy changes(&list, &DirListBox::pathChanged);
    for (const char* bad : {"C:\\NoSuchFolder", "C:\\Games\\UT\\ReadMe.txt", "Games\\UT", "",
                            "Q:\\", "\\Games", "/tmp"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(list.SetPath(QString::fromUtf8(bad)));
        EXPECT_EQ(list.Path(), "C:\\Games");
        EXPECT_EQ(list.Subfolders(), QStringList{"UT"});
    }
    // A drive whose medium has gone can no longer be opened.
    std::filesystem::remove(env.prefixRoot() / "media");
    EXPECT_FALSE(list.SetPath("E:\\"));
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(DirListBoxTest, SignalsOnlyRealChanges) {
    QSignalSpy changes(&list, &DirListBox::pathChanged);
    EXPECT_EQ(list.Path(), "") << "a new list stands nowhere, so its first path is a change";
    ASSERT_TRUE(list.SetPath("C:\\"));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toString(), "C:\\");

    // The same folder in another spelling is no change, but the listing is read again.
    std::filesystem::create_directories(env.driveC() / "New");
    ASSERT_TRUE(list.SetPath("c:\\"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(list.Subfolders(), (QStringList{"Games", "New", "Windows"}));

    ASSERT_TRUE(list.SetPath("C:\\games"));
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(1).at(0).toString(), "C:\\Games");
}

TEST_F(DirListBoxTest, DoubleClickOpensAFolderBelowOrAnAncestor) {
    ASSERT_TRUE(list.SetPath("C:\\Games\\UT"));
    QSignalSpy changes(&list, &DirListBox::pathChanged);

    DoubleClick("maps");
    EXPECT_EQ(list.Path(), "C:\\Games\\UT\\maps");
    EXPECT_EQ(list.Ancestors(), (QStringList{"C:\\", "Games", "UT", "maps"}));

    DoubleClick("Games");
    EXPECT_EQ(list.Path(), "C:\\Games");
    EXPECT_EQ(list.Subfolders(), QStringList{"UT"});

    DoubleClick("C:\\");
    EXPECT_EQ(list.Path(), "C:\\");
    EXPECT_EQ(changes.count(), 3);

    // A single click only moves the highlight; Enter opens the highlighted folder.
    const QList<QListWidgetItem*> windows = list.findItems("Windows", Qt::MatchExactly);
    ASSERT_EQ(windows.size(), 1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(windows.first()).center());
    EXPECT_EQ(list.Path(), "C:\\");
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Path(), "C:\\Windows");
}

TEST_F(DirListBoxTest, AFolderThatVanishedIsDroppedFromTheListWhenOpened) {
    ASSERT_TRUE(list.SetPath("C:\\Games\\UT"));
    std::filesystem::remove(env.driveC() / "Games" / "UT" / "Help");
    QSignalSpy changes(&list, &DirListBox::pathChanged);
    DoubleClick("Help");
    EXPECT_EQ(list.Path(), "C:\\Games\\UT");
    EXPECT_EQ(list.Subfolders(), (QStringList{"Cache", "maps", "System"}));
    EXPECT_EQ(changes.count(), 0);
}

class DriveListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(env.prefixRoot() / "disc");
        env.MapDrive('d', env.prefixRoot() / "disc");
        env.MapDrive('z', "/");
    }
    Environment env;
};

TEST_F(DriveListBoxTest, ListsThePrefixDrivesAndStartsOnC) {
    DriveListBox drives;
    QStringList shown;
    for (int i = 0; i < drives.count(); ++i)
        shown.append(drives.itemText(i));
    EXPECT_EQ(shown, (QStringList{"c:", "d:", "z:"}));
    EXPECT_EQ(drives.Drive(), "c:");
}

TEST_F(DriveListBoxTest, SetDriveTakesEitherFormAndSignalsOnlyAChange) {
    DriveListBox drives;
    QSignalSpy changes(&drives, &DriveListBox::driveChanged);
    struct Step {
        const char* given;
        bool accepted;
        const char* drive;
        int emitted;
    };
    const Step steps[] = {
        {"C:\\", true, "c:", 0},  {"D:\\", true, "d:", 1},
        {"d:", true, "d:", 1},    {"c:\\Games\\UT", true, "c:", 2},
        {"Q:\\", false, "c:", 2}, {"", false, "c:", 2},
        {"Z", false, "c:", 2},    {"z:", true, "z:", 3},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.given);
        EXPECT_EQ(drives.SetDrive(QString::fromUtf8(s.given)), s.accepted);
        EXPECT_EQ(drives.Drive(), s.drive);
        EXPECT_EQ(changes.count(), s.emitted);
    }
    EXPECT_EQ(changes.last().at(0).toString(), "z:");

    // The user's choice signals as well.
    drives.setCurrentIndex(drives.findText("d:"));
    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(changes.last().at(0).toString(), "d:");
}

} // namespace
