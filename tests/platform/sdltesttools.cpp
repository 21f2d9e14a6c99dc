#include "sdltesttools.h"

#include "platform/softgraphics.h"
#include "platform/windowhost.h"
#include "platform/x11display.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>
#include <unistd.h>

// LeakSanitizer, when present, asks for this: SDL's start-up opens the session bus
// through libdbus, which keeps an allocation for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace qeltest {

namespace {

std::unique_ptr<cWindowRequestTarget> g_host;
bool g_hostTried = false;

// Stops SDL once all tests of the program ran, before static destruction.
class cHostEnvironment : public ::testing::Environment
{
public:
    void TearDown() override
    {
        cSdlTest::host = nullptr;
        g_host.reset();
    }
};

const bool g_environmentAdded = (::testing::AddGlobalTestEnvironment(new cHostEnvironment), true);

} // namespace

cSdlHost* cSdlTest::host = nullptr;

unsigned long X11WindowOf(cWindowTranslator* window)
{
    return X11WindowOf(cSdlTest::host != nullptr ? cSdlTest::host->GetSdlWindow(window) : nullptr);
}

unsigned long X11WindowOf(SDL_Window* sdl)
{
    sX11Window x11;
    return GetX11Window(sdl, x11) ? x11.window : 0;
}

std::string HexWindowId(unsigned long id)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

i32 XwininfoValue(const std::string& output, const std::string& label)
{
    std::smatch match;
    return std::regex_search(output, match, std::regex(label + R"(\s*(-?\d+))")) ? std::stoi(match[1].str()) : -1;
}

// --- fixture ---------------------------------------------------------------------------------------

void cSdlTest::SetUp()
{
    const char* display = std::getenv("DISPLAY");
    QEL_REQUIRE(display != nullptr && display[0] != 0, "an X display (the sdl tests run under xvfb-run)");
    if (!g_hostTried) {
        g_hostTried = true;
        // The program's own choice must pick real windows when a display is there.
        g_host = CreateWindowHost();
        host = dynamic_cast<cSdlHost*>(g_host.get());
    }
    ASSERT_NE(host, nullptr) << "no SDL host on display " << display << ": " << SDL_GetError();
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
    application = std::make_unique<cCIApplication>();
    ASSERT_TRUE(application->SetUpWindowSystem(host));
}

void cSdlTest::TearDown()
{
    application.reset();
    if (host != nullptr) {
        Settle();
    }
}

bool cSdlTest::PumpUntil(const std::function<bool()>& done, u32 timeoutMs)
{
    return host->PumpUntil(done, timeoutMs);
}

void cSdlTest::Settle()
{
    host->PumpUntil([] { return false; }, 80);
}

bool cSdlTest::RunTool(const std::vector<std::string>& args, std::string* output, u32 timeoutMs,
                       const std::string& input)
{
    cChildProcess tool;
    if (!tool.Start(args, {}, {}, input)) {
        ADD_FAILURE() << "cannot start " << args[0];
        return false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool exited = host->PumpUntil([&] { return !tool.IsRunning(); }, timeoutMs);
    // The tool's input may have ended the run it drives (Escape, a click): the loop stops
    // then, but the tool still has to finish (release the button it pressed).
    while (!exited && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        exited = !tool.IsRunning();
    }
    if (output != nullptr) {
        *output = tool.Log();
    }
    if (!exited) {
        ADD_FAILURE() << args[0] << " " << (args.size() > 1 ? args[1] : "") << " did not finish";
        return false;
    }
    return tool.GetExitCode() == 0;
}

bool cSdlTest::Xdo(std::initializer_list<std::string> args)
{
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), args);
    return RunTool(command);
}

void cSdlTest::InDialog(const std::function<void(cCustomForm*)>& script)
{
    auto* form = new cCustomForm;
    cRunScript runner;
    runner.Post([&] {
        ASSERT_TRUE(WaitForFocus(form->GetWindow()));
        script(form);
        form->EndModal(1);
    });
    EXPECT_EQ(Maker()->RunModalOver(u"dialog", 400, 300, form, nullptr, false), 1);
}

bool cSdlTest::WaitForFocus(cWindowTranslator* window)
{
    return host->PumpUntil([&] { return host->HasKeyboardFocus(window); }, 5000);
}

// --- elements ----------------------------------------------------------------------------------------

namespace {

constexpr i32 kScriptCode = 0x5C41;

} // namespace

void cRunScript::Post(std::function<void()> body)
{
    m_body = std::move(body);
    (void)PostAction(this, new cChildAction(kScriptCode));
}

bool cRunScript::OnAction(cChildElement* source, cChildAction* action)
{
    if (source != this || action->GetCode() != kScriptCode || !m_body) {
        return false;
    }
    std::function<void()> body = std::move(m_body);
    m_body = nullptr;
    body();
    return true;
}

bool cRecorder::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    keys.push_back({vk, shift, ctrl, alt});
    return true;
}

void cRecorder::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    mouse.push_back(std::string(down ? "Press(" : "Release(") + Point(x, y) + "," + std::to_string(button) + ")");
    if (captureOnPress && down) {
        CaptureMouse();
    } else if (captureOnPress) {
        ReleaseMouse();
    }
}

bool cRecorder::OnMouseWheel(i32 notches)
{
    mouse.push_back("Wheel(" + std::to_string(notches) + ")");
    return true;
}

bool cRecorder::OnAction(cChildElement* source, cChildAction* action)
{
    if (auto* context = dynamic_cast<cContextAction*>(action)) {
        actions.push_back("Context(" + Point(context->GetX(), context->GetY()) + ")");
    } else if (action->GetCode() != 0) {
        actions.push_back("Code(" + std::to_string(action->GetCode()) + ")");
    }
    return true;
}

} // namespace qeltest
