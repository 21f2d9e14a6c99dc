#pragma once
// What X11 knows of an SDL window: SDL's own X connection and the window's id there.
struct SDL_Window;
struct _XDisplay;

struct sX11Window
{
    _XDisplay* display = nullptr;
    unsigned long window = 0;
};

// False when `window` is null or SDL does not run on X11.
bool GetX11Window(SDL_Window* window, sX11Window& x11);
// The socket of SDL's X connection, for a loop that waits on it together with other
// descriptors; -1 when SDL does not run on X11.
int X11ConnectionFd(SDL_Window* window);
