// Push buttons: the visual state and its frame colours, the raised frame's corners and
// inner ring, the flat styles, the caption cut and the picture's place, press and key
// behaviour (release outside, right button, disabled before and during a press), the
// preferred width, and the bare button's inactive flag.
#include "controlstest.h"
#include "gui/controls/pushbutton.h"
#include "gui/core/font.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

namespace {

using qeltest::ElementPixel;
using qeltest::SolidPicture;
using qeltest::ThemePixel;

constexpr u32 kGreen = 0xFF00FF00;
constexpr u32 kBlack = 0xFF000000;

class ButtonTest : public qeltest::cFormTest
{
protected:
    u32 Pixel(cChildElement* element, i32 x, i32 y) { return ElementPixel(*host, element, x, y); }

    // The opaque pixel a face image stretched to `height` rows shows in its first row:
    // the canvas takes source row floor(0.5 x source height / height).
    static u32 FacePixel(const cPicture* face, i32 height)
    {
        const i32 row = i32(0.5 * face->GetHeight() / height);
        return 0xFF000000u | face->GetPixels()[size_t(row) * size_t(face->GetWidth())];
    }
};

// Every state shows its own frame pair; the states rank disabled > pressed > hovered >
// focused. GDI lines leave out their end points, so the corners (0, H-1) and (W-1, 0)
// belong to the top and left lines (colour A) and (W-1, H-1) to the bottom and right
// ones (colour B).
TEST_F(ButtonTest, StatesShowTheirFramePairs)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 60, 24);
    const i32 w = 60;
    const i32 h = 24;
    auto expectFrame = [&](i32 state, i32 colourA) {
        SCOPED_TRACE(state);
        host->Pump();
        EXPECT_EQ(button.GetVisualState(), state);
        for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w / 2, 0}, {0, h / 2}}) {
            EXPECT_EQ(Pixel(&button, x, y), ThemePixel(colourA)) << x << "," << y;
        }
        for (auto [x, y] : {std::pair{w - 1, h - 1}, {1, h - 1}, {w - 1, 1}, {w / 2, h - 1}}) {
            EXPECT_EQ(Pixel(&button, x, y), ThemePixel(colourA + 1)) << x << "," << y;
        }
    };
    expectFrame(kButtonNormal, 53);
    button.Activate();
    expectFrame(kButtonFocused, 55);
    host->MouseMove(40, 30);
    expectFrame(kButtonHovered, 57);
    host->MouseDown(40, 30);
    expectFrame(kButtonPressed, 57);
    host->MouseUp(40, 30);
    form.Disable();
    expectFrame(kButtonDisabled, 59);
    // Disabling ended the hover; the pointer's next move starts it again.
    form.Enable();
    expectFrame(kButtonNormal, 53);
    host->MouseMove(41, 30);
    expectFrame(kButtonHovered, 57);
}

// Style 0: the inner ring in colour 52 covers all of (1, 1)-(W-2, H-2)'s border, and the
// state's face image fills (2, 2, W-4, H-4).
TEST_F(ButtonTest, RaisedFrameHasAClosedInnerRingAndTheFace)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 30, 12);
    host->Pump();
    for (i32 x = 1; x <= 28; ++x) {
        EXPECT_EQ(Pixel(&button, x, 1), ThemePixel(52)) << x;
        EXPECT_EQ(Pixel(&button, x, 10), ThemePixel(52)) << x;
    }
    for (i32 y = 1; y <= 10; ++y) {
        EXPECT_EQ(Pixel(&button, 1, y), ThemePixel(52)) << y;
        EXPECT_EQ(Pixel(&button, 28, y), ThemePixel(52)) << y;
    }
    EXPECT_EQ(Pixel(&button, 2, 2), FacePixel(button.GetFrameImage(kButtonNormal), 12 - 4));
}

