#include "gui/controls/edit.h"

#include "gui/controls/clamp.h"
#include "gui/controls/popupmenu.h"
#include "gui/core/actions.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

// Theme colours.
constexpr i32 kCueColour = 8;
constexpr i32 kSelectedTextColour = 10;
constexpr i32 kSelectionFocusedColour = 17;
constexpr i32 kSelectionColour = 18;

// Context menu entries: id and text index of "ciom::edit", in menu order.
enum : i32
{
    kMenuCut = 10,
    kMenuCopy = 20,
    kMenuPaste = 30,
    kMenuDelete = 40,
    kMenuSelectAll = 50,
};
enum : i32
{
    kTextCopy = 0,
    kTextCut = 1,
    kTextPaste = 2,
    kTextDelete = 3,
    kTextSelectAll = 4,
};
constexpr i32 kMenuMinimumWidth = 100;

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The first index in [0, count) whose right edge lies beyond `x`, else count (in a line
// that runs left to right the edges rise).
i32 FirstEdgeBeyond(const sUnitPlace* places, i32 count, i64 x)
{
    return i32(std::upper_bound(places, places + count, x,
                                [](i64 value, const sUnitPlace& place) { return value < place.right; }) -
               places);
}

} // namespace

cEditChild::cEditChild()
{
    const cCITheme* theme = GetTheme();
    // (background, text, border) per state; the focused state takes the theme's 29 and
    // the hovered one its 28, so the state order is not the theme order.
    static constexpr i32 kStateColours[kEditStateCount][3] = {{27, 4, 32}, {29, 4, 34}, {28, 4, 33}, {30, 5, 35}};
    for (i32 state = 0; state < kEditStateCount; ++state) {
        m_colours[state] = {theme->GetColour(kStateColours[state][0]), theme->GetColour(kStateColours[state][1]),
                            theme->GetColour(kStateColours[state][2])};
    }
    SetDoubleBuffered(true);
    (void)Reallocate(kDefaultMaxLength);
}

cEditChild::~cEditChild() = default;

// --- buffer ----------------------------------------------------------------------------------------

bool cEditChild::Reallocate(i32 maxLength)
{
    if (maxLength < 0 || maxLength > kMaxLengthLimit) {
        return false;
    }
    // The new buffers first: a failure leaves the old text in place.
    const size_t units = size_t(maxLength) + 1;
    std::unique_ptr<char16_t[]> text(new (std::nothrow) char16_t[units]());
    std::unique_ptr<sUnitPlace[]> places(new (std::nothrow) sUnitPlace[units]());
    if (text == nullptr || places == nullptr) {
        return false;
    }
    m_textStore = std::move(text);
    m_places = std::move(places);
    m_text = m_textStore.get();
    m_maxLength = maxLength;
    m_length = 0;
    return true;
}

void cEditChild::AssertInvariant() const
{
    assert(m_caret >= 0 && m_caret <= m_length && m_length <= m_maxLength && m_text[m_length] == 0);
    assert((m_selStart == -1 && m_selEnd == -1) || (m_selStart >= 0 && m_selStart <= m_selEnd && m_selEnd < m_length));
}

void cEditChild::ResetAfterTextChange()
{
    m_caret = 0;
    m_scroll = 0;
    m_selStart = -1;
    m_selEnd = -1;
    ++m_textVersion;
    AssertInvariant();
    Invalidate();
}

bool cEditChild::SetMaxLength(i32 n)
{
    if (!Reallocate(n)) {
        return false;
    }
    ResetAfterTextChange();
    return true;
}

bool cEditChild::SetTextN(const char16_t* text, i32 length)
{
    const i64 limit = length < 0 ? i64(kMaxLengthLimit) + 1 : std::min<i64>(length, i64(kMaxLengthLimit) + 1);
    i64 count = 0;
    while (text != nullptr && count < limit && text[count] != 0) {
        ++count;
    }
    if (count > kMaxLengthLimit) {
        count = kMaxLengthLimit;
        if (IsHighSurrogate(text[count - 1]) && IsLowSurrogate(text[count])) {
            --count;
        }
    }
    if (count > m_maxLength) {
        if (!Reallocate(i32(count))) {
            return false;
        }
    } else {
        std::fill(m_text, m_text + m_length, char16_t(0));
    }
    std::copy(text, text + count, m_text);
    m_length = i32(count);
    ResetAfterTextChange();
    return true;
}

