// The program's choice of host: the headless host whenever no display can be had. (The
// SDL branch is what every other sdl test's fixture gets from the same function.)
#include "platform/headlesshost.h"
#include "platform/windowhost.h"
#include "sdltesttools.h"

#include "support/filehelpers.h"
#include "support/scratchfolder.h"

namespace {

using qeltest::cEnvironmentVariable;

TEST(SdlHostChoice, WithoutADisplayTheHostIsHeadless)
{
    cEnvironmentVariable display("DISPLAY", nullptr);
    cEnvironmentVariable wayland("WAYLAND_DISPLAY", nullptr);
    testing::internal::CaptureStderr();
    std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(dynamic_cast<cHeadlessHost*>(host.get()), nullptr);
}

// A display that names no server (a stale DISPLAY) is no display, and neither is a video
// driver that shows nothing: SDL's own fallback when X fails (no driver named), or one
// named outright. Each choice says so once on stderr.
TEST(SdlHostChoice, AnUnreachableDisplayFallsBackToHeadless)
{
    if (qeltest::cSdlTest::host != nullptr) {
        GTEST_SKIP() << "SDL runs in this process already";
    }
    cEnvironmentVariable display("DISPLAY", ":4711");
    cEnvironmentVariable wayland("WAYLAND_DISPLAY", nullptr);
    // Where SDL's Wayland probe looks (it complains on stderr when the variable is unset).
    const qeltest::cScratchFolder runtime;
    cEnvironmentVariable runtimeFolder("XDG_RUNTIME_DIR", runtime.Path().c_str());
    for (const char* driver : {"x11", static_cast<const char*>(nullptr), "offscreen", "dummy"}) {
        cEnvironmentVariable videoDriver("SDL_VIDEODRIVER", driver);
        testing::internal::CaptureStderr();
        std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "qel: cannot open display ':4711'; running without windows\n")
            << (driver != nullptr ? driver : "SDL's choice");
        EXPECT_NE(dynamic_cast<cHeadlessHost*>(host.get()), nullptr) << (driver != nullptr ? driver : "SDL's choice");
    }
}

} // namespace
