#include "platform/x11pointergrab.h"

#include "gui/core/keys.h"
#include "platform/x11display.h"

#include <X11/Xlib.h>

#include <new>

struct cX11PointerGrab::sConnection
{
    Display* display = nullptr;

    ~sConnection()
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

cX11PointerGrab::cX11PointerGrab() = default;

cX11PointerGrab::~cX11PointerGrab()
{
    Release();
}

bool cX11PointerGrab::IsHeld() const
{
    return m_window != nullptr;
}

bool cX11PointerGrab::IsHeldFor(SDL_Window* window) const
{
    return window != nullptr && m_window == window;
}

bool cX11PointerGrab::Grab(SDL_Window* window)
{
    sX11Window x11;
    if (!GetX11Window(window, x11)) {
        return false;
    }
    if (m_connection == nullptr) {
        std::unique_ptr<sConnection> connection(new (std::nothrow) sConnection);
        if (connection == nullptr || (connection->display = XOpenDisplay(DisplayString(x11.display))) == nullptr) {
            return false;
        }
        m_connection = std::move(connection);
    }
    // owner_events False: every pointer event comes here, reported relative to the grab
    // window (X11 protocol, GrabPointer), also over the application's other windows.
    constexpr unsigned kMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    int result = XGrabPointer(m_connection->display, x11.window, False, kMask, GrabModeAsync,
                              GrabModeAsync, None, None, CurrentTime);
    m_window = result == GrabSuccess ? window : nullptr;
    return m_window != nullptr;
}

void cX11PointerGrab::Release()
{
    if (m_window == nullptr) {
        return;
    }
    m_window = nullptr;
    XUngrabPointer(m_connection->display, CurrentTime);
    // Events of the ended grab are no one's any more.
    XSync(m_connection->display, True);
}

int cX11PointerGrab::GetConnectionFd() const
{
    return m_window != nullptr ? ConnectionNumber(m_connection->display) : -1;
}

bool cX11PointerGrab::HasQueuedEvents() const
{
    return m_window != nullptr && XEventsQueued(m_connection->display, QueuedAfterFlush) > 0;
}

bool cX11PointerGrab::NextEvent(sPointerEvent& event)
{
    if (m_connection == nullptr) {
        return false;
    }
    Display* display = m_connection->display;
    while (XPending(display) > 0) {
        XEvent x;
        XNextEvent(display, &x);
        if (m_window == nullptr) {
            continue;
        }
        if (x.type == MotionNotify) {
            event = {sPointerEvent::eKind::Move, x.xmotion.x, x.xmotion.y, 0, (x.xmotion.state & ControlMask) != 0,
                     (x.xmotion.state & ShiftMask) != 0};
            return true;
        }
        if (x.type != ButtonPress && x.type != ButtonRelease) {
            continue;
        }
        const XButtonEvent& button = x.xbutton;
        event = {sPointerEvent::eKind::Press, button.x, button.y, 0, (button.state & ControlMask) != 0,
                 (button.state & ShiftMask) != 0};
        // Core buttons 4 and 5 are the wheel's steps away from and towards the user.
        if (button.button == Button4 || button.button == Button5) {
            if (x.type == ButtonPress) {
                event.kind = sPointerEvent::eKind::Wheel;
                event.value = button.button == Button4 ? 1 : -1;
                return true;
            }
            continue;
        }
        if (button.button != Button1 && button.button != Button3) {
            continue;
        }
        event.kind = x.type == ButtonPress ? sPointerEvent::eKind::Press : sPointerEvent::eKind::Release;
        event.value = button.button == Button1 ? kMouseLeft : kMouseRight;
        return true;
    }
    return false;
}