bool cEditChild::SetCueText(const char16_t* text)
{
    if (!m_cue.Assign(text)) {
        return false;
    }
    Invalidate();
    return true;
}

const char16_t* cEditChild::GetText()
{
    if (!m_textCopy.AssignN(m_text, size_t(m_length))) {
        m_textCopy.Clear();
    }
    return m_textCopy.Get();
}

bool cEditChild::CopyText(_guardchar<char16_t>& out)
{
    return out.AssignN(m_text, size_t(m_length));
}

void cEditChild::ClearText()
{
    std::fill(m_text, m_text + m_length, char16_t(0));
    m_length = 0;
    ResetAfterTextChange();
}

// --- settings --------------------------------------------------------------------------------------

void cEditChild::SetReadOnly(bool readOnly)
{
    if (m_readOnly != readOnly) {
        m_readOnly = readOnly;
        Invalidate();
    }
}

void cEditChild::SetSelectableWhileReadOnly(bool selectable)
{
    if (m_selectableWhileReadOnly != selectable) {
        m_selectableWhileReadOnly = selectable;
        Invalidate();
    }
}

void cEditChild::SetColours(u32 back, u32 text, u32 border)
{
    for (sColours& colours : m_colours) {
        colours = {back, text, border};
    }
    Invalidate();
}

void cEditChild::SetBorderColour(i32 state, u32 colour)
{
    if (state >= 0 && state < kEditStateCount && m_colours[state].border != colour) {
        m_colours[state].border = colour;
        Invalidate();
    }
}

u32 cEditChild::GetBackColour(i32 state) const
{
    return state >= 0 && state < kEditStateCount ? m_colours[state].back : 0;
}

u32 cEditChild::GetBorderColour(i32 state) const
{
    return state >= 0 && state < kEditStateCount ? m_colours[state].border : 0;
}

void cEditChild::SetFont(cFontObject* font)
{
    m_font = font;
    Invalidate();
}

// --- steps and runs --------------------------------------------------------------------------------

i32 cEditChild::StepBack(i32 index) const
{
    if (index >= 2 && IsLowSurrogate(m_text[index - 1]) && IsHighSurrogate(m_text[index - 2])) {
        return index - 2;
    }
    return std::max(index - 1, 0);
}

i32 cEditChild::StepForward(i32 index) const
{
    if (index + 1 < m_length && IsHighSurrogate(m_text[index]) && IsLowSurrogate(m_text[index + 1])) {
        return index + 2;
    }
    return std::min(index + 1, m_length);
}

// Back over the run (blanks or non-blanks) that the unit before `index` belongs to.
i32 cEditChild::RunStartBefore(i32 index) const
{
    if (index <= 0) {
        return 0;
    }
    const bool blank = IsBlankChar(m_text[index - 1]);
    while (index > 0 && IsBlankChar(m_text[index - 1]) == blank) {
        --index;
    }
    return index;
}

// Forward over the run that starts at `index`.
i32 cEditChild::RunEndFrom(i32 index) const
{
    if (index >= m_length) {
        return m_length;
    }
    const bool blank = IsBlankChar(m_text[index]);
    while (index < m_length && IsBlankChar(m_text[index]) == blank) {
        ++index;
    }
    return index;
}

// --- selection -------------------------------------------------------------------------------------

void cEditChild::ExtendSelection(i32 a, i32 b)
{
    if (a == b || !CanSelect()) {
        return;
    }
    if (a < b) {
        if (b > m_length) {
            return;
        }
        if (!HasSelection()) {
            m_selStart = a;
            m_selEnd = b - 1;
        } else if (a == m_selEnd + 1) {
            m_selEnd = b - 1;
        } else if (a == m_selStart && b <= m_selEnd) {
            m_selStart = b;
        } else if (a == m_selStart && b > m_selEnd + 1) {
            m_selStart = m_selEnd + 1;
            m_selEnd = b - 1;
        } else {
            ClearSelection();
        }
    } else {
        if (!HasSelection()) {
            m_selStart = b;
            m_selEnd = a - 1;
        } else if (a == m_selStart) {
            m_selStart = b;
        } else if (a == m_selEnd + 1 && b > m_selStart) {
            m_selEnd = b - 1;
        } else if (a == m_selEnd + 1 && b < m_selStart) {
            m_selEnd = m_selStart - 1;
            m_selStart = b;
        } else {
            ClearSelection();
        }
    }
    Invalidate();
}

