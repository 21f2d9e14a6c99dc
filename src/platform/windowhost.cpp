#include "platform/windowhost.h"

#include "platform/headlesshost.h"
#include "platform/sdlhost.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The display the environment names (X first), or null.
const char* NamedDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != 0) {
            return value;
        }
    }
    return nullptr;
}

} // namespace

std::unique_ptr<cWindowRequestTarget> CreateWindowHost()
{
    if (const char* display = NamedDisplay()) {
        if (std::unique_ptr<cSdlHost> host = cSdlHost::Create()) {
            return host;
        }
        std::fprintf(stderr, "qel: cannot open display '%s'; running without windows\n", display);
    }
    return std::make_unique<cHeadlessHost>();
}
