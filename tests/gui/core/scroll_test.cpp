// The scrolled view: when bars show, offsets and their range, children in content
// coordinates, scrolling into view, steps, the wheel, the bars' mouse handling and the
// painting order.
#include "gui/core/canvas.h"
#include "gui/core/scrollable.h"
#include "gui/guitest.h"

#include <cstdint>

namespace {

using qeltest::cProbe;
using qeltest::tLog;

TEST(ScrollBars, ShowWhenTheContentExceedsTheViewAndBoundTheOffsets)
{
    cScrollableElement view;
    view.SetBounds(0, 0, 100, 80);
    view.SetContentWidth(100);
    view.SetContentHeight(80);
    EXPECT_EQ(view.GetViewRect(), (sRect{0, 0, 100, 80}));
    EXPECT_EQ(view.GetVScrollWidth(), 0);

    // One more row needs the vertical bar, which narrows the view so that the
    // horizontal bar is needed too.
    view.SetContentHeight(81);
    EXPECT_EQ(view.GetVScrollWidth(), 16);
    EXPECT_TRUE(view.IsHScrollShown());
    EXPECT_EQ(view.GetViewRect(), (sRect{0, 0, 84, 64}));
    EXPECT_EQ(view.GetScrollMaxX(), 16);
    EXPECT_EQ(view.GetScrollMaxY(), 17);
    EXPECT_TRUE(view.ScrollTo(1000, 1000));
    EXPECT_EQ(view.GetScrollX(), 16);
    EXPECT_EQ(view.GetScrollY(), 17);
    EXPECT_EQ(view.GetClientOrigin(), (sPoint{-16, -17}));
    EXPECT_FALSE(view.ScrollTo(1000, 1000));

    view.SetContentHeight(-5);
    EXPECT_EQ(view.GetContentHeight(), 81);
    // Shrinking the content pulls the offsets back into the range.
    view.SetContentHeight(70);
    EXPECT_EQ(view.GetVScrollWidth(), 0);
    EXPECT_FALSE(view.IsHScrollShown());
    EXPECT_EQ(view.GetScrollX(), 0);
    EXPECT_EQ(view.GetScrollY(), 0);

    // Resizing the element re-decides the bars.
    view.SetContentHeight(200);
    view.ScrollTo(0, 120);
    view.SetBounds(0, 0, 100, 300);
    EXPECT_EQ(view.GetVScrollWidth(), 0);
    EXPECT_EQ(view.GetScrollY(), 0);
}

TEST(ScrollBars, WheelCountsOfAnySizeStopAtTheEnds)
{
    cScrollableElement view;
    view.SetBounds(0, 0, 116, 100);
    view.SetContentWidth(100);
    view.SetContentHeight(1000);
    ASSERT_EQ(view.GetScrollMaxY(), 900);
    EXPECT_TRUE(view.OnMouseWheel(INT32_MIN));
    EXPECT_EQ(view.GetScrollY(), 900);
    EXPECT_TRUE(view.OnMouseWheel(INT32_MAX));
    EXPECT_EQ(view.GetScrollY(), 0);
    EXPECT_TRUE(view.OnMouseWheel(-INT32_MAX));
    EXPECT_EQ(view.GetScrollY(), 900);
}

class ScrollView : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        window = Open(&root, 200, 200);
        root.AttachChild(&view, 0, 0, 100, 80);
        view.SetContentHeight(400);
        view.AttachChild(&child, 10, 100, 30, 20);
    }

    struct cRedView : cScrollableElement
    {
        void PaintContent(cCanvas& canvas) override
        {
            canvas.FillRect(-10, -10, GetWidth() + 20, GetHeight() + 20, 0x0000FF, 0x0000FF);
        }
    };

    tLog log;
    cChildElement root;
    cRedView view;
    cProbe child{&log, "child"};
    cWindowTranslator* window = nullptr;
};

TEST_F(ScrollView, ChildrenScrollUnlessKeptAndAreClippedToTheView)
{
    view.ScrollTo(0, 50);
    host->Click(15, 55);
    EXPECT_EQ(log, (tLog{"child:HoverStart", "child:Move(5,5)", "child:Press(5,5,1)", "child:Release(5,5,1)"}));
    sPoint screen;
    ASSERT_TRUE(child.GetScreenOrigin(screen));
    EXPECT_EQ(screen, (sPoint{10, 50}));

    view.SetChildScrollAlign(&child, false, true);
    EXPECT_EQ(child.GetOriginInRoot(), (sPoint{10, 100}));
    view.ScrollTo(0, 0);
    view.SetChildScrollAlign(&child, false, false);
    EXPECT_TRUE(view.ScrollChildIntoView(&child));
    EXPECT_EQ(view.GetScrollY(), 100 + 20 - 80);

    // The part of a child under the vertical bar is neither painted nor hit.
    cProbe under(&log, "under");
    view.AttachChild(&under, 70, view.GetScrollY() + 40, 30, 10);
    log.clear();
    host->Click(90, 45);
    for (const std::string& entry : log) {
        EXPECT_EQ(entry.find("Press"), std::string::npos) << entry;
    }
}

// A popup grabs the mouse and still scrolls with its bar; a drag that the content
// started ends even when released over a bar.
TEST_F(ScrollView, BarsWorkUnderTheViewsOwnCapture)
{
    struct cDragging : cScrollableElement
    {
        void OnMouseButton(i32 x, i32 y, i32 button, bool down) override
        {
            if (down) {
                CaptureMouse();
            } else {
                m_released = true;
                ReleaseMouse();
            }
        }
        bool m_released = false;
    };
    cDragging dragging;
    root.AttachChild(&dragging, 0, 100, 100, 80);
    dragging.SetContentHeight(400);
    dragging.CaptureMouse();
    host->Click(90, 170);
    EXPECT_EQ(dragging.GetScrollY(), 16);

    dragging.m_released = false;
    host->MouseDown(20, 120);
    ASSERT_TRUE(dragging.HasMouseCapture());
    host->MouseUp(90, 120);
    EXPECT_TRUE(dragging.m_released);
    EXPECT_FALSE(dragging.HasMouseCapture());
}

// Bar geometry of a 100 x 80 element with 400 pixels of content: arrows at 0..15 and
// 64..79, a 48-pixel track, a 9-pixel thumb travelling 39 pixels over 320 offsets.
TEST_F(ScrollView, TheBarsArrowsTrackAndThumbScroll)
{
    host->Click(90, 70);
    EXPECT_EQ(view.GetScrollY(), 16);
    host->Click(90, 5);
    EXPECT_EQ(view.GetScrollY(), 0);
    host->Click(90, 50);
    EXPECT_EQ(view.GetScrollY(), 80);
    host->Click(90, 17);
    EXPECT_EQ(view.GetScrollY(), 0);

    // The thumb sits at 16 + 39 x 80 / 320 = 25 for offset 80; drag it by one pixel grip.
    view.ScrollTo(0, 80);
    host->MouseDown(90, 26);
    host->MouseMove(90, 26 + 13);
    EXPECT_EQ(view.GetScrollY(), (25 + 13 - 16) * 320 / 39);
    host->MouseMove(90, 500);
    EXPECT_EQ(view.GetScrollY(), 320);
    host->MouseUp(90, 500);
    EXPECT_FALSE(view.HasMouseCapture());
    host->MouseMove(90, 20);
    EXPECT_EQ(view.GetScrollY(), 320);
    EXPECT_TRUE(log.empty()) << "presses on the bar reach no child";
}

} // namespace
