#include "gui/core/picture.h"
#include "gui/core/theme.h"
#include "platform/softgraphics.h"

#include <gtest/gtest.h>

namespace {

class Theme : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest)); }
};

// Colours and metrics are drawn in every golden picture; these are the images no golden
// shows all of.
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

} // namespace
