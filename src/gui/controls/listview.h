#pragma once
// cListViewChild: the multi-column list. Rows of cells (text, icon, colour, a 32-bit
// user value) under a cHeaderChild whose column widths the user drags; single or
// multiple selection, optional check boxes, type-ahead, keyboard and mouse navigation,
// and sorting by a column click through the column's sort provider (sortproviders.h).
//
// Items are addressed by id (0 or more) and exist once one of their cells was set; they
// show in display order (order of creation until sorted). The item's own state
// (selected, checked) and its reported id live in its first cell, the cell with the
// smallest column id it has; mouse and Space work on its cell in the first column and
// fall back to that first cell when the item has none there.
//
// Actions posted to the list (source = the list), bubbling on to the form:
//   code  class                       payload               when
//   7     cListViewItemAction         item id               Enter; double click on a row
//   8     cListViewItemChangeAction   new, previous id,     the current item or the
//                                     Ctrl, Shift           selection changed (-1 = none)
//   9     plain                                             F5
//   10    plain                                             Backspace
//   11    cListViewItemChecked        item id, flag 0       a check box toggled
//   12    cListViewItemAction         column id             sorted by a header click
//   13    plain                                             Delete
// Code 8 ids: a plain click gives (clicked, previous); Escape or a press below the last
// row gives (-1, previous); a change of the selection alone gives (-1, -1).
//
// Keys: Up/Down previous/next, Home/End first/last, Page Up/Down by the view height,
// Shift extends (with multi-selection), Ctrl moves without deselecting, Ctrl+A selects
// all, Space toggles the check box, Enter, Escape, Delete, Backspace and F5 post.
// Type-ahead: characters within 400 ms of each other build a prefix (up to 10 units,
// compared lower-cased); after a pause the search starts again after the current item.
// The search walks to the end of the list and does not wrap.
//
// Layout: rows are 13 pixels plus 4, or the tallest icon plus 4, plus the row spacing;
// content coordinates start inside the 1-pixel frame, below the header when it shows.
// Fills of many cells go inside BeginUpdate/EndUpdate: outside a batch every change
// lays the whole list out again.
//
// GUI thread only. The item data is guarded by the list's recursive lock, held by the
// layout, the painting, hit testing and DeleteAllItems.
#include "base/keytree.h"
#include "base/locks.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/columnheader.h"
#include "gui/core/actions.h"
#include "gui/core/scrollable.h"

#include <map>
#include <memory>
#include <vector>

class cFontObject;
class cPicture;
struct sImageList;

// The colour argument meaning "none" (cells and columns then use the state's colour).
constexpr u32 kNoListColour = 0xFFFFFFFF;

class cListViewChild : public cScrollableElement
{
    struct sItem;

public:
    struct sCell
    {
        u32 userValue = 0;
        _guardchar<char16_t> text;
        // Set once a text was given: an empty text is still a text (sort providers
        // take it as the smallest name), a cell never given one is not.
        bool textSet = false;
        u32 colour = kNoListColour;
        i32 itemId = 0;
        i16 icon = -1;
        // 0 = not measured yet.
        i16 measuredHeight = 0;
        u8 state = 0;

    private:
        friend class cListViewChild;
        // The item holding the cell: a sort walks cells back to their items.
        sItem* m_item = nullptr;
    };
    enum : u8
    {
        kCellSelected = 1,
        kCellChecked = 2,
    };

    class cListViewSortProvider;
    class cListViewNameSortProvider;
    class cListViewU64PramSortProvider;

    // Codes 7 (the item id) and 12 (the column id).
    class cListViewItemAction : public cChildAction
    {
    public:
        cListViewItemAction(i32 code, i32 id) : cChildAction(code), m_id(id) {}
        i32 GetId() const { return m_id; }

    private:
        i32 m_id;
    };
    // Code 8: GetId() is the new current item id.
    class cListViewItemChangeAction : public cListViewItemAction
    {
    public:
        cListViewItemChangeAction(i32 id, i32 previousId, bool ctrl, bool shift)
            : cListViewItemAction(kItemChangedCode, id), m_previousId(previousId), m_ctrl(ctrl), m_shift(shift)
        {
        }
        i32 GetPreviousId() const { return m_previousId; }
        u8 GetCtrl() const { return m_ctrl; }
        u8 GetShift() const { return m_shift; }

    private:
        i32 m_previousId;
        u8 m_ctrl;
        u8 m_shift;
    };
    // Code 11.
    class cListViewItemChecked : public cListViewItemAction
    {
    public:
        explicit cListViewItemChecked(i32 id) : cListViewItemAction(kItemCheckedCode, id) {}
        u8 GetFlag() const { return 0; }
    };