void cEditChild::MoveCaret(i32 b, bool shift)
{
    if (shift) {
        ExtendSelection(m_caret, b);
    } else {
        ClearSelection();
    }
    m_caret = b;
    AssertInvariant();
    Invalidate();
}

void cEditChild::SelectAll()
{
    ClearSelection();
    ExtendSelection(0, m_length);
    m_caret = m_length;
    Invalidate();
}

void cEditChild::ClearSelection()
{
    if (HasSelection()) {
        m_selStart = -1;
        m_selEnd = -1;
        Invalidate();
    }
}

void cEditChild::CopySelection()
{
    if (HasSelection()) {
        (void)SetClipboardText(m_text + m_selStart, m_selEnd - m_selStart + 1);
    }
}

// --- editing ---------------------------------------------------------------------------------------

void cEditChild::RemoveUnits(i32 from, i32 to)
{
    std::copy(m_text + to, m_text + m_length, m_text + from);
    std::fill(m_text + m_length - (to - from), m_text + m_length, char16_t(0));
    m_length -= to - from;
    m_caret = from;
    ++m_textVersion;
    AssertInvariant();
}

void cEditChild::InsertAtCaret(const char16_t* text, i32 count)
{
    i32 fitting = std::min(count, m_maxLength - m_length);
    if (fitting <= 0) {
        return;
    }
    if (fitting < count && IsHighSurrogate(text[fitting - 1]) && IsLowSurrogate(text[fitting])) {
        --fitting;
    }
    std::copy_backward(m_text + m_caret, m_text + m_length, m_text + m_length + fitting);
    std::copy(text, text + fitting, m_text + m_caret);
    m_length += fitting;
    m_caret += fitting;
    ++m_textVersion;
    AssertInvariant();
    Invalidate();
}

bool cEditChild::DeleteSelection()
{
    if (m_readOnly || !HasSelection()) {
        return false;
    }
    const i32 start = m_selStart;
    const i32 end = m_selEnd;
    ClearSelection();
    RemoveUnits(start, end + 1);
    Invalidate();
    return true;
}

void cEditChild::DeleteStep(bool forward)
{
    if (m_readOnly || DeleteSelection()) {
        return;
    }
    if (forward && m_caret < m_length) {
        RemoveUnits(m_caret, StepForward(m_caret));
    } else if (!forward && m_caret > 0) {
        RemoveUnits(StepBack(m_caret), m_caret);
    }
    Invalidate();
}

void cEditChild::Paste()
{
    if (m_readOnly) {
        return;
    }
    (void)DeleteSelection();
    _guardchar<char16_t> clip;
    if (GetClipboardText(clip) && !clip.IsEmpty()) {
        InsertAtCaret(clip.Get(), ClampToI32(i64(clip.Length())));
    }
}

void cEditChild::OnChar(char16_t unit)
{
    if (m_readOnly || unit == 0) {
        return;
    }
    (void)DeleteSelection();
    // Half a pair goes in only when its other half can follow: a high surrogate while
    // two units fit, a low one right behind a high one.
    if (IsHighSurrogate(unit) && m_maxLength - m_length < 2) {
        return;
    }
    if (IsLowSurrogate(unit) && (m_caret == 0 || !IsHighSurrogate(m_text[m_caret - 1]))) {
        return;
    }
    InsertAtCaret(&unit, 1);
}

// --- keys ------------------------------------------------------------------------------------------

