// Real X input through the SDL host: xdotool drives the server with XTEST, and what
// reaches the elements must match what the headless tests inject.
#include "gui/core/keys.h"
#include "sdltesttools.h"

namespace {

using qeltest::cRecorder;
using qeltest::cRunScript;
using qeltest::sKeyRecord;

class SdlInput : public qeltest::cSdlTest
{
protected:
    // Runs `recorder` as the root of a dialog (or of a popup at `popupAt`) and `script`
    // inside the run once the window holds the focus; the run ends after the script.
    void RunRecorder(cRecorder* recorder, const std::function<void(cWindowTranslator*)>& script,
                     const sPoint* popupAt = nullptr)
    {
        cRunScript runner;
        runner.Post([&] {
            cWindowTranslator* window = recorder->GetWindow();
            ASSERT_TRUE(WaitForFocus(window));
            script(window);
            recorder->EndModal(1);
        });
        i32 code = popupAt != nullptr ? Maker()->RunModalAt(recorder, popupAt->x, popupAt->y, 300, 200, nullptr)
                                      : Maker()->RunModalOver(u"input", 300, 200, recorder, nullptr, false);
        EXPECT_EQ(code, 1);
    }
};

TEST_F(SdlInput, KeysArriveAsVirtualKeysWithTheirModifiers)
{
    QEL_REQUIRE_X_TOOLS();
    std::vector<sKeyRecord> keys;
    std::u16string chars;
    auto* recorder = new cRecorder;
    RunRecorder(recorder, [&](cWindowTranslator*) {
        ASSERT_TRUE(Xdo({"key", "--delay", "30", "Return", "Escape", "BackSpace", "Tab", "Prior", "Next", "End",
                         "Home", "Left", "Up", "Right", "Down", "Insert", "Delete", "F4", "F5", "KP_Add",
                         "KP_Subtract", "ctrl+a", "ctrl+Left", "alt+Down", "shift+Tab"}));
        PumpUntil([&] { return recorder->keys.size() >= 22; });
        Settle();
        keys = recorder->keys;
        chars = recorder->chars;
    });
    const std::vector<sKeyRecord> expected{
        {kVkReturn, false, false, false}, {kVkEscape, false, false, false}, {kVkBack, false, false, false},
        {kVkTab, false, false, false},    {0x21, false, false, false},      {0x22, false, false, false},
        {0x23, false, false, false},      {0x24, false, false, false},      {kVkLeft, false, false, false},
        {kVkUp, false, false, false},     {kVkRight, false, false, false},  {kVkDown, false, false, false},
        {0x2D, false, false, false},      {0x2E, false, false, false},      {0x73, false, false, false},
        {0x74, false, false, false},      {0x6B, false, false, false},      {0x6D, false, false, false},
        {'A', false, true, false},        {kVkLeft, false, true, false},    {kVkDown, false, false, true},
        {kVkTab, true, false, false},
    };
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        EXPECT_EQ(keys[index], expected[index]) << "key " << index << " vk " << keys[index].vk;
    }
    // Only the keypad's + and - are characters as well (as on Windows); Tab, Enter,
    // Escape, Backspace and Ctrl+A are not.
    EXPECT_EQ(chars, u"+-");
}

TEST_F(SdlInput, TypedTextArrivesAsUtf16UnitsAndCtrlSuppressesIt)
{
    QEL_REQUIRE_X_TOOLS();
    std::u16string chars;
    std::vector<sKeyRecord> keys;
    auto* recorder = new cRecorder;
    const std::u16string typed = u"ab Grüße €";
    RunRecorder(recorder, [&](cWindowTranslator*) {
        ASSERT_TRUE(Xdo({"type", "--delay", "50", "ab Grüße €"}));
        PumpUntil([&] { return recorder->chars.size() >= typed.size(); });
        recorder->keys.clear();
        ASSERT_TRUE(Xdo({"key", "ctrl+a", "ctrl+shift+b"}));
        PumpUntil([&] { return recorder->keys.size() >= 2; });
        Settle();
        chars = recorder->chars;
        keys = recorder->keys;
    });
    EXPECT_EQ(chars, typed);
    EXPECT_EQ(keys, (std::vector<sKeyRecord>{{'A', false, true, false}, {'B', true, true, false}}));
}

