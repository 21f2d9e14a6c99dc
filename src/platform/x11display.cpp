#include "platform/x11display.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

bool GetX11Window(SDL_Window* window, sX11Window& x11)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    x11 = {info.info.x11.display, info.info.x11.window};
    return true;
}

int X11ConnectionFd(SDL_Window* window)
{
    sX11Window x11;
    return GetX11Window(window, x11) ? ConnectionNumber(x11.display) : -1;
}
