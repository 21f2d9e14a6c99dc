#include "platform/sdlhost.h"

#include "base/utf.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"
#include "gui/core/keys.h"
#include "gui/core/translator.h"
#include "platform/sdlclipboard.h"
#include "platform/sdlcursors.h"
#include "platform/sdlkeys.h"
#include "platform/sdlwindow.h"
#include "platform/x11display.h"

#include <SDL.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstring>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// The longest wait for an event while idle: also how often a loop looks at conditions
// that change without an event.
constexpr u32 kIdleWaitMs = 100;
// Without an X connection to wait on (no window yet, or not X11), the wait is cut into
// slices this long so that SDL's other events are seen.
constexpr u32 kBlindWaitMs = 10;
// PumpUntil looks at its condition at least this often.
constexpr u32 kPumpSliceMs = 10;
// Actions dispatched in one go before input and painting get their turn again.
constexpr std::chrono::milliseconds kDispatchSlice{15};

// SDL is one per process, and so is its host.
std::atomic<bool> g_hostAlive{false};

bool DriverShowsWindows(const char* driver)
{
    return driver != nullptr && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

bool HasModifier(u32 modifiers, u32 mask)
{
    return (modifiers & mask) != 0;
}

} // namespace

std::unique_ptr<cSdlHost> cSdlHost::Create()
{
    bool alive = false;
    if (!g_hostAlive.compare_exchange_strong(alive, true)) {
        assert(!"one SDL host per process");
        return nullptr;
    }
    // Before SDL_Init: SIGINT and SIGTERM must keep their default effect (SDL would turn
    // them into SDL_QUIT, which no loop here obeys), closing the last window must not
    // quit, and the first click on an inactive window must reach it.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // The software renderer's target is the window surface; without this SDL backs that
    // surface with an OpenGL texture (a software GL where there is no GPU, as under
    // Xvfb) and redraws the whole window for every update. The X server's own image
    // transfer sends only the damaged rectangles.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        g_hostAlive = false;
        return nullptr;
    }
    // When no real display answers, SDL settles for a driver that shows nothing; a form
    // there would wait for input that cannot come. Such a driver is no display.
    if (!DriverShowsWindows(SDL_GetCurrentVideoDriver())) {
        SDL_Quit();
        g_hostAlive = false;
        return nullptr;
    }
    Uint32 wakeType = SDL_RegisterEvents(1);
    int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::unique_ptr<cSdlHost> host;
    if (wakeType != Uint32(-1) && wakeFd >= 0) {
        host.reset(new (std::nothrow) cSdlHost(wakeType, wakeFd));
    }
    if (host == nullptr) {
        if (wakeFd >= 0) {
            close(wakeFd);
        }
        SDL_Quit();
        g_hostAlive = false;
        return nullptr;
    }
    SDL_StartTextInput();
    return host;
}

cSdlHost::cSdlHost(u32 wakeEventType, int wakeFd) : m_wakeEventType(wakeEventType), m_wakeFd(wakeFd)
{
    m_cursors.emplace();
}

cSdlHost::~cSdlHost()
{
    {
        std::lock_guard guard(m_wakeLock);
        m_acceptingWakes = false;
    }
    m_pointerGrab.Release();
    m_windows.clear();
    m_cursors.reset();
    SDL_Quit();
    close(m_wakeFd);
    g_hostAlive = false;
}

// --- windows -------------------------------------------------------------------------------------

cSdlWindow* cSdlHost::Find(const cWindowTranslator* window) const
{
    for (const auto& entry : m_windows) {
        if (entry->GetTranslator() == window) {
            return entry.get();
        }
    }
    return nullptr;
}

cSdlWindow* cSdlHost::FindById(u32 id) const
{
    for (const auto& entry : m_windows) {
        if (entry->GetId() == id) {
            return entry.get();
        }
    }
    return nullptr;
}

cSdlWindow* cSdlHost::FindSdl(const SDL_Window* window) const
{
    return window != nullptr ? FindById(SDL_GetWindowID(const_cast<SDL_Window*>(window))) : nullptr;
}

