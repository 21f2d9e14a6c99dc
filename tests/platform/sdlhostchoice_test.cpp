// The program's choice of host: the headless host whenever no display can be had. (The
// SDL branch is what every other sdl test's fixture gets from the same function.)
#include "platform/headlesshost.h"
#include "platform/windowhost.h"
#include "sdltesttools.h"

#include "support/filehelpers.h"

namespace {

using qeltest::cEnvironmentVariable;

TEST(SdlHostChoice, WithoutADisplayTheHostIsHeadless)
{
    cEnvironmentVariable display("DISPLAY", nullptr);
    cEnvironmentVariable wayland("WAYLAND_DISPLAY", nullptr);
    std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
    EXPECT_NE(dynamic_cast<cHeadlessHost*>(host.get()), nullptr);
}

// A display that names no server (a stale DISPLAY) is no display.
TEST(SdlHostChoice, AnUnreachableDisplayFallsBackToHeadless)
{
    if (qeltest::cSdlTest::host != nullptr) {
        GTEST_SKIP() << "SDL runs in this process already";
    }
    cEnvironmentVariable display("DISPLAY", ":4711");
    cEnvironmentVariable wayland("WAYLAND_DISPLAY", nullptr);
    cEnvironmentVariable driver("SDL_VIDEODRIVER", "x11");
    std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
    EXPECT_NE(dynamic_cast<cHeadlessHost*>(host.get()), nullptr);
}

} // namespace
