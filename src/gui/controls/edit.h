#pragma once
// cEditChild: the single-line text field. A fixed-capacity UTF-16 buffer with a caret,
// a selection, horizontal scrolling, keyboard and mouse editing, the clipboard, a
// context menu, a read-only mode and a grey italic cue text shown while the field is
// empty and unfocused.
//
// Indices are UTF-16 unit positions 0..length; the caret never rests inside a
// surrogate pair, and every move, delete, hit test, cut and run treats a pair as one
// step, so no edit leaves half a pair behind. The selection is an inclusive unit range
// [start, end], both -1 when nothing is selected.
//
// Keys (Shift extends the selection by the rule below, else a move clears it):
//   Left, Right         one step on the screen; with Ctrl over one run of blanks or of
//                       non-blanks (in the text's order)
//   Home, Up / End, Down  to 0 / to the end
//   Backspace, Delete   the selection, else the step before / at the caret (writable)
//   Ctrl+C, Ctrl+Insert copy; Ctrl+V, Shift+Insert paste; Ctrl+A select all
//   Ctrl+X              copy, then delete (a read-only field copies only)
//   Shift+Delete        copy, then delete (nothing when read-only)
//   Enter               posts kEditEnter and passes the key on (the form's OnOK)
//   Escape              clears a selection; without one posts kEditEscape and passes on
// Moves and edits are handled; every other key passes to the base (Tab among them).
//
// A line with right-to-left text is shown in display order. The caret stands where
// text typed in the paragraph's direction goes: after the character before it when
// that one runs in the paragraph's direction, else before the character after it (at
// the text's end: the line's far end). Left and Right go to the nearest caret place
// on that side on the screen, a click to the nearest caret place, and a selection
// (a range of the text) shows as the bands its characters cover.
//
// Selection rule, the caret moving from a to b with Shift: the selection is
// [min(anchor, b), max(anchor, b) - 1], where the anchor is the selection end away
// from a (a at start: end + 1; a at end + 1: start), or a itself without a selection;
// a caret at neither end clears the selection. Read-only fields without the
// caret-and-selection flag never change their selection.
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/element.h"

#include <memory>

class cCanvas;
class cFontObject;
struct sUnitPlace;

class cEditChild : public cChildElement
{
public:
    // Actions the field posts to itself (plain actions, bubbling to the form).
    enum : i32
    {
        kEditEnter = 7,
        kEditEscape = 8,     // Escape while nothing is selected
        kEditFocusLost = 9,  // not while the context menu runs
    };
    // Colour states (SetBorderColour, GetBackColour, GetBorderColour).
    enum : i32
    {
        kEditNormal = 0,
        kEditFocused = 1,
        kEditHovered = 2,
        kEditDisabled = 3,
        kEditStateCount = 4,
    };
    static constexpr i32 kDefaultMaxLength = 256;
    // The largest maximum length: path fields need 32,768, and the cap keeps the
    // buffers of a hostile caller bounded.
    static constexpr i32 kMaxLengthLimit = 1 << 20;

    cEditChild();
    ~cEditChild() override;

    // Empties the text and reallocates the buffers for n units; false for n < 0,
    // n > kMaxLengthLimit or when memory runs out (nothing changes then).
    [[nodiscard]] bool SetMaxLength(i32 n);
    i32 GetMaxLength() const { return m_maxLength; }
    // Replaces the text (length -1 = up to the terminator; the text also ends at its
    // first zero unit): caret and scroll to 0, no selection, redrawn. A text longer
    // than the maximum raises the maximum to its length, at most kMaxLengthLimit units
    // (a longer text is cut, never inside a surrogate pair). False when memory runs
    // out (nothing changes then).
    [[nodiscard]] virtual bool SetTextN(const char16_t* text, i32 length);
    // Null removes the cue.
    [[nodiscard]] virtual bool SetCueText(const char16_t* text);

    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    void SetSelectAllOnFocus(bool selectAll) { m_selectAllOnFocus = selectAll; }
    // Whether a read-only field shows a caret and lets the user select.
    void SetSelectableWhileReadOnly(bool selectable);
    // The same background, text and border colour for all four states.
    void SetColours(u32 back, u32 text, u32 border);
    // Redraws on a change; states outside 0..3 are ignored.
    void SetBorderColour(i32 state, u32 colour);
    // 0 for states outside 0..3.
    u32 GetBackColour(i32 state) const;
    u32 GetBorderColour(i32 state) const;
    // Replaces the regular font; a font set before attaching is kept.
    void SetFont(cFontObject* font);

    // The whole text selected, the caret at the end.
    void SelectAll();
    void ClearSelection();
    // Puts the selected units on the clipboard; nothing without a selection.
    void CopySelection();
    // Writable fields only: deletes the selection and inserts the clipboard text at the
    // caret, as much as fits (never half a pair); the text after the caret stays.
    void Paste();
    // False when read-only or nothing is selected.
    bool DeleteSelection();

    i32 GetLength() const { return m_length; }
    i32 GetCaret() const { return m_caret; }
    i32 GetSelectionStart() const { return m_selStart; }
    i32 GetSelectionEnd() const { return m_selEnd; }
    // The text's horizontal offset in pixels, never above 0.
    i32 GetScrollOffset() const { return m_scroll; }
    // The buffer: the text followed by zero units up to the capacity; never null.
    const char16_t* GetBuffer() const { return m_text; }
    // The caret index a press at x (element coordinates) puts the caret at.
    i32 IndexAt(i32 x);

