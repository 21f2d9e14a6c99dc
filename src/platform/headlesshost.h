#pragma once
// cHeadlessHost: windows without a screen, for tests and snapshots.
//
// Every window is an offscreen canvas at a rectangle of a virtual screen (1024 x 768
// unless set). Tests inject input in window client coordinates with the host's own
// millisecond clock, pump the loop, read pixels and save PNG snapshots.
//
// Modal runs are driven by scripts: a FIFO that every run pops one script from as it
// starts (or, when it is empty, the default script if one is set). The script is called after the root's ApplyStyle and OnCreate and the first
// paint, before any action is dispatched; it injects input, pumps, takes snapshots and
// may end the run. Then the host pumps until idle and ends a run still open with -1,
// which the run log records. A run that finds no script ends with -1 at once, so no test
// can hang on a dialog.
//
// Posting from any thread wakes PumpUntil through a condition variable. With
// QEL_SNAPSHOT_DIR set, the runs' windows are saved as they paint (snapshotwriter.h).
#include "base/buffers.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/windowrequest.h"
#include "platform/snapshotwriter.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class cCanvas;
class cChildElement;

class cHeadlessHost final : public cWindowRequestTarget
{
public:
    using tModalScript = std::function<void(cHeadlessHost& host, cWindowTranslator& window)>;

    struct sRunRecord
    {
        i32 level;        // 1 = the outermost run
        i32 code;         // the run's end code
        bool endedByHost; // the script left the run open (or there was none)
    };

    cHeadlessHost();
    ~cHeadlessHost() override;
    cHeadlessHost(const cHeadlessHost&) = delete;
    cHeadlessHost& operator=(const cHeadlessHost&) = delete;

    void SetScreenSize(i32 width, i32 height);
    // The clock that stamps injected input.
    void SetTime(u32 milliseconds) { m_time = milliseconds; }
    void AdvanceTime(u32 milliseconds) { m_time += milliseconds; }
    u32 GetTime() const { return m_time; }

    // --- modal scripts ---------------------------------------------------------------
    void PushModalScript(tModalScript script);
    // The script of the runs that find the FIFO empty (none: they end with -1 at once).
    void SetDefaultModalScript(tModalScript script) { m_defaultScript = std::move(script); }
    size_t GetPendingScriptCount() const { return m_scripts.size(); }
    // Every finished run, in the order the runs ended.
    const std::vector<sRunRecord>& GetRunLog() const { return m_runLog; }
    // The next window open fails (to test the paths without a window).
    void FailNextWindowOpen() { m_failNextOpen = true; }

    // --- windows ---------------------------------------------------------------------------
    // The newest open window that is not a hint: where input goes by default.
    cWindowTranslator* GetTopWindow() const;
    std::vector<cWindowTranslator*> GetWindows() const;
    // The window's canvas, painted up to date; null for an unknown or empty window.
    cCanvas* GetCanvas(cWindowTranslator* window);
    const char16_t* GetTitle(cWindowTranslator* window) const;
    i32 GetCursor(cWindowTranslator* window) const;
    bool HasMouseCapture(cWindowTranslator* window) const;

    // --- input (null window = the top window) ----------------------------------------------
    void MouseMove(i32 x, i32 y, cWindowTranslator* window = nullptr);
    void MouseDown(i32 x, i32 y, i32 button = 1, bool ctrl = false, bool shift = false,
                   cWindowTranslator* window = nullptr);
    void MouseUp(i32 x, i32 y, i32 button = 1, bool ctrl = false, bool shift = false,
                 cWindowTranslator* window = nullptr);
    // A move to the point, a press and a release.
    void Click(i32 x, i32 y, i32 button = 1, cWindowTranslator* window = nullptr);
    void MouseLeave(cWindowTranslator* window = nullptr);
    void Wheel(i32 x, i32 y, i32 notches, cWindowTranslator* window = nullptr);
    void KeyDown(i32 vk, bool shift = false, bool ctrl = false, bool alt = false,
                 cWindowTranslator* window = nullptr);
    // Character input, one unit at a time (never with Ctrl).
    void TypeText(const char16_t* text, cWindowTranslator* window = nullptr);
    void Activate(bool active, cWindowTranslator* window = nullptr);
    void RequestClose(cWindowTranslator* window = nullptr);
    // Resizes the client area within the root's limits.
    void ResizeWindow(i32 width, i32 height, cWindowTranslator* window = nullptr);

    // --- loop ------------------------------------------------------------------------------
    // Resolves repaint requests, dispatches queued actions and paints until nothing is
    // pending; stops dispatching once the innermost run has ended.
    void Pump();
    // Pumps, waiting for posts from other threads, until `done` answers true (true) or
    // `timeoutMs` of real time passed or the innermost run ended (false).
    bool PumpUntil(const std::function<bool()>& done, u32 timeoutMs);

    // --- snapshots -------------------------------------------------------------------------
    bool SavePng(cWindowTranslator* window, const std::string& path);
    // The element's rectangle of its window (as painted, children and all).
    bool SaveElementPng(cChildElement* element, const std::string& path);

    // --- clipboard -------------------------------------------------------------------------
    void SetClipboardBytes(const u8* bytes, size_t count);

    // --- cWindowRequestTarget --------------------------------------------------------------
    bool OpenWindow(cWindowTranslator* window, const sWindowParams& params) override;
    void CloseWindow(cWindowTranslator* window) override;
    bool GetWindowRect(cWindowTranslator* window, sRect& screenRect) override;
    void InvalidateWindow(cWindowTranslator* window, const sRect& rect) override;
    void SetMouseCapture(cWindowTranslator* window, bool captured) override;
    void SetCursor(cWindowTranslator* window, i32 kind) override;
    void Wake() override;
    i32 RunModal(cWindowTranslator* window) override;
    bool GetScreenSize(sSize& size) override;
    bool SetClipboardText(const char16_t* text, i32 length) override;
    bool GetClipboardText(_guardchar<char16_t>& text) override;
    bool ReadClipboard(_typebuf<u8>& bytes) override;

private:
    struct sWindow;

    sWindow* Find(cWindowTranslator* window) const;
    cWindowTranslator* Target(cWindowTranslator* window) const;
    bool InnermostRunEnded() const;
    void PaintDirtyWindows();
    void SnapshotInnermostRun();

    std::vector<std::unique_ptr<sWindow>> m_windows;
    sSize m_screen{1024, 768};
    u32 m_time = 0;
    std::deque<tModalScript> m_scripts;
    tModalScript m_defaultScript;
    cSnapshotWriter m_snapshots;
    std::vector<cWindowTranslator*> m_runs;
    std::vector<sRunRecord> m_runLog;
    bool m_failNextOpen = false;

    _guardchar<char16_t> m_clipboardText;
    std::vector<u8> m_clipboardBytes;

    std::mutex m_wakeLock;
    std::condition_variable m_wakeSignal;
    bool m_woken = false;
};
