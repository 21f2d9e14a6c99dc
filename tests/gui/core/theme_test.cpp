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
    const eThemeImage images[] = {
        kImageButtonNormal, kImageButtonFocused, kImageButtonHovered, kImageButtonPressed,
        kImageButtonDisabled, kImageComboArrow, kImageCheckOff, kImageCheckOn,
        kImageCheckFocusedOff, kImageCheckFocusedOn, kImageCheckDisabledOff, kImageCheckDisabledOn,
        kImageComputer, kImagePlace, kImageNetwork, kImageFolder, kImageFile, kImageOtherObject,
        kImageExpanderClosed, kImageExpanderOpen, kImageExpanderLeaf, kImageExpanderLastLeaf,
        kImageOverflow, kImageInformation, kImageQuestion, kImageWarning, kImageError, kImageOk,
        kImageCancel, kImageOpen, kImageSave, kImageHome, kImagePlaces, kImageNewFolder,
        kImageCrumb, kImageCrumbOpen};
    for (const eThemeImage index : images) {
        const cPicture* image = theme->GetImage(index);
        ASSERT_NE(image, nullptr) << index;
        EXPECT_EQ(theme->GetImage(index), image) << "drawn once";
        const i32 w = image->GetWidth();
        const i32 h = image->GetHeight();
        if (index >= kImageInformation && index <= kImageError) {
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
        const bool isFaceOrBox = index <= kImageButtonDisabled ||
                                 (index >= kImageCheckOff && index <= kImageCheckDisabledOn);
        if (!isFaceOrBox) {
            EXPECT_LT(solid, w * h) << index << " should not be a filled block";
        }
    }
    EXPECT_EQ(theme->GetImage(eThemeImage(29)), nullptr);
    EXPECT_EQ(theme->GetImage(eThemeImage(-1)), nullptr);
    EXPECT_EQ(theme->GetFontFace(), nullptr);
}

} // namespace
