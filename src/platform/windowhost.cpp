#include "platform/windowhost.h"

#include "platform/headlesshost.h"
#include "platform/sdlhost.h"

#include <cstdlib>

namespace {

bool EnvironmentNamesDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != 0) {
            return true;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<cWindowRequestTarget> CreateWindowHost()
{
    if (EnvironmentNamesDisplay()) {
        if (std::unique_ptr<cSdlHost> host = cSdlHost::Create()) {
            return host;
        }
    }
    return std::make_unique<cHeadlessHost>();
}
