// The toolkit's own popup menu in real windows: it fits the real screen and keeps its
// protocol under real input.
#include "gui/controls/popupmenu.h"
#include "gui/core/form.h"
#include "sdltesttools.h"

#include <SDL.h>

namespace {

using qeltest::cRunScript;
using qeltest::HexWindowId;
using qeltest::X11WindowOf;
using qeltest::XwininfoValue;

class SdlControls : public qeltest::cSdlTest
{
protected:
    // Runs `script` inside the next window to take the focus from `from`'s window (a
    // run the window's own code opens), with that window's X id; the script ends it.
    void WhenFocusMoves(cChildElement* from, cRunScript& runner, const std::function<void(unsigned long)>& script)
    {
        runner.Post([this, from, script] {
            SDL_Window* start = host->GetSdlWindow(from->GetWindow());
            ASSERT_TRUE(PumpUntil([&] { return SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardFocus() != start; }));
            script(X11WindowOf(SDL_GetKeyboardFocus()));
        });
    }
};

// Ten rows of 13 + 7 pixels opened at y 700 on the 768-pixel screen: the rows go above
// the point (the window is the rows plus 2 for the frame); a press on its second row
// chooses that entry.
TEST_F(SdlControls, AMenuNearTheBottomOpensAboveItsPointAndTakesRealClicks)
{
    QEL_REQUIRE_X_TOOLS();
    tPopupItems items;
    for (i32 row = 1; row <= 10; ++row) {
        sPopupItem* item = items.GetOrAdd(row * 10);
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(item->text.Assign((u"Entry " + std::u16string(1, char16_t(u'0' + row - 1))).c_str()));
    }
    std::string menuInfo;
    i32 clicked = -5;
    i32 escaped = -5;
    i32 focusTaken = -5;
    InDialog([&](cCustomForm* form) {
        std::string formId = HexWindowId(X11WindowOf(form->GetWindow()));
        cRunScript runner;
        WhenFocusMoves(form, runner, [&](unsigned long menu) {
            std::string id = HexWindowId(menu);
            ASSERT_TRUE(RunTool({"xwininfo", "-id", id}, &menuInfo));
            Xdo({"mousemove", "--window", id, "20", "31", "click", "1"});
        });
        clicked = ShowPopupMenu(form, items, 500, 700);
        WhenFocusMoves(form, runner, [&](unsigned long) { Xdo({"key", "Escape"}); });
        escaped = ShowPopupMenu(form, items, 500, 100);
        WhenFocusMoves(form, runner, [&](unsigned long) { Xdo({"windowfocus", "--sync", formId}); });
        focusTaken = ShowPopupMenu(form, items, 500, 100);
    });
    EXPECT_EQ(XwininfoValue(menuInfo, "Absolute upper-left Y:"), 700 - 200) << menuInfo;
    EXPECT_EQ(XwininfoValue(menuInfo, "Height:"), 202);
    EXPECT_EQ(XwininfoValue(menuInfo, "Absolute upper-left X:"), 500);
    EXPECT_EQ(clicked, 20);
    EXPECT_EQ(escaped, -1);
    EXPECT_EQ(focusTaken, -1);
}

} // namespace
