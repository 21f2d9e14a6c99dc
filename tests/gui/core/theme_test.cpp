#include "gui/core/picture.h"
#include "gui/core/theme.h"
#include "platform/softgraphics.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class Theme : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest)); }
};

// Relative luminance (ITU-R BT.709 weights) of a 0x00BBGGRR colour, 0..255.
double Luminance(u32 colour)
{
    return 0.2126 * (colour & 0xFF) + 0.7152 * ((colour >> 8) & 0xFF) + 0.0722 * ((colour >> 16) & 0xFF);
}

TEST_F(Theme, TextStaysReadableOnItsBackgrounds)
{
    cCITheme* theme = GetTheme();
    struct sPair
    {
        i32 text, background;
        double minimum;
    } pairs[] = {
        {4, 0, 150},  {4, 14, 150}, {5, 0, 60},  {7, 14, 60},  {9, 16, 70},  {10, 17, 70},
        {4, 27, 150}, {5, 30, 60},  {61, 0, 90}, {4, 15, 150}, {4, 18, 120}, {8, 27, 50},
    };
    for (const sPair& pair : pairs) {
        EXPECT_GE(std::abs(Luminance(theme->GetColour(pair.text)) - Luminance(theme->GetColour(pair.background))),
                  pair.minimum)
            << "colour " << pair.text << " on " << pair.background;
    }
    // The frame colours of the four button states differ from the face so the frame shows.
    for (i32 index = 53; index <= 60; ++index) {
        EXPECT_NE(theme->GetColour(index), theme->GetColour(0)) << index;
    }
    EXPECT_EQ(theme->GetColour(1000), 0u);
}

TEST_F(Theme, FormFrameMetricsLeaveRoomForToolbarAndButtons)
{
    cCITheme* theme = GetTheme();
    // Client panel top T = 2 x metric 3 + metric 5 and bottom band B = metric 7 + metric 8:
    // a 25-high button row at y = -33 (counted from the bottom) must sit inside B.
    const i32 top = 2 * theme->GetMetric(3) + theme->GetMetric(5);
    const i32 bottom = theme->GetMetric(7) + theme->GetMetric(8);
    EXPECT_EQ(top, 34);
    EXPECT_EQ(bottom, 32);
    EXPECT_GE(bottom, 33 - 1);
    EXPECT_GE(theme->GetMetric(5), 22); // a toolbar button with a 16-pixel picture
    EXPECT_EQ(theme->GetMetric(23), 20);
    EXPECT_EQ(theme->GetMetric(9, 1), theme->GetMetric(9));
    EXPECT_EQ(theme->GetMetric(999), 0);
}

TEST_F(Theme, EveryListedImageExistsVisibleAndStable)
{
    cCITheme* theme = GetTheme();
    const i32 indices[] = {23, 24, 25, 26, 27, 28, 30, 31, 32, 33, 34, 35, 42, 43, 44, 48, 60, 63,
                           68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 80, 81, 82, 83, 84, 145, 146};
    for (const i32 index : indices) {
        const cPicture* image = theme->GetImage(index);
        ASSERT_NE(image, nullptr) << index;
        EXPECT_EQ(theme->GetImage(index), image) << "drawn once";
        const i32 w = image->GetWidth();
        const i32 h = image->GetHeight();
        if (index >= 73 && index <= 76) {
            EXPECT_LE(w, 30);
            EXPECT_LE(h, 29);
            EXPECT_GE(w, 24);
        } else {
            EXPECT_LE(w, 32) << index;
            EXPECT_LE(h, 32) << index;
        }
        // Something solid to see, and icons keep a transparent surround.
        i32 solid = 0;
        for (i32 i = 0; i < w * h; ++i) {
            solid += (image->GetPixels()[i] >> 24) >= 128;
        }
        EXPECT_GE(solid * 100, w * h * 4) << index;
        const bool isFaceOrBox = index <= 27 || (index >= 30 && index <= 35);
        if (!isFaceOrBox) {
            EXPECT_LT(solid, w * h) << index << " should not be a filled block";
        }
    }
    EXPECT_EQ(theme->GetImage(29), nullptr);
    EXPECT_EQ(theme->GetImage(-1), nullptr);
    EXPECT_EQ(theme->GetFontFace(), nullptr);
}

TEST_F(Theme, CheckBoxStatesDifferFromEachOther)
{
    cCITheme* theme = GetTheme();
    for (i32 a = 30; a <= 35; ++a) {
        for (i32 b = a + 1; b <= 35; ++b) {
            const cPicture* first = theme->GetImage(a);
            const cPicture* second = theme->GetImage(b);
            ASSERT_EQ(first->GetWidth() * first->GetHeight(), second->GetWidth() * second->GetHeight());
            i32 differing = 0;
            for (i32 i = 0; i < first->GetWidth() * first->GetHeight(); ++i) {
                differing += first->GetPixels()[i] != second->GetPixels()[i];
            }
            EXPECT_GE(differing, 8) << a << " vs " << b;
        }
    }
}

} // namespace
