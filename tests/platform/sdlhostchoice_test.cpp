// The program's choice of host: the headless host whenever no display can be had. (The
// SDL branch is what every other sdl test's fixture gets from the same function.)
#include "platform/headlesshost.h"
#include "platform/windowhost.h"
#include "sdltesttools.h"

#include <cstdlib>
#include <optional>

namespace {

// Sets (or with null removes) an environment variable for the scope.
class cEnvironmentValue
{
public:
    cEnvironmentValue(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~cEnvironmentValue() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SdlHostChoice, WithoutADisplayTheHostIsHeadless)
{
    cEnvironmentValue display("DISPLAY", nullptr);
    cEnvironmentValue wayland("WAYLAND_DISPLAY", nullptr);
    std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
    EXPECT_NE(dynamic_cast<cHeadlessHost*>(host.get()), nullptr);
}

// A display that names no server (a stale DISPLAY) is no display.
TEST(SdlHostChoice, AnUnreachableDisplayFallsBackToHeadless)
{
    if (qeltest::cSdlTest::host != nullptr) {
        GTEST_SKIP() << "SDL runs in this process already";
    }
    cEnvironmentValue display("DISPLAY", ":4711");
    cEnvironmentValue wayland("WAYLAND_DISPLAY", nullptr);
    cEnvironmentValue driver("SDL_VIDEODRIVER", "x11");
    std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
    EXPECT_NE(dynamic_cast<cHeadlessHost*>(host.get()), nullptr);
}

} // namespace
