// Windows of the SDL host as the X server sees them (xwininfo, xprop): placement,
// kinds, the owner link, titles, size limits and hints that never keep the focus.
#include "gui/core/form.h"
#include "gui/core/hint.h"
#include "sdltesttools.h"

#include <SDL.h>

namespace {

using qeltest::cRunScript;
using qeltest::HexWindowId;
using qeltest::X11WindowOf;
using qeltest::XwininfoValue;

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
        auto* menu = new cChildElement;
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
