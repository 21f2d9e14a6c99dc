// Splitter: the worked absolute layouts with their filler and code 7, drags (absolute
// floor at 0, the inclusive divider edge, the zero-span fraction drag), and the divider's
// pixels (the golden holds the fraction layout).
#include "gui/controls/splitter.h"
#include "gui/controlstest.h"
#include "gui/core/keys.h"

#include <memory>
#include <vector>

namespace {

using qeltest::ElementPixel;
using qeltest::ThemePixel;

// A pane that fills itself with one colour.
class cColourPane : public cChildElement
{
public:
    explicit cColourPane(u32 colour = 0xC0C0C0) : m_colour(colour) {}
    void OnPaint(cCanvas& canvas) override { canvas.FillRect(0, 0, GetWidth(), GetHeight(), m_colour, m_colour); }

private:
    u32 m_colour;
};

class SplitterTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        form.AttachChild(&splitter, 10, 10, 200, 20);
    }
    // The width of the last code 7 from the splitter, -1 when none came.
    i32 LastResize()
    {
        host->Pump();
        i32 width = -1;
        for (const auto& record : form.Take(&splitter)) {
            width = record.code == cSplitterChild::cResizeRequestAction::kCode ? record.id : width;
        }
        return width;
    }

    cSplitterChild splitter;
    cColourPane panes[3];
    cColourPane filler;
};

// Panes 60 + 3 + 80 + 3 = 146 under a fill width of 300 in a 200-wide splitter: the
// filler takes the rest and the splitter widens to the fill width. Panes of 400 in all:
// the filler goes to the old right edge with size 0 and the splitter grows to 400.
TEST_F(SplitterTest, AbsoluteLayoutFollowsTheWorkedCases)
{
    splitter.SetRelativeSizes(false);
    ASSERT_TRUE(splitter.SetPane(0, &panes[0], 60));
    ASSERT_TRUE(splitter.SetPane(1, &panes[1], 80));
    splitter.SetFill(300, &filler);
    splitter.SetBounds(10, 10, 200, 20);
    EXPECT_EQ(filler.GetRect(), (sRect{146, 0, 154, 20}));
    EXPECT_EQ(panes[1].GetRect(), (sRect{63, 0, 80, 20}));
    EXPECT_EQ(splitter.GetWidth(), 300);
    EXPECT_EQ(LastResize(), 300);

    ASSERT_TRUE(splitter.SetPaneSize(0, 197));
    ASSERT_TRUE(splitter.SetPaneSize(1, 197));
    splitter.SetBounds(10, 10, 200, 20);
    EXPECT_EQ(filler.GetRect(), (sRect{200, 0, 0, 0}));
    EXPECT_EQ(splitter.GetWidth(), 400);
    EXPECT_EQ(LastResize(), 400);
    // Settled: a layout at the same width posts nothing.
    splitter.SetFill(300, nullptr);
    EXPECT_EQ(LastResize(), -1);
}

// Absolute drags follow the pointer but never below width 0, and post code 8; the
// divider's last pixel (right edge + divider width) still starts a drag.
TEST_F(SplitterTest, AbsoluteDragNeverGivesANegativeWidth)
{
    splitter.SetRelativeSizes(false);
    ASSERT_TRUE(splitter.SetPane(0, &panes[0], 60));
    ASSERT_TRUE(splitter.SetPane(1, &panes[1], 80));
    host->Pump();
    form.Take();
    host->MouseDown(10 + 61, 15);
    host->MouseMove(10 + 40, 15);
    EXPECT_EQ(panes[0].GetWidth(), 40);
    host->MouseMove(10 - 50, 15);
    EXPECT_EQ(panes[0].GetWidth(), 0);
    EXPECT_EQ(panes[1].GetRect().x, 3);
    host->MouseUp(10 - 50, 15);
    EXPECT_FALSE(host->HasMouseCapture(window));
    host->Pump();
    EXPECT_EQ(form.Find(cSplitterChild::kSizesChangedCode, &splitter).size(), 2u);

    // Pane 1 ends at 83; its divider spans 83..86 inclusive. The press goes straight to
    // the handler: with no filler the splitter itself ends at 86.
    splitter.OnMouseButton(86, 5, kMouseLeft, true);
    splitter.OnMouseMove(120, 5);
    EXPECT_EQ(panes[1].GetWidth(), 117);
    splitter.OnMouseButton(120, 5, kMouseLeft, false);
}

// Fraction mode: a divider whose pane and neighbour are both 0 wide has no share ratio;
// the press captures and the release releases, and nothing changes.
TEST_F(SplitterTest, ZeroSpanFractionDragChangesNothing)
{
    ASSERT_TRUE(splitter.SetPane(0, &panes[0], 0));
    ASSERT_TRUE(splitter.SetPane(1, &panes[1], 0));
    ASSERT_TRUE(splitter.SetPane(2, &panes[2], 150));
    ASSERT_EQ(panes[2].GetRect(), (sRect{6, 0, 194, 20}));
    host->Pump();
    form.Take();
    host->MouseDown(10 + 1, 15);
    EXPECT_TRUE(host->HasMouseCapture(window));
    host->MouseMove(10 + 90, 15);
    host->MouseUp(10 + 90, 15);
    EXPECT_FALSE(host->HasMouseCapture(window));
    EXPECT_EQ(panes[2].GetRect(), (sRect{6, 0, 194, 20}));
    host->Pump();
    EXPECT_TRUE(form.Find(cSplitterChild::kSizesChangedCode).empty());
    host->MouseMove(10 + 4, 15);
    EXPECT_EQ(host->GetCursor(window), kCursorWestEast);
}

// Three panes in fraction mode: dividers are band, line, band; the picture is the
// committed golden.
TEST_F(SplitterTest, FractionPanesPaintDividers)
{
    cColourPane coloured[3] = {cColourPane(0xE0C0A0), cColourPane(0xA0E0C0), cColourPane(0xC0A0E0)};
    splitter.SetBounds(10, 10, 300, 60);
    ASSERT_TRUE(splitter.SetPane(0, &coloured[0], 50));
    ASSERT_TRUE(splitter.SetPane(1, &coloured[1], 30));
    ASSERT_TRUE(splitter.SetPane(2, &coloured[2], 20));
    host->Pump();
    const i32 right = coloured[0].GetRect().Right();
    EXPECT_EQ(ElementPixel(*host, &splitter, right, 30), ThemePixel(42));
    EXPECT_EQ(ElementPixel(*host, &splitter, right + 1, 30), ThemePixel(43));
    EXPECT_EQ(ElementPixel(*host, &splitter, right + 2, 30), ThemePixel(42));
    EXPECT_EQ(ElementPixel(*host, &splitter, right + 3, 30), PixelFromColour(0xA0E0C0));
    std::unique_ptr<cCanvas> shot(CreateMemoryCanvas(300, 60));
    shot->CopyFrom(0, 0, host->GetCanvas(window), 10, 10, 300, 60);
    qeltest::ExpectMatchesGolden(*shot, "splitter_fraction.png");
}

} // namespace