// The flat styles: 1 images the whole button, 2 frames in B, 4 fills the inside in the
// normal and disabled states (black halfway to 0x80 is 0x404040 per byte, unless a
// disabled fill is set), 5 fills everything until hovered, 6 fills and centres the
// picture. A transparent button draws no background when normal or disabled.
TEST_F(ButtonTest, FlatStylesFillAndFrame)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    auto picture = SolidPicture(kGreen, 8, 8);
    auto show = [&](u32 style) {
        button.SetStyle(style, true);
        host->Pump();
    };
    show(kStyleFace);
    EXPECT_EQ(Pixel(&button, 0, 0), FacePixel(button.GetFrameImage(kButtonNormal), 24));
    show(kStyleFlatFrame);
    EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(54));

    button.SetFillColour(0x000000, true);
    show(kStyleFramedFill);
    EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(53));
    EXPECT_EQ(Pixel(&button, 1, 1), kBlack);
    button.Disable();
    host->Pump();
    EXPECT_EQ(Pixel(&button, 1, 1), 0xFF404040u);
    EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(59));
    button.SetDisabledFillColour(0x0000FF, true);
    host->Pump();
    EXPECT_EQ(Pixel(&button, 1, 1), 0xFFFF0000u);
    button.Enable();

    button.SetFillColour(0x00FFFF, true);
    show(kStyleFlatUntilHot);
    EXPECT_EQ(Pixel(&button, 0, 0), 0xFFFFFF00u);
    host->MouseMove(30, 30);
    host->Pump();
    EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(57));
    host->MouseLeave();

    button.GetPictureRef(kButtonNormal).Set(picture.get());
    show(kStyleFilled);
    EXPECT_EQ(Pixel(&button, 0, 0), 0xFFFFFF00u);
    EXPECT_EQ(Pixel(&button, 16, 8), kGreen);
    EXPECT_EQ(Pixel(&button, 16, 7), 0xFFFFFF00u);

    button.SetTransparent(true);
    for (u32 style = kStyleRaised; style <= kStyleFilled; ++style) {
        show(style);
        EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(0)) << "style " << style;
    }
    host->MouseMove(30, 30);
    host->Pump();
    EXPECT_EQ(Pixel(&button, 0, 0), 0xFFFFFF00u) << "a hovered transparent button draws";
}

// State 5 does not exist; kKeepColour leaves one of the pair.
TEST_F(ButtonTest, StateColoursKeepWhatIsNotGiven)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    button.SetStateColours(5, 0x0000FF, 0x0000FF);
    button.SetStateColours(kButtonNormal, kKeepColour, 0x00FF00);
    button.Invalidate();
    host->Pump();
    EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(53));
    EXPECT_EQ(Pixel(&button, 39, 23), kGreen);
}

// A 60-pixel caption in a 40-pixel button keeps "abc" and the dots: the band is
// (2, y0, 36, 13) with insets 3 and 3, so 30 pixels of room from x 5.
TEST_F(ButtonTest, LongCaptionIsCutWithDots)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    ASSERT_TRUE(button.SetCaption(u"abcdefghijkl"));
    host->Pump();
    EXPECT_EQ(std::u16string(button.GetText()), u"abcdefghijkl");
    // y0 = (24 - 13) / 2 = 5; ink rows 7..15.
    for (i32 block = 0; block < 6; ++block) {
        EXPECT_EQ(Pixel(&button, 5 + 5 * block, 10), kBlack) << block;
        EXPECT_EQ(Pixel(&button, 5 + 5 * block + 3, 10), kBlack) << block;
    }
    for (i32 x = 34; x < 38; ++x) {
        EXPECT_NE(Pixel(&button, x, 10), kBlack) << x;
    }
}