SDL_Window* cSdlHost::GetSdlWindow(cWindowTranslator* window) const
{
    cSdlWindow* entry = Find(window);
    return entry != nullptr ? entry->GetSdlWindow() : nullptr;
}

cWindowTranslator* cSdlHost::GetTranslatorOf(const SDL_Window* window) const
{
    cSdlWindow* entry = FindSdl(window);
    return entry != nullptr ? entry->GetTranslator() : nullptr;
}

bool cSdlHost::HasKeyboardFocus(cWindowTranslator* window) const
{
    cSdlWindow* entry = Find(window);
    return entry != nullptr && SDL_GetKeyboardFocus() == entry->GetSdlWindow();
}

bool cSdlHost::OpenWindow(cWindowTranslator* window, const sWindowParams& params)
{
    std::unique_ptr<cSdlWindow> created = cSdlWindow::Create(window, params);
    if (created == nullptr) {
        return false;
    }
    cSdlWindow* entry = created.get();
    SDL_Window* sdl = entry->GetSdlWindow();
    if (params.kind == eWindowKind::Dialog) {
        if (cSdlWindow* owner = Find(params.owner)) {
            SDL_SetWindowModalFor(sdl, owner->GetSdlWindow());
        }
        // The form set its limits in OnCreate, which has run by now.
        if (cChildElement* root = window->GetRoot()) {
            if (root->GetMinWidth() > 0 || root->GetMinHeight() > 0) {
                SDL_SetWindowMinimumSize(sdl, std::max(root->GetMinWidth(), 1), std::max(root->GetMinHeight(), 1));
            }
            sSize maximum = root->GetMaxSize();
            if (maximum.width > 0 || maximum.height > 0) {
                SDL_SetWindowMaximumSize(sdl, maximum.width > 0 ? maximum.width : 16384,
                                         maximum.height > 0 ? maximum.height : 16384);
            }
        }
    } else if (params.kind == eWindowKind::Popup) {
        // Takes effect whenever the popup holds the focus.
        SDL_SetWindowKeyboardGrab(sdl, SDL_TRUE);
    }
    if (m_displayFd < 0) {
        m_displayFd = X11ConnectionFd(sdl);
    }
    m_windows.push_back(std::move(created));
    // The first frame is ready before the window maps, so it never shows garbage.
    entry->PaintDamage();
    SDL_ShowWindow(sdl);
    entry->Present();
    // A hint that took the focus as it mapped (no window manager) hands it back as soon
    // as SDL reports the gain.
    if (params.kind != eWindowKind::Hint) {
        m_focusWindow = window;
        Focus(entry);
    }
    SyncPointerGrab();
    return true;
}

void cSdlHost::CloseWindow(cWindowTranslator* window)
{
    auto found = std::find_if(m_windows.begin(), m_windows.end(),
                              [window](const auto& entry) { return entry->GetTranslator() == window; });
    if (found == m_windows.end()) {
        return;
    }
    std::unique_ptr<cSdlWindow> closing = std::move(*found);
    m_windows.erase(found);
    if (closing->GetKind() == eWindowKind::Popup) {
        SDL_SetWindowKeyboardGrab(closing->GetSdlWindow(), SDL_FALSE);
        if (m_pointerGrab.IsHeldFor(closing->GetSdlWindow())) {
            m_pointerGrab.Release();
        }
    }
    cWindowTranslator* owner = closing->GetOwner();
    closing.reset();
    if (m_focusWindow == window) {
        // Back to the owner, else to the newest window that can take the focus.
        m_focusWindow = nullptr;
        cSdlWindow* next = Find(owner);
        for (auto it = m_windows.rbegin(); next == nullptr && it != m_windows.rend(); ++it) {
            if ((*it)->GetKind() != eWindowKind::Hint) {
                next = it->get();
            }
        }
        if (next != nullptr) {
            m_focusWindow = next->GetTranslator();
            Focus(next);
        }
    }
    SyncPointerGrab();
}

