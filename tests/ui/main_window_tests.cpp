// The main window as it is created and loaded: what is seen, what is hidden, focus, geometry,
// and the catalogue and transfer panel it offers the logic.

#include "forms/Definitions.h"
#include "main_support.h"
#include "transfer/Transfer.h"
#include "ui/CatalogueList.h"
#include "ui/FindUnreal.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

using ui::CatalogueList;
using ui::MainForm;
using ui::Twips;
using ui::TwipsRect;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    maintest::GameEnvironment env;
};

QImage Render(QWidget& w) {
    QImage image(w.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    w.render(&image);
    return image;
}

void Fill(MainForm& form, int rows) {
    std::vector<UnrealMOD::CatalogueRow> content;
    for (int r = 0; r < rows; ++r)
        content.push_back(
            {"File" + std::to_string(r) + ".unr", "K" + std::to_string(r), "Maps", "NO"});
    form.AppendRows(content);
}

TEST(Twips, ConversionRoundsToTheNearestPixel) {
    struct Case {
        float twips;
        int pixels;
    } cases[] = {{0, 0},      {15, 1},          {7.4f, 0},      {7.5f, 1},
                 {22.4f, 1},  {22.5f, 2},       {2527.5f, 169}, {1080.5f, 72},
                 {-7.5f, -1}, {-2197.5f, -147}, {8010, 534},    {4665, 311}};
    for (const Case& c : cases)
        EXPECT_EQ(ui::TwipsToPixels(c.twips), c.pixels) << c.twips << " twips";
}

TEST_F(MainWindowTest, TwipsAreKeptExactlyAndAppliedInPixels) {
    MainForm form;
    const TwipsRect r{847.5f, 1642.5f, 5895, 1215};
    ui::SetTwips(form.TranFrame, r);
    EXPECT_EQ(Twips(form.TranFrame), r);
    const int inside = form.Picture1->contentsRect().left();
    EXPECT_GT(inside, 0); // the picture box has a border; its controls sit inside it
    EXPECT_EQ(form.TranFrame->parentWidget(), form.Picture1->Inside());
    EXPECT_EQ(form.TranFrame->mapTo(form.Picture1, QPoint(0, 0)),
              QPoint(inside + 57, inside + 110));
    EXPECT_EQ(form.TranFrame->size(), QSize(393, 81));
    // The window itself: created at 8010 x 4665, fixed.
    EXPECT_EQ(form.size(), QSize(534, 311));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Lodestow"));
}

// Both windows are built from their definitions: each control's name, place, caption and state.
TEST_F(MainWindowTest, EveryControlIsMadeAsItsDefinitionSays) {
    MainForm main;
    ui::FindUnreal location;
    for (const auto& [window, form] :
         {std::pair<QWidget*, const forms::Form*>{&main, &forms::MainFormDefinition()},
          std::pair<QWidget*, const forms::Form*>{&location, &forms::FindUnrealDefinition()}}) {
        EXPECT_EQ(window->windowTitle().toStdString(), form->title);
        EXPECT_EQ(Twips(window).width, form->rect.width);
        EXPECT_EQ(Twips(window).height, form->rect.height);
        for (const forms::Control& d : form->controls) {
            SCOPED_TRACE(std::string(d.name) + " " + std::to_string(d.index));
            QWidget* w = nullptr;
            for (QWidget* candidate : window->findChildren<QWidget*>(QString::fromLatin1(d.name)))
                if (d.index < 0 || candidate->property("index").toInt() == d.index)
                    w = candidate;
            ASSERT_NE(w, nullptr);
            // A picture box holds its controls in the area inside its border.
            QWidget* container = w->parentWidget();
            if (auto* box = qobject_cast<ui::PictureBox*>(container->parentWidget());
                box && box->Inside() == container)
                container = box;
            EXPECT_EQ(container->objectName().toStdString(), d.container);
            EXPECT_EQ(Twips(w), d.rect);
            EXPECT_EQ(w->isHidden(), !d.visible);
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w))
                text = label->text();
            else if (auto* button = qobject_cast<QPushButton*>(w))
                text = button->text();
            else if (auto* box = qobject_cast<QLineEdit*>(w))
                text = box->text();
            else if (auto* group = qobject_cast<QGroupBox*>(w))
                text = group->title();
            else
                continue;
            EXPECT_EQ(text.toStdString(), d.caption);
        }
    }
}

TEST_F(MainWindowTest, NothingOfTheCatalogueFrameIsSeen) {
    MainForm form;
    Fill(form, 40);
    form.FileNameList->setCurrentRow(2);
    // At the created size and after a layout at the design size alike.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            form.LayOut();
        const QImage with = Render(form);
        form.AdvFrame->hide();
        const QImage without = Render(form);
        form.AdvFrame->show();
        EXPECT_EQ(with, without) << "pass " << pass;
    }
    // And it is there: it holds its rows, only out of sight.
    EXPECT_EQ(form.FileNameList->count(), 40);
}

