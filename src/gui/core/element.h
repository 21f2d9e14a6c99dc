#pragma once
// cChildElement: the widget base, one node of the widget tree.
//
// Sections: tree and ownership, geometry, text, state and focus, mouse and cursor,
// painting, fonts and texts, windows and clipboard, actions, input routing, handlers.
//
// Ownership: AttachChild never transfers ownership. Whoever made an element deletes it
// (a widget deletes the children it made; embedded members die with their owner). The
// destructor makes the tree forget the element: it leaves the live set (so queued
// actions and repaint requests for it are dropped unrun), clears every focus, capture,
// hover and hint pointer into its subtree without virtual calls, detaches itself and
// detaches (never deletes) the children still attached.
//
// Coordinates: an element's position is in its parent's content coordinates; painting,
// hit testing and the On... handlers use the element's own coordinates (0, 0 = its
// top-left). A parent may shift its children (a scrolled view) and clip them
// (GetChildShift, GetChildClipRect).
//
// Threads: everything here is for the GUI thread, except Invalidate, which any thread
// may call (the request is resolved on the GUI thread), and posting actions (actions.h).
#include "base/buffers.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/geometry.h"

#include <vector>

class cCanvas;
class cFontObject;
class cWindowTranslator;

// How the keyboard focus arrived: FocusByClick and OnFocusGained receive it.
enum : i32
{
    kFocusByLeftPress = 0,
    kFocusByRightPress = 1,
    kFocusByCode = 2, // Activate, Tab or the arrow keys
};

// Cursor kinds (SetCursorKind, DefaultCursorKind).
enum : i32
{
    kCursorArrow = 0,
    kCursorIBeam = 1,
    kCursorHand = 3,
    kCursorWestEast = 4,
};

// Anchor bits of AttachChild: on every parent resize the child keeps its distance to
// the parent's right (bit 0) or bottom (bit 1) edge by moving.
enum : i32
{
    kAnchorRight = 1,
    kAnchorBottom = 2,
};

class cChildElement
{
public:
    class cChildAction;
    class cSentChildAction;
    class cContextAction;

    cChildElement();
    virtual ~cChildElement();
    cChildElement(const cChildElement&) = delete;
    cChildElement& operator=(const cChildElement&) = delete;

    // --- tree ------------------------------------------------------------------------
    // Makes `child` the last child of this element (detaching it from a previous parent)
    // with bounds (x, y, width, height), then runs its ApplyStyle and OnCreate. False for
    // a null child, this element itself or one of its ancestors.
    bool AttachChild(cChildElement* child, i32 x, i32 y, i32 width, i32 height, i32 anchor = 0);
    // Places `child` (attaching it first when it is not a child yet): each negative x, y,
    // width or height counts from the right or bottom edge as value + parent size + 1,
    // and the placement is applied again on every resize of this element; computed sizes
    // stop at 0. On an attached child it replaces the placement; SetBounds drops it.
    bool AddChildAt(cChildElement* child, i32 x, i32 y, i32 width, i32 height);
    // Removes `child` from the children and makes the tree forget it (focus, capture,
    // hover, hint) without deleting it and without virtual calls into it. False when it
    // is not a child of this element.
    bool DetachChild(cChildElement* child);
    cChildElement* GetParent() const { return m_parent; }
    // In attach order (= paint order).
    const std::vector<cChildElement*>& GetChildren() const { return m_children; }
    cChildElement* GetRoot();
    // The window whose root this element's tree is; null outside a host window.
    cWindowTranslator* GetWindow();
    bool IsAncestorOf(const cChildElement* element) const;