bool cSdlHost::GetWindowRect(cWindowTranslator* window, sRect& screenRect)
{
    cSdlWindow* entry = Find(window);
    if (entry == nullptr) {
        return false;
    }
    screenRect = entry->GetScreenRect();
    return true;
}

void cSdlHost::InvalidateWindow(cWindowTranslator* window, const sRect& rect)
{
    if (cSdlWindow* entry = Find(window)) {
        entry->Invalidate(rect);
    }
}

void cSdlHost::SetMouseCapture(cWindowTranslator* window, bool captured)
{
    if (cSdlWindow* entry = Find(window)) {
        // A press started the capture and the server's own grab of a pressed button keeps
        // it (X11 protocol, ButtonPress "active grab"): the host only routes.
        entry->m_elementCapture = captured;
    }
}

void cSdlHost::SetCursor(cWindowTranslator* window, i32 kind)
{
    if (cSdlWindow* entry = Find(window)) {
        entry->m_cursorKind = kind;
        m_cursors->Show(kind);
    }
}

bool cSdlHost::GetScreenSize(sSize& size)
{
    SDL_Rect bounds;
    if (SDL_GetDisplayUsableBounds(0, &bounds) != 0) {
        return false;
    }
    size = {bounds.w, bounds.h};
    return true;
}

bool cSdlHost::GetScreenArea(cWindowTranslator* window, sRect& area)
{
    cSdlWindow* entry = Find(window);
    const int display = entry != nullptr ? SDL_GetWindowDisplayIndex(entry->GetSdlWindow()) : 0;
    SDL_Rect bounds;
    if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &bounds) != 0) {
        return false;
    }
    area = {bounds.x, bounds.y, bounds.w, bounds.h};
    return true;
}

// --- focus and grabs ------------------------------------------------------------------------------

void cSdlHost::Focus(cSdlWindow* window)
{
    // Raising asks a window manager to activate the window; without one only setting
    // the input focus directly moves the keys to it.
    SDL_RaiseWindow(window->GetSdlWindow());
    SDL_SetWindowInputFocus(window->GetSdlWindow());
}

void cSdlHost::RestoreFocus()
{
    if (cSdlWindow* entry = Find(m_focusWindow)) {
        SDL_SetWindowInputFocus(entry->GetSdlWindow());
    }
}

// Focus changes arrive as a loss on one window and a gain on another; they are judged
// once the queue is drained, by where SDL's keyboard focus ended up. A loss to one of
// our hints is no loss (the hint only took the focus because it was mapped).
void cSdlHost::ResolveFocusLosses()
{
    if (m_focusLosses.empty()) {
        return;
    }
    std::vector<u32> losses;
    losses.swap(m_focusLosses);
    SDL_Window* focus = SDL_GetKeyboardFocus();
    cSdlWindow* holder = FindSdl(focus);
    if (holder != nullptr && holder->GetKind() == eWindowKind::Hint) {
        RestoreFocus();
        return;
    }
    for (u32 id : losses) {
        cSdlWindow* entry = FindById(id);
        if (entry != nullptr && entry->GetSdlWindow() != focus && entry->GetKind() != eWindowKind::Hint) {
            entry->GetTranslator()->OnActivate(false);
        }
    }
}

// The window whose tree holds the capture, or the newest popup (a popup grabs the
// mouse for as long as it is open).
cSdlWindow* cSdlHost::CaptureTarget() const
{
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if ((*it)->m_elementCapture || (*it)->GetKind() == eWindowKind::Popup) {
            return it->get();
        }
    }
    return nullptr;
}

// The newest popup: the window the pointer grab is for.
cSdlWindow* cSdlHost::PopupWindow() const
{
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if ((*it)->GetKind() == eWindowKind::Popup) {
            return it->get();
        }
    }
    return nullptr;
}