bool cEditChild::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    switch (vk) {
    case kVkBack:
        DeleteStep(false);
        return true;
    case kVkDelete:
        if (shift) {
            if (!m_readOnly) {
                CopySelection();
                (void)DeleteSelection();
            }
            return true;
        }
        DeleteStep(true);
        return true;
    case kVkReturn:
        // Posted, and passed on: the form's OnOK runs as well.
        PostEditCode(kEditEnter);
        break;
    case kVkEscape:
        if (HasSelection()) {
            ClearSelection();
            return true;
        }
        PostEditCode(kEditEscape);
        break;
    case kVkEnd:
    case kVkDown:
        MoveCaret(m_length, shift);
        return true;
    case kVkHome:
    case kVkUp:
        MoveCaret(0, shift);
        return true;
    case kVkLeft:
        EnsureLayout(); // the places of the text as it is now
        MoveCaret(ctrl ? RunStartBefore(m_caret) : VisualStep(m_caret, kScreenLeft), shift);
        return true;
    case kVkRight:
        EnsureLayout();
        MoveCaret(ctrl ? RunEndFrom(m_caret) : VisualStep(m_caret, kScreenRight), shift);
        return true;
    case kVkInsert:
        if (ctrl) {
            CopySelection();
            return true;
        }
        if (shift) {
            Paste();
            return true;
        }
        break;
    case 'C':
        if (ctrl) {
            CopySelection();
            return true;
        }
        break;
    case 'V':
        if (ctrl) {
            Paste();
            return true;
        }
        break;
    case 'X':
        if (ctrl) {
            CopySelection();
            (void)DeleteSelection();
            return true;
        }
        break;
    case 'A':
        if (ctrl) {
            SelectAll();
            return true;
        }
        break;
    default:
        break;
    }
    return cChildElement::KeyDown(vk, shift, ctrl, alt);
}

void cEditChild::PostEditCode(i32 code)
{
    // A failed allocation posts a plain code-0 action instead.
    (void)PostAction(this, new (std::nothrow) cChildAction(code));
}

// --- mouse -----------------------------------------------------------------------------------------

void cEditChild::MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    if (button == kMouseRight && !down) {
        OnMouseButton(x, y, button, false);
        return;
    }
    cChildElement::MouseButton(x, y, button, down, ctrl, shift);
}

i32 cEditChild::IndexAt(i32 x)
{
    EnsureLayout();
    // The text starts at scroll offset + 2.
    const i64 along = i64(x) - (i64(m_scroll) + 2);
    if (m_mixedDirections) {
        return NearestStop(along);
    }
    const i32 index = FirstEdgeBeyond(m_places.get(), m_length, along);
    if (index >= m_length) {
        return m_length;
    }
    const i64 left = CaretX(index);
    const i64 right = m_places[index].right;
    return along - left <= right - along ? index : StepForward(index);
}

void cEditChild::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button == kMouseLeft && down) {
        if (!IsEnabledInTree()) {
            return;
        }
        ClearSelection();
        CaptureMouse();
        m_mouseSelecting = true;
        m_caret = IndexAt(x);
        Invalidate();
    } else if (button == kMouseLeft) {
        m_mouseSelecting = false;
        ReleaseMouse();
    } else if (button == kMouseRight && !down && IsEnabledInTree() && ContainsPoint(x, y)) {
        ShowContextMenu(x, y);
    }
}

void cEditChild::OnMouseMove(i32 x, i32 y)
{
    if (!m_mouseSelecting) {
        return;
    }
    // The capture taken away (the field hidden or disabled mid-drag) ends the drag.
    if (!HasMouseCapture()) {
        m_mouseSelecting = false;
        return;
    }
    MoveCaret(IndexAt(x), true);
}

void cEditChild::OnDoubleClick(i32 x, i32 y)
{
    if (!IsEnabledInTree()) {
        return;
    }
    EnsureLayout();
    const i64 along = i64(x) - (i64(m_scroll) + 2);
    i32 under = 0;
    if (m_mixedDirections) {
        // The unit whose cluster covers x, else past the end.
        while (under < m_length && (along < m_places[under].left || along >= m_places[under].right)) {
            ++under;
        }
    } else {
        under = FirstEdgeBeyond(m_places.get(), m_length, along);
    }
    i32 start;
    i32 end;
    if (under < m_length) {
        start = RunStartBefore(under + 1);
        end = RunEndFrom(under);
    } else if (m_length > 0 && !IsBlankChar(m_text[m_length - 1])) {
        start = RunStartBefore(m_length);
        end = m_length;
    } else {
        return;
    }
    ClearSelection();
    m_caret = start;
    MoveCaret(end, true);
}

