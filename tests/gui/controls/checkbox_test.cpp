// Check boxes: the picture each state chooses, toggling by click and Space, what a
// disabled box ignores, and the reviewed picture tests/data/gui/controls/checkbox.png
// (made with QEL_SNAPSHOT_OUT=<folder> tests_gui_controls --gtest_filter=CheckBoxTest.Picture).
#include "gui/controls/checkbox.h"
#include "gui/controlstest.h"
#include "gui/core/keys.h"

namespace {

// Records the pictures the box sets, so that the theme index can be read back.
struct cRecordingBox : qeltest::cPaintCounting<cCheckBoxChild>
{
    void SetIcon(const cPicture* picture, bool redraw) override
    {
        for (i32 index = kImageCheckOff; index <= kImageCheckDisabledOn; ++index) {
            shown = GetTheme()->GetImage(eThemeImage(index)) == picture ? index : shown;
        }
        cCheckBoxChild::SetIcon(picture, redraw);
    }
    i32 shown = -1;
};

class CheckBoxTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&box, 20, 20, 150, 20));
        ASSERT_TRUE(box.SetText(u"Option"));
        host->Pump();
    }
    cRecordingBox box;
};

// A click shows the focused picture, then toggles and posts once; Space toggles too,
// Enter passes to the form; the same state again neither redraws nor posts; disabling
// drops the focus, and a click on the disabled box changes nothing and posts nothing.
TEST_F(CheckBoxTest, ToggleAndPictures)
{
    std::vector<i32> shown = {box.shown};
    host->Click(30, 30);
    host->Pump();
    shown.push_back(box.shown);
    host->KeyDown(kVkSpace, false, false, false, window);
    host->KeyDown(kVkReturn, false, false, false, window);
    host->Pump();
    shown.push_back(box.shown);
    const i32 paints = box.paints;
    box.SetChecked(false, true);
    host->Pump();
    EXPECT_EQ(box.paints, paints);
    box.Disable();
    EXPECT_FALSE(box.HasFocus());
    shown.push_back(box.shown);
    host->Click(30, 30);
    host->Pump();
    EXPECT_FALSE(box.IsChecked());
    EXPECT_EQ(shown, (std::vector<i32>{kImageCheckOff, kImageCheckFocusedOn, kImageCheckFocusedOff,
                                       kImageCheckDisabledOff}));
    EXPECT_EQ(form.okCount, 1);
    EXPECT_EQ(form.actions, (std::vector<qeltest::sActionRecord>{{&box, 0, -1}, {&box, 0, -1}}));
}

// Off, on, focused off, focused on, disabled off, disabled on.
TEST_F(CheckBoxTest, Picture)
{
    cCheckBoxChild boxes[6];
    for (i32 i = 0; i < 6; ++i) {
        ASSERT_TRUE(form.AttachChild(&boxes[i], 220, 10 + 22 * i, 100, 20));
        ASSERT_TRUE(boxes[i].SetText(u"Option"));
        boxes[i].SetChecked(i % 2 == 1, false);
    }
    boxes[4].Disable();
    boxes[5].Disable();
    boxes[2].Activate();
    host->Pump();
    std::unique_ptr<cCanvas> canvas(CreateMemoryCanvas(100, 130));
    canvas->CopyFrom(0, 0, host->GetCanvas(window), 220, 10, 100, 130);
    boxes[3].Activate();
    host->Pump();
    canvas->CopyFrom(0, 66, host->GetCanvas(window), 220, 76, 100, 20);
    qeltest::ExpectMatchesGolden(*canvas, "checkbox.png");
}

} // namespace
