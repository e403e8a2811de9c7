// The layout around the logo: the arithmetic on its own, and the window it gives.

#include "main_support.h"
#include "forms/MainLayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using forms::LayOutMainForm;
using forms::MainLayoutValues;
using ui::Twips;

namespace {

// The sizes the controls are created with; positions are what the layout has to overwrite, so
// they are deliberately nonsense here.
MainLayoutValues CreatedSizes() {
    MainLayoutValues v;
    v.window = {0, 0, 8010, 4665};
    v.tranFrame = {-1, -1, 5895, 1215};
    v.runit = {-1, -1, 2535, 255};
    v.noFiles = {-1, -1, 5175, 375};
    v.onesToTransfer = {-1, 240, 615, 375};
    v.label2 = {-1, 240, 1215, 375};
    v.label1 = {-1, 240, 1215, 495};
    v.numFilesTxt = {-1, 240, 615, 375};
    v.exitProg = {-1, 999, 255, 255};
    v.image1 = {0, 0, 495, 3735};
    v.endProg = {-1, 2880, 1575, 375};
    return v;
}

struct Placement {
    float tranLeft, tranTop, runitLeft, runitTop, noFilesLeft, noFilesTop, onesLeft, label2Left,
        label1Left, numFilesLeft, exitLeft, image1Height, endLeft;
};

void ExpectPlacement(const MainLayoutValues& v, const Placement& p) {
    EXPECT_EQ(v.tranFrame.left, p.tranLeft);
    EXPECT_EQ(v.tranFrame.top, p.tranTop);
    EXPECT_EQ(v.runit.left, p.runitLeft);
    EXPECT_EQ(v.runit.top, p.runitTop);
    EXPECT_EQ(v.noFiles.left, p.noFilesLeft);
    EXPECT_EQ(v.noFiles.top, p.noFilesTop);
    EXPECT_EQ(v.onesToTransfer.left, p.onesLeft);
    EXPECT_EQ(v.label2.left, p.label2Left);
    EXPECT_EQ(v.label1.left, p.label1Left);
    EXPECT_EQ(v.numFilesTxt.left, p.numFilesLeft);
    EXPECT_EQ(v.exitProg.left, p.exitLeft);
    EXPECT_EQ(v.exitProg.top, 0.0f);
    EXPECT_EQ(v.image1.height, p.image1Height);
    EXPECT_EQ(v.endProg.left, p.endLeft);
}

TEST(MainLayout, DesignSizedPictureGivesTheWorkedExample) {
    const MainLayoutValues v = LayOutMainForm(CreatedSizes(), 7335, 4095);
    EXPECT_EQ(v.window.width, 7335.0f);
    EXPECT_EQ(v.window.height, 4095.0f);
    ExpectPlacement(v,
                    {720, 1440, 2400, 3590, 1080, 2665, 6220, 4755, 595, 1950, 7005, 4095, 2880});
}

TEST(MainLayout, EvenWindowWidthGivesHalfTwipsThatAreKept) {
    // 502 x 296 pixels of logo plus the box's border: 7590 x 4500 twips.
    const MainLayoutValues v = LayOutMainForm(CreatedSizes(), 7590, 4500);
    EXPECT_EQ(v.window.width, 7590.0f);
    EXPECT_EQ(v.window.height, 4500.0f);
    ExpectPlacement(v, {847.5f, 1642.5f, 2527.5f, 3995, 1207.5f, 3070, 6475, 5010, 595, 1950, 7260,
                        4500, 3007.5f});
}

TEST(MainLayout, SmallPictureGivesNegativePositionsUnchanged) {
    const MainLayoutValues v = LayOutMainForm(CreatedSizes(), 1500, 600);
    ExpectPlacement(v, {-2197.5f, -307.5f, -517.5f, 95, -1837.5f, -830, 385, -1080, 595, 1950, 1170,
                        600, -37.5f});
}

TEST(MainLayout, EachPlacementReadsTheValuesBeforeIt) {
    MainLayoutValues in = CreatedSizes();
    in.image1.width = 600;      // Label1 follows Image1's width ...
    in.numFilesTxt.width = 700; // ... and NumFilesTxt grows by two twips per twip of its width
    in.onesToTransfer.width = 1000;
    in.onesToTransfer.left = 5; // the created positions play no part
    in.label1.left = 5;
    const MainLayoutValues v = LayOutMainForm(in, 7335, 4095);
    EXPECT_EQ(v.label1.left, 700.0f);
    EXPECT_EQ(v.numFilesTxt.left, 2 * 700.0f + 700 + 125);
    EXPECT_EQ(v.onesToTransfer.left, 5835.0f);
    EXPECT_EQ(v.label2.left, 5835.0f - 1215 - 250);
    // What the layout does not place keeps its values.
    EXPECT_EQ(v.numFilesTxt.top, in.numFilesTxt.top);
    EXPECT_EQ(v.endProg.top, in.endProg.top);
    EXPECT_EQ(v.image1.width, in.image1.width);
    EXPECT_EQ(v.image1.left, in.image1.left);
}

// --- the window -----------------------------------------------------------------------------

class MainLayoutWindowTest : public ::testing::Test {
protected:
    maintest::GameEnvironment env;
};

TEST_F(MainLayoutWindowTest, MissingLogoLeavesTheDesignSizeAndPlacesEverything) {
    ui::MainForm form;
    form.LayOut();
    EXPECT_TRUE(form.Picture1->Picture().isNull());
    EXPECT_EQ(Twips(form.Picture1), (ui::TwipsRect{0, 0, 7335, 4095}));
    EXPECT_EQ(form.FormTwips().width, 7335.0f);
    EXPECT_EQ(form.FormTwips().height, 4095.0f);
    EXPECT_EQ(form.size(), QSize(489, 273));
    ExpectPlacement(form.LayoutValues(),
                    {720, 1440, 2400, 3590, 1080, 2665, 6220, 4755, 595, 1950, 7005, 4095, 2880});
}

TEST_F(MainLayoutWindowTest, UnreadableLogoCountsAsMissing) {
    testsupport::WriteFile(env.game() / "Help" / "UnrealTournamentLogo.bmp", "BM not a picture");
    ui::MainForm form;
    form.LayOut();
    EXPECT_TRUE(form.Picture1->Picture().isNull());
    EXPECT_EQ(form.size(), QSize(489, 273));
    EXPECT_EQ(Twips(form.Runit).left, 2400.0f);
}

TEST_F(MainLayoutWindowTest, LogoSizesThePictureBoxAndTheWindow) {
    env.WriteLogo(502, 296);
    ui::MainForm form;
    form.LayOut();
    ASSERT_FALSE(form.Picture1->Picture().isNull());
    // The box takes the picture's size plus its border; the window takes the box's size.
    EXPECT_EQ(Twips(form.Picture1).width, 7590.0f);
    EXPECT_EQ(Twips(form.Picture1).height, 4500.0f);
    EXPECT_EQ(form.size(), QSize(506, 300));
    EXPECT_EQ(form.Picture1->size(), QSize(506, 300));
    ExpectPlacement(form.LayoutValues(), {847.5f, 1642.5f, 2527.5f, 3995, 1207.5f, 3070, 6475, 5010,
                                          595, 1950, 7260, 4500, 3007.5f});
    // Half twips become pixels only when applied; positions count from the box's inside.
    const int inside = form.Picture1->contentsRect().left();
    EXPECT_EQ(form.Runit->mapTo(form.Picture1, QPoint(0, 0)), QPoint(inside + 169, inside + 266));
    EXPECT_EQ(form.Runit->size(), QSize(169, 17));
    EXPECT_EQ(form.Image1->height(), 300);
}

TEST_F(MainLayoutWindowTest, ControlsPastASmallLogoAreClippedInsideThePictureBoxBorder) {
    env.WriteLogo(100, 60); // far smaller than the controls centred on it
    ui::MainForm form;
    form.LayOut();
    form.ShowTranFrame();
    form.ShowEndProg();
    form.ShowNoFiles();
    const QImage with = form.Picture1->grab().toImage();
    for (QObject* child : form.Picture1->Inside()->children())
        if (auto* w = qobject_cast<QWidget*>(child))
            w->hide();
    const QImage without = form.Picture1->grab().toImage();
    const int border = form.Picture1->frameWidth();
    ASSERT_GT(border, 0);
    int painted = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x) {
            const bool onBorder = x < border || y < border || x >= with.width() - border ||
                                  y >= with.height() - border;
            painted += onBorder && with.pixel(x, y) != without.pixel(x, y);
        }
    EXPECT_EQ(painted, 0);
}

TEST_F(MainLayoutWindowTest, ExitBoxEndsInsideTheRightEdgeWhateverItsStart) {
    env.WriteLogo(300, 200);
    ui::MainForm form;
    ui::SetTwips(form.ExitProg, {15, 1500, 255, 255});
    form.LayOut();
    const float w = form.FormTwips().width;
    EXPECT_EQ(w, 304 * 15.0f);
    EXPECT_EQ(Twips(form.ExitProg).left + Twips(form.ExitProg).width, w - 75);
    EXPECT_EQ(Twips(form.ExitProg).top, 0.0f);
}

} // namespace
