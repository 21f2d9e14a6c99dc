#pragma once
// Shared by the real-window tests: one SDL host per test program (they run under
// xvfb-run), an application per test, tool processes (xdotool, xwininfo, xclip, import)
// run beside the GUI loop, and elements that record what reaches them.
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/element.h"
#include "gui/core/form.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/sdlhost.h"
#include "support/childprocess.h"
#include "support/scratchfolder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace qeltest {

// The X11 window id of an open window, or of an SDL window (0 when unknown).
unsigned long X11WindowOf(cWindowTranslator* window);
unsigned long X11WindowOf(SDL_Window* window);
std::string HexWindowId(unsigned long id);
// A number that xwininfo prints after `label` ("Width:"); -1 when missing.
i32 XwininfoValue(const std::string& output, const std::string& label);

// The fixture: the process's SDL host (a failure under CI, a skip elsewhere when no
// display is there), the fixed-advance test font and an application set up on the host.
class cSdlTest : public ::testing::Test
{
public:
    // The process's host; null until the first test set it up.
    static cSdlHost* host;

protected:
    void SetUp() override;
    void TearDown() override;

    // Runs `args` to its end while the GUI loop keeps pumping (some tools wait for our
    // event pump, as clipboard readers do); false on time-out or a non-zero exit.
    bool RunTool(const std::vector<std::string>& args, std::string* output = nullptr, u32 timeoutMs = 5000,
                 const std::string& input = {});
    // xdotool with these arguments.
    bool Xdo(std::initializer_list<std::string> args);
    // Runs `script` inside a dialog's run once the dialog holds the focus; the run ends
    // after the script.
    void InDialog(const std::function<void(cCustomForm*)>& script);
    // Pumps until `window` holds SDL's keyboard focus.
    bool WaitForFocus(cWindowTranslator* window);
    bool PumpUntil(const std::function<bool()>& done, u32 timeoutMs = 5000);
    // Lets the server's queued events arrive and be handled.
    void Settle();
    cWindowMaker* Maker() { return application->GetWindowMaker(); }

    std::unique_ptr<cCIApplication> application;
};

// Runs test code inside the next modal run: an action posted before the run starts is
// dispatched by the run's own loop, with the run's window already open.
class cRunScript : public cChildElement
{
public:
    void Post(std::function<void()> body);
    bool OnAction(cChildElement* source, cChildAction* action) override;

private:
    std::function<void()> m_body;
};

struct sKeyRecord
{
    i32 vk;
    bool shift;
    bool ctrl;
    bool alt;
    bool operator==(const sKeyRecord&) const = default;
};

// A focusable element that records keys (consuming them), characters, mouse presses,
// wheel steps and actions; it may hold the mouse capture from a press to its release.
class cRecorder : public cChildElement
{
public:
    bool DefaultFocusCapable() override { return true; }
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    void OnChar(char16_t unit) override { chars.push_back(unit); }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void OnDoubleClick(i32 x, i32 y) override { mouse.push_back("Double(" + Point(x, y) + ")"); }
    bool OnMouseWheel(i32 notches) override;
    bool OnAction(cChildElement* source, cChildAction* action) override;

    bool captureOnPress = false;
    std::vector<sKeyRecord> keys;
    std::u16string chars;
    std::vector<std::string> mouse;
    std::vector<std::string> actions;

private:
    static std::string Point(i32 x, i32 y) { return std::to_string(x) + "," + std::to_string(y); }
};

} // namespace qeltest

// The tools the real-window tests drive the X server with.
#define QEL_REQUIRE_X_TOOLS()                                                                       \
    QEL_REQUIRE(::qeltest::HaveTool("xdotool") && ::qeltest::HaveTool("xwininfo") &&                \
                    ::qeltest::HaveTool("xprop") && ::qeltest::HaveTool("xclip"),                   \
                "xdotool, xwininfo, xprop and xclip (xdotool, x11-utils, xclip)")