TEST_F(ButtonTest, PictureGoesLeftOfTheCaptionOrAboveIt)
{
    auto picture = SolidPicture(kGreen, 8, 8);
    auto tall = SolidPicture(kGreen, 8, 30);
    struct sCase
    {
        const char16_t* caption;
        u32 layout;
        u32 align;
        i32 width;
        const cPicture* picture;
        sPoint at; // the picture's top-left
    };
    const sCase cases[] = {
        // Without caption the picture is centred over the whole width.
        {nullptr, kPictureLeft, 0, 40, picture.get(), {16, 8}},
        // Caption inset 8 + 8: text at 18, the picture centred in the 18 pixels before.
        {u"Hi", kPictureLeft, 0, 60, picture.get(), {5, 8}},
        // No room for even "..." behind the picture: it is centred as without caption.
        {u"Hello", kPictureLeft, 0, 30, picture.get(), {11, 8}},
        {u"Hi", kPictureAbove, 0, 40, picture.get(), {3, 3}},
        {u"Hi", kPictureAbove, 1, 40, picture.get(), {16, 3}},
        {u"Hi", kPictureAbove, 2, 40, picture.get(), {29, 3}},
        {nullptr, kPictureAbove, 0, 40, picture.get(), {3, 8}},
        // Clipped to the band (x, 2, w, H - 4).
        {nullptr, kPictureLeft, 0, 40, tall.get(), {16, 2}},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "layout " << c.layout << " align " << c.align << " width " << c.width);
        cButtonChild button;
        form.AttachChild(&button, 20, 20, c.width, 24);
        button.SetTransparent(true);
        (void)button.SetCaption(c.caption);
        button.SetPictureLayout(c.layout, true);
        button.SetTextFormat(c.align, true);
        button.GetPictureRef(kButtonNormal).Set(c.picture);
        button.Invalidate();
        host->Pump();
        EXPECT_EQ(Pixel(&button, c.at.x, c.at.y), kGreen);
        EXPECT_NE(Pixel(&button, c.at.x - 1, c.at.y), kGreen);
        EXPECT_NE(Pixel(&button, c.at.x, c.at.y - 1), kGreen);
    }
}

TEST_F(ButtonTest, PressPostsOnReleaseInsideOnly)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    host->Pump();
    host->MouseDown(30, 30);
    EXPECT_TRUE(host->HasMouseCapture(window));
    EXPECT_EQ(button.GetVisualState(), kButtonPressed);
    host->MouseUp(30, 30);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 1u);
    EXPECT_FALSE(host->HasMouseCapture(window));

    // Released outside: nothing posted, but the press is over.
    host->MouseDown(30, 30);
    host->MouseUp(150, 150);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 1u);
    EXPECT_FALSE(host->HasMouseCapture(window));
    EXPECT_NE(button.GetVisualState(), kButtonPressed);

    // The right button presses nothing (the element base posts its context action).
    host->Click(30, 30, kMouseRight);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 1u);
    EXPECT_EQ(form.Find(2, &button).size(), 1u);

    // A second press within the double-click time is a press too.
    host->Click(30, 30);
    host->Click(30, 30);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 3u);
}

// A disabled button never becomes pressed. One disabled in mid-press lets go of the
// mouse and is no longer pressed once enabled again, wherever the release happened.
TEST_F(ButtonTest, DisabledButtonsNeitherPressNorStayPressed)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    button.Disable();
    host->Click(30, 30);
    host->Pump();
    EXPECT_FALSE(host->HasMouseCapture(window));
    EXPECT_TRUE(form.Find(0, &button).empty());
    button.Enable();

    for (sPoint release : {sPoint{30, 30}, sPoint{200, 200}}) {
        host->MouseDown(30, 30);
        ASSERT_EQ(button.GetVisualState(), kButtonPressed);
        form.Disable();
        host->MouseUp(release.x, release.y);
        form.Enable();
        host->Pump();
        EXPECT_FALSE(host->HasMouseCapture(window));
        EXPECT_NE(button.GetVisualState(), kButtonPressed);
        EXPECT_TRUE(form.Find(0, &button).empty());
    }
}

