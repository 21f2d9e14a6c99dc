#pragma once
// cWindowTranslator: one host window seen from the core. It holds the window's widget
// tree and its input state (focus, capture, hover, double click, cursor, hint), turns
// the host's input into calls on the tree, paints the tree, and carries the window's
// modal run state. Every host feeds its input through this one class, so the headless
// and the real host route alike.
//
// Mouse: presses and releases go to the capture holder, else to the root, as
// MouseButton(x, y, ...) in the receiver's coordinates (points outside the window
// included); from there they are routed down as usual. Moves go to the capture holder, else to the deepest visible element under
// the pointer, as MouseMove. The hovered element is the deepest visible element under
// the pointer (OnHoverEnd before OnHoverStart; all end when the pointer leaves). A
// double click is the second left press on the same element within 500 ms and 4 pixels
// of the first.
//
// Keys start at the focused element (else the root) with KeyDown; printable units go to
// CharInput, never with Ctrl. A window whose input is blocked (the owner of a running
// modal window) ignores all input.
#include "base/types.h"
#include "gui/core/geometry.h"
#include "gui/core/windowrequest.h"

#include <memory>

class cCanvas;
class cChildElement;
class cFontObject;
class cHintMaster;

class cWindowTranslator
{
public:
    explicit cWindowTranslator(cWindowRequestTarget* host);
    ~cWindowTranslator();
    cWindowTranslator(const cWindowTranslator&) = delete;
    cWindowTranslator& operator=(const cWindowTranslator&) = delete;

    // Makes `root` this window's tree: bounds (0, 0, width, height), then ApplyStyle,
    // then OnCreate. A root still attached to a parent is detached first.
    void SetRoot(cChildElement* root, i32 width, i32 height);
    // Takes the tree out of the window without virtual calls, so that its owner can
    // delete it; returns it.
    cChildElement* ReleaseRoot();
    cChildElement* GetRoot() const { return m_root; }
    cWindowRequestTarget* GetHost() const { return m_host; }

    // --- host input: client coordinates, time in ms of the host's clock ----------------
    void OnMouseMove(i32 x, i32 y);
    void OnMouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift, u32 timeMs);
    void OnMouseWheel(i32 x, i32 y, i32 notches);
    void OnMouseLeave();
    void OnKeyDown(i32 vk, bool shift, bool ctrl, bool alt);
    void OnCharInput(char16_t unit, bool ctrl);
    // Deactivation calls DropFocus along the focus chain, reactivation SetFocus.
    void OnActivate(bool active);
    // The user asked to close the window: a form is asked CanCloseSelf, then OnCancel;
    // any other root ends the run with -1.
    void OnCloseRequest();
    // The size the window may take within the root's minimum and maximum size.
    sSize ClampWindowSize(i32 width, i32 height) const;
    // The host resized the window's client area (already clamped).
    void OnResize(i32 width, i32 height);
    // Paints the tree into the window's canvas within `dirty` (client coordinates).
    void Paint(cCanvas& canvas, const sRect& dirty);
    // A window that owns a running modal window ignores input; nested runs count.
    void BlockInput(bool block);
    bool IsInputBlocked() const { return m_inputBlocks > 0; }

    // --- modal run ----------------------------------------------------------------------
    void BeginRun();
    bool IsRunning() const { return m_runState == eRunState::Running; }
    bool IsRunEnded() const { return m_runState == eRunState::Ended; }
    // Ends a running run with `code` and wakes the host; ignored when no run is going.
    void EndRun(i32 code);
    i32 GetRunResult() const { return m_runResult; }

    // --- services for the tree ------------------------------------------------------------
    cChildElement* GetFocus() const { return m_focus; }
    // Moves the keyboard focus (null drops it) with the notifications in element.h.
    void ChangeFocus(cChildElement* holder, i32 kind, bool ctrl, bool shift);
    cChildElement* GetCapture() const { return m_capture; }
    void SetCapture(cChildElement* element);
    // Releases the capture when `element` holds it.
    void ReleaseCapture(cChildElement* element);
    cChildElement* GetHover() const { return m_hover; }
    // Asks the host for the cursor of the capture holder or the hovered element.
    void UpdateCursor();
    // Clears every pointer into `element`'s subtree without calling into it.
    void ForgetSubtree(cChildElement* element);
    // `element` was hidden or disabled: the focus held inside is dropped (with the
    // notifications), the capture released and the hover ended.
    void OnSubtreeUnavailable(cChildElement* element);
    // True when the current press on `element` completes a double click; records the
    // press otherwise.
    bool TakeDoubleClick(cChildElement* element, i32 button);
    // Marks a rectangle of `element` (element coordinates; null = all of it) for repaint.
    void InvalidateElement(cChildElement* element, const sRect* rect);
    bool MeasureText(const char16_t* text, sSize& size, const cFontObject* font);

private:
    enum class eRunState { None, Running, Ended };
    struct sPress
    {
        cChildElement* element = nullptr;
        u64 serial = 0;
        u32 timeMs = 0;
        sPoint point;
    };

    cChildElement* DeepestAt(i32 x, i32 y) const;
    void UpdateHover();
    void EndHover();
    void PaintElement(cCanvas& canvas, cChildElement* element, sPoint origin, const sRect& clip);
    void PaintBackgroundOf(cCanvas& canvas, cChildElement* element);

    cWindowRequestTarget* m_host;
    cChildElement* m_root = nullptr;
    cChildElement* m_focus = nullptr;
    cChildElement* m_capture = nullptr;
    cChildElement* m_hover = nullptr;
    u64 m_focusChanges = 0;
    bool m_active = false;
    i32 m_inputBlocks = 0;
    i32 m_cursor = -1;
    eRunState m_runState = eRunState::None;
    i32 m_runResult = -1;

    sPoint m_pointer;
    bool m_pointerInside = false;
    u32 m_eventTime = 0;
    sPress m_lastPress;

    std::unique_ptr<cHintMaster> m_hint;
    std::unique_ptr<cCanvas> m_measureCanvas;
};
