// Toolbar: refused buttons, presses and the bar's own codes, the overflow menu's place, size
// and choices, and the clean-up of RemoveAllButtons (the layout of each overflow mode is the
// golden toolbar.png).
#include "gui/controls/toolbar.h"
#include "gui/controlstest.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <string>
#include <vector>

namespace {

using qeltest::SolidPicture;

class ToolBarTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        form.AttachChild(&bar, 10, 50, 130, 25);
    }

    // Buttons 1..count with 6-character captions, 40 pixels wide each.
    void AddFortyPixelButtons(i32 count)
    {
        for (i32 id = 1; id <= count; ++id) {
            ASSERT_TRUE(bar.SetButton(id, u"Button", -1));
        }
    }

    // Its paints tell when it lays out.
    qeltest::cPaintCounting<cToolBarChild> bar;
};

TEST_F(ToolBarTest, RefusedAndFailedButtonsLeaveNoTrace)
{
    class cPickyToolBar : public cToolBarChild
    {
    public:
        cButtonChild* CreateButton() override { return failCreate ? nullptr : cToolBarChild::CreateButton(); }
        bool OnButtonAdded(i32 id, cButtonChild* button) override { return id != 13; }
        bool failCreate = false;
    };
    cPickyToolBar picky;
    form.AttachChild(&picky, 0, 100, 300, 25);
    const size_t children = picky.GetChildren().size();
    EXPECT_FALSE(picky.SetButton(13, u"Unlucky", -1));
    EXPECT_EQ(picky.GetButton(13), nullptr);
    picky.failCreate = true;
    EXPECT_FALSE(picky.SetButton(1, u"One", -1));
    EXPECT_EQ(picky.GetButton(1), nullptr);
    EXPECT_EQ(picky.GetChildren().size(), children);
    EXPECT_EQ(picky.GetTotalWidth(), 0);
}

// A button press reaches the form as the toolbar's action 7 with the id; a disabled
// button posts nothing; a left press between buttons posts code 8, a right one nothing.
TEST_F(ToolBarTest, PressesBecomeButtonActions)
{
    AddFortyPixelButtons(2);
    host->Click(10 + 45, 60);
    host->Pump();
    EXPECT_EQ(form.Find(cToolBarChild::cTbButtonAction::kCode),
              (std::vector<qeltest::sActionRecord>{{&bar, 7, 2}}));
    EXPECT_TRUE(form.Find(0).empty()) << "the plain press stops at the toolbar";

    ASSERT_TRUE(bar.EnableButton(2, false));
    EXPECT_FALSE(bar.EnableButton(7, false));
    host->Click(10 + 45, 60);
    host->Pump();
    EXPECT_EQ(form.Find(7).size(), 1u);

    // Enter on a focused button.
    host->Click(10 + 5, 60);
    host->KeyDown(kVkReturn);
    host->Pump();
    EXPECT_EQ(form.Find(7, &bar).size(), 3u);

    host->Click(10 + 100, 60, kMouseRight);
    host->Click(10 + 100, 60);
    host->Pump();
    EXPECT_EQ(form.Find(cToolBarChild::kBarPressCode, &bar).size(), 1u);
}

// The overflow button opens the menu at its screen origin, its height + 1 lower, 1.1 x
// as wide as the widest hidden button and as high as the rows (+ 2 for the frame); the
// choice is posted as a button action unless that button was disabled meanwhile.
TEST_F(ToolBarTest, OverflowMenuOpensBelowAndPostsTheChoice)
{
    AddFortyPixelButtons(5);
    bar.SetOverflowMode(kOverflowKeepLeading);
    struct sCase
    {
        const char* what;
        i32 clickRow; // -1: Escape
        bool disableFirst;
        i32 posted;   // -1: nothing
    };
    const sCase cases[] = {
        {"second row", 1, false, 4},
        {"escape", -1, false, -1},
        {"disabled while open", 1, true, -1},
    };
    for (const sCase& c : cases) {
        form.actions.clear();
        bar.EnableButton(4, true);
        sRect rect;
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& popup) {
            h.GetWindowRect(&popup, rect);
            if (c.disableFirst) {
                bar.EnableButton(4, false);
            }
            if (c.clickRow < 0) {
                h.KeyDown(kVkEscape);
            } else {
                h.Click(10, 1 + 25 * c.clickRow + 10);
            }
        });
        host->Click(10 + 80 + 5, 60);
        host->Pump();
        EXPECT_EQ(rect, (sRect{10 + 80, 50 + 25 + 1, i32(1.1 * 40), 3 * 25 + 2})) << c.what;
        std::vector<qeltest::sActionRecord> expected;
        if (c.posted >= 0) {
            expected.push_back({&bar, 7, c.posted});
        }
        EXPECT_EQ(form.Find(7), expected) << c.what;
    }

    // Ten hidden rows pass the 200-pixel limit: the menu is cut to it and widened by
    // the scroll bar.
    for (i32 id = 6; id <= 12; ++id) {
        ASSERT_TRUE(bar.SetButton(id, u"Button", -1));
    }
    sRect rect;
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& popup) {
        h.GetWindowRect(&popup, rect);
        h.KeyDown(kVkEscape);
    });
    host->Click(10 + 80 + 5, 60);
    host->Pump();
    EXPECT_EQ(rect, (sRect{10 + 80, 50 + 25 + 1, i32(1.1 * (40 + 16)), 200 + 2}));
}

