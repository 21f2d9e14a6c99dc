#include "gui/controls/splitter.h"

#include "gui/controls/clamp.h"
#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

constexpr i32 kBandColourIndex = 42;
constexpr i32 kLineColourIndex = 43;
constexpr i32 kDefaultDividerWidth = 3;
// Fractions are taken of at least this many pixels, so that a pane added to a narrow
// (or not yet sized) splitter still gets a usable fraction.
constexpr i32 kFractionBase = 100;

} // namespace

// --- panes ---------------------------------------------------------------------------------------

f64 cSplitterChild::ToFraction(i32 size) const
{
    const i32 base = std::max(GetWidth(), kFractionBase);
    return f64(std::min(size, base - 1)) / base;
}

bool cSplitterChild::SetPane(i32 index, cChildElement* child, i32 size)
{
    if (index < 0 || child == nullptr) {
        return false;
    }
    cChildElement** slot = m_panes.GetOrAdd(index);
    f64* recorded = slot != nullptr ? m_sizes.GetOrAdd(index) : nullptr;
    if (recorded == nullptr) {
        if (slot != nullptr && *slot == nullptr) {
            m_panes.Erase(index);
        }
        return false;
    }
    if (*slot != nullptr && *slot != child) {
        DetachChild(*slot);
    }
    *slot = child;
    *recorded = m_absolute ? f64(size) : ToFraction(size);
    const bool attached = AttachChild(child, 0, 0, size, 1, 0);
    if (!attached) {
        m_panes.Erase(index);
        m_sizes.Erase(index);
    }
    Layout(INT32_MIN);
    (void)PostCode(kSizesChangedCode);
    return attached;
}

bool cSplitterChild::SetPaneSize(i32 index, i32 size)
{
    f64* recorded = m_sizes.FindIntKeyValue(index);
    if (index < 0 || size < 0 || recorded == nullptr) {
        return false;
    }
    const f64 value = m_absolute ? f64(size) : ToFraction(size);
    if (value != *recorded) {
        *recorded = value;
        Layout(m_absolute ? index : INT32_MIN);
    }
    return true;
}

void cSplitterChild::SetRelativeSizes(bool relative)
{
    m_absolute = !relative;
    Layout(INT32_MIN);
}

void cSplitterChild::SetFill(i32 fillWidth, cChildElement* filler)
{
    m_fillWidth = fillWidth;
    if (filler != nullptr || m_filler != nullptr) {
        if (filler != nullptr) {
            m_filler = filler;
        }
        Layout(INT32_MIN);
    }
}

void cSplitterChild::SetColours(u32 lineColour, u32 bandColour)
{
    if (lineColour != m_lineColour || bandColour != m_bandColour) {
        m_lineColour = lineColour;
        m_bandColour = bandColour;
        Invalidate();
    }
}

void cSplitterChild::SetDividerMargins(i32 top, i32 bottom)
{
    m_topMargin = std::max(top, 0);
    m_bottomMargin = std::max(bottom, 0);
    Invalidate();
}

// --- layout ----------------------------------------------------------------------------------------

cSplitterChild::tPanes::cNode* cSplitterChild::VisibleFrom(tPanes::cNode* node)
{
    while (node != nullptr && !node->GetValue()->IsVisible()) {
        node = tPanes::Next(node);
    }
    return node;
}

cSplitterChild::tPanes::cNode* cSplitterChild::NextVisible(tPanes::cNode* node)
{
    return VisibleFrom(tPanes::Next(node));
}

i64 cSplitterChild::PixelSize(i32 index, cChildElement* pane)
{
    const f64* recorded = m_sizes.FindIntKeyValue(index);
    if (recorded == nullptr) {
        return pane->GetWidth();
    }
    return i64(std::clamp(*recorded, 0.0, f64(INT32_MAX)));
}

void cSplitterChild::ResizeSelf(i32 width)
{
    const sRect rect = GetRect();
    SetBounds(rect.x, rect.y, width, rect.height);
    (void)PostAction(this, new (std::nothrow) cResizeRequestAction(width));
}

void cSplitterChild::Layout(i32 from)
{
    // Resizing itself calls OnResize, which would lay out again from the first pane.
    if (m_inLayout || GetWidth() == 0) {
        return;
    }
    m_inLayout = true;
    i64 width = GetWidth();
    i64 minWidths = 0;
    i32 minHeight = 0;
    for (auto* node = FirstVisible(m_panes); node != nullptr; node = NextVisible(node)) {
        minWidths += node->GetValue()->GetMinWidth();
        minHeight = std::max(minHeight, node->GetValue()->GetMinHeight());
    }
    if (minWidths != 0 || minHeight != 0) {
        SetMinSize(ClampToI32(minWidths), minHeight);
        width = std::max(width, minWidths);
    }
    if (m_absolute) {
        LayoutAbsolute(from, width, GetHeight());
    } else {
        LayoutFractions(width, GetHeight());
    }
    m_inLayout = false;
    Invalidate();
}

