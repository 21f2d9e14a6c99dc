#pragma once
// The program's choice of window host: real windows (SDL2) when a display is
// available, the headless host otherwise, where every modal run ends at once with -1.
// Tests pick their host themselves.
#include "gui/core/windowrequest.h"

#include <memory>

// Made on the thread that becomes the GUI thread. The SDL host is chosen when the
// environment names a display (DISPLAY or WAYLAND_DISPLAY) and SDL can open it.
std::unique_ptr<cWindowRequestTarget> CreateWindowHost();