    // --- geometry --------------------------------------------------------------------
    i32 GetWidth() const { return m_rect.width; }
    i32 GetHeight() const { return m_rect.height; }
    // Negative sizes become 0. A size change re-applies the children's placements and
    // calls OnResize.
    void SetBounds(i32 x, i32 y, i32 width, i32 height);
    // In the parent's content coordinates.
    sRect GetRect() const { return m_rect; }
    // The part of the element that shows content: the whole element in the base.
    virtual sRect GetViewRect();
    sSize GetClientSize();
    // Where the content's (0, 0) lies in element coordinates: (0, 0) in the base, minus
    // the scroll offsets in a scrolled view.
    virtual sPoint GetClientOrigin();
    // The element's top-left in screen coordinates; false outside a host window.
    bool GetScreenOrigin(sPoint& point);
    // The element's top-left in its window's client coordinates (also valid, relative to
    // the tree's root, outside a window).
    sPoint GetOriginInRoot();
    // Inside 0..width-1 and 0..height-1.
    bool ContainsPoint(i32 x, i32 y) const { return x >= 0 && y >= 0 && x < m_rect.width && y < m_rect.height; }
    // Limits a window root keeps to while its window is resized.
    void SetMinSize(i32 width, i32 height);
    void SetMaxSize(i32 width, i32 height);
    // A negative minimum reads as 0.
    i32 GetMinWidth() const { return m_minSize.width < 0 ? 0 : m_minSize.width; }
    i32 GetMinHeight() const { return m_minSize.height < 0 ? 0 : m_minSize.height; }
    // 0 = no limit.
    sSize GetMaxSize() const { return m_maxSize; }
    // The largest window the screen allows; false without a host window.
    bool GetMaxWindowSize(sSize& size);

    // --- text ------------------------------------------------------------------------
    // Replaces the text (length -1 = up to the terminator, null clears) and redraws.
    // False when memory is short (the text stays as it was).
    virtual bool SetText(const char16_t* text, i32 length = -1);
    // Never null.
    virtual const char16_t* GetText();
    virtual bool CopyText(_guardchar<char16_t>& out);
    virtual void ClearText();
    // The hint shown while the pointer rests on the element (null clears).
    bool SetHint(const char16_t* text);
    const char16_t* GetHint() const { return m_hint.GetOrEmpty(); }

    // --- state and focus -------------------------------------------------------------
    // Hiding or disabling also drops the focus, capture and hover held inside.
    void Show(bool redraw = true);
    void Hide(bool redraw = true);
    bool IsVisible() const { return m_visible; }
    // The element and every ancestor visible.
    bool IsVisibleInTree() const;
    void Enable(bool redraw = true);
    void Disable(bool redraw = true);
    bool IsEnabled() const { return m_enabled; }
    // The element and every ancestor up to the window root enabled. Disabled elements
    // still receive routed input (widgets check this); they never take the focus.
    bool IsEnabledInTree() const;
    // This element holds the keyboard focus of its window.
    bool HasFocus();
    // Set at attach from DefaultFocusable().
    void SetFocusable(bool focusable) { m_focusable = focusable; }
    bool IsFocusable() const { return m_focusable; }
    // Focusable, visible and enabled in the tree, inside a host window.
    bool CanTakeFocus();
    // Takes the keyboard focus (kind 2) when the element can.
    virtual void Activate();
    virtual void SetTransparent(bool transparent);
    bool IsTransparent() const { return m_transparent; }
    // Stored only: every paint of the software canvas is already buffered.
    void SetDoubleBuffered(bool doubleBuffered) { m_doubleBuffered = doubleBuffered; }
    bool IsDoubleBuffered() const { return m_doubleBuffered; }
    // Set at attach from ArrowNavQuery(): the parent moves the focus to the previous or
    // next focusable sibling on an arrow key the element leaves unhandled.
    void SetArrowNavigable(bool navigable) { m_arrowNavigable = navigable; }
    bool IsArrowNavigable() const { return m_arrowNavigable; }
    // Stored only, from DefaultSizeFlag() at attach.
    bool GetSizeFlag() const { return m_sizeFlag; }

    // --- mouse and cursor ------------------------------------------------------------
    // The holder of the capture receives every press, move and release of its window;
    // hiding, disabling or detaching it releases the capture.
    void CaptureMouse();
    void ReleaseMouse();
    bool HasMouseCapture();
    // -1 returns to DefaultCursorKind().
    void SetCursorKind(i32 kind);
    i32 GetCursorKind();

    // --- painting --------------------------------------------------------------------
    // Requests a repaint of `rect` (element coordinates), or of the whole element for
    // null. Callable from any thread.
    void Invalidate(const sRect* rect = nullptr);