void cSplitterChild::LayoutAbsolute(i32 from, i64 width, i32 height)
{
    i64 x = 0;
    for (auto* node = FirstVisible(m_panes); node != nullptr; node = NextVisible(node)) {
        cChildElement* pane = node->GetValue();
        i64 w = PixelSize(node->GetKey(), pane);
        if (node->GetKey() >= from) {
            w = std::max<i64>(w, pane->GetMinWidth());
            pane->SetBounds(ClampToI32(x), 0, ClampToI32(w), height);
        }
        x += w + m_dividerWidth;
    }
    if (x != 0 && x != width) {
        if (m_filler != nullptr && x < m_fillWidth) {
            m_filler->SetBounds(ClampToI32(x), 0, ClampToI32(m_fillWidth - x), height);
            x = m_fillWidth;
        } else if (m_filler != nullptr) {
            m_filler->SetBounds(ClampToI32(width), 0, 0, 0);
        }
    }
    // Without panes the splitter would shrink to 0 and then widen to the fill width:
    // one resize to the final width (one code 7) keeps a listener that answers code 7
    // with SetFill from being asked again and again. Nor does it shrink to 0 with
    // nothing to show: at width 0 it would never lay out again.
    const bool fills = m_filler != nullptr && x < m_fillWidth;
    const i64 target = fills ? m_fillWidth : x;
    if (target != width && target > 0) {
        ResizeSelf(ClampToI32(target));
    }
    if (fills) {
        m_filler->SetBounds(ClampToI32(x), 0, ClampToI32(GetWidth() - x), height);
    }
}

void cSplitterChild::LayoutFractions(i64 width, i32 height)
{
    struct sShare
    {
        tPanes::cNode* node;
        f64 fraction;
    };
    std::vector<sShare> shares;
    for (auto* node = FirstVisible(m_panes); node != nullptr; node = NextVisible(node)) {
        shares.push_back({node, 0.0});
    }
    const i64 count = i64(shares.size());
    const i64 room = width - (count - 1) * m_dividerWidth;
    if (count == 0 || room <= 0) {
        return;
    }
    f64 sum = 0;
    for (sShare& share : shares) {
        const f64* recorded = m_sizes.FindIntKeyValue(share.node->GetKey());
        share.fraction = recorded != nullptr ? *recorded : f64(share.node->GetValue()->GetWidth()) / f64(room);
        sum += share.fraction;
    }
    // Panes recorded with size 0 would scale by room / 0: share the room equally.
    if (!(sum > 0)) {
        for (sShare& share : shares) {
            share.fraction = 1.0 / f64(count);
        }
        sum = 1.0;
    }
    const f64 scale = f64(room) / sum;
    // Edges at the rounded running sum, so the widths add up to the room exactly.
    std::vector<i64> widths(shares.size());
    f64 running = 0;
    i64 used = 0;
    for (size_t i = 0; i < shares.size(); ++i) {
        running += shares[i].fraction;
        const i64 end = i + 1 == shares.size() ? room : std::min<i64>(std::llround(running * scale), room);
        widths[i] = std::max<i64>(end - used, 0);
        used += widths[i];
    }
    // A pane raised to its minimum width takes the excess from the panes after it (then,
    // when they have no room above their own minimums, from those before it), so the
    // room stays filled whenever the minimums fit. Changed panes keep their new share.
    std::vector<bool> changed(shares.size(), false);
    for (size_t i = 0; i < shares.size(); ++i) {
        const i64 minimum = shares[i].node->GetValue()->GetMinWidth();
        i64 need = minimum - widths[i];
        if (need <= 0) {
            continue;
        }
        widths[i] = minimum;
        changed[i] = true;
        for (size_t step = 1; step < shares.size() && need > 0; ++step) {
            const size_t j = i + step < shares.size() ? i + step : shares.size() - 1 - step;
            const i64 slack = widths[j] - shares[j].node->GetValue()->GetMinWidth();
            const i64 give = std::clamp<i64>(slack, 0, need);
            widths[j] -= give;
            need -= give;
            changed[j] = changed[j] || give > 0;
        }
    }
    i64 x = 0;
    for (size_t i = 0; i < shares.size(); ++i) {
        shares[i].node->GetValue()->SetBounds(ClampToI32(x), 0, ClampToI32(widths[i]), height);
        x += widths[i] + m_dividerWidth;
        if (changed[i]) {
            StoreFraction(shares[i].node->GetKey(), f64(widths[i]) / scale);
        }
    }
}

void cSplitterChild::StoreFraction(i32 index, f64 fraction)
{
    if (f64* recorded = m_sizes.GetOrAdd(index)) {
        *recorded = fraction;
    }
}

void cSplitterChild::OnResize()
{
    Layout(INT32_MIN);
}

// --- painting ----------------------------------------------------------------------------------------

