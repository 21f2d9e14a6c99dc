#include "gui/core/scrollable.h"

#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr i32 kWheelLines = 3;
// A thumb never gets shorter than this, so that it stays easy to grab.
constexpr i32 kMinThumb = 8;

i32 ClampOffset(i64 value, i32 maximum)
{
    return i32(std::clamp<i64>(value, 0, std::max(maximum, 0)));
}

// Four rows of a small triangle pointing `direction` (0 up, 1 down, 2 left, 3 right),
// centred in the 16-pixel square at (x, y).
void DrawArrow(cCanvas& canvas, i32 x, i32 y, i32 direction)
{
    i32 centre = cScrollableElement::kBarSize / 2;
    for (i32 row = 0; row < 4; ++row) {
        // Rows widen away from the arrow's tip.
        i32 depth = (direction == 0 || direction == 2) ? row : 3 - row;
        i32 across = centre - 2 + row;
        if (direction < 2) {
            canvas.DrawLine(x + centre - depth - 1, y + across, x + centre + depth, y + across);
        } else {
            canvas.DrawLine(x + across, y + centre - depth - 1, x + across, y + centre + depth);
        }
    }
}

} // namespace

sRect cScrollableElement::GetViewRect()
{
    return GetBarlessRect();
}

sRect cScrollableElement::GetBarlessRect() const
{
    return {0, 0, std::max(GetWidth() - GetVScrollWidth(), 0),
            std::max(GetHeight() - (m_horizontalBar ? i32(kBarSize) : 0), 0)};
}

sPoint cScrollableElement::GetClientOrigin()
{
    return {-m_scrollX, -m_scrollY};
}

i32 cScrollableElement::GetScrollMaxX()
{
    return ClampOffset(i64(m_contentWidth) - GetViewRect().Right(), INT32_MAX);
}

i32 cScrollableElement::GetScrollMaxY()
{
    return ClampOffset(i64(m_contentHeight) - GetViewRect().Bottom(), INT32_MAX);
}

void cScrollableElement::UpdateBars()
{
    bool vertical = m_contentHeight > GetHeight();
    bool horizontal = m_contentWidth > GetWidth() - (vertical ? i32(kBarSize) : 0);
    vertical = m_contentHeight > GetHeight() - (horizontal ? i32(kBarSize) : 0);
    m_verticalBar = vertical;
    m_horizontalBar = horizontal;
    m_scrollX = ClampOffset(m_scrollX, GetScrollMaxX());
    m_scrollY = ClampOffset(m_scrollY, GetScrollMaxY());
}

void cScrollableElement::SetContentWidth(i32 width)
{
    if (width < 0) {
        return;
    }
    m_contentWidth = width;
    UpdateBars();
    Invalidate();
}

void cScrollableElement::SetContentHeight(i32 height)
{
    if (height < 0) {
        return;
    }
    m_contentHeight = height;
    UpdateBars();
    Invalidate();
}

void cScrollableElement::SetLineSteps(i32 horizontal, i32 vertical)
{
    if (horizontal > 0) {
        m_lineStepX = horizontal;
    }
    if (vertical > 0) {
        m_lineStepY = vertical;
    }
}

void cScrollableElement::SetPageSteps(i32 horizontal, i32 vertical)
{
    if (horizontal > 0) {
        m_pageStepX = horizontal;
    }
    if (vertical > 0) {
        m_pageStepY = vertical;
    }
}

bool cScrollableElement::ScrollTo(i32 x, i32 y)
{
    x = ClampOffset(x, GetScrollMaxX());
    y = ClampOffset(y, GetScrollMaxY());
    if (x == m_scrollX && y == m_scrollY) {
        return false;
    }
    m_scrollX = x;
    m_scrollY = y;
    Invalidate();
    return true;
}

bool cScrollableElement::ScrollByLines(i32 horizontal, i32 vertical)
{
    return ScrollTo(ClampOffset(i64(m_scrollX) + i64(horizontal) * m_lineStepX, GetScrollMaxX()),
                    ClampOffset(i64(m_scrollY) + i64(vertical) * m_lineStepY, GetScrollMaxY()));
}

bool cScrollableElement::ScrollByPages(i32 horizontal, i32 vertical)
{
    sRect view = GetViewRect();
    i64 pageX = m_pageStepX > 0 ? m_pageStepX : view.width;
    i64 pageY = m_pageStepY > 0 ? m_pageStepY : view.height;
    return ScrollTo(ClampOffset(m_scrollX + horizontal * pageX, GetScrollMaxX()),
                    ClampOffset(m_scrollY + vertical * pageY, GetScrollMaxY()));
}