void cEditChild::ShowContextMenu(i32 x, i32 y)
{
    const bool selected = HasSelection();
    const bool writable = !m_readOnly;
    tPopupItems items;
    auto add = [&](i32 id, i32 textIndex) {
        if (sPopupItem* item = items.GetOrAdd(id)) {
            (void)item->text.Assign(GetLangString(textIndex));
        }
    };
    if (selected && writable) {
        add(kMenuCut, kTextCut);
        add(kMenuDelete, kTextDelete);
    }
    if (selected) {
        add(kMenuCopy, kTextCopy);
    }
    _guardchar<char16_t> clip;
    if (writable && GetClipboardText(clip) && !clip.IsEmpty()) {
        add(kMenuPaste, kTextPaste);
    }
    if (m_length > 0 && !(m_selStart == 0 && m_selEnd == m_length - 1)) {
        add(kMenuSelectAll, kTextSelectAll);
    }
    sPoint origin;
    if (items.GetCount() == 0 || !GetScreenOrigin(origin)) {
        return;
    }
    sPopupStyle style;
    style.minimumWidth = kMenuMinimumWidth;
    // The flag keeps the focus change of the menu's window from clearing the selection
    // or posting the focus-lost code.
    const u64 serial = GetSerial();
    m_menuOpen = true;
    Invalidate();
    const i32 chosen = ShowPopupMenu(this, items, ClampToI32(i64(origin.x) + x), ClampToI32(i64(origin.y) + y), &style);
    if (!IsElementLive(this, serial)) {
        return;
    }
    m_menuOpen = false;
    Invalidate();
    switch (chosen) {
    case kMenuCut:
        CopySelection();
        (void)DeleteSelection();
        break;
    case kMenuCopy:
        CopySelection();
        break;
    case kMenuPaste:
        Paste();
        break;
    case kMenuDelete:
        (void)DeleteSelection();
        break;
    case kMenuSelectAll:
        SelectAll();
        break;
    default:
        break;
    }
}

// --- focus and hover -------------------------------------------------------------------------------

void cEditChild::OnFocusGained(i32 kind, bool ctrl, bool shift)
{
    if (m_menuOpen) {
        return;
    }
    if (m_selectAllOnFocus && !m_readOnly) {
        SelectAll();
    }
    Invalidate();
}

void cEditChild::OnFocusLost()
{
    m_mouseSelecting = false;
    if (m_menuOpen) {
        return;
    }
    ClearSelection();
    Invalidate();
    PostEditCode(kEditFocusLost);
}

void cEditChild::OnHoverStart()
{
    m_hovered = true;
    Invalidate();
}

void cEditChild::OnHoverEnd()
{
    m_hovered = false;
    Invalidate();
}

// --- lifecycle -------------------------------------------------------------------------------------

void cEditChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    m_selStart = -1;
    m_selEnd = -1;
    m_menuOpen = false;
    m_mouseSelecting = false;
}

void cEditChild::OnCreate()
{
    SetCursorKind(kCursorIBeam);
    if (m_font == nullptr) {
        m_font = GetFont(5, 13, GetUiFontName(), false, false, false);
    }
    m_cueFont = GetFont(5, 13, GetUiFontName(), false, false, true);
}

// --- layout and painting ---------------------------------------------------------------------------

i64 cEditChild::CaretX(i32 index) const
{
    if (index == 0) {
        return m_rightToLeftLine ? m_lineWidth : 0;
    }
    const sUnitPlace& before = m_places[index - 1];
    if (before.rightToLeft == m_rightToLeftLine) {
        return before.rightToLeft ? before.left : before.right;
    }
    if (index == m_length) {
        return m_rightToLeftLine ? 0 : m_lineWidth;
    }
    const sUnitPlace& after = m_places[index];
    return after.rightToLeft ? after.right : after.left;
}

bool cEditChild::IsCaretStop(i32 index) const
{
    return index == 0 || index == m_length || m_places[index - 1].left != m_places[index].left ||
           m_places[index - 1].right != m_places[index].right;
}

