// Push buttons: what the goldens do not show (disabled fills, transparency, the caption
// cut, the picture's place), press and key behaviour (release outside, right button,
// disabled before and during a press), the preferred width, and the bare button's
// inactive flag. Frames and fills of every style and state are in buttons.png.
#include "gui/controls/pushbutton.h"
#include "gui/controlstest.h"
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
};

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
    EXPECT_EQ(Pixel(&button, 39, 23), 0xFF00FF00u);
}

// A 60-pixel caption in a 40-pixel button keeps "abc" and the dots: 30 pixels of room
// from x 5, six blocks; nothing is drawn behind them.
TEST_F(ButtonTest, LongCaptionIsCutWithDots)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    ASSERT_TRUE(button.SetCaption(u"abcdefghijkl"));
    host->Pump();
    EXPECT_EQ(std::u16string(button.GetText()), u"abcdefghijkl");
    EXPECT_EQ(Pixel(&button, 5 + 5 * 5, 10), kBlack);
    for (i32 x = 34; x < 38; ++x) {
        EXPECT_NE(Pixel(&button, x, 10), kBlack) << x;
    }
}

// A disabled fill replaces the greyed one; a transparent button draws no background when
// normal or disabled, but does when hovered.
TEST_F(ButtonTest, DisabledFillAndTransparency)
{
    cButtonChild button;
    form.AttachChild(&button, 20, 20, 40, 24);
    button.SetFillColour(0x000000, true);
    button.SetStyle(kStyleFramedFill, true);
    button.Disable();
    button.SetDisabledFillColour(0x0000FF, true);
    host->Pump();
    EXPECT_EQ(Pixel(&button, 1, 1), 0xFFFF0000u);
    button.Enable();

    button.SetFillColour(0x00FFFF, true);
    button.SetTransparent(true);
    for (u32 style = kStyleRaised; style <= kStyleFilled; ++style) {
        button.SetStyle(style, true);
        host->Pump();
        EXPECT_EQ(Pixel(&button, 0, 0), ThemePixel(0)) << "style " << style;
    }
    host->MouseMove(30, 30);
    host->Pump();
    EXPECT_EQ(Pixel(&button, 0, 0), 0xFFFFFF00u) << "a hovered transparent button draws";
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

} // namespace
