// The logo file is the game's, but nothing guarantees what is in it: a file that is not a bitmap,
// a cut-off one, or a header that claims an enormous picture must neither crash the start nor
// make it take gigabytes. Such a logo counts as missing and the window keeps its designed size.

#include "main_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

// A bitmap file header and information header claiming the given picture, followed by `data`
// bytes of pixels (however many the claim would need).
std::string BitmapClaiming(std::int32_t width, std::int32_t height, std::uint16_t bits,
                           std::size_t data) {
    std::string b;
    auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<char>(v & 0xFF));
        b.push_back(static_cast<char>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    b += "BM";
    u32(static_cast<std::uint32_t>(54 + data));
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    u16(1);
    u16(bits);
    u32(0); // no compression
    u32(0);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    b.append(data, '\x5A');
    return b;
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class ReliabilityLogoTest : public ::testing::Test {
protected:
    void WriteLogoBytes(const std::string& bytes) const {
        testsupport::WriteFile(env.game() / "Help" / "UnrealTournamentLogo.bmp", bytes);
    }
    // The designed size of the window when no logo could be used.
    static QSize DesignSize() { return {489, 273}; }

    maintest::GameEnvironment env;
};

struct Claim {
    const char* name;
    std::int32_t width, height;
    std::uint16_t bits;
};

void PrintTo(const Claim& c, std::ostream* out) {
    *out << c.width << " x " << c.height << " at " << c.bits << " bits";
}

class EnormousLogoTest : public ReliabilityLogoTest, public ::testing::WithParamInterface<Claim> {};

// Hundreds of megabytes would fit in memory and 14 GB would not; none may be asked for. (Without
// the image reader's allocation limit, the 12000 x 12000 claim loads as a picture of that size
// from 64 KB of data.)
TEST_P(EnormousLogoTest, IsRefusedWithoutTakingTheMemory) {
    const Claim c = GetParam();
    WriteLogoBytes(BitmapClaiming(c.width, c.height, c.bits, 64 * 1024));
    const long before = PeakKilobytes();
    ui::MainForm form;
    form.LayOut();
    EXPECT_TRUE(form.Picture1->Picture().isNull());
    EXPECT_EQ(form.size(), DesignSize());
    EXPECT_LT(PeakKilobytes() - before, 256L * 1024) << "the claimed picture was allocated";
}

INSTANTIATE_TEST_SUITE_P(Claims, EnormousLogoTest,
                         ::testing::Values(Claim{"Huge60000Square32Bit", 60000, 60000, 32},
                                           Claim{"Large12000Square24Bit", 12000, 12000, 24},
                                           Claim{"Large8200Square32Bit", 8200, 8200, 32},
                                           Claim{"TopDown30000By12000", 30000, -12000, 32}),
                         [](const ::testing::TestParamInfo<Claim>& info) {
                             return std::string(info.param.name);
                         });

// Whatever a damaged file gives, the window is laid out for it: designed size without a picture,
// the picture's size (plus the box's border) with one.
void ExpectConsistentLayout(const ui::MainForm& form, QSize designed) {
    const QPixmap& picture = form.Picture1->Picture();
    if (picture.isNull()) {
        EXPECT_EQ(form.size(), designed);
    } else {
        const int border = form.Picture1->width() - picture.width();
        EXPECT_GE(border, 0);
        EXPECT_EQ(form.Picture1->height() - picture.height(), border);
        EXPECT_EQ(form.size(), form.Picture1->size());
    }
}

TEST_F(ReliabilityLogoTest, TruncatedLogoGivesAConsistentWindow) {
    env.WriteLogo(300, 200);
    const auto path = env.game() / "Help" / "UnrealTournamentLogo.bmp";
    const std::string whole = testsupport::ReadFile(path);
    ASSERT_GT(whole.size(), 1000U);
    for (const std::size_t keep : {std::size_t{2}, std::size_t{20}, std::size_t{54},
                                   std::size_t{60}, whole.size() / 2, whole.size() - 1}) {
        WriteLogoBytes(whole.substr(0, keep));
        ui::MainForm form;
        form.LayOut();
        ExpectConsistentLayout(form, DesignSize());
        if (!form.Picture1->Picture().isNull()) {
            EXPECT_EQ(form.Picture1->Picture().size(), QSize(300, 200)) << keep << " bytes";
        }
    }
}

TEST_F(ReliabilityLogoTest, HeadersWithNonsenseAndRandomBytesGiveAConsistentWindow) {
    std::mt19937 random(7);
    std::string noise = "BM";
    for (int i = 0; i < 100000; ++i)
        noise.push_back(static_cast<char>(random() & 0xFF));
    for (const std::string& bytes :
         {noise, BitmapClaiming(0, 0, 24, 100), BitmapClaiming(-5, 7, 24, 100),
          BitmapClaiming(100, 100, 0, 100), BitmapClaiming(100, 100, 13, 100),
          BitmapClaiming(0x7FFFFFFF, 1, 32, 100), BitmapClaiming(1, INT32_MIN, 1, 100),
          std::string("not a picture at all")}) {
        WriteLogoBytes(bytes);
        ui::MainForm form;
        form.LayOut();
        ExpectConsistentLayout(form, DesignSize());
    }
}

} // namespace