i32 cEditChild::NearestStop(i64 x) const
{
    // Of two places equally near, the left one (as a click on a character's middle
    // lands before it in a left-to-right line).
    i32 best = 0;
    i64 bestX = CaretX(0);
    for (i32 i = 1; i <= m_length; ++i) {
        const i64 at = CaretX(i);
        const i64 distance = std::abs(at - x);
        const i64 bestDistance = std::abs(bestX - x);
        if (IsCaretStop(i) && (distance < bestDistance || (distance == bestDistance && at < bestX))) {
            best = i;
            bestX = at;
        }
    }
    return best;
}

i32 cEditChild::VisualStep(i32 from, eScreenSide side) const
{
    if (!m_mixedDirections) {
        return side == kScreenRight ? StepForward(from) : StepBack(from);
    }
    const i64 fromX = CaretX(from);
    i32 best = from;
    i64 bestX = fromX;
    for (i32 i = 0; i <= m_length; ++i) {
        const i64 at = CaretX(i);
        const bool beyond = side == kScreenRight ? at > fromX : at < fromX;
        const bool nearer = best == from || (side == kScreenRight ? at < bestX : at > bestX);
        if (IsCaretStop(i) && beyond && nearer) {
            best = i;
            bestX = at;
        }
    }
    return best;
}

void cEditChild::EnsureLayout()
{
    if (m_edgeVersion != m_textVersion || m_edgeFont != m_font) {
        if (m_measure == nullptr) {
            m_measure.reset(CreateMemoryCanvas(1, 1));
        }
        bool measured = false;
        if (m_measure != nullptr) {
            m_measure->SelectFont(m_font);
            measured = m_measure->PlaceTextW(m_text, m_length, m_places.get(), &m_rightToLeftLine);
        }
        if (!measured) {
            std::fill(m_places.get(), m_places.get() + m_length, sUnitPlace{});
            m_rightToLeftLine = false;
        }
        m_lineWidth = 0;
        m_mixedDirections = false;
        for (i32 i = 0; i < m_length; ++i) {
            m_lineWidth = std::max<i64>(m_lineWidth, m_places[i].right);
            m_mixedDirections = m_mixedDirections || m_places[i].rightToLeft;
        }
        m_edgeVersion = m_textVersion;
        m_edgeFont = m_font;
        m_scrollVersion = 0;
    }
    const i32 width = GetWidth();
    if (m_scrollVersion == m_textVersion && m_scrollCaret == m_caret && m_scrollWidth == width) {
        return;
    }
    if (CaretX(m_caret) == 0) {
        m_scroll = 0;
    } else {
        // Keep the caret between width / 8 and width - 2 (integer division).
        const i64 caretX = i64(m_scroll) + 1 + CaretX(m_caret);
        if (caretX > i64(width) - 2) {
            m_scroll = ClampToI32(m_scroll - (caretX - (i64(width) - 2)));
        } else if (caretX < width / 8) {
            m_scroll = ClampToI32(std::min<i64>(0, m_scroll + std::max<i64>(1 - caretX, width / 4)));
        }
    }
    m_scrollVersion = m_textVersion;
    m_scrollCaret = m_caret;
    m_scrollWidth = width;
}

i32 cEditChild::ColourState()
{
    if (!IsEnabledInTree()) {
        return kEditDisabled;
    }
    if (HasFocus()) {
        return kEditFocused;
    }
    return m_hovered ? kEditHovered : kEditNormal;
}

void cEditChild::OnPaint(cCanvas& canvas)
{
    const i32 w = GetWidth();
    const i32 h = GetHeight();
    const i32 state = ColourState();
    // Hovering wins the border over the focus.
    const i32 borderState = state == kEditFocused && m_hovered ? kEditHovered : state;
    const sColours& colours = m_colours[state];
    canvas.FillRect(0, 0, w, h, colours.back, m_colours[borderState].border);
    canvas.AddClip({1, 1, w - 2, h - 2});
    const bool focused = HasFocus();
    sSize size;
    if (m_length == 0 && !focused && !m_cue.IsEmpty()) {
        canvas.SelectFont(m_cueFont);
        canvas.SetColors(GetTheme()->GetColour(kCueColour), colours.back);
        if (canvas.MeasureTextW(m_cue.Get(), -1, &size)) {
            canvas.DrawTextW(2, (h - size.height) / 2, false, m_cue.Get(), -1);
        }
        canvas.ApplyClip();
        return;
    }
    EnsureLayout();
    canvas.SelectFont(m_font);
    if (!canvas.MeasureTextW(u"W", 1, &size)) {
        canvas.ApplyClip();
        return;
    }
    const i32 y = (h - size.height) / 2;
    PaintText(canvas, y, colours);
    if (focused && IsEnabledInTree() && CanSelect()) {
        const i64 along = CaretX(m_caret);
        const i32 caretX = along == 0 ? 1 : ClampToI32(i64(m_scroll) + 1 + along);
        canvas.SetPen(colours.text, 1);
        canvas.DrawLine(caretX, y, caretX, y + size.height);
    }
    canvas.ApplyClip();
}

