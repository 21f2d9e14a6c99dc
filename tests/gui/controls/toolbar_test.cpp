// Toolbar: the overflow layouts (random widths against the invariants; the worked
// example of each mode is the golden toolbar.png), SetButton's add/change/remove rules, presses and the bar's own codes, the
// overflow menu's place, size and choices, and the clean-up of RemoveAllButtons.
#include "controlstest.h"
#include "gui/controls/toolbar.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using qeltest::SolidPicture;

// A caption of n characters: 5n + 10 pixels wide with the test font.
std::u16string Caption(i32 characters)
{
    return std::u16string(size_t(characters), u'x');
}

class ToolBarTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        form.AttachChild(&bar, 10, 50, 130, 25);
        overflowWidth = GetTheme()->GetImage(72)->GetWidth() + 11;
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
    i32 overflowWidth = 0;
};

// Random widths, ids, insertion orders and limits: whatever is shown lies in id order
// without overlap and, in both overflow modes, within the bar; the hidden ids are one
// run (a suffix in mode 2, the run after the leading ids in mode 1) that could not have
// been shown; the menu lists exactly the hidden enabled ids in ascending order.
TEST_F(ToolBarTest, RandomLayoutsKeepTheInvariants)
{
    auto icon = SolidPicture(0xFF00FF00, 16, 16);
    sImageList list;
    list.Set(0, icon.get());
    bar.SetStateImageList(kButtonNormal, &list);
    std::mt19937 random(20240611);
    for (i32 round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        bar.RemoveAllButtons(false);
        const i32 mode = 1 + i32(random() % 2);
        const i32 limit = i32(random() % 40);
        const i32 width = i32(random() % 400);
        std::vector<i32> ids;
        for (i32 id = 0; id < 40; ++id) {
            if (random() % 3 == 0) {
                ids.push_back(id);
            }
        }
        std::shuffle(ids.begin(), ids.end(), random);
        std::set<i32> disabled;
        for (i32 id : ids) {
            const i32 characters = i32(random() % 12);
            const i32 picture = characters == 0 || random() % 2 ? 0 : -1;
            ASSERT_TRUE(bar.SetButton(id, characters > 0 ? Caption(characters).c_str() : nullptr, picture));
            if (random() % 4 == 0) {
                disabled.insert(id);
                bar.EnableButton(id, false);
            }
        }
        bar.SetBounds(0, 0, width, 25);
        bar.SetLeadingIdLimit(limit);
        bar.SetOverflowMode(mode);
        std::sort(ids.begin(), ids.end());

        i64 total = 0;
        for (i32 id : ids) {
            total += bar.GetButton(id)->GetPreferredWidth();
        }
        cButtonChild* overflow = bar.GetOverflowButton();
        std::vector<i32> hidden;
        i64 right = 0;
        i64 leadingWidth = 0;
        for (i32 id : ids) {
            cButtonChild* button = bar.GetButton(id);
            if (!button->IsVisible()) {
                hidden.push_back(id);
                continue;
            }
            const sRect rect = button->GetRect();
            EXPECT_EQ(rect.width, button->GetPreferredWidth());
            if (overflow->IsVisible() && rect.x >= overflow->GetRect().x) {
                right = std::max<i64>(right, overflow->GetRect().Right());
            }
            EXPECT_GE(rect.x, right) << "id " << id << " overlaps or is out of order";
            right = rect.Right();
            leadingWidth += id < limit ? rect.width : 0;
        }
        if (overflow->IsVisible()) {
            right = std::max<i64>(right, overflow->GetRect().Right());
        }

        // Nothing can overflow when the buttons fit, or when in mode 1 they are all
        // leading ones.
        if (total <= width || (mode == kOverflowKeepEnds && ids.back() < limit)) {
            EXPECT_TRUE(hidden.empty());
            EXPECT_FALSE(overflow->IsVisible());
            continue;
        }
        ASSERT_TRUE(overflow->IsVisible());
        ASSERT_FALSE(hidden.empty());
        const size_t first = size_t(std::find(ids.begin(), ids.end(), hidden.front()) - ids.begin());
        EXPECT_EQ(std::vector<i32>(ids.begin() + i64(first), ids.begin() + i64(first + hidden.size())), hidden)
            << "the hidden ids are one run";
        if (mode == kOverflowKeepLeading) {
            EXPECT_EQ(hidden.back(), ids.back());
            if (overflowWidth <= width) {
                EXPECT_LE(right, width);
            }
            EXPECT_GT(overflow->GetRect().x + bar.GetButton(hidden.front())->GetPreferredWidth() + overflowWidth,
                      width)
                << "the first hidden button would have fitted";
        } else {
            EXPECT_GE(hidden.front(), limit);
            EXPECT_TRUE(first == 0 || ids[first - 1] < limit);
            if (leadingWidth + overflowWidth <= width) {
                EXPECT_LE(right, width);
                EXPECT_GT(right - width + bar.GetButton(hidden.back())->GetPreferredWidth(), 0)
                    << "the last hidden button would have fitted";
            }
        }

        tPopupItems items;
        sSize size;
        bar.BuildOverflowMenu(items, size);
        std::vector<i32> listed;
        i32 widest = 0;
        for (const tPopupItems::cNode* node = items.First(); node != nullptr; node = tPopupItems::Next(node)) {
            listed.push_back(node->GetKey());
            EXPECT_EQ(node->GetValue().rowHeight, 25);
            widest = std::max(widest, bar.GetButton(node->GetKey())->GetPreferredWidth());
        }
        std::vector<i32> expected;
        std::copy_if(hidden.begin(), hidden.end(), std::back_inserter(expected),
                     [&](i32 id) { return disabled.count(id) == 0; });
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(size, (sSize{widest, 25 * i32(listed.size())}));
    }
}

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

} // namespace