// The grab follows the newest popup. The server refuses it while another grab holds (a
// button still down in the window that opened the popup), so it is asked for again on
// every loop iteration until it holds.
void cSdlHost::SyncPointerGrab()
{
    cSdlWindow* popup = PopupWindow();
    if (popup == nullptr) {
        m_pointerGrab.Release();
    } else if (!m_pointerGrab.IsHeldFor(popup->GetSdlWindow())) {
        (void)m_pointerGrab.Grab(popup->GetSdlWindow());
    }
}

void cSdlHost::HandleGrabbedPointer()
{
    cX11PointerGrab::sPointerEvent event;
    while (m_pointerGrab.NextEvent(event)) {
        cSdlWindow* popup = PopupWindow();
        if (popup == nullptr || !m_pointerGrab.IsHeldFor(popup->GetSdlWindow())) {
            continue;
        }
        cWindowTranslator* translator = popup->GetTranslator();
        using eKind = cX11PointerGrab::sPointerEvent::eKind;
        switch (event.kind) {
        case eKind::Move: translator->OnMouseMove(event.x, event.y); break;
        case eKind::Wheel: translator->OnMouseWheel(event.x, event.y, event.value); break;
        case eKind::Press:
        case eKind::Release:
            // SDL's own events are stamped with its millisecond clock at arrival: so are these.
            translator->OnMouseButton(event.x, event.y, event.value, event.kind == eKind::Press, event.ctrl,
                                      event.shift, SDL_GetTicks());
            break;
        }
    }
}

// --- loop --------------------------------------------------------------------------------------------

void cSdlHost::Wake()
{
    if (m_wakePending.exchange(true)) {
        return;
    }
    std::lock_guard guard(m_wakeLock);
    if (!m_acceptingWakes) {
        return;
    }
    SDL_Event event{};
    event.type = m_wakeEventType;
    if (SDL_PushEvent(&event) != 1) {
        // The queue is full or filtered: the next post tries again, and the idle wait
        // ends within kIdleWaitMs anyway.
        m_wakePending = false;
        return;
    }
    const u64 one = 1;
    (void)!write(m_wakeFd, &one, sizeof one);
}

// The loop waits here rather than in SDL_WaitEventTimeout: while that waits, SDL wakes
// it on X11 by sending an event to one of the windows from the thread that pushes, and
// the server may take that send after the loop, already awake for another reason, has
// destroyed the window (two connections, no common order) -- a BadWindow error, which
// Xlib answers by ending the process. Waiting on the X connection's socket and on an
// eventfd keeps every X call on this thread.
void cSdlHost::WaitForInput(u32 waitMs)
{
    // Events Xlib has already read (while painting, say) are on no socket any more.
    SDL_PumpEvents();
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE || m_pointerGrab.HasQueuedEvents()) {
        return;
    }
    pollfd sources[3] = {{m_wakeFd, POLLIN, 0}};
    nfds_t count = 1;
    for (int fd : {m_displayFd, m_pointerGrab.GetConnectionFd()}) {
        if (fd >= 0) {
            sources[count++] = {fd, POLLIN, 0};
        }
    }
    (void)poll(sources, count, i32(m_displayFd >= 0 ? waitMs : std::min(waitMs, kBlindWaitMs)));
    u64 wakes;
    (void)!read(m_wakeFd, &wakes, sizeof wakes);
}

bool cSdlHost::InnermostRunEnded() const
{
    return !m_runs.empty() && m_runs.back()->IsRunEnded();
}

void cSdlHost::DispatchActions()
{
    auto until = std::chrono::steady_clock::now() + kDispatchSlice;
    while (!InnermostRunEnded() && DispatchNextAction()) {
        if (std::chrono::steady_clock::now() >= until) {
            return;
        }
    }
}

void cSdlHost::PaintDamagedWindows()
{
    ResolveRepaintRequests();
    for (size_t index = 0; index < m_windows.size(); ++index) {
        if (m_windows[index]->IsDamaged()) {
            m_windows[index]->PaintDamage();
        }
    }
}

