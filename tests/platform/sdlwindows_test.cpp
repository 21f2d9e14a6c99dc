// Windows of the SDL host as the X server sees them (xwininfo, xprop): placement,
// kinds, the owner link, titles, size limits, the popup protocol under real input and
// hints that never keep the focus.
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/hint.h"
#include "gui/core/keys.h"
#include "sdltesttools.h"

#include <SDL.h>

#include <regex>


namespace {

using qeltest::cRunScript;
using qeltest::HexWindowId;
using qeltest::X11WindowOf;
using qeltest::XwininfoValue;


// One entry of cTestMenu: chooses its id on a left press or on Return; Up and Down
// move between the entries.
class cMenuEntry : public cChildElement
{
public:
    explicit cMenuEntry(i32 id) : m_id(id) {}
    bool DefaultFocusCapable() override { return true; }
    bool ArrowNavQuery() override { return true; }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override
    {
        if (down && button == kMouseLeft && ContainsPoint(x, y)) {
            EndModal(m_id);
        }
    }
    bool OnKeyDown(i32 vk) override
    {
        if (vk == kVkReturn) {
            EndModal(m_id);
            return true;
        }
        return false;
    }
    void OnHoverStart() override { ++hovers; }
    void OnPaint(cCanvas& canvas) override
    {
        canvas.FillRect(0, 0, GetWidth(), GetHeight(), HasFocus() ? 0xC08040 : 0xF0F0F0, 0x808080);
    }
    i32 hovers = 0;

private:
    i32 m_id;
};

// A popup that keeps to the toolkit's popup protocol: it holds the mouse capture, ends
// with -1 on Escape, on a press outside and when the focus leaves it (its window
// deactivated), and with an entry's id when the entry is chosen.
class cTestMenu : public cChildElement
{
public:
    explicit cTestMenu(i32 count)
    {
        for (i32 id = 1; id <= count; ++id) {
            m_entries.push_back(std::make_unique<cMenuEntry>(id));
        }
    }
    void OnCreate() override
    {
        for (size_t index = 0; index < m_entries.size(); ++index) {
            AttachChild(m_entries[index].get(), 0, i32(index) * 20, GetWidth(), 20);
        }
        (void)m_entries.front()->SetHint(u"first entry");
        m_entries.front()->Activate();
        CaptureMouse();
    }
    bool DefaultFocusCapable() override { return true; }
    void DropFocus() override { EndModal(-1); }
    bool OnKeyDown(i32 vk) override
    {
        if (vk == kVkEscape) {
            EndModal(-1);
            return true;
        }
        return false;
    }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override
    {
        if (down && !ContainsPoint(x, y)) {
            EndModal(-1);
        }
    }
    cMenuEntry* Entry(size_t index) { return m_entries[index].get(); }

private:
    std::vector<std::unique_ptr<cMenuEntry>> m_entries;
};

class SdlWindows : public qeltest::cSdlTest
{
protected:
    // A top-level form outside any run, as the program's first window would be.
    cWindowTranslator* OpenOwner(cCustomForm* form, const sRect& rect)
    {
        sWindowParams params;
        params.title = u"owner";
        params.screenRect = rect;
        cWindowTranslator* window = Maker()->OpenWindow(form, params);
        if (window != nullptr) {
            window->OnActivate(true);
            EXPECT_TRUE(WaitForFocus(window));
        }
        return window;
    }
    std::string Xwininfo(cWindowTranslator* window)
    {
        std::string output;
        EXPECT_TRUE(RunTool({"xwininfo", "-id", HexWindowId(X11WindowOf(window))}, &output));
        return output;
    }
    std::string Xprop(cWindowTranslator* window, const std::string& property)
    {
        std::string output;
        EXPECT_TRUE(RunTool({"xprop", "-id", HexWindowId(X11WindowOf(window)), property}, &output));
        return output;
    }
    // The ids of the root window's children, in stacking order.
    std::vector<std::string> RootChildren()
    {
        std::string output;
        EXPECT_TRUE(RunTool({"xwininfo", "-root", "-children"}, &output));
        std::vector<std::string> ids;
        std::regex child(R"(\n\s+(0x[0-9a-f]+) )");
        for (std::sregex_iterator it(output.begin(), output.end(), child), end; it != end; ++it) {
            ids.push_back((*it)[1].str());
        }
        return ids;
    }
    // Runs a test menu at (x, y) over `owner` with `script` once it holds the focus.
    i32 RunMenu(cChildElement* owner, i32 x, i32 y, const std::function<void(cTestMenu*, cWindowTranslator*)>& script)
    {
        auto* menu = new cTestMenu(4);
        cRunScript runner;
        runner.Post([&] {
            cWindowTranslator* window = menu->GetWindow();
            ASSERT_TRUE(WaitForFocus(window));
            script(menu, window);
            // A run the script failed to end ends here (a run ends once), so that the test
            // goes on.
            PumpUntil([&] { return false; }, 3000);
            menu->EndModal(-100);
        });
        return owner->RunModalAt(menu, x, y, 120, 80);
    }
};

TEST_F(SdlWindows, DialogsPopupsAndHintsAreTheKindsOfWindowsTheyShouldBe)
{
    QEL_REQUIRE_X_TOOLS();
    cCustomForm owner;
    cWindowTranslator* ownerWindow = OpenOwner(&owner, {100, 80, 700, 500});
    ASSERT_NE(ownerWindow, nullptr);
    std::string ownerId = HexWindowId(X11WindowOf(ownerWindow));
    std::string dialogInfo;
    std::string dialogOwner;
    std::string dialogTitle;
    std::string popupInfo;
    std::string popupType;
    std::string hintInfo;
    std::string hintType;
    bool dialogKeptFocus = false;
    sSize screen;

    auto* dialog = new cCustomForm;
    cRunScript dialogScript;
    dialogScript.Post([&] {
        cWindowTranslator* window = dialog->GetWindow();
        ASSERT_TRUE(WaitForFocus(window));
        dialogInfo = Xwininfo(window);
        dialogOwner = Xprop(window, "WM_TRANSIENT_FOR");
        dialogTitle = Xprop(window, "_NET_WM_NAME");
        EXPECT_TRUE(dialog->GetMaxWindowSize(screen));
        {
            cHintMaster hint;
            ASSERT_TRUE(hint.ShowHint(dialog, u"hint", {640, 700}, kHintDefaultColour, kHintDefaultColour, 1));
            hintInfo = Xwininfo(hint.GetWindow());
            hintType = Xprop(hint.GetWindow(), "_NET_WM_WINDOW_TYPE");
            Settle();
            // Mapped without a window manager, the hint took the focus for a moment.
            dialogKeptFocus = PumpUntil([&] { return host->HasKeyboardFocus(window); }, 2000);
        }
        auto* menu = new cTestMenu(2);
        cRunScript menuScript;
        menuScript.Post([&] {
            popupInfo = Xwininfo(menu->GetWindow());
            popupType = Xprop(menu->GetWindow(), "_NET_WM_WINDOW_TYPE");
            menu->EndModal(2);
        });
        EXPECT_EQ(dialog->RunModalAt(menu, 420, 300, 90, 40), 2);
        dialog->EndModal(7);
    });
    EXPECT_EQ(owner.RunModal(u"Dialog Ä€", 500, 350, dialog, false), 7);
    Maker()->CloseWindow(ownerWindow);

    // Centred over the owner's client area; no window manager, so no decoration moves it.
    EXPECT_EQ(XwininfoValue(dialogInfo, "Absolute upper-left X:"), 100 + (700 - 500) / 2);
    EXPECT_EQ(XwininfoValue(dialogInfo, "Absolute upper-left Y:"), 80 + (500 - 350) / 2);
    EXPECT_EQ(XwininfoValue(dialogInfo, "Width:"), 500);
    EXPECT_EQ(XwininfoValue(dialogInfo, "Height:"), 350);
    EXPECT_NE(dialogInfo.find("Override Redirect State: no"), std::string::npos) << dialogInfo;
    EXPECT_NE(dialogOwner.find(ownerId), std::string::npos) << dialogOwner;
    EXPECT_NE(dialogTitle.find("\"Dialog Ä€\""), std::string::npos) << dialogTitle;
    // Xvfb's screen, which has no panels to leave out.
    EXPECT_EQ(screen, (sSize{1024, 768}));

    EXPECT_EQ(XwininfoValue(popupInfo, "Absolute upper-left X:"), 420);
    EXPECT_EQ(XwininfoValue(popupInfo, "Absolute upper-left Y:"), 300);
    EXPECT_EQ(XwininfoValue(popupInfo, "Width:"), 90);
    EXPECT_NE(popupInfo.find("Override Redirect State: yes"), std::string::npos) << popupInfo;
    EXPECT_NE(popupType.find("_NET_WM_WINDOW_TYPE_POPUP_MENU"), std::string::npos) << popupType;

    // Placement 1: the hint's bottom edge at the point.
    EXPECT_EQ(XwininfoValue(hintInfo, "Absolute upper-left X:"), 640);
    EXPECT_EQ(XwininfoValue(hintInfo, "Absolute upper-left Y:") + XwininfoValue(hintInfo, "Height:"), 700);
    EXPECT_NE(hintInfo.find("Override Redirect State: yes"), std::string::npos) << hintInfo;
    EXPECT_NE(hintType.find("_NET_WM_WINDOW_TYPE_TOOLTIP"), std::string::npos) << hintType;
    EXPECT_TRUE(dialogKeptFocus);
}

TEST_F(SdlWindows, APopupEndsOnEscapeAPressOutsideOrALostFocusAndChoosesByPressOrKeys)
{
    QEL_REQUIRE_X_TOOLS();
    cCustomForm owner;
    cWindowTranslator* ownerWindow = OpenOwner(&owner, {100, 100, 400, 300});
    ASSERT_NE(ownerWindow, nullptr);
    std::string ownerId = HexWindowId(X11WindowOf(ownerWindow));

    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu*, cWindowTranslator*) { Xdo({"key", "Escape"}); }), -1);
    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu*, cWindowTranslator*) {
                  Xdo({"mousemove", "5", "5", "click", "1"});
              }),
              -1);
    // A press on the owner's own window is outside the popup too.
    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu*, cWindowTranslator*) {
                  Xdo({"mousemove", "--window", ownerId, "350", "250", "click", "1"});
              }),
              -1);
    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu*, cWindowTranslator* window) {
                  Xdo({"mousemove", "--window", HexWindowId(X11WindowOf(window)), "30", "30", "click", "1"});
              }),
              2);
    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu*, cWindowTranslator*) {
                  Xdo({"key", "--delay", "30", "Down", "Down", "Up", "Down", "Return"});
              }),
              3);
    // Another window takes the focus (the grab is stolen): the popup ends.
    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu*, cWindowTranslator*) {
                  Xdo({"windowfocus", "--sync", ownerId});
              }),
              -1);
    // The pointer resting on an entry opens its hint, which must not take the focus
    // away for good: the popup stays open and Escape still reaches it.
    bool openAfterHint = false;
    size_t windowsWithHint = 0;
    size_t windowsBefore = 0;
    EXPECT_EQ(RunMenu(&owner, 200, 200, [&](cTestMenu* menu, cWindowTranslator* window) {
                  windowsBefore = RootChildren().size();
                  Xdo({"mousemove", "--window", HexWindowId(X11WindowOf(window)), "30", "10"});
                  PumpUntil([&] { return menu->Entry(0)->hovers > 0; });
                  Settle();
                  windowsWithHint = RootChildren().size();
                  openAfterHint = !window->IsRunEnded() && PumpUntil([&] { return host->HasKeyboardFocus(window); });
                  Xdo({"key", "Escape"});
              }),
              -1);
    EXPECT_TRUE(openAfterHint);
    EXPECT_EQ(windowsWithHint, windowsBefore + 1);
    Maker()->CloseWindow(ownerWindow);
}