bool cScrollableElement::ScrollRectIntoView(const sRect& rect, bool keepHorizontal, bool keepVertical)
{
    sRect view = GetViewRect();
    i64 x = m_scrollX;
    i64 y = m_scrollY;
    // Content c shows at element c - offset, so the view shows content from
    // offset + view.x (or .y) on.
    if (!keepHorizontal) {
        if (rect.x < x + view.x || rect.width > view.width) {
            x = i64(rect.x) - view.x;
        } else if (rect.Right() > x + view.Right()) {
            x = rect.Right() - view.Right();
        }
    }
    if (!keepVertical) {
        if (rect.y < y + view.y || rect.height > view.height) {
            y = i64(rect.y) - view.y;
        } else if (rect.Bottom() > y + view.Bottom()) {
            y = rect.Bottom() - view.Bottom();
        }
    }
    return ScrollTo(ClampOffset(x, GetScrollMaxX()), ClampOffset(y, GetScrollMaxY()));
}

bool cScrollableElement::ScrollChildIntoView(cChildElement* child)
{
    if (child == nullptr || child->GetParent() != this) {
        return false;
    }
    return ScrollRectIntoView(child->GetRect(), child->m_keepScrollX, child->m_keepScrollY);
}

void cScrollableElement::SetChildScrollAlign(cChildElement* child, bool keepHorizontal, bool keepVertical)
{
    if (child == nullptr || child->GetParent() != this) {
        return;
    }
    child->m_keepScrollX = keepHorizontal;
    child->m_keepScrollY = keepVertical;
    Invalidate();
}

sPoint cScrollableElement::GetChildShift(const cChildElement* child)
{
    return {child->m_keepScrollX ? 0 : -m_scrollX, child->m_keepScrollY ? 0 : -m_scrollY};
}

sRect cScrollableElement::GetChildClipRect()
{
    sRect view = GetBarlessRect();
    i32 border = std::max(DefaultBorderWidth(), 0);
    return RectFromEdges(border, border, i64(view.width) - border, i64(view.height) - border);
}

void cScrollableElement::OnResize()
{
    UpdateBars();
}

// --- bars --------------------------------------------------------------------------------------

bool cScrollableElement::GetBarLayout(eAxis axis, sBarLayout& layout)
{
    sRect view = GetBarlessRect();
    bool vertical = axis == eAxis::Vertical;
    if (!(vertical ? m_verticalBar : m_horizontalBar)) {
        return false;
    }
    layout.bar = vertical ? sRect{view.width, 0, kBarSize, view.height} : sRect{0, view.height, view.width, kBarSize};
    i32 length = vertical ? layout.bar.height : layout.bar.width;
    layout.trackStart = kBarSize;
    layout.trackLength = std::max(length - 2 * kBarSize, 0);
    i64 content = vertical ? m_contentHeight : m_contentWidth;
    i64 shown = vertical ? view.height : view.width;
    i64 maximum = vertical ? GetScrollMaxY() : GetScrollMaxX();
    i64 position = vertical ? m_scrollY : m_scrollX;
    if (layout.trackLength < kMinThumb || content <= 0) {
        layout.thumbLength = 0;
        layout.thumbStart = layout.trackStart;
        return true;
    }
    layout.thumbLength = i32(std::clamp<i64>(layout.trackLength * shown / content, kMinThumb, layout.trackLength));
    i64 travel = layout.trackLength - layout.thumbLength;
    layout.thumbStart = layout.trackStart + i32(maximum > 0 ? travel * position / maximum : 0);
    return true;
}

void cScrollableElement::PaintBar(cCanvas& canvas, eAxis axis)
{
    sBarLayout layout;
    if (!GetBarLayout(axis, layout)) {
        return;
    }
    const cCITheme* theme = GetTheme();
    u32 track = theme->GetColour(0);
    u32 face = theme->GetColour(14);
    u32 frame = theme->GetColour(21);
    const sRect& bar = layout.bar;
    bool vertical = axis == eAxis::Vertical;
    i32 length = vertical ? bar.height : bar.width;
    canvas.FillRect(bar.x, bar.y, bar.width, bar.height, track, track);
    auto box = [&](i32 along, i32 size) {
        if (vertical) {
            canvas.FillRect(bar.x, bar.y + along, kBarSize, size, face, frame);
        } else {
            canvas.FillRect(bar.x + along, bar.y, size, kBarSize, face, frame);
        }
    };
    box(0, kBarSize);
    box(length - kBarSize, kBarSize);
    if (layout.thumbLength > 0) {
        box(layout.thumbStart, layout.thumbLength);
    }
    canvas.SetPen(theme->GetColour(4), 1);
    if (vertical) {
        DrawArrow(canvas, bar.x, bar.y, 0);
        DrawArrow(canvas, bar.x, bar.y + length - kBarSize, 1);
    } else {
        DrawArrow(canvas, bar.x, bar.y, 2);
        DrawArrow(canvas, bar.x + length - kBarSize, bar.y, 3);
    }
}