TEST_F(MainWindowTest, WindowedControlsLieInFrontOfWindowlessOnes) {
    MainForm form;
    for (QWidget* container :
         {static_cast<QWidget*>(form.Picture1->Inside()), static_cast<QWidget*>(form.AdvFrame),
          static_cast<QWidget*>(form.TranFrame1)}) {
        const QObjectList& stack = container->children(); // back to front
        int lastLabel = -1, firstWindowed = int(stack.size());
        for (int i = 0; i < int(stack.size()); ++i) {
            if (!stack[i]->isWidgetType())
                continue;
            if (qobject_cast<QLabel*>(stack[i]))
                lastLabel = i;
            else
                firstWindowed = std::min(firstWindowed, i);
        }
        EXPECT_LT(lastLabel, firstWindowed) << container->objectName().toStdString();
    }
    // Of the overlapping headings, the higher index lies in front.
    const QObjectList& headings = form.AdvFrame->children();
    for (int i = 1; i < 4; ++i)
        EXPECT_GT(headings.indexOf(form.Label3[i]), headings.indexOf(form.Label3[i - 1]));
    // The picture box lies in front of the catalogue frame.
    EXPECT_GT(form.children().indexOf(form.Picture1), form.children().indexOf(form.AdvFrame));
}

TEST_F(MainWindowTest, HiddenWhenCreated) {
    MainForm form;
    form.show();
    for (QWidget* w : {static_cast<QWidget*>(form.NoFiles), static_cast<QWidget*>(form.TranFrame),
                       static_cast<QWidget*>(form.EndProg)})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    for (QWidget* w : {static_cast<QWidget*>(form.Runit), static_cast<QWidget*>(form.ExitProg),
                       static_cast<QWidget*>(form.Image1), static_cast<QWidget*>(form.Label1),
                       static_cast<QWidget*>(form.Label2), static_cast<QWidget*>(form.NumFilesTxt),
                       static_cast<QWidget*>(form.OnesToTransfer)})
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_TRUE(form.Runit->isEnabled());
    // Showing the panel shows what is inside it.
    form.ShowTranFrame();
    EXPECT_TRUE(form.TranProg->isVisible());
    EXPECT_TRUE(form.ProgLbl->isVisible());
}

TEST_F(MainWindowTest, PictureBoxHasTheFocusFirstAndOnlyInputControlsTakeIt) {
    MainForm form;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.Picture1);

    std::vector<QWidget*> visited;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    std::set<QWidget*> seen(visited.begin(), visited.end());
    for (QWidget* w : seen) {
        EXPECT_EQ(qobject_cast<QLabel*>(w), nullptr) << w->objectName().toStdString();
        EXPECT_EQ(qobject_cast<QGroupBox*>(w), nullptr) << w->objectName().toStdString();
        EXPECT_NE(w, form.TranFrame);
    }
    // The catalogue lists come straight after the picture box, in their order.
    ASSERT_GE(visited.size(), 4u);
    EXPECT_EQ(visited[0], form.FileNameList);
    EXPECT_EQ(visited[1], form.CacheNameList);
    EXPECT_EQ(visited[2], form.DestinationList);
    EXPECT_EQ(visited[3], form.Copied);
    EXPECT_TRUE(seen.count(form.Runit));
    EXPECT_TRUE(seen.count(form.ExitProg));
    EXPECT_TRUE(seen.count(form.Picture1)); // round again
}