    enum : i32
    {
        kItemActivatedCode = 7,
        kItemChangedCode = 8,
        kRefreshCode = 9,
        kBackspaceCode = 10,
        kItemCheckedCode = 11,
        kSortedCode = 12,
        kDeleteCode = 13,
    };

    cListViewChild() = default;
    ~cListViewChild() override;

    // --- columns and cells ---------------------------------------------------------------
    // Adds or updates the column and its header button; false when the header refuses
    // (a negative id).
    bool AddColumn(i32 id, const char16_t* title, i32 width, u32 alignment);
    // False for an item id below 0 or when memory is short (the list unchanged). A
    // nonzero user value replaces the stored one; the icon (-1 none) is stored; a
    // non-null text replaces the cell's.
    bool SetCell(i32 itemId, i32 columnId, const char16_t* text, i32 icon, u32 userValue);
    // No redraw.
    bool SetCellColour(i32 itemId, i32 columnId, u32 colour);
    bool SetColumnColour(i32 columnId, u32 colour, bool redraw);
    // The font is borrowed; null = the list's default font.
    bool SetColumnFont(i32 columnId, cFontObject* font);
    // The cell's user value; 0 for a missing item or cell.
    u32 GetCellData(i32 itemId, i32 columnId);
    bool DeleteAllItems();

    // --- batches and appearance -----------------------------------------------------------
    void BeginUpdate();
    // Closes the batch; runs a deferred layout (remeasuring when asked) and answers
    // whether there was one.
    bool EndUpdate(bool remeasure);
    void ShowHeader(bool show);
    // Borrowed; the second list counts only for row heights.
    void SetImageLists(const sImageList* normal, const sImageList* second, const sImageList* selected);
    void SetRowSpacing(i32 spacing);
    void SetTextIndent(i32 indent, bool redraw);
    void SetFrameColour(u32 colour, bool redraw);
    void SetWholeRowSelection(bool wholeRow, bool redraw);
    void SetSelectionColours(u32 focusedFill, u32 unfocusedFill, bool redraw);
    void SetCheckBoxes(bool checkBoxes);
    // A change clears every selection.
    void SetMultiSelect(bool multiSelect);
    cHeaderChild* GetHeader() { return &m_header; }

    // --- selection ------------------------------------------------------------------------
    // -1 when no item is current.
    i32 GetCurrentItemId();
    // The smallest selected item id above `after` (below 0: from the first); -1 when
    // none. Walks item ids, not the display order.
    i32 GetNextSelectedItemId(i32 after);
    // As a plain click: the only selected and the current item, scrolled into view,
    // code 8 posted. False for an unknown id.
    bool SelectItemById(i32 id);
    bool IsItemChecked(i32 id);
    // False when the item has no cell. A change is stored, posted (code 11) when
    // `post`, and redrawn unless a batch is open.
    bool SetItemChecked(i32 id, bool checked, bool post);
    // The item ids in display order.
    std::vector<i32> GetDisplayOrder();
    // The item's row top in content coordinates, -1 without a row.
    i32 GetRowTop(i32 itemId);

    // --- sorting --------------------------------------------------------------------------
    // The list owns `provider` from then on and deletes the previous one. False for an
    // unknown column: the provider then stays the caller's to delete.
    bool SetSortProvider(i32 columnId, cListViewSortProvider* provider);
    // Sorts by the column's provider in the column's direction; false without column
    // or provider or when the provider cannot sort now (the order then unchanged).
    bool SortByColumn(i32 columnId);

    // --- handlers ---------------------------------------------------------------------------
    // Selects on a press: the common routine for an unselected item, else the rules for
    // a selected one (Ctrl deselects, a plain left press reduces the selection).
    virtual void OnItemClick(i32 itemId, sCell* cell, bool ctrl, bool shift, i32 button);

    // Keeps the key flags for OnMouseButton, which the base calls for presses that are
    // not the second of a double click.
    void MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift) override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void CharInput(char16_t unit) override;
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    // The element minus the bars, the frame's top line and the header.
    sRect GetViewRect() override;
    void OnResize() override;
    void OnDoubleClick(i32 x, i32 y) override;
    bool OnAction(cChildElement* source, cChildAction* action) override;
    void OnGotFocus() override { Invalidate(); }
    void OnFocusLost() override { Invalidate(); }
    bool DefaultFocusCapable() override { return true; }
    bool ArrowNavQuery() override { return true; }
    i32 DefaultBorderWidth() override { return 1; }
    void ApplyStyle() override;
    void PaintContent(cCanvas& canvas) override;
    // The frame, over the bars.
    void OnPaintAfterChildren(cCanvas& canvas) override;