// Draws only the units that reach into the field (a 32,768-unit path costs no more
// than what shows), as up to three runs: before, inside and after the selection.
void cEditChild::PaintText(cCanvas& canvas, i32 y, const sColours& colours)
{
    if (m_mixedDirections) {
        PaintMixedText(canvas, y, colours);
        return;
    }
    const i64 origin = i64(m_scroll) + 2;
    const i32 first = FirstEdgeBeyond(m_places.get(), m_length, 1 - origin);
    i32 last = std::min(FirstEdgeBeyond(m_places.get(), m_length, i64(GetWidth()) - 2 - origin) + 1, m_length);
    if (last < m_length && last > 0 && IsHighSurrogate(m_text[last - 1]) && IsLowSurrogate(m_text[last])) {
        ++last;
    }
    struct sRun
    {
        i32 from;
        i32 to;
        bool selected;
    };
    const bool selected = HasSelection();
    const sRun runs[3] = {{0, selected ? m_selStart : m_length, false},
                          {selected ? m_selStart : m_length, selected ? m_selEnd + 1 : m_length, true},
                          {selected ? m_selEnd + 1 : m_length, m_length, false}};
    const sColours selection = SelectionColours();
    for (const sRun& run : runs) {
        const i32 from = std::max(run.from, first);
        const i32 to = std::min(run.to, last);
        if (from >= to) {
            continue;
        }
        if (run.selected) {
            canvas.SetColors(selection.text, selection.back);
        } else {
            canvas.SetColors(colours.text, colours.back);
        }
        canvas.DrawTextW(ClampToI32(origin + CaretX(from)), y, run.selected, m_text + from, to - from);
    }
}

cEditChild::sColours cEditChild::SelectionColours()
{
    const cCITheme* theme = GetTheme();
    if (HasFocus() || m_menuOpen) {
        const u32 back = theme->GetColour(kSelectionFocusedColour);
        return {back, theme->GetColour(kSelectedTextColour), back};
    }
    const u32 back = theme->GetColour(kSelectionColour);
    return {back, m_colours[kEditNormal].text, back};
}

// A mixed-direction line is drawn whole, so that it is shaped and ordered as one line;
// the selection's bands are drawn over it, clipped, in the selection's colours.
void cEditChild::PaintMixedText(cCanvas& canvas, i32 y, const sColours& colours)
{
    const i32 origin = ClampToI32(i64(m_scroll) + 2);
    canvas.SetColors(colours.text, colours.back);
    canvas.DrawTextW(origin, y, false, m_text, m_length);
    if (!HasSelection()) {
        return;
    }
    std::vector<std::pair<i32, i32>> bands;
    for (i32 i = m_selStart; i <= m_selEnd; ++i) {
        bands.emplace_back(m_places[i].left, m_places[i].right);
    }
    std::sort(bands.begin(), bands.end());
    const sColours selection = SelectionColours();
    canvas.SetColors(selection.text, selection.back);
    for (size_t band = 0; band < bands.size();) {
        const i32 left = bands[band].first;
        i32 right = bands[band].second;
        while (++band < bands.size() && bands[band].first <= right) {
            right = std::max(right, bands[band].second);
        }
        canvas.AddClip({ClampToI32(i64(origin) + left), 0, right - left, GetHeight()});
        canvas.DrawTextW(origin, y, true, m_text, m_length);
        canvas.ApplyClip();
    }
}
