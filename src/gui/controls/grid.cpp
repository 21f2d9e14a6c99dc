#include "gui/controls/grid.h"

#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

constexpr i32 kBackgroundColour = 14;

i32 ClampToI32(i64 value)
{
    return i32(std::clamp<i64>(value, INT32_MIN, INT32_MAX));
}

} // namespace

// --- layout ----------------------------------------------------------------------------------

void cSimpleGridChild::ApplyStyle()
{
    cScrollableElement::ApplyStyle();
    m_columns = 0;
    m_rows = 0;
    m_columnGap = 0;
    m_cellCount = 0;
    m_selected = -1;
    m_rowGap = GetRowGap();
    SetLineSteps(m_rowGap, ClampToI32(i64(GetCellHeight()) + m_rowGap));
    SetContentWidth(GetCellWidth());
    Relayout(false);
    m_background = GetTheme()->GetColour(kBackgroundColour);
}

bool cSimpleGridChild::SizesUsable(i32 w, i32 h)
{
    return w >= 1 && h >= 1 && m_rowGap >= 0 && i64(m_rowGap) + w >= 1;
}

void cSimpleGridChild::Relayout(bool redraw)
{
    bool changed = false;
    const i32 count = std::max(GetCellCount(), 0);
    if (count != m_cellCount) {
        m_cellCount = count;
        m_selected = -1;
        changed = true;
    }
    const i32 viewWidth = GetViewRect().width;
    changed |= LayoutForWidth(viewWidth);
    // The content height may have shown or hidden the vertical bar. A narrower view
    // never needs fewer rows, so one more pass settles it. A bar that leaves less than
    // one cell keeps that column (the horizontal bar reaches the rest): dropping it would
    // hide the bar again and leave an empty grid wide enough for a cell.
    if (const i32 barred = GetViewRect().width; barred != viewWidth) {
        changed |= LayoutForWidth(m_columns > 0 ? std::max(barred, GetCellWidth()) : barred);
    }
    if (redraw && changed) {
        Invalidate();
    }
}

bool cSimpleGridChild::LayoutForWidth(i32 viewWidth)
{
    const i32 w = GetCellWidth();
    const i32 h = GetCellHeight();
    i64 columns = 0;
    i64 gap = 0;
    if (m_cellCount > 0 && SizesUsable(w, h) && viewWidth >= w) {
        columns = viewWidth / (i64(m_rowGap) + w);
        if ((2 * columns + 1) * w <= viewWidth) {
            ++columns;
        }
        if (columns > 1) {
            gap = std::min<i64>((viewWidth - columns * w) / columns, std::max(GetMaxColumnGap(), 0));
        }
    }
    if (columns == 0) {
        m_selected = -1;
    }
    const i64 rows = columns == 0 ? 0 : (i64(m_cellCount) + columns - 1) / columns;
    const bool changed = columns != m_columns || rows != m_rows || gap != m_columnGap;
    m_columns = i32(columns);
    m_rows = i32(rows);
    m_columnGap = i32(gap);
    const i32 height = ClampToI32((i64(h) + m_rowGap) * rows);
    if (height != GetContentHeight()) {
        SetContentHeight(height);
    }
    return changed;
}

// --- geometry --------------------------------------------------------------------------------

bool cSimpleGridChild::GetCellRect(i32 index, sRect& rect)
{
    if (index < 0 || index >= m_cellCount || m_columns < 1) {
        return false;
    }
    const i64 w = GetCellWidth();
    const i64 h = GetCellHeight();
    const i64 left = (w + m_columnGap) * (index % m_columns) + m_columnGap / 2;
    const i64 top = (h + m_rowGap) * (index / m_columns) + m_rowGap / 2;
    if (top + h > INT32_MAX) {
        return false;
    }
    rect = {i32(left), i32(top), i32(w), i32(h)};
    return true;
}