void cSdlHost::RunOnce(u32 waitMs)
{
    bool busy = HasPendingWork() || std::any_of(m_windows.begin(), m_windows.end(),
                                                [](const auto& entry) { return entry->IsDamaged(); });
    if (!busy) {
        WaitForInput(waitMs);
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) == 1) {
        Handle(event);
    }
    SyncPointerGrab();
    HandleGrabbedPointer();
    ResolveFocusLosses();
    ResolveRepaintRequests();
    DispatchActions();
    PaintDamagedWindows();
    SnapshotInnermostRun();
}

void cSdlHost::SnapshotInnermostRun()
{
    if (!m_snapshots.IsActive() || m_runs.empty()) {
        return;
    }
    cSdlWindow* innermost = Find(m_runs.back());
    if (innermost != nullptr && innermost->GetCanvas() != nullptr) {
        m_snapshots.AfterPaint(m_runs.back(), *innermost->GetCanvas());
    }
}

i32 cSdlHost::RunModal(cWindowTranslator* window)
{
    // A run that opens another before its snapshot was taken is saved as it stands now.
    SnapshotInnermostRun();
    m_runs.push_back(window);
    while (!window->IsRunEnded()) {
        RunOnce(kIdleWaitMs);
    }
    m_snapshots.RunEnded(window);
    m_runs.pop_back();
    return window->GetRunResult();
}

bool cSdlHost::PumpUntil(const std::function<bool()>& done, u32 timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) {
            return true;
        }
        auto now = std::chrono::steady_clock::now();
        if (InnermostRunEnded() || now >= deadline) {
            return false;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        RunOnce(u32(std::clamp<i64>(left, 1, kPumpSliceMs)));
    }
}

// --- input ---------------------------------------------------------------------------------------------

void cSdlHost::Handle(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT: HandleWindowEvent(event.window); break;
    case SDL_KEYDOWN: HandleKey(event.key); break;
    case SDL_TEXTINPUT: HandleText(event.text); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: HandleMouseButton(event.button); break;
    case SDL_MOUSEMOTION: HandleMouseMotion(event.motion); break;
    case SDL_MOUSEWHEEL: HandleMouseWheel(event.wheel); break;
    default:
        // SDL_QUIT is ignored: windows close through their own close requests.
        if (event.type == m_wakeEventType) {
            // The wake event has left the queue: the next post pushes a new one.
            m_wakePending = false;
        }
        break;
    }
}

void cSdlHost::HandleWindowEvent(const SDL_WindowEvent& event)
{
    cSdlWindow* entry = FindById(event.windowID);
    if (entry == nullptr) {
        return;
    }
    cWindowTranslator* translator = entry->GetTranslator();
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        sSize size = translator->ClampWindowSize(event.data1, event.data2);
        if (size.width != event.data1 || size.height != event.data2) {
            SDL_SetWindowSize(entry->GetSdlWindow(), std::max(size.width, 1), std::max(size.height, 1));
        }
        entry->Resize(size.width, size.height);
        translator->OnResize(size.width, size.height);
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED: entry->Present(); break;
    case SDL_WINDOWEVENT_CLOSE: translator->OnCloseRequest(); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (entry->GetKind() == eWindowKind::Hint) {
            RestoreFocus();
            break;
        }
        std::erase(m_focusLosses, event.windowID);
        // An owner under a running modal window stays inactive until the run ends.
        if (!translator->IsInputBlocked()) {
            m_focusWindow = translator;
            translator->OnActivate(true);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST: m_focusLosses.push_back(event.windowID); break;
    case SDL_WINDOWEVENT_ENTER: m_cursors->Show(entry->m_cursorKind); break;
    case SDL_WINDOWEVENT_LEAVE: translator->OnMouseLeave(); break;
    default: break;
    }
}

void cSdlHost::HandleKey(const SDL_KeyboardEvent& event)
{
    // Auto-repeat arrives as further presses, as the widgets expect.
    cSdlWindow* entry = FindById(event.windowID);
    i32 vk = VirtualKeyFromSdl(event.keysym.sym, event.keysym.mod);
    if (entry == nullptr || vk == 0) {
        return;
    }
    u32 modifiers = event.keysym.mod;
    entry->GetTranslator()->OnKeyDown(vk, HasModifier(modifiers, KMOD_SHIFT), HasModifier(modifiers, KMOD_CTRL),
                                      HasModifier(modifiers, KMOD_ALT));
}

