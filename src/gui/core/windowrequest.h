#pragma once
// cWindowRequestTarget: the window services a widget tree asks of its host. A host
// (headless for tests and snapshots, SDL2 for real windows) implements it and feeds its
// input to each window's cWindowTranslator, which turns it into calls on the tree.
//
// Windows are named by their translator. Every call is made on the GUI thread except
// Wake. A host that lacks a service answers false or does nothing; the core then does
// less, never more.
#include "base/buffers.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/geometry.h"

class cWindowTranslator;

enum class eWindowKind
{
    Dialog, // a modal form with a title
    Popup,  // a modal popup (menus, drop-down lists) without decoration
    Hint,   // a tooltip: never takes the input focus, never modal
};

struct sWindowParams
{
    eWindowKind kind = eWindowKind::Dialog;
    const char16_t* title = nullptr;
    // The client area in screen coordinates.
    sRect screenRect;
    // The window this one belongs to (null: none).
    cWindowTranslator* owner = nullptr;
    bool resizable = false;
};

class cWindowRequestTarget
{
public:
    virtual ~cWindowRequestTarget() = default;

    // --- windows ---------------------------------------------------------------------
    // Opens a window for `window`'s tree; false when it cannot. Dialogs and popups take
    // the input focus as they open, hints never do.
    virtual bool OpenWindow(cWindowTranslator* window, const sWindowParams& params) = 0;
    virtual void CloseWindow(cWindowTranslator* window) = 0;
    // The client area in screen coordinates; false for an unknown window.
    virtual bool GetWindowRect(cWindowTranslator* window, sRect& screenRect) = 0;
    // Marks `rect` (client coordinates) for repainting; the host later calls the
    // translator's Paint.
    virtual void InvalidateWindow(cWindowTranslator* window, const sRect& rect) = 0;
    // While set, the window receives the mouse even outside its area.
    virtual void SetMouseCapture(cWindowTranslator* window, bool captured) = 0;
    virtual void SetCursor(cWindowTranslator* window, i32 kind) = 0;

    // --- loop ------------------------------------------------------------------------
    // Wakes the GUI thread's loop; callable from any thread, and called under the
    // actions' process-wide lock, so it MUST NOT wait for that lock.
    virtual void Wake() = 0;
    // Runs a nested loop for `window` until its run has ended (cWindowTranslator::
    // IsRunEnded), dispatching actions, input and paints; returns the run's end code.
    virtual i32 RunModal(cWindowTranslator* window) = 0;

    // --- screen and clipboard ----------------------------------------------------------
    virtual bool GetScreenSize(sSize& size) = 0;
    // The usable area of the screen that shows `window` (null: the main screen), in
    // screen coordinates. A host with one screen answers the screen's size at (0, 0).
    virtual bool GetScreenArea(cWindowTranslator* window, sRect& area)
    {
        (void)window;
        sSize size;
        if (!GetScreenSize(size)) {
            return false;
        }
        area = {0, 0, size.width, size.height};
        return true;
    }
    virtual bool SetClipboardText(const char16_t* text, i32 length) = 0;
    virtual bool GetClipboardText(_guardchar<char16_t>& text) = 0;
    // The bytes of the toolkit's own clipboard format ("CI Raw bytes").
    virtual bool ReadClipboard(_typebuf<u8>& bytes) = 0;
};