void cSplitterChild::PaintDivider(cCanvas& canvas, i32 right, i32 height)
{
    const i32 band = (m_dividerWidth - 1) / 2;
    const i32 line = ClampToI32(i64(right) + band);
    canvas.FillRect(right, 0, band, height, m_bandColour, m_bandColour);
    canvas.FillRect(line + 1, 0, m_dividerWidth - band - 1, height, m_bandColour, m_bandColour);
    canvas.FillRect(line, 0, 1, m_topMargin, m_bandColour, m_bandColour);
    canvas.FillRect(line, m_topMargin, 1, height - m_topMargin - m_bottomMargin, m_lineColour, m_lineColour);
    canvas.FillRect(line, height - m_bottomMargin, 1, m_bottomMargin, m_bandColour, m_bandColour);
}

void cSplitterChild::OnPaint(cCanvas& canvas)
{
    const i32 height = GetHeight();
    for (auto* node = FirstVisible(m_panes); node != nullptr; node = NextVisible(node)) {
        const i64 right = node->GetValue()->GetRect().Right();
        if (right < 0 || right >= GetWidth()) {
            continue;
        }
        if (i64(m_topMargin) + m_bottomMargin >= height) {
            // No room for the line between the margins: one band-coloured line, and
            // the dividers after it are left out.
            const i32 line = ClampToI32(right + (m_dividerWidth - 1) / 2);
            canvas.FillRect(line, 0, 1, height, m_bandColour, m_bandColour);
            return;
        }
        PaintDivider(canvas, i32(right), height);
    }
}

// --- dragging ----------------------------------------------------------------------------------------

void cSplitterChild::MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    // The release of a drag is the splitter's wherever it happens, also over a pane.
    if (!down && button == kMouseLeft && HasMouseCapture()) {
        OnMouseButton(x, y, button, down);
        return;
    }
    cChildElement::MouseButton(x, y, button, down, ctrl, shift);
}

void cSplitterChild::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button != kMouseLeft) {
        return;
    }
    if (!down) {
        ReleaseMouse();
        m_dragStart = -1;
        return;
    }
    CaptureMouse();
    for (auto* node = FirstVisible(m_panes); node != nullptr; node = NextVisible(node)) {
        const sRect rect = node->GetValue()->GetRect();
        if (x < rect.Right() || i64(x) > i64(rect.Right()) + m_dividerWidth) {
            continue;
        }
        tPanes::cNode* next = NextVisible(node);
        const i64 right = i64(rect.Right()) + (next != nullptr ? next->GetValue()->GetWidth() : 0);
        // The last pane's divider has no neighbour to share with; a span of 0 has no
        // share ratio.
        if (!m_absolute && (next == nullptr || right - rect.x <= 0)) {
            return;
        }
        m_dragStart = x;
        m_dragPane = node->GetKey();
        m_dragLeft = rect.x;
        m_dragRight = ClampToI32(right);
        return;
    }
}

void cSplitterChild::OnMouseMove(i32 x, i32 y)
{
    if (m_dragStart < 0) {
        return;
    }
    if (!HasMouseCapture()) {
        m_dragStart = -1;
        return;
    }
    DragTo(x);
}

void cSplitterChild::DragTo(i32 x)
{
    tPanes::cNode* node = m_panes.Find(m_dragPane);
    f64* recorded = m_sizes.FindIntKeyValue(m_dragPane);
    if (node == nullptr || recorded == nullptr) {
        m_dragStart = -1;
        return;
    }
    if (m_absolute) {
        const f64 size = f64(std::max(x, m_dragLeft)) - m_dragLeft;
        if (size != *recorded) {
            *recorded = size;
            Layout(m_dragPane);
            (void)PostCode(kSizesChangedCode);
        }
        return;
    }
    tPanes::cNode* next = NextVisible(node);
    f64* nextRecorded = next != nullptr ? m_sizes.FindIntKeyValue(next->GetKey()) : nullptr;
    if (nextRecorded == nullptr) {
        return;
    }
    const i64 low = i64(m_dragLeft) + node->GetValue()->GetMinWidth();
    const i64 high = i64(m_dragRight) - next->GetValue()->GetMinWidth();
    const i64 clamped = std::max(std::min<i64>(x, high), low);
    const f64 total = *recorded + *nextRecorded;
    const f64 share = total * f64(clamped - m_dragLeft) / f64(i64(m_dragRight) - m_dragLeft);
    if (share != *recorded || total - share != *nextRecorded) {
        *recorded = share;
        *nextRecorded = total - share;
        Layout(INT32_MIN);
        (void)PostCode(kSizesChangedCode);
    }
}

// --- style ---------------------------------------------------------------------------------------------

void cSplitterChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    const cCITheme* theme = GetTheme();
    m_dragStart = -1;
    m_fillWidth = 0;
    m_filler = nullptr;
    m_bandColour = theme->GetColour(kBandColourIndex);
    m_lineColour = theme->GetColour(kLineColourIndex);
    m_topMargin = 0;
    m_bottomMargin = 0;
    m_dividerWidth = kDefaultDividerWidth;
    m_absolute = false;
}
