// Message boxes in real windows on the 1024 x 768 Xvfb screen: the window lies on the
// screen as xwininfo reports it, its buttons inside it, and a real click from xdotool
// on the last button ends the box with that button's answer; no line lies under the
// buttons, and a text taller than the screen ends in "...".
#include "gui/messageboxtexts.h"
#include "sdltesttools.h"

#include <SDL.h>

namespace {

class SdlMessageBox : public qeltest::cSdlTest
{
};

TEST_F(SdlMessageBox, ButtonsAndWindowStayOnTheScreenAndTakeRealClicks)
{
    QEL_REQUIRE_X_TOOLS();
    for (const qeltest::sMessageBoxCase& c : qeltest::MessageBoxFitCases()) {
        std::string info;
        qeltest::sMessageBoxLayout layout;
        bool answer = false;
        InDialog([&](cCustomForm* main) {
            qeltest::cRunScript runner;
            runner.Post([&] {
                SDL_Window* start = host->GetSdlWindow(main->GetWindow());
                ASSERT_TRUE(PumpUntil([&] { return SDL_GetKeyboardFocus() != start; }));
                const std::string id = qeltest::HexWindowId(qeltest::X11WindowOf(SDL_GetKeyboardFocus()));
                ASSERT_TRUE(RunTool({"xwininfo", "-id", id}, &info));
                cWindowTranslator* box = host->GetTranslatorOf(SDL_GetKeyboardFocus());
                layout = qeltest::ReadMessageBox(dynamic_cast<cCustomForm*>(box->GetRoot()));
                const sRect& bar = layout.bar;
                Xdo({"mousemove", "--window", id, std::to_string(bar.x + bar.width - 5),
                     std::to_string(bar.y + bar.height / 2), "click", "1"});
                (void)PumpUntil([&] { return box->IsRunEnded(); }, 3000);
                if (!box->IsRunEnded()) { // a click that missed must not leave it open
                    box->GetRoot()->EndModal(-7);
                }
            });
            answer = MessageBox(main, c.text.c_str(), u"Fit", 0, kMessageQuestion, c.buttonKind);
        });
        const i32 x = qeltest::XwininfoValue(info, "Absolute upper-left X:");
        const i32 y = qeltest::XwininfoValue(info, "Absolute upper-left Y:");
        const i32 width = qeltest::XwininfoValue(info, "Width:");
        const i32 height = qeltest::XwininfoValue(info, "Height:");
        EXPECT_TRUE(x >= 0 && y >= 0 && x + width <= 1024 && y + height <= 768) << c.name << "\n" << info;
        const sRect& bar = layout.bar;
        EXPECT_TRUE(bar.x >= 0 && bar.y >= 0 && bar.x + bar.width <= width && bar.y + bar.height <= height) << c.name;
        EXPECT_LE(layout.textBottom, bar.y) << c.name << ": the buttons overlap the text";
        EXPECT_EQ(layout.lastLine == u"...", c.cut) << c.name;
        EXPECT_EQ(answer, c.buttonKind == kMessageOk) << c.name << ": the last button's answer";
    }
}

} // namespace