void cScrollableElement::OnPaint(cCanvas& canvas)
{
    canvas.AddClip(GetViewRect());
    PaintContent(canvas);
    canvas.ApplyClip();
}

void cScrollableElement::OnPaintAfterChildren(cCanvas& canvas)
{
    PaintBar(canvas, eAxis::Vertical);
    PaintBar(canvas, eAxis::Horizontal);
    if (m_verticalBar && m_horizontalBar) {
        sRect view = GetBarlessRect();
        u32 corner = GetTheme()->GetColour(0);
        canvas.FillRect(view.width, view.height, kBarSize, kBarSize, corner, corner);
    }
}

void cScrollableElement::PressBar(eAxis axis, i32 along)
{
    sBarLayout layout;
    if (!GetBarLayout(axis, layout)) {
        return;
    }
    bool vertical = axis == eAxis::Vertical;
    i32 length = vertical ? layout.bar.height : layout.bar.width;
    i32 step = 0;
    bool page = false;
    if (along < kBarSize) {
        step = -1;
    } else if (along >= length - kBarSize) {
        step = 1;
    } else if (layout.thumbLength > 0 && along >= layout.thumbStart && along < layout.thumbStart + layout.thumbLength) {
        m_dragging = true;
        m_dragAxis = axis;
        m_dragGrip = along - layout.thumbStart;
        CaptureMouse();
        return;
    } else {
        step = along < layout.thumbStart ? -1 : 1;
        page = true;
    }
    if (page) {
        ScrollByPages(vertical ? 0 : step, vertical ? step : 0);
    } else {
        ScrollByLines(vertical ? 0 : step, vertical ? step : 0);
    }
}

void cScrollableElement::MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    if (m_dragging && !down) {
        m_dragging = false;
        ReleaseMouse();
        return;
    }
    // Presses on a bar or in the corner between the bars stay here, even while this
    // element holds the capture (a popup grabs the mouse and still scrolls); releases go
    // on, so that a drag the content started can end over a bar.
    if (down && !GetBarlessRect().Contains(x, y) && ContainsPoint(x, y)) {
        for (eAxis axis : {eAxis::Vertical, eAxis::Horizontal}) {
            sBarLayout layout;
            if (button == kMouseLeft && GetBarLayout(axis, layout) && layout.bar.Contains(x, y)) {
                PressBar(axis, axis == eAxis::Vertical ? y - layout.bar.y : x - layout.bar.x);
            }
        }
        return;
    }
    cChildElement::MouseButton(x, y, button, down, ctrl, shift);
}

void cScrollableElement::MouseMove(i32 x, i32 y)
{
    if (m_dragging && !HasMouseCapture()) {
        m_dragging = false;
    }
    sBarLayout layout;
    if (!m_dragging || !GetBarLayout(m_dragAxis, layout)) {
        cChildElement::MouseMove(x, y);
        return;
    }
    bool vertical = m_dragAxis == eAxis::Vertical;
    i64 along = vertical ? i64(y) - layout.bar.y : i64(x) - layout.bar.x;
    i64 travel = layout.trackLength - layout.thumbLength;
    i64 maximum = vertical ? GetScrollMaxY() : GetScrollMaxX();
    i64 offset = travel > 0 ? (along - m_dragGrip - layout.trackStart) * maximum / travel : 0;
    if (vertical) {
        ScrollTo(m_scrollX, ClampOffset(offset, i32(maximum)));
    } else {
        ScrollTo(ClampOffset(offset, i32(maximum)), m_scrollY);
    }
}

bool cScrollableElement::OnMouseWheel(i32 notches)
{
    if (!m_verticalBar) {
        return false;
    }
    // A host may report any count: the lines are worked out in 64 bits, and a count that
    // large scrolls past either end anyway.
    ScrollByLines(0, i32(std::clamp<i64>(-i64(notches) * kWheelLines, INT32_MIN, INT32_MAX)));
    return true;
}
