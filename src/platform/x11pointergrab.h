#pragma once
// cX11PointerGrab: a pointer grab for an SDL window on X11, held on an X connection of
// its own.
//
// A popup must see presses anywhere on the screen to close on a press outside. SDL 2.26
// cannot keep such a grab on X11 without confining the pointer to the window: on every
// pointer entry it releases any unconfined grab its own connection holds (the grab's own
// entry included). A grab held by another connection is out of its reach, so this class
// opens one and takes the pointer events there, in the grab window's coordinates. While
// it holds, SDL's connection sees no pointer events at all. GUI thread only.
#include "base/types.h"

#include <memory>

struct SDL_Window;

class cX11PointerGrab
{
public:
    struct sPointerEvent
    {
        enum class eKind { Move, Press, Release, Wheel };
        eKind kind = eKind::Move;
        // In the grab window's coordinates; outside it when the pointer is.
        i32 x = 0;
        i32 y = 0;
        // Press and Release: 1 left, 2 right. Wheel: steps, positive away from the user.
        i32 value = 0;
        bool ctrl = false;
        bool shift = false;
    };

    cX11PointerGrab();
    // Releases the grab and closes the connection.
    ~cX11PointerGrab();
    cX11PointerGrab(const cX11PointerGrab&) = delete;
    cX11PointerGrab& operator=(const cX11PointerGrab&) = delete;

    // Grabs the pointer for `window`, mapped and shown. False when SDL does not run on
    // X11, the connection cannot be opened, or the server refuses for now (another grab
    // holds, as while a button is held down in a window): try again later.
    bool Grab(SDL_Window* window);
    void Release();
    bool IsHeldFor(SDL_Window* window) const;
    bool IsHeld() const;
    // The next pointer event that arrived (buttons other than left, right and the wheel
    // are left out); false when none is waiting.
    bool NextEvent(sPointerEvent& event);
    // The connection's socket, to wait on while the grab holds; -1 without one.
    int GetConnectionFd() const;
    // Events already read from the socket wait in the connection's queue.
    bool HasQueuedEvents() const;

private:
    struct sConnection;
    std::unique_ptr<sConnection> m_connection;
    SDL_Window* m_window = nullptr;
};
