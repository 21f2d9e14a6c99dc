#pragma once
// cSimpleGridChild: a scrollable grid of equal cells that flow left to right and wrap
// into rows, with one selected cell, mouse and keyboard selection and an activation
// action. A derived class gives the cell size, count and spacing and paints one cell at
// a time; the grid knows nothing of the cells' contents.
//
// Layout over the view width W (the element minus a shown vertical bar), cell w x h:
//   columns = W / (row gap + w), plus one when (2 columns + 1) w <= W;
//   column gap = (W - columns w) / columns, at most GetMaxColumnGap(), 0 for one column;
//   cell i: left (w + gap) (i % columns) + gap / 2, top (h + row gap) (i / columns)
//   + row gap / 2, in content coordinates.
// Sharing the free width among `columns` gaps (half a gap at each edge) keeps every
// cell inside [0, W). Sizes that leave no column (w or h below 1, a negative row gap,
// W below w) give columns = rows = 0, no selection and no content height.
//
// Actions (cCellAction, posted to the grid): 7 = the selection moved (also to -1),
// 8 = the cell was activated. The grid scrolls its own code-7 cells into view; both
// codes bubble on to the form.
//
// Keys reach the grid only with the focus: forms call SetFocusable(true), or a derived
// class answers DefaultFocusCapable() true. GUI thread only.
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/scrollable.h"

class cSimpleGridChild : public cScrollableElement
{
public:
    class cCellAction : public cChildAction
    {
    public:
        enum : i32 { kSelectedCode = 7, kActivatedCode = 8 };
        cCellAction(i32 code, i32 cell) : cChildAction(code), m_cell(cell) {}
        i32 GetCell() const { return m_cell; }

    private:
        i32 m_cell;
    };

    // The count is cached: a derived class that changes it calls Relayout(true), which
    // also clears the selection (without a post).
    void Relayout(bool redraw);
    // The cell under an element point, or -1 (gaps, past the last cell, no columns).
    i32 CellAt(i32 x, i32 y);
    // Content coordinates (as ScrollRectIntoView takes them); false outside
    // 0..count-1 or without columns.
    bool GetCellRect(i32 index, sRect& rect);
    // Ignored outside 0..count-1 or when already selected. `notify` posts code 7 (the
    // grid scrolls when it arrives); otherwise the cell is scrolled into view at once.
    void SetSelection(i32 index, bool notify);
    i32 GetSelection() const { return m_selected; }
    i32 GetColumns() const { return m_columns; }
    i32 GetRows() const { return m_rows; }
    i32 GetColumnGap() const { return m_columnGap; }

    void PaintContent(cCanvas& canvas) override;
    // Draws cell `index` into `canvas`, exactly w x h. One canvas is reused for every
    // cell without clearing, so this MUST cover every pixel.
    virtual void PaintCell(cCanvas& canvas, i32 index, bool selected) = 0;
    virtual i32 GetCellWidth() = 0;
    virtual i32 GetCellHeight() = 0;
    virtual i32 GetCellCount() = 0;
    virtual i32 GetRowGap() = 0;
    // A negative maximum counts as 0.
    virtual i32 GetMaxColumnGap() = 0;
    // True: Left and Right move across row ends.
    virtual bool WrapsHorizontally() { return false; }

    // Calls the size operations, so a derived object is complete by then.
    void ApplyStyle() override;
    void OnResize() override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void OnDoubleClick(i32 x, i32 y) override;
    // Table keys answer handled even when nothing moves, except Enter and Space without
    // a selection (so the form's default button still sees them).
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    bool OnAction(cChildElement* source, cChildAction* action) override;

private:
    // One layout over view width `viewWidth`; true when columns, rows or gap changed.
    bool LayoutForWidth(i32 viewWidth);
    // The background on every visible pixel of the view that no cell covers.
    void FillGaps(cCanvas& canvas, const sRect& view, i64 firstRow, i64 endRow);
    // w, h and the row gap leave room for a column (no division by zero or a negative).
    bool SizesUsable(i32 w, i32 h);
    // The key's target cell, or -1 when the key moves nothing.
    i32 KeyTarget(i32 vk);
    void MoveSelection(i32 index);
    void PostCell(i32 code, i32 index);

    i32 m_columns = 0;
    i32 m_rows = 0;
    i32 m_cellCount = 0;
    i32 m_selected = -1;
    i32 m_columnGap = 0;
    i32 m_rowGap = 0;
    u32 m_background = 0;
};