    // The text (a copy kept until the next call); null for an empty field.
    const char16_t* GetText() override;
    bool CopyText(_guardchar<char16_t>& out) override;
    // Empties the text (caret, scroll and selection reset).
    void ClearText() override;

    // The right release opens the context menu here, so the core's context action is
    // not posted for the field.
    void MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift) override;
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;

    void ApplyStyle() override;
    void OnCreate() override;
    void OnPaint(cCanvas& canvas) override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void OnMouseMove(i32 x, i32 y) override;
    void OnHoverStart() override;
    void OnHoverEnd() override;
    void OnDoubleClick(i32 x, i32 y) override;
    void OnChar(char16_t unit) override;
    void OnFocusGained(i32 kind, bool ctrl, bool shift) override;
    void OnFocusLost() override;
    bool DefaultDoubleBuffered() override { return true; }
    bool DefaultFocusCapable() override { return true; }
    bool DefaultSizeFlag() override { return true; }
    bool ArrowNavQuery() override { return true; }
    const char* GetFormId() override { return "ciom::edit"; }

private:
    enum eScreenSide
    {
        kScreenLeft,
        kScreenRight,
    };
    struct sColours
    {
        u32 back;
        u32 text;
        u32 border;
    };

    // Allocates text and edge buffers for `maxLength` units together; false (nothing
    // changed) when memory runs out. The new text is empty.
    bool Reallocate(i32 maxLength);
    // 0 <= caret <= length <= maximum, the buffer terminated, the selection inside the
    // text; checked in debug builds.
    void AssertInvariant() const;
    // After every text change: caret, scroll and selection reset, layout stale, redraw.
    void ResetAfterTextChange();
    // Brings the unit places (once per text version and font) and the scroll offset
    // (the caret kept in view) up to date; paint and hit tests both call it, so a click
    // lands where a paint would have put the text.
    void EnsureLayout();
    // The caret's x from the text's start at index i, by the rule above.
    i64 CaretX(i32 index) const;
    // Whether the caret may stand at index i: not between units of one cluster.
    bool IsCaretStop(i32 index) const;
    // The caret index nearest to x (from the text's start) in a mixed-direction line.
    i32 NearestStop(i64 x) const;
    // The next caret index to the left or right of the caret on the screen.
    i32 VisualStep(i32 from, eScreenSide side) const;
    i32 StepBack(i32 index) const;
    i32 StepForward(i32 index) const;
    i32 RunStartBefore(i32 index) const;
    i32 RunEndFrom(i32 index) const;
    bool CanSelect() const { return !m_readOnly || m_selectableWhileReadOnly; }
    bool HasSelection() const { return m_selStart >= 0; }
    // The selection rule for a caret move from a to b with Shift.
    void ExtendSelection(i32 a, i32 b);
    // Moves the caret to b, extending the selection with Shift, else clearing it.
    void MoveCaret(i32 b, bool shift);
    // Removes units [from, to) and zero-fills the freed tail; the caret goes to `from`.
    void RemoveUnits(i32 from, i32 to);
    // Inserts at the caret as many units of `text` as fit, never half a pair; the
    // caret ends behind them.
    void InsertAtCaret(const char16_t* text, i32 count);
    void DeleteStep(bool forward);
    void ShowContextMenu(i32 x, i32 y);
    void PostEditCode(i32 code);
    i32 ColourState();
    void PaintText(cCanvas& canvas, i32 y, const sColours& colours);
    void PaintMixedText(cCanvas& canvas, i32 y, const sColours& colours);
    // The selection's band (back) and text: the selected-text colour on the selection
    // colour while focused or while the menu is open, else the normal text colour on the
    // grey band (white on that grey would be unreadable).
    sColours SelectionColours();

    // The buffers: capacity m_maxLength + 1 text units and unit places. `m_text`
    // points at `m_textStore` or, while nothing could be allocated, at `m_noText`.
    std::unique_ptr<char16_t[]> m_textStore;
    std::unique_ptr<sUnitPlace[]> m_places;
    char16_t m_noText[1] = {0};
    char16_t* m_text = m_noText;
    i32 m_maxLength = 0;
    i32 m_length = 0;

    _guardchar<char16_t> m_cue;
    _guardchar<char16_t> m_textCopy;
    cFontObject* m_font = nullptr;
    cFontObject* m_cueFont = nullptr;
    sColours m_colours[kEditStateCount] = {};

    i32 m_caret = 0;
    i32 m_scroll = 0;
    i32 m_selStart = -1;
    i32 m_selEnd = -1;

    // Layout keys: the text version counts text changes; the places belong to
    // (m_edgeVersion, m_edgeFont), the scroll offset to (version, caret, width).
    u64 m_textVersion = 1;
    u64 m_edgeVersion = 0;
    const cFontObject* m_edgeFont = nullptr;
    u64 m_scrollVersion = 0;
    i32 m_scrollCaret = -1;
    i32 m_scrollWidth = -1;
    i32 m_lineHeight = 0;
    // From the places: the text's width, its paragraph's direction, and whether any
    // unit runs right to left (the line is then shown and walked in display order).
    i64 m_lineWidth = 0;
    bool m_rightToLeftLine = false;
    bool m_mixedDirections = false;
    // Measures outside paint (hit tests before the first paint).
    std::unique_ptr<cCanvas> m_measure;

    bool m_mouseSelecting = false;
    bool m_hovered = false;
    bool m_menuOpen = false;
    bool m_readOnly = false;
    bool m_selectAllOnFocus = true;
    bool m_selectableWhileReadOnly = true;
};
