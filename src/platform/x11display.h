#pragma once
// The socket of SDL's own X connection, for a loop that waits on it together with other
// descriptors.
struct SDL_Window;

// The connection's file descriptor, found through one of its windows; -1 when SDL does
// not run on X11.
int X11ConnectionFd(SDL_Window* window);