    // --- fonts and texts ---------------------------------------------------------------
    // A font from the process-wide cache (the DPI factor is 1).
    cFontObject* GetFont(i32 width, i32 height, const char16_t* face, bool bold, bool underline,
                         bool italic);
    cFontObject* GetDefaultFont();    // 5 x 13 UI face
    cFontObject* GetBoldFont();       // 6 x 13 bold
    cFontObject* GetUnderlinedFont(); // 5 x 13 underlined
    // The size of one line of text in `font` (null = the default font); false outside a
    // host window.
    bool MeasureText(const char16_t* text, sSize& size, const cFontObject* font);
    // The text of that index in the language section named by the nearest form id up the
    // tree; null when the section or the index is missing.
    const char16_t* GetLangString(i32 index);
    // The same for `form`'s id before the form has a window of its own; `other` is the
    // element whose window (and so application) answers.
    static const char16_t* GetLangStringVia(cChildElement* form, cChildElement* other, i32 index);

    // --- windows and clipboard ---------------------------------------------------------
    // Runs `form` modally in a new dialog window of client size width x height, centred
    // over this element's window, and returns its end code; -1 without a host. The run
    // owns `form` on every path and deletes it after its window is gone.
    i32 RunModal(const char16_t* title, i32 width, i32 height, cChildElement* form, bool resizable);
    // Runs `root` (any element) modally in a popup window at a screen position; owns it
    // as RunModal does.
    i32 RunModalAt(cChildElement* root, i32 x, i32 y, i32 width, i32 height);
    // Ends the modal run that hosts this element's tree after the current dispatch;
    // ignored outside a run.
    void EndModal(i32 code);
    bool SetClipboardText(const char16_t* text, i32 length);
    bool GetClipboardText(_guardchar<char16_t>& text);
    // The raw bytes of the toolkit's own clipboard format.
    bool ReadClipboard(_typebuf<u8>& bytes);

    // --- actions -----------------------------------------------------------------------
    // Posts a plain action with `code` to this element (GUI queue).
    bool PostCode(i32 code);
    // An action posted to this element or bubbling up from a descendant: `source` is the
    // element it was posted to. True stops the bubbling. Codes 7 and above are numbered
    // by each widget on its own, so equal codes mean different things from different
    // sources: check `source` (and dynamic_cast the action) before reading a payload.
    virtual bool OnAction(cChildElement* source, cChildAction* action);
    // The 64-bit serial that tells this element apart from any later element at the
    // same address.
    u64 GetSerial() const { return m_serial; }

