// Control characters in text drawn with a real face: a CR before a line feed, a tab and
// the other C0 controls never show the missing-glyph box; a tab moves the pen to the
// next multiple of eight space widths.
#include "gui/core/font.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// The pixels `draw` leaves on a white 300 x 60 canvas in the UI font.
std::vector<u32> Drawn(const std::function<void(cCanvas&)>& draw)
{
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(300, 60));
    canvas->FillRect(0, 0, 300, 60, 0xFFFFFF, 0xFFFFFF);
    canvas->SelectFont(GetDefaultUiFont());
    canvas->SetColors(0x000000, 0xFFFFFF);
    draw(*canvas);
    return std::vector<u32>(canvas->GetPixels(), canvas->GetPixels() + 300 * 60);
}

TEST(TextControls, CrLfTabsAndOtherControlsDrawNoBox)
{
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(10, 10));
    canvas->SelectFont(GetDefaultUiFont());
    sSize space, word, tabbed, c;
    ASSERT_TRUE(canvas->MeasureTextW(u" ", 1, &space));
    ASSERT_TRUE(canvas->MeasureTextW(u"ab", 2, &word));
    ASSERT_TRUE(canvas->MeasureTextW(u"c", 1, &c));
    ASSERT_TRUE(canvas->MeasureTextW(u"ab\tc", 4, &tabbed));
    ASSERT_GT(space.width, 0);
    ASSERT_LT(word.width, 8 * space.width);
    EXPECT_EQ(tabbed.width, 8 * space.width + c.width);
    i32 edges[4];
    ASSERT_TRUE(canvas->FitTextW(u"ab\tc", 4, edges));
    EXPECT_EQ(edges[2], 8 * space.width);

    const auto multiline = [](const char16_t* text) {
        return [text](cCanvas& on) { (void)on.DrawMultilineTextW(4, 4, 290, 50, 0, 1.5, text, -1, nullptr); };
    };
    EXPECT_EQ(Drawn(multiline(u"one\r\ntwo")), Drawn(multiline(u"one\ntwo")));
    EXPECT_EQ(Drawn([](cCanvas& on) { on.DrawTextW(4, 4, false, u"a\r\x01\x1b\x7" u"b", -1); }),
              Drawn([](cCanvas& on) { on.DrawTextW(4, 4, false, u"ab", -1); }));
    EXPECT_EQ(Drawn([](cCanvas& on) { on.DrawTextW(4, 4, false, u"ab\tc", -1); }), Drawn([&](cCanvas& on) {
                  on.DrawTextW(4, 4, false, u"ab", -1);
                  on.DrawTextW(4 + 8 * space.width, 4, false, u"c", -1);
              }));
}

} // namespace
