// Control characters drawn with a real face: a CR before a line feed and other C0
// controls draw nothing (no missing-glyph box), a tab moves to the next multiple of
// eight space widths, and measuring agrees.
#include "gui/core/font.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

std::vector<u32> Drawn(const std::function<void(cCanvas&)>& draw)
{
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(300, 60));
    canvas->FillRect(0, 0, 300, 60, 0xFFFFFF, 0xFFFFFF);
    canvas->SelectFont(GetDefaultUiFont());
    draw(*canvas);
    return std::vector<u32>(canvas->GetPixels(), canvas->GetPixels() + 300 * 60);
}

TEST(TextControls, CrLfTabsAndOtherControlsDrawNoBox)
{
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    sSize space, tabbed, c;
    Drawn([&](cCanvas& on) {
        ASSERT_TRUE(on.MeasureTextW(u" ", 1, &space) && on.MeasureTextW(u"c", 1, &c));
        ASSERT_TRUE(on.MeasureTextW(u"ab\tc", 4, &tabbed));
    });
    EXPECT_EQ(tabbed.width, 8 * space.width + c.width);
    const auto lines = [](const char16_t* text) {
        return [text](cCanvas& on) { (void)on.DrawMultilineTextW(4, 4, 290, 50, 0, 1.5, text, -1, nullptr); };
    };
    EXPECT_EQ(Drawn(lines(u"one\r\ntwo")), Drawn(lines(u"one\ntwo")));
    EXPECT_EQ(Drawn([](cCanvas& on) { on.DrawTextW(4, 4, false, u"a\r\x01\x1b" u"b\tc", -1); }), Drawn([&](cCanvas& on) {
                  on.DrawTextW(4, 4, false, u"ab", -1);
                  on.DrawTextW(4 + 8 * space.width, 4, false, u"c", -1);
              }));
}

} // namespace