    // --- input routing -----------------------------------------------------------------
    // Presses and releases (button 1 left, 2 right) in element coordinates. The base
    // forwards to the topmost visible child under the point and otherwise handles it
    // here: a press gives the focus by click and
    // calls OnMouseButton (OnDoubleClick for the second press of a double click); a
    // release calls OnMouseButton and, for the right button inside the element, posts a
    // cContextAction (code 2) with the point.
    virtual void MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift);
    // A move of the pointer, in element coordinates, given to the capture holder or else
    // to the deepest visible element under the pointer; the base calls OnMouseMove.
    virtual void MouseMove(i32 x, i32 y) { OnMouseMove(x, y); }
    // A key press, starting at the focused element: the base asks OnKeyDown, then moves
    // the focus on an arrow key left unhandled by an arrow-navigable child, then passes
    // the key to the parent. True when handled.
    virtual bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt);
    // A printable UTF-16 unit for the focused element (never with Ctrl); the base calls
    // OnChar.
    virtual void CharInput(char16_t unit);

    // --- handlers ----------------------------------------------------------------------
    // Attach order: bounds, then ApplyStyle, then OnCreate.
    virtual void ApplyStyle() {}
    virtual void OnCreate() {}
    // Canvas origin = the element's top-left, clipped to its visible area, fresh font,
    // colours and pen.
    virtual void OnPaint(cCanvas& canvas) {}
    // Paints over the children (a scrolled view's bars).
    virtual void OnPaintAfterChildren(cCanvas& canvas) {}
    // Asked for the background under a transparent descendant: the canvas origin is the
    // descendant's top-left and `rect` is the descendant's rectangle in this element's
    // coordinates. True when drawn.
    virtual bool OnDrawBackground(cCanvas& canvas, const sRect& rect) { return false; }
    virtual void OnResize() {}
    virtual void OnMouseButton(i32 x, i32 y, i32 button, bool down) {}
    virtual void OnMouseMove(i32 x, i32 y) {}
    // Wheel notches (positive = away from the user) under the pointer; bubbles to the
    // parents until handled.
    virtual bool OnMouseWheel(i32 notches) { return false; }
    virtual void OnHoverStart() {}
    virtual void OnHoverEnd() {}
    // The second left press of a double click; the base treats it as a press.
    virtual void OnDoubleClick(i32 x, i32 y);
    virtual void OnChar(char16_t unit) {}
    virtual bool OnKeyDown(i32 vk) { return false; }
    // The element or an ancestor was enabled or disabled.
    virtual void OnEnabledChanged() {}
    // Focus changes, in this order: DropFocus on each element whose subtree the focus
    // leaves (innermost first), OnFocusLost on the old holder, FocusByClick (press kinds)
    // or SetFocus (kind 2) on each element whose subtree it enters (outermost first), then
    // OnFocusGained and OnGotFocus on the new holder. Window deactivation calls DropFocus
    // along the whole chain, reactivation SetFocus.
    virtual void DropFocus() {}
    virtual void FocusByClick(i32 kind, bool ctrl, bool shift) {}
    virtual void SetFocus() {}
    virtual void OnFocusLost() {}
    virtual void OnFocusGained(i32 kind, bool ctrl, bool shift) {}
    virtual void OnGotFocus() {}

    // --- class defaults ----------------------------------------------------------------
    virtual bool DefaultDoubleBuffered() { return false; }
    virtual bool DefaultFocusCapable() { return false; }
    virtual bool DefaultFocusable() { return DefaultFocusCapable(); }
    virtual bool DefaultSizeFlag() { return false; }
    virtual bool ArrowNavQuery() { return false; }
    virtual i32 DefaultBorderWidth() { return 0; }
    virtual i32 DefaultCursorKind() { return kCursorArrow; }
    // The language section of a form ("ciom::messages"); null for elements without one.
    virtual const char* GetFormId() { return nullptr; }

    // --- children layout hooks -----------------------------------------------------------
    // The offset added to a child's position when it is painted and hit (scrolling).
    virtual sPoint GetChildShift(const cChildElement* child) { return {}; }
    // Where children may show, in element coordinates.
    virtual sRect GetChildClipRect() { return {0, 0, m_rect.width, m_rect.height}; }
    // The visible child under a point in element coordinates, topmost first; null when
    // the point is outside the child clip or on no child.
    cChildElement* ChildAt(i32 x, i32 y);
    // `child`'s top-left in this element's coordinates (position plus shift).
    sPoint ChildOrigin(const cChildElement* child);

private:
    friend class cWindowTranslator;
    friend class cScrollableElement;

    struct sPlacement
    {
        bool active = false;
        i32 x = 0;
        i32 y = 0;
        i32 width = 0;
        i32 height = 0;
    };

    void SetBoundsKeepingPlacement(i32 x, i32 y, i32 width, i32 height);
    void ApplyPlacements(i32 oldWidth, i32 oldHeight);
    sRect ResolvePlacement(const sPlacement& placement) const;
    void HandleMouseButtonHere(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift);
    bool MoveFocusAmongSiblings(i32 vk);
    void NotifyEnabledChanged();
    // The flag is set on this element and on every ancestor.
    bool IsSetUpTheTree(bool cChildElement::*flag) const;
    void InvalidateInParent();

    cChildElement* m_parent = nullptr;
    std::vector<cChildElement*> m_children;
    // Set on a window's root only.
    cWindowTranslator* m_window = nullptr;
    u64 m_serial = 0;

    sRect m_rect;
    sPlacement m_placement;
    i32 m_anchor = 0;
    sSize m_minSize;
    sSize m_maxSize;

    _guardchar<char16_t> m_text;
    _guardchar<char16_t> m_hint;
    i32 m_cursorKind = -1;

    bool m_visible = true;
    bool m_enabled = true;
    bool m_focusable = false;
    bool m_transparent = false;
    bool m_doubleBuffered = false;
    bool m_arrowNavigable = false;
    bool m_sizeFlag = false;
    // Kept by a scrolled parent (SetChildScrollAlign): the child stays put on these axes
    // while the content scrolls. Cleared on detach, so no parent keeps a map of them.
    bool m_keepScrollX = false;
    bool m_keepScrollY = false;
};