TEST_F(SdlInput, ClicksDoubleClicksRightClicksAndWheelSteps)
{
    QEL_REQUIRE_X_TOOLS();
    std::vector<std::string> mouse;
    std::vector<std::string> actions;
    auto* recorder = new cRecorder;
    RunRecorder(recorder, [&](cWindowTranslator* window) {
        std::string id = qeltest::HexWindowId(qeltest::X11WindowOf(window));
        auto clickRun = [&](std::initializer_list<std::string> args, size_t entries) {
            std::vector<std::string> command{"mousemove", "--window", id, "12", "8"};
            command.insert(command.end(), args);
            std::vector<std::string> full{"xdotool"};
            full.insert(full.end(), command.begin(), command.end());
            recorder->mouse.clear();
            EXPECT_TRUE(RunTool(full));
            PumpUntil([&] { return recorder->mouse.size() >= entries; });
            // Past the double-click time, so that the next group starts afresh.
            PumpUntil([] { return false; }, 600);
            return recorder->mouse;
        };
        EXPECT_EQ(clickRun({"click", "1"}, 2), (std::vector<std::string>{"Press(12,8,1)", "Release(12,8,1)"}));
        EXPECT_EQ(clickRun({"click", "--repeat", "2", "--delay", "80", "1"}, 4),
                  (std::vector<std::string>{"Press(12,8,1)", "Release(12,8,1)", "Double(12,8)", "Release(12,8,1)"}));
        EXPECT_EQ(clickRun({"click", "--repeat", "2", "--delay", "600", "1"}, 4),
                  (std::vector<std::string>{"Press(12,8,1)", "Release(12,8,1)", "Press(12,8,1)", "Release(12,8,1)"}));
        EXPECT_EQ(clickRun({"click", "3"}, 2), (std::vector<std::string>{"Press(12,8,2)", "Release(12,8,2)"}));
        // The middle button is not the toolkit's; buttons 4 and 5 are the wheel.
        EXPECT_EQ(clickRun({"click", "2", "click", "4", "click", "5", "click", "5"}, 3),
                  (std::vector<std::string>{"Wheel(1)", "Wheel(-1)", "Wheel(-1)"}));
        PumpUntil([&] { return !recorder->actions.empty(); });
        actions = recorder->actions;
    });
    EXPECT_EQ(actions, (std::vector<std::string>{"Context(12,8)"}));
}

// A drag keeps the pressed button's window: the release outside reaches the element that
// captured the mouse on the press, in its coordinates.
TEST_F(SdlInput, ADragEndingOutsideReleasesWhereItEnded)
{
    QEL_REQUIRE_X_TOOLS();
    std::vector<std::string> dragged;
    sRect rect;
    auto* recorder = new cRecorder;
    recorder->captureOnPress = true;
    RunRecorder(recorder, [&](cWindowTranslator* window) {
        ASSERT_TRUE(host->GetWindowRect(window, rect));
        std::string id = qeltest::HexWindowId(qeltest::X11WindowOf(window));
        ASSERT_TRUE(Xdo({"mousemove", "--window", id, "10", "10", "mousedown", "1", "mousemove",
                         std::to_string(rect.x - 60), std::to_string(rect.y - 40), "mouseup", "1"}));
        PumpUntil([&] { return recorder->mouse.size() >= 2; });
        dragged = recorder->mouse;
    });
    EXPECT_EQ(dragged, (std::vector<std::string>{"Press(10,10,1)", "Release(-60,-40,1)"}));
}

// A popup holds the pointer: presses anywhere on the screen reach it in its own
// coordinates, and so do moves and presses inside it.
TEST_F(SdlInput, APopupGetsThePointerEverywhere)
{
    QEL_REQUIRE_X_TOOLS();
    std::vector<std::string> mouse;
    auto* recorder = new cRecorder;
    const sPoint at{300, 200};
    RunRecorder(
        recorder,
        [&](cWindowTranslator*) {
            ASSERT_TRUE(Xdo({"mousemove", "5", "7", "click", "1", "mousemove", "320", "215", "click", "3", "click",
                             "4", "mousemove", "900", "700", "mousedown", "1", "mousemove", "310", "210", "mouseup",
                             "1"}));
            PumpUntil([&] { return recorder->mouse.size() >= 7; });
            mouse = recorder->mouse;
        },
        &at);
    EXPECT_EQ(mouse, (std::vector<std::string>{"Press(-295,-193,1)", "Release(-295,-193,1)", "Press(20,15,2)",
                                               "Release(20,15,2)", "Wheel(1)", "Press(600,500,1)",
                                               "Release(10,10,1)"}));
}

} // namespace
