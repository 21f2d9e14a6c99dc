// Push buttons: what the goldens do not show (disabled fills, transparency, the caption
// cut, the picture's place), press and key behaviour (release outside, right button,
// disabled before and during a press), the preferred width, and the bare button's
// inactive flag. Frames and fills of every style and state are in buttons.png.
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

} // namespace
