#pragma once
// cSdlHost: real windows through SDL2, one SDL window per dialog, popup and hint.
//
// The GUI thread is the thread that creates the host: every SDL video and X call stays
// on it; Wake, from any thread, only pushes an SDL event and writes an eventfd. Each loop
// iteration waits (100 ms at most) on SDL's X connection, the popup grab's connection and
// that eventfd, drains SDL's queue into the windows' translators, dispatches queued
// actions (GUI queue first) for a bounded slice of time so that input keeps flowing
// under a flood of posts, and paints the damaged windows. Every modal run nests one such
// loop on the same thread. With QEL_SNAPSHOT_DIR set, the runs' windows are saved as they
// paint (snapshotwriter.h).
//
// Input: keys become virtual keys (sdlkeys.h) with the Shift, Ctrl and Alt state, text
// becomes UTF-16 units for CharInput, the left and right buttons become buttons 1 and 2
// stamped with SDL's millisecond clock (the core makes double clicks of them), and wheel
// steps go to the element under the pointer. A popup holds the pointer for as long as it
// is open (x11pointergrab.h): presses anywhere on the screen reach it in its own
// coordinates, so a press outside closes it. A drag that started in a window stays with
// that window through the X server's own grab of a pressed button.
//
// Focus: dialogs and popups take the input focus as they open (also without a window
// manager) and give it back to their owner as they close. A window that loses the focus
// to another window is deactivated; a popup deactivated this way ends with -1. Hints
// never keep the focus: SDL focuses every window it maps when no window manager runs,
// so the host hands the focus straight back.
#include "base/buffers.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/windowrequest.h"
#include "platform/sdlcursors.h"
#include "platform/snapshotwriter.h"
#include "platform/x11pointergrab.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class cSdlWindow;
struct SDL_Window;
union SDL_Event;
struct SDL_KeyboardEvent;
struct SDL_MouseButtonEvent;
struct SDL_MouseMotionEvent;
struct SDL_MouseWheelEvent;
struct SDL_TextInputEvent;
struct SDL_WindowEvent;

class cSdlHost final : public cWindowRequestTarget
{
public:
    // Starts SDL's video subsystem on the calling thread. Null when no display can be
    // opened, SDL's fallback drivers that show nothing included; one host per process (a second one while the first lives is a mistake).
    static std::unique_ptr<cSdlHost> Create();
    // Closes the windows left, stops taking wake-ups and stops SDL.
    ~cSdlHost() override;
    cSdlHost(const cSdlHost&) = delete;
    cSdlHost& operator=(const cSdlHost&) = delete;

    // Runs the loop (without a run of its own) until `done` answers true (true), or
    // `timeoutMs` passed or the innermost modal run ended (false). For tests and tools
    // that drive windows from outside.
    bool PumpUntil(const std::function<bool()>& done, u32 timeoutMs);

    // --- for tests and tools ---------------------------------------------------------
    // The SDL window of an open window; null otherwise.
    SDL_Window* GetSdlWindow(cWindowTranslator* window) const;
    // The open window shown in an SDL window; null otherwise.
    cWindowTranslator* GetTranslatorOf(const SDL_Window* window) const;
    // SDL's keyboard focus is on the window (its key presses reach it).
    bool HasKeyboardFocus(cWindowTranslator* window) const;
    // The SDL event type that wakes the loop.
    u32 GetWakeEventType() const { return m_wakeEventType; }

    // --- cWindowRequestTarget --------------------------------------------------------
    bool OpenWindow(cWindowTranslator* window, const sWindowParams& params) override;
    void CloseWindow(cWindowTranslator* window) override;
    bool GetWindowRect(cWindowTranslator* window, sRect& screenRect) override;
    void InvalidateWindow(cWindowTranslator* window, const sRect& rect) override;
    void SetMouseCapture(cWindowTranslator* window, bool captured) override;
    void SetCursor(cWindowTranslator* window, i32 kind) override;
    // Any thread: pushes one wake event unless one is still waiting in SDL's queue.
    void Wake() override;
    i32 RunModal(cWindowTranslator* window) override;
    bool GetScreenSize(sSize& size) override;
    bool GetScreenArea(cWindowTranslator* window, sRect& area) override;
    bool SetClipboardText(const char16_t* text, i32 length) override;
    bool GetClipboardText(_guardchar<char16_t>& text) override;
    // SDL carries only text: the toolkit's own clipboard format is never there.
    bool ReadClipboard(_typebuf<u8>& bytes) override;

private:
    cSdlHost(u32 wakeEventType, int wakeFd);

    cSdlWindow* Find(const cWindowTranslator* window) const;
    cSdlWindow* FindById(u32 id) const;
    cSdlWindow* FindSdl(const SDL_Window* window) const;

    void RunOnce(u32 waitMs);
    void WaitForInput(u32 waitMs);
    bool InnermostRunEnded() const;
    void DispatchActions();
    void PaintDamagedWindows();
    void SnapshotInnermostRun();

    void Handle(const SDL_Event& event);
    void HandleWindowEvent(const SDL_WindowEvent& event);
    void HandleKey(const SDL_KeyboardEvent& event);
    void HandleText(const SDL_TextInputEvent& event);
    void HandleMouseButton(const SDL_MouseButtonEvent& event);
    void HandleMouseMotion(const SDL_MouseMotionEvent& event);
    void HandleMouseWheel(const SDL_MouseWheelEvent& event);

    // Focus and grabs.
    void Focus(cSdlWindow* window);
    void RestoreFocus();
    void ResolveFocusLosses();
    cSdlWindow* CaptureTarget() const;
    cSdlWindow* PointerTarget(u32 windowId, sPoint& point) const;
    cSdlWindow* PopupWindow() const;
    void SyncPointerGrab();
    void HandleGrabbedPointer();

    const u32 m_wakeEventType;
    std::vector<std::unique_ptr<cSdlWindow>> m_windows;
    std::vector<cWindowTranslator*> m_runs;
    cSnapshotWriter m_snapshots;
    // The window that should hold the input focus: the newest dialog or popup.
    cWindowTranslator* m_focusWindow = nullptr;
    // SDL ids of windows that lost the focus during the current drain.
    std::vector<u32> m_focusLosses;
    // Made after SDL starts and freed before it stops.
    std::optional<cSdlCursors> m_cursors;
    cX11PointerGrab m_pointerGrab;

    // Written by Wake after its SDL event: the loop's wait watches it.
    const int m_wakeFd;
    // SDL's X connection, once a window told it; -1 before.
    int m_displayFd = -1;
    std::atomic<bool> m_wakePending{false};
    std::mutex m_wakeLock;
    bool m_acceptingWakes = true;
};
