// Message boxes in real windows on the 1024 x 768 Xvfb screen: whatever the text, the
// window lies wholly on the screen (as xwininfo reports it), every button lies wholly
// inside it, and a real click from xdotool on the last button ends the box with its
// answer.
#include "../gui/controls/messageboxtexts.h"
#include "gui/controls/messagebox.h"
#include "gui/controls/toolbar.h"
#include "sdltesttools.h"

#include <SDL.h>

namespace {

using qeltest::cRunScript;
using qeltest::HexWindowId;
using qeltest::X11WindowOf;
using qeltest::XwininfoValue;

class SdlMessageBox : public qeltest::cSdlTest
{
};

cToolBarChild* ToolBarOf(cWindowTranslator* window)
{
    for (cChildElement* child : window->GetRoot()->GetChildren()) {
        if (auto* bar = dynamic_cast<cToolBarChild*>(child)) {
            return bar;
        }
    }
    return nullptr;
}

TEST_F(SdlMessageBox, ButtonsAndWindowStayOnTheScreenAndTakeRealClicks)
{
    QEL_REQUIRE_X_TOOLS();
    for (const qeltest::sMessageBoxCase& c : qeltest::MessageBoxFitCases()) {
        std::string info;
        std::vector<sRect> buttons;
        i32 lastId = 0;
        bool answer = false;
        InDialog([&](cCustomForm* main) {
            cRunScript runner;
            runner.Post([&] {
                SDL_Window* start = host->GetSdlWindow(main->GetWindow());
                ASSERT_TRUE(PumpUntil(
                    [&] { return SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardFocus() != start; }));
                const std::string id = HexWindowId(X11WindowOf(SDL_GetKeyboardFocus()));
                ASSERT_TRUE(RunTool({"xwininfo", "-id", id}, &info));
                cWindowTranslator* box = host->GetTranslatorOf(SDL_GetKeyboardFocus());
                ASSERT_NE(box, nullptr);
                cToolBarChild* bar = ToolBarOf(box);
                ASSERT_NE(bar, nullptr);
                for (i32 button = 1; button <= 2; ++button) {
                    if (cButtonChild* child = bar->GetButton(button)) {
                        const sPoint origin = child->GetOriginInRoot();
                        buttons.push_back({origin.x, origin.y, child->GetWidth(), child->GetHeight()});
                        lastId = button;
                    }
                }
                const sRect& last = buttons.back();
                Xdo({"mousemove", "--window", id, std::to_string(last.x + last.width / 2),
                     std::to_string(last.y + last.height / 2), "click", "1"});
                // A click that missed must not leave the box open for ever.
                (void)PumpUntil([&] { return box->IsRunEnded(); }, 3000);
                if (!box->IsRunEnded()) {
                    box->GetRoot()->EndModal(-7);
                }
            });
            answer = MessageBox(main, c.text.c_str(), u"Fit", 0, kMessageQuestion, c.buttonKind);
        });
        const i32 x = XwininfoValue(info, "Absolute upper-left X:");
        const i32 y = XwininfoValue(info, "Absolute upper-left Y:");
        const i32 width = XwininfoValue(info, "Width:");
        const i32 height = XwininfoValue(info, "Height:");
        EXPECT_TRUE(x >= 0 && y >= 0 && x + width <= 1024 && y + height <= 768) << c.name << "\n" << info;
        EXPECT_EQ(buttons.size(), c.buttonKind == kMessageYesNo ? 2u : 1u) << c.name;
        for (const sRect& button : buttons) {
            EXPECT_TRUE(button.x >= 0 && button.y >= 0 && button.x + button.width <= width &&
                        button.y + button.height <= height)
                << c.name << ": a button at " << button.x << "," << button.y << " in " << width << "x" << height;
        }
        EXPECT_EQ(answer, lastId == 1) << c.name << ": the clicked button's answer";
    }
}

} // namespace