private:
    struct sColumn
    {
        // A declared constructor instead of member initialisers: the column map asks
        // whether the record is made without throwing before this class is complete.
        sColumn() noexcept : provider(nullptr), direction(1), alignment(0), font(nullptr), colour(kNoListColour), defaultDirection(1) {}
        // Owned; null = not sortable.
        cListViewSortProvider* provider;
        u8 direction;
        u32 alignment;
        cFontObject* font;
        u32 colour;
        u8 defaultDirection;
    };
    struct sItem
    {
        _keytree<i32, sCell*, eValueOwnership::Owned> cells;
        i32 id = 0;
        // Index in the display order.
        i32 order = 0;
        // Row top in content coordinates, -1 without a row.
        i32 rowTop = -1;
        i32 rowHeight = 0;
    };
    struct sRow
    {
        i32 top;
        i32 height;
        sItem* item;
    };
    struct sPaintColours
    {
        u32 fill;
        u32 outline;
        u32 text;
        // Cell and column colours show only outside the selection: on its band they
        // could be unreadable (grey on blue), so selected text keeps `text`.
        bool ownTextColours = false;
    };

    using tItems = std::map<i32, std::unique_ptr<sItem>>;
    using tColumns = _keytree<i32, sColumn>;

    // --- data
    // Lays out now, or once the open batch ends.
    void Relayout(bool remeasure = false);
    void ApplyHeaderShown();
    void Layout(bool remeasure);
    i32 MeasureCell(sCell& cell, i32 textHeight);
    i32 HeaderBand();
    sItem* FindItem(i32 id);
    const sCell* GetCell(i32 itemId, i32 columnId);
    static sCell* FirstCell(sItem* item);
    // The item's cell in the first column, else its first cell.
    sCell* HitCell(sItem* item);
    static bool IsSelected(sItem* item);
    void DeleteProviders();

    // --- selection
    void Select(sItem* item, sItem* anchor, bool ctrl, bool shift, bool selectItem);
    bool DeselectAllExcept(sItem* keep);
    void SelectRange(sItem* from, sItem* to);
    void ScrollItemIntoView(sItem* item);
    void PostChange(i32 id, i32 previousId, bool ctrl, bool shift);
    void PostItemAction(i32 code, i32 id);
    void ToggleChecked(sItem* item);
    void DeselectAllPosting(bool ctrl, bool shift);
    // The row under a point of the element, or null.
    sRow* RowAt(i32 x, i32 y);
    bool InCheckBoxZone(i32 x);
    bool IsBelowLastRow(i32 y);
    sItem* PageTarget(bool down);
    void MoveTo(sItem* item, bool ctrl, bool shift);
    void TypeAhead(char16_t unit);
    void OnHeaderClick(i32 columnId);

    // --- painting
    sPaintColours SelectionColours();
    void PaintRow(cCanvas& canvas, const sRow& row, bool aboveSelected);
    void PaintCell(cCanvas& canvas, const sRow& row, bool firstColumn, const sColumn& column, const sCell& cell,
                   i64 x, i32 width, const sPaintColours& colours, bool topEdge);
    void PaintEmptyText(cCanvas& canvas);

    cHeaderChild m_header;
    tColumns m_columns;
    tItems m_items;
    std::vector<sItem*> m_order;
    std::vector<sRow> m_rows;
    sItem* m_current = nullptr;

    bool m_multiSelect = false;
    bool m_checkBoxes = false;
    bool m_wholeRow = false;
    bool m_inUpdate = false;
    bool m_layoutPending = false;
    bool m_headerPending = false;
    bool m_headerShown = true;
    bool m_remeasurePending = false;
    bool m_pressCtrl = false;
    bool m_pressShift = false;

    char16_t m_typed[10] = {};
    i32 m_typedCount = 0;
    u32 m_lastTypedTick = 0;

    i32 m_rowSpacing = 0;
    i32 m_textIndent = 0;
    i32 m_sortColumn = -1;

    const sImageList* m_normalImages = nullptr;
    const sImageList* m_secondImages = nullptr;
    const sImageList* m_selectedImages = nullptr;

    u32 m_background = 0;
    u32 m_frame = 0;
    u32 m_text = 0;
    u32 m_focusedFill = 0;
    u32 m_focusedOutline = 0;
    u32 m_focusedText = 0;
    u32 m_unfocusedFill = 0;
    u32 m_unfocusedOutline = 0;
    u32 m_unfocusedText = 0;
    u32 m_wholeRowFocused = 0;
    u32 m_wholeRowUnfocused = 0;

    cCriticalSection m_lock;
};