i32 cSimpleGridChild::CellAt(i32 x, i32 y)
{
    if (m_columns < 1) {
        return -1;
    }
    const i64 w = GetCellWidth();
    const i64 h = GetCellHeight();
    const i64 pitchX = w + m_columnGap;
    const i64 pitchY = h + m_rowGap;
    if (w < 1 || pitchY < 1) {
        return -1;
    }
    const i64 cx = i64(x) + GetScrollX() - m_columnGap / 2;
    const i64 cy = i64(y) + GetScrollY() - m_rowGap / 2;
    if (cx < 0 || cy < 0) {
        return -1;
    }
    const i64 column = cx / pitchX;
    const i64 row = cy / pitchY;
    if (column >= m_columns || cx - column * pitchX >= w || cy - row * pitchY >= h) {
        return -1;
    }
    const i64 index = row * m_columns + column;
    return index < m_cellCount ? i32(index) : -1;
}

// --- selection -------------------------------------------------------------------------------

void cSimpleGridChild::PostCell(i32 code, i32 index)
{
    (void)PostAction(this, new (std::nothrow) cCellAction(code, index));
}

void cSimpleGridChild::SetSelection(i32 index, bool notify)
{
    if (index < 0 || index >= m_cellCount || index == m_selected) {
        return;
    }
    m_selected = index;
    sRect rect;
    if (notify) {
        PostCell(cCellAction::kSelectedCode, index);
    } else if (GetCellRect(index, rect)) {
        (void)ScrollRectIntoView(rect, false, false);
    }
    Invalidate();
}

void cSimpleGridChild::MoveSelection(i32 index)
{
    m_selected = index;
    PostCell(cCellAction::kSelectedCode, index);
    Invalidate();
}

// --- painting --------------------------------------------------------------------------------

void cSimpleGridChild::PaintContent(cCanvas& canvas)
{
    const sRect view = GetViewRect();
    const i64 w = GetCellWidth();
    const i64 h = GetCellHeight();
    const i64 pitchY = h + m_rowGap;
    if (m_cellCount < 1 || m_columns < 1 || pitchY < 1) {
        canvas.FillRect(view.x, view.y, view.width, view.height, m_background, m_background);
        return;
    }
    const i64 scrollX = GetScrollX();
    const i64 scrollY = GetScrollY();
    const i64 firstRow = std::max<i64>(0, (scrollY - m_rowGap / 2) / pitchY);
    const i64 bottom = scrollY + view.y + view.height;
    i64 endRow = firstRow;
    while (endRow < m_rows && pitchY * endRow + m_rowGap / 2 < bottom) {
        ++endRow;
    }
    const i64 first = firstRow * m_columns;
    const i64 end = std::min<i64>(endRow * m_columns, m_cellCount);

    FillGaps(canvas, view, firstRow, endRow);
    sRect rect;
    cCanvas* cell = canvas.CreateOffscreenCanvas(i32(w), i32(h));
    if (cell == nullptr) {
        return; // the cells stay in the background colour
    }
    for (i64 i = first; i < end; ++i) {
        if (GetCellRect(i32(i), rect)) {
            PaintCell(*cell, i32(i), i == m_selected);
            canvas.CopyFrom(ClampToI32(rect.x - scrollX), ClampToI32(rect.y - scrollY), cell, 0, 0, rect.width,
                            rect.height);
        }
    }
    cell->Delete();
}