void cSdlHost::HandleText(const SDL_TextInputEvent& event)
{
    cSdlWindow* entry = FindById(event.windowID);
    _guardchar<char16_t> units;
    if (entry == nullptr || !Utf8ToWideString(event.text, -1, units) || units.IsEmpty()) {
        return;
    }
    // The translator drops control units and everything typed with Ctrl held.
    bool ctrl = HasModifier(SDL_GetModState(), KMOD_CTRL);
    cWindowTranslator* translator = entry->GetTranslator();
    for (const char16_t* unit = units.Get(); *unit != 0; ++unit) {
        translator->OnCharInput(*unit, ctrl);
    }
}

namespace {

// The pointer in `window`'s client coordinates, wherever it is on the screen.
sPoint GlobalPointerIn(SDL_Window* window)
{
    sPoint pointer;
    sPoint origin;
    SDL_GetGlobalMouseState(&pointer.x, &pointer.y);
    SDL_GetWindowPosition(window, &origin.x, &origin.y);
    return {pointer.x - origin.x, pointer.y - origin.y};
}

} // namespace

// The window a pointer event goes to and the point in its coordinates. Under a capture
// SDL reports the point in the capturing window's coordinates when it names that window;
// when the pointer left all windows it names none (or another), and the capturing window
// takes the event where the pointer really is.
cSdlWindow* cSdlHost::PointerTarget(u32 windowId, sPoint& point) const
{
    cSdlWindow* entry = CaptureTarget();
    if (entry == nullptr) {
        return FindById(windowId);
    }
    if (entry->GetId() != windowId) {
        point = GlobalPointerIn(entry->GetSdlWindow());
    }
    return entry;
}

void cSdlHost::HandleMouseButton(const SDL_MouseButtonEvent& event)
{
    i32 button = event.button == SDL_BUTTON_LEFT ? kMouseLeft : event.button == SDL_BUTTON_RIGHT ? kMouseRight : 0;
    sPoint point{event.x, event.y};
    cSdlWindow* entry = button != 0 ? PointerTarget(event.windowID, point) : nullptr;
    if (entry == nullptr) {
        return;
    }
    u32 modifiers = SDL_GetModState();
    entry->GetTranslator()->OnMouseButton(point.x, point.y, button, event.state == SDL_PRESSED,
                                          HasModifier(modifiers, KMOD_CTRL), HasModifier(modifiers, KMOD_SHIFT),
                                          event.timestamp);
}

void cSdlHost::HandleMouseMotion(const SDL_MouseMotionEvent& event)
{
    sPoint point{event.x, event.y};
    if (cSdlWindow* entry = PointerTarget(event.windowID, point)) {
        entry->GetTranslator()->OnMouseMove(point.x, point.y);
    }
}

void cSdlHost::HandleMouseWheel(const SDL_MouseWheelEvent& event)
{
    // The wheel turns under the pointer; SDL 2.26's own point in the event can be stale.
    cSdlWindow* entry = FindById(event.windowID);
    i32 notches = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.y : event.y;
    if (entry != nullptr && notches != 0) {
        sPoint point = GlobalPointerIn(entry->GetSdlWindow());
        entry->GetTranslator()->OnMouseWheel(point.x, point.y, notches);
    }
}

// --- clipboard -------------------------------------------------------------------------------------------

bool cSdlHost::SetClipboardText(const char16_t* text, i32 length)
{
    return SetSdlClipboardText(text, length);
}

bool cSdlHost::GetClipboardText(_guardchar<char16_t>& text)
{
    return GetSdlClipboardText(text);
}

bool cSdlHost::ReadClipboard(_typebuf<u8>& bytes)
{
    (void)bytes;
    return false;
}