// Without buttons the overflow button and its menu must go too.
TEST_F(ToolBarTest, RemoveAllButtonsTakesTheOverflowAlong)
{
    AddFortyPixelButtons(5);
    bar.SetOverflowMode(kOverflowKeepEnds);
    ASSERT_TRUE(bar.GetOverflowButton()->IsVisible());
    bar.RemoveAllButtons(true);
    EXPECT_FALSE(bar.GetOverflowButton()->IsVisible());
    tPopupItems items;
    sSize size{-1, -1};
    bar.BuildOverflowMenu(items, size);
    EXPECT_EQ(items.GetCount(), 0);
    EXPECT_EQ(size, (sSize{0, 0}));
    EXPECT_EQ(bar.GetTotalWidth(), 0);
    EXPECT_EQ(bar.GetButton(1), nullptr);
}

TEST_F(ToolBarTest, SetButtonAddsChangesAndRemoves)
{
    auto icon = SolidPicture(0xFF00FF00, 16, 16);
    sImageList list;
    list.Set(3, icon.get());
    bar.SetStateImageList(kButtonNormal, &list);
    const size_t children = bar.GetChildren().size();
    EXPECT_FALSE(bar.SetButton(9, nullptr, -1)) << "removing a button that is not there";
    EXPECT_FALSE(bar.SetButton(-1, u"No", -1)) << "negative ids answer for 'none' in the menu";
    EXPECT_EQ(bar.GetChildren().size(), children);

    ASSERT_TRUE(bar.SetButton(3, nullptr, 3));
    cButtonChild* button = bar.GetButton(3);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetText()[0], 0);
    EXPECT_EQ(button->GetStatePicture(kButtonNormal), icon.get());
    EXPECT_EQ(button->GetRect(), (sRect{0, 0, 16 + 11, 25}));

    host->Pump();
    bar.paints = 0;
    ASSERT_TRUE(bar.SetButton(3, nullptr, 3));
    host->Pump();
    EXPECT_EQ(bar.paints, 0) << "the same call again lays nothing out";
    ASSERT_TRUE(bar.SetButton(3, u"Open", 3));
    host->Pump();
    EXPECT_EQ(bar.paints, 1);
    EXPECT_EQ(button->GetRect().width, 20 + 16 + 16);
    ASSERT_TRUE(bar.SetButton(3, nullptr, -1)); // null text, no picture: removal
    EXPECT_EQ(bar.GetButton(3), nullptr);

    // Buttons are taken in id order whatever order they come in.
    ASSERT_TRUE(bar.SetButton(8, u"Eight", -1));
    ASSERT_TRUE(bar.SetButton(2, u"Two", -1));
    ASSERT_TRUE(bar.SetButton(5, u"Five", -1));
    EXPECT_EQ(bar.GetButton(2)->GetRect().x, 0);
    EXPECT_EQ(bar.GetButton(5)->GetRect().x, 25);
    EXPECT_EQ(bar.GetButton(8)->GetRect().x, 25 + 30);
    EXPECT_TRUE(bar.RemoveButton(5));
    EXPECT_FALSE(bar.RemoveButton(5));
    EXPECT_EQ(bar.GetButton(8)->GetRect().x, 25);

    // Modes and limits lay out only when the buttons are wider than the bar.
    host->Pump();
    bar.paints = 0;
    bar.SetOverflowMode(kOverflowKeepLeading);
    bar.SetLeadingIdLimit(-4);
    host->Pump();
    EXPECT_EQ(bar.paints, 0);
}

} // namespace