// The gaps take the background without a pixel of the cells being filled first: band by
// band, the strips between the visible rows and, within each row, beside its cells. This
// is linear in the visible cells, where excluding each cell from the clip region would be
// quadratic (some 2,000 cells in a large view).
void cSimpleGridChild::FillGaps(cCanvas& canvas, const sRect& view, i64 firstRow, i64 endRow)
{
    const i64 scrollX = GetScrollX();
    const i64 scrollY = GetScrollY();
    const i64 right = i64(view.x) + view.width;
    const i64 bottom = i64(view.y) + view.height;
    // Fills [left, r) x [top, b), cut to the view.
    auto fill = [&](i64 left, i64 top, i64 r, i64 b) {
        left = std::max<i64>(left, view.x), top = std::max<i64>(top, view.y);
        r = std::min(r, right), b = std::min(b, bottom);
        if (r > left && b > top) {
            canvas.FillRect(i32(left), i32(top), i32(r - left), i32(b - top), m_background, m_background);
        }
    };
    i64 y = view.y;
    sRect cell;
    for (i64 row = firstRow; row < endRow && GetCellRect(i32(row * m_columns), cell); ++row) {
        const i64 top = i64(cell.y) - scrollY;
        fill(view.x, y, right, top);
        i64 x = view.x;
        const i64 end = std::min<i64>((row + 1) * m_columns, m_cellCount);
        for (i64 i = row * m_columns; i < end && GetCellRect(i32(i), cell); ++i) {
            fill(x, top, i64(cell.x) - scrollX, top + cell.height);
            x = i64(cell.x) - scrollX + cell.width;
        }
        fill(x, top, right, top + cell.height);
        y = top + cell.height;
    }
    fill(view.x, y, right, bottom);
}

// --- input -----------------------------------------------------------------------------------

void cSimpleGridChild::OnResize()
{
    cScrollableElement::OnResize();
    Relayout(true);
}

void cSimpleGridChild::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button != kMouseLeft || !down) {
        return;
    }
    const i32 cell = CellAt(x, y);
    if (cell != m_selected) {
        MoveSelection(cell);
    }
}

void cSimpleGridChild::OnDoubleClick(i32 x, i32 y)
{
    // The first press of the double click already selected the cell and posted code 7.
    const i32 cell = CellAt(x, y);
    if (cell < 0) {
        return;
    }
    PostCell(cCellAction::kActivatedCode, cell);
    if (cell != m_selected) {
        m_selected = cell;
        Invalidate();
    }
}

i32 cSimpleGridChild::KeyTarget(i32 vk)
{
    const i32 sel = m_selected;
    const i32 last = m_cellCount - 1;
    const bool wraps = WrapsHorizontally();
    switch (vk) {
    case kVkPageUp:
    case kVkHome:
        return sel > 0 ? 0 : -1;
    case kVkPageDown:
    case kVkEnd:
        return sel != last ? last : -1;
    case kVkLeft:
        if (sel < 0 || (wraps ? sel == 0 : sel % m_columns == 0)) {
            return -1;
        }
        return sel - 1;
    case kVkRight:
        if (sel < 0) {
            return 0;
        }
        if (sel + 1 > last || (wraps ? m_columns < 2 : sel % m_columns == m_columns - 1)) {
            return -1;
        }
        return sel + 1;
    case kVkUp:
        return sel >= m_columns ? sel - m_columns : -1;
    case kVkDown:
        if (sel < 0) {
            return 0;
        }
        return i64(sel) + m_columns <= last ? sel + m_columns : -1;
    default:
        return -1;
    }
}

bool cSimpleGridChild::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (shift || ctrl || alt || m_columns < 1 || m_cellCount < 1) {
        return cScrollableElement::KeyDown(vk, shift, ctrl, alt);
    }
    switch (vk) {
    case kVkReturn:
    case kVkSpace:
        if (m_selected < 0) {
            break;
        }
        PostCell(cCellAction::kActivatedCode, m_selected);
        return true;
    case kVkPageUp:
    case kVkHome:
    case kVkPageDown:
    case kVkEnd:
    case kVkLeft:
    case kVkRight:
    case kVkUp:
    case kVkDown:
        if (const i32 target = KeyTarget(vk); target >= 0) {
            MoveSelection(target);
        }
        return true;
    default:
        break;
    }
    return cScrollableElement::KeyDown(vk, shift, ctrl, alt);
}

bool cSimpleGridChild::OnAction(cChildElement* source, cChildAction* action)
{
    sRect rect;
    auto* cell = dynamic_cast<cCellAction*>(action);
    if (source == this && cell != nullptr && cell->GetCode() == cCellAction::kSelectedCode &&
        GetCellRect(m_selected, rect)) {
        (void)ScrollRectIntoView(rect, false, false);
    }
    return cScrollableElement::OnAction(source, action);
}