// Enter and Space press a focused button and are consumed; other keys, and every key
// of a disabled button, go on to the form.
TEST_F(ButtonTest, EnterAndSpacePressTheFocusedButton)
{
    cButtonChild button;
    cButtonChild next;
    form.AttachChild(&button, 20, 20, 40, 24);
    form.AttachChild(&next, 70, 20, 40, 24);
    host->Click(30, 30);
    host->Pump();
    ASSERT_TRUE(button.HasFocus());
    form.actions.clear();
    host->KeyDown(kVkReturn);
    host->KeyDown(kVkSpace);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 2u);
    EXPECT_EQ(form.okCount, 0);
    EXPECT_NE(button.GetVisualState(), kButtonPressed);

    // Buttons are arrow-navigable: Right moves the focus to the next one.
    host->KeyDown(kVkRight);
    EXPECT_TRUE(next.HasFocus());

    button.Disable();
    EXPECT_TRUE(button.KeyDown(kVkReturn, false, false, false)); // handled by the form
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 2u);
    EXPECT_EQ(form.okCount, 1);
}

TEST_F(ButtonTest, MeasureWidthCountsCaptionPictureAndLayout)
{
    auto sixteen = SolidPicture(kGreen, 16, 16);
    auto wide = SolidPicture(kGreen, 40, 8);
    struct sCase
    {
        const char16_t* caption;
        const cPicture* picture;
        u32 layout;
        const cFontObject* font;
        i32 width;
    };
    const sCase cases[] = {
        {u"Ok", sixteen.get(), kPictureLeft, nullptr, 10 + 27 + 5},
        {nullptr, sixteen.get(), kPictureLeft, nullptr, 16 + 11},
        {u"Cancel", nullptr, kPictureLeft, nullptr, 30 + 10},
        {u"Ok", wide.get(), kPictureAbove, nullptr, 46},
        {u"abcdefghijkl", wide.get(), kPictureAbove, nullptr, 70},
        {u"Ok", nullptr, kPictureLeft, GetBoldUiFont(), 12 + 10},
    };
    for (const sCase& c : cases) {
        i32 width = -1;
        ASSERT_TRUE(cButtonChild::MeasureWidth(&form, c.caption, c.picture, c.layout, c.font, width));
        EXPECT_EQ(width, c.width);
    }
    cButtonChild loose;
    i32 width = -1;
    EXPECT_FALSE(cButtonChild::MeasureWidth(&loose, u"Ok", nullptr, kPictureLeft, nullptr, width));
    EXPECT_TRUE(cButtonChild::MeasureWidth(&loose, nullptr, sixteen.get(), kPictureLeft, nullptr, width));

    // The preferred width follows a new picture, a caption and a layout.
    cButtonChild button;
    form.AttachChild(&button, 0, 0, 10, 10);
    (void)button.SetCaption(u"Ok");
    EXPECT_EQ(button.GetPreferredWidth(), 20);
    button.GetPictureRef(kButtonNormal).Set(sixteen.get());
    EXPECT_EQ(button.GetPreferredWidth(), 42);
    button.SetPictureLayout(kPictureAbove, false);
    EXPECT_EQ(button.GetPreferredWidth(), 22);
}

TEST_F(ButtonTest, BareButtonIgnoresEverythingWhileInactive)
{
    cGenButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    button.SetFocusable(true);
    host->Click(30, 30);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 1u);

    button.SetInactive(true, true);
    host->Click(30, 30);
    EXPECT_FALSE(button.KeyDown(kVkSpace, false, false, false));
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 1u);
    EXPECT_FALSE(button.IsPressed());

    // Made inactive in mid-press: the press ends at once.
    button.SetInactive(false, true);
    host->MouseDown(30, 30);
    ASSERT_TRUE(button.IsPressed());
    button.SetInactive(true, true);
    EXPECT_FALSE(button.IsPressed());
    EXPECT_FALSE(host->HasMouseCapture(window));
    host->MouseUp(30, 30);

    // The style clears every flag.
    form.DetachChild(&button);
    form.AttachChild(&button, 20, 20, 40, 24);
    EXPECT_FALSE(button.IsInactive());
    EXPECT_FALSE(button.IsHovered());
    host->Click(30, 30);
    host->Pump();
    EXPECT_EQ(form.Find(0, &button).size(), 2u);
}

} // namespace
