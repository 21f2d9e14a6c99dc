// The edit box and combo box in real windows: the system clipboard through xclip, keys
// through xdotool, and the combo's list and the field's menu where xwininfo finds them.
#include "gui/controls/combo.h"
#include "gui/controls/edit.h"
#include "sdltesttools.h"

#include <SDL.h>

#include <chrono>

namespace {

using qeltest::cChildProcess;

// Runs `body` inside the next window to take the keyboard focus from `start` (a popup a
// key opens): it re-posts itself until then, so the body runs in the popup's own loop.
// After five seconds it fails instead. xdotool ends once its input is sent, before the
// popup has run: the test pumps until `done` and the focus is back before the next step.
struct cWhenFocusMoves : cChildElement
{
    cWhenFocusMoves(SDL_Window* start, std::function<void(const std::string&)> body) : start(start), body(body) { PostCode(77); }
    bool OnAction(cChildElement*, cChildAction*) override
    {
        SDL_Window* focus = SDL_GetKeyboardFocus();
        bool waiting = focus == nullptr || focus == start;
        if (waiting && std::chrono::steady_clock::now() < deadline) {
            SDL_Delay(5);
            return PostCode(77);
        }
        done = true;
        waiting ? void(ADD_FAILURE() << "no popup took the keyboard focus") : body(qeltest::HexWindowId(qeltest::X11WindowOf(focus)));
        return true;
    }
    SDL_Window* start;
    std::function<void(const std::string&)> body;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool done = false;
};

class SdlEdit : public qeltest::cSdlTest
{
protected:
    // Offers `bytes` (`units` UTF-16 units) on the clipboard from xclip and pastes them
    // with Ctrl+V.
    void PasteFromXclip(cCustomForm* form, const std::string& bytes, size_t units)
    {
        cChildProcess xclip;
        ASSERT_TRUE(xclip.Start({"xclip", "-selection", "clipboard", "-i", "-quiet"}, {}, {}, bytes));
        _guardchar<char16_t> text;
        PumpUntil([&] { return form->GetClipboardText(text) && text.Length() == units; });
        Xdo({"key", "ctrl+v"});
        Settle();
    }
};

TEST_F(SdlEdit, ClipboardAndKeysOfTheRealDesktop)
{
    QEL_REQUIRE_X_TOOLS();
    cEditChild edit;
    std::string copied;
    std::u16string pasted, capped, cut;
    InDialog([&](cCustomForm* form) {
        ASSERT_TRUE(form->AttachChild(&edit, 10, 10, 200, 21));
        edit.Activate();
        Xdo({"type", "--delay", "50", "Grüße €"});
        Xdo({"key", "ctrl+a", "ctrl+c"});
        RunTool({"xclip", "-selection", "clipboard", "-o"}, &copied);
        for (auto& [bytes, units, out] : {std::tuple{std::string("abc\xe2\x82\xac"), size_t(4), &pasted},
                                          std::tuple{std::string(300, 'q'), size_t(300), &capped}}) {
            ASSERT_TRUE(edit.SetTextN(u"xy", -1));
            PasteFromXclip(form, bytes, units);
            *out = edit.GetText();
        }
        ASSERT_TRUE(edit.SetTextN(u"foo bar baz", -1));
        Xdo({"key", "End", "ctrl+Left", "ctrl+Left", "shift+End", "Delete"});
        Settle();
        cut = edit.GetText();
    });
    EXPECT_EQ(copied, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac");
    EXPECT_EQ(pasted, u"abc€xy");
    EXPECT_EQ(capped, std::u16string(254, u'q') + u"xy");
    EXPECT_EQ(cut, u"foo bar");
}

// Alt+Down opens the list at (x, y + H), W x (100 + 2); Escape keeps the text; a click on
// an entry reaches the form as one code 7. A right click on a selection opens the
// menu, at least 100 wide, without a focus-lost code.
TEST_F(SdlEdit, ComboListAndFieldMenuOpenWhereExpected)
{
    QEL_REQUIRE_X_TOOLS();
    auto* recorder = new qeltest::cRecorder;
    cComboBoxChild combo;
    std::string list, menu;
    std::vector<std::string> actions;
    std::u16string kept;
    sPoint origin;
    InDialog([&](cCustomForm* form) {
        ASSERT_TRUE(form->AttachChild(recorder, 0, 0, 300, 200));
        ASSERT_TRUE(recorder->AttachChild(&combo, 20, 30, 190, 22));
        for (i32 index = 0; index < 12; ++index) {
            ASSERT_TRUE(combo.SetItem(index, (u"Entry " + std::u16string(1, char16_t(u'a' + index))).c_str(), 0, -1));
        }
        ASSERT_TRUE(combo.Select(2, false) && combo.GetScreenOrigin(origin));
        combo.Activate();
        SDL_Window* start = host->GetSdlWindow(form->GetWindow());
        auto finished = [&](cWhenFocusMoves& popup) { return PumpUntil([&] { return popup.done; }) && WaitForFocus(form->GetWindow()); };
        cWhenFocusMoves escape(start, [&](const std::string& id) { RunTool({"xwininfo", "-id", id}, &list), Xdo({"key", "Escape"}); });
        ASSERT_TRUE(Xdo({"key", "alt+Down"}) && finished(escape));
        kept = combo.GetText();
        cWhenFocusMoves choose(start, [&](const std::string& id) { Xdo({"mousemove", "--window", id, "20", "31", "click", "1"}); });
        ASSERT_TRUE(Xdo({"key", "F4"}) && finished(choose));
        cWhenFocusMoves close(start, [&](const std::string& id) { RunTool({"xwininfo", "-id", id}, &menu), Xdo({"key", "Escape"}); });
        std::string field = qeltest::HexWindowId(qeltest::X11WindowOf(start));
        ASSERT_TRUE(Xdo({"key", "ctrl+a", "mousemove", "--window", field, "50", "40", "click", "3"}) && finished(close));
        actions = recorder->actions;
    });
    EXPECT_EQ(qeltest::XwininfoValue(list, "Absolute upper-left X:"), origin.x) << list;
    EXPECT_EQ(qeltest::XwininfoValue(list, "Absolute upper-left Y:"), origin.y + 22);
    EXPECT_EQ(qeltest::XwininfoValue(list, "Width:") * 1000 + qeltest::XwininfoValue(list, "Height:"), 190102);
    EXPECT_EQ(kept, u"Entry c");
    EXPECT_GE(qeltest::XwininfoValue(menu, "Width:"), 100) << menu;
    EXPECT_EQ(actions, std::vector<std::string>{"Code(7)"});
    delete recorder;
}

} // namespace