TEST_F(MainWindowTest, FontsKeepTheirSizeAndWeightWhateverFaceStandsIn) {
    MainForm form;
    struct Case {
        QWidget* w;
        const char* face;
        qreal points;
        bool bold;
    } cases[] = {{form.Label1, "MS Sans Serif", 8.25, false},
                 {form.NumFilesTxt, "MS Sans Serif", 9.75, true},
                 {form.NoFiles, "MS Sans Serif", 12, true},
                 {form.ExitProg, "MS Sans Serif", 8.25, true},
                 {form.EndProg, "Myriad Roman", 12, false},
                 {form.FileNameList, "MS Serif", 6, false},
                 {form.Label3[2], "MS Sans Serif", 9.75, true}};
    for (const Case& c : cases) {
        const QFont f = c.w->font();
        EXPECT_EQ(f.family(), QString::fromLatin1(c.face)) << c.w->objectName().toStdString();
        EXPECT_DOUBLE_EQ(f.pointSizeF(), c.points) << c.w->objectName().toStdString();
        EXPECT_EQ(f.bold(), c.bold) << c.w->objectName().toStdString();
        const QFontInfo used(f);
        EXPECT_EQ(used.bold(), c.bold) << c.w->objectName().toStdString();
        EXPECT_NEAR(used.pointSizeF(), c.points, 0.5) << c.w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, CountBoxesReadErrorUntilACountIsWritten) {
    MainForm form;
    EXPECT_EQ(form.NumFilesText(), "Error");
    EXPECT_EQ(form.OnesToTransferText(), "Error");
    EXPECT_EQ(form.NumFilesTxt->text(), QStringLiteral("Error"));
}

TEST_F(MainWindowTest, ACountWiderThanItsBoxShowsItsLeadingDigits) {
    MainForm form;
    struct Box {
        QLineEdit* box;
        void (MainForm::*set)(const std::string&);
    };
    for (const Box& b : {Box{form.NumFilesTxt, &MainForm::SetNumFilesText},
                         Box{form.OnesToTransfer, &MainForm::SetOnesToTransferText}}) {
        SCOPED_TRACE(b.box->objectName().toStdString());
        const auto shown = [&](const std::string& text) {
            (form.*b.set)(text);
            return b.box->grab().toImage();
        };
        const QImage blank = shown(""), one = shown("1"), wide = shown("12345");
        // Where the "1" is drawn on its own ...
        int last = -1;
        for (int x = 0; x < one.width(); ++x)
            for (int y = 0; y < one.height(); ++y)
                if (one.pixel(x, y) != blank.pixel(x, y))
                    last = x;
        ASSERT_GE(last, 0);
        // ... it is drawn in the wide count too: the start stays, the end is cut.
        int differing = 0;
        for (int x = 0; x <= last; ++x)
            for (int y = 0; y < one.height(); ++y)
                differing += one.pixel(x, y) != wide.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(MainWindowTest, TextListAndPictureBoxesHaveTheSingleSunkenBorder) {
    MainForm form;
    form.SetNumFilesText("8");
    for (QWidget* w :
         {static_cast<QWidget*>(form.NumFilesTxt), static_cast<QWidget*>(form.FileNameList),
          static_cast<QWidget*>(form.Picture1)}) {
        SCOPED_TRACE(w->objectName().toStdString());
        const QImage image = w->grab().toImage();
        const int x = image.width() / 2, y = image.height() / 2;
        const QPalette& p = w->palette();
        // Shadowed above and to the left, lit below and to the right: two lines deep.
        EXPECT_EQ(image.pixelColor(x, 0), p.color(QPalette::Dark));
        EXPECT_EQ(image.pixelColor(0, y), p.color(QPalette::Dark));
        EXPECT_EQ(image.pixelColor(1, y), p.color(QPalette::Shadow));
        EXPECT_EQ(image.pixelColor(image.width() - 1, y), p.color(QPalette::Light));
        EXPECT_EQ(image.pixelColor(x, image.height() - 1), p.color(QPalette::Light));
    }
}

TEST_F(MainWindowTest, TheStatusPanelHoldsItsControlsAtTheirTwipsFromItsCorner) {
    MainForm form;
    form.ShowTranFrame();
    EXPECT_EQ(form.TranProg->geometry(), ui::ToPixels({120, 480, 5415, 255}));
    EXPECT_EQ(form.ProgLbl->geometry(), ui::ToPixels({360, 240, 4215, 255}));
    // So the bar keeps clear of the frame's bottom border (two lines of an etched frame).
    EXPECT_LT(form.TranProg->geometry().bottom(), form.TranFrame1->height() - 2);
}

TEST_F(MainWindowTest, LoadWithoutCacheIndexLeavesErrorAndNothingToTransfer) {
    MainForm form;
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.NumFilesText(), "Error");
    EXPECT_EQ(form.OnesToTransferText(), "Error");
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_FALSE(form.Runit->isEnabled());
    EXPECT_FALSE(form.NoFiles->isHidden());
    EXPECT_EQ(form.size(), QSize(489, 273)); // laid out all the same
}

TEST_F(MainWindowTest, LoadFillsTheCatalogueAndLaysOutOnTheLogo) {
    env.WriteLogo(400, 250);
    env.WriteCacheIndex("[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n");
    MainForm form;
    ASSERT_TRUE(form.Form_Load());
    ASSERT_EQ(form.RowCount(), 3);
    EXPECT_EQ(form.Row(0), (UnrealMOD::CatalogueRow{"DM-A.unr", "K1", "Maps", "NO"}));
    EXPECT_EQ(form.Row(2).destination, "Textures");
    EXPECT_EQ(form.OnesToTransferText(), "2");
    EXPECT_TRUE(form.Runit->isEnabled());
    EXPECT_TRUE(form.NoFiles->isHidden());
    EXPECT_EQ(form.size(), QSize(404, 254));
}

TEST_F(MainWindowTest, CatalogueTakesManyRowsInOrderAndMarksThem) {
    MainForm form;
    Fill(form, 100000);
    EXPECT_EQ(form.RowCount(), 100000);
    for (CatalogueList* list : {form.CacheNameList, form.DestinationList, form.Copied})
        EXPECT_EQ(list->count(), 100000);
    EXPECT_EQ(form.Row(99999).cacheName, "K99999");
    form.SetCopied(99999, "Errored");
    EXPECT_EQ(form.Row(99999).copied, "Errored");
    EXPECT_EQ(form.Copied->text(99999), "Errored"); // what the list shows follows the mark
    EXPECT_EQ(form.Row(99998).copied, "NO");
    form.SetCopied(100000, "YES"); // a row that is not there changes nothing
    form.Clear();
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_EQ(form.Copied->count(), 0);

    // Text beyond ASCII survives the round trip.
    form.AppendRows({{"Caf\xc3\xa9.unr", "K\xe2\x82\xac", "Maps", "NO"}});
    EXPECT_EQ(form.Row(0).fileName, "Caf\xc3\xa9.unr");
    EXPECT_EQ(form.Row(0).cacheName, "K\xe2\x82\xac");
}

TEST_F(MainWindowTest, ProgressHoldsExactValuesAndShowsThemRounded) {
    MainForm form;
    EXPECT_EQ(form.TranProg->minimum(), 0);
    EXPECT_EQ(form.TranProg->maximum(), 100);
    form.SetProgMax(2.6f);
    form.SetProgMin(0);
    form.SetProgValue(1.5f);
    EXPECT_EQ(form.ProgMax(), 2.6f);
    EXPECT_EQ(form.ProgValue(), 1.5f);
    EXPECT_EQ(form.TranProg->maximum(), 3);
    EXPECT_EQ(form.TranProg->value(), 2);
    form.SetProgValue(form.ProgValue() + 1);
    EXPECT_EQ(form.ProgValue(), 2.5f);
    // A maximum below the minimum does not upset the bar.
    form.SetProgMax(-5);
    EXPECT_EQ(form.ProgMax(), -5.0f);
    EXPECT_LE(form.TranProg->minimum(), form.TranProg->maximum());
}

// During a run the bar and the label may lag behind (repaints are throttled); once the window is
// given back they show the last values. A total of 0 ends with the bar full, not busy.
TEST_F(MainWindowTest, RunEndsShowingItsLastProgressAndAFullBarForNothing) {
    MainForm form;
    for (const float total : {0.0f, 1000.0f}) {
        form.SetWindowEnabled(false);
        form.SetProgMax(total);
        form.SetProgMin(0);
        form.SetProgValue(0);
        for (int v = 1; v <= int(total); ++v) {
            form.SetProgValue(float(v));
            form.SetProgLbl(std::to_string(v) + " out of 1000 Transfered");
        }
        form.SetWindowEnabled(true);
        form.SetProgValue(form.ProgMax());
        EXPECT_LT(form.TranProg->minimum(), form.TranProg->maximum()) << total;
        EXPECT_EQ(form.TranProg->value(), form.TranProg->maximum()) << total;
    }
    EXPECT_EQ(form.ProgLbl->text(), "1000 out of 1000 Transfered");
    // The end of a run that kept rows in the cache is read whole.
    const std::string end = UnrealMOD::CompleteCaption(12345);
    form.SetProgLbl(end);
    EXPECT_EQ(form.ProgLbl->text().toStdString(), end);
    EXPECT_LE(form.ProgLbl->fontMetrics().horizontalAdvance(form.ProgLbl->text()),
              form.ProgLbl->contentsRect().width());
}

TEST_F(MainWindowTest, BusyPointerIsBalanced) {
    {
        MainForm form;
        form.SetBusyPointer(true);
        form.SetBusyPointer(true);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        form.SetBusyPointer(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        form.SetBusyPointer(true);
    } // a window that goes while busy gives the pointer back
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, ArtworkIsBuiltIn) {
    MainForm form;
    const QPixmap banner = form.Image1->pixmap();
    EXPECT_EQ(banner.size(), QSize(91, 722));
    EXPECT_TRUE(form.Image1->hasScaledContents());
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(45, 45)));
    // Yellow lettering on black.
    const QImage image = banner.toImage();
    EXPECT_EQ(image.pixelColor(45, 5), QColor(Qt::black));
    bool yellow = false;
    for (int y = 0; y < image.height() && !yellow; ++y)
        for (int x = 0; x < image.width() && !yellow; ++x)
            yellow = image.pixelColor(x, y).red() > 240 && image.pixelColor(x, y).green() > 240 &&
                     image.pixelColor(x, y).blue() < 30;
    EXPECT_TRUE(yellow);
}

} // namespace