// A form's minimum size holds against the server resizing it, and the tree follows
// every size the window takes.
TEST_F(SdlWindows, ResizesFollowTheWindowWithinTheFormsMinimumSize)
{
    QEL_REQUIRE_X_TOOLS();
    struct cSized : cCustomForm
    {
        void OnCreate() override
        {
            cCustomForm::OnCreate();
            SetMinSize(300, 200);
        }
    };
    auto* form = new cSized;
    sSize grown;
    sSize shrunk;
    std::string shrunkInfo;
    cRunScript script;
    script.Post([&] {
        cWindowTranslator* window = form->GetWindow();
        ASSERT_TRUE(WaitForFocus(window));
        std::string id = HexWindowId(X11WindowOf(window));
        Xdo({"windowsize", id, "450", "320"});
        PumpUntil([&] { return form->GetWidth() == 450; });
        grown = {form->GetWidth(), form->GetHeight()};
        Xdo({"windowsize", id, "100", "90"});
        PumpUntil([&] { return form->GetWidth() != 450; });
        Settle();
        shrunk = {form->GetWidth(), form->GetHeight()};
        shrunkInfo = Xwininfo(window);
        // The window's close button: the form is asked, then cancels.
        SDL_Event close{};
        close.type = SDL_WINDOWEVENT;
        close.window.event = SDL_WINDOWEVENT_CLOSE;
        close.window.windowID = SDL_GetWindowID(host->GetSdlWindow(window));
        SDL_PushEvent(&close);
    });
    EXPECT_EQ(Maker()->RunModalOver(u"sized", 320, 240, form, nullptr, true), 0);
    EXPECT_EQ(grown, (sSize{450, 320}));
    EXPECT_EQ(shrunk, (sSize{300, 200}));
    EXPECT_EQ(XwininfoValue(shrunkInfo, "Width:"), 300);
    EXPECT_EQ(XwininfoValue(shrunkInfo, "Height:"), 200);
}

} // namespace
