#include "gui/controls/listview.h"

#include "base/clock.h"
#include "gui/controls/clamp.h"
#include "gui/controls/sortproviders.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/picture.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <memory>
#include <new>
#include <typeinfo>

namespace {

// Theme colours and images.
constexpr i32 kEmptyTextColour = 5;
constexpr i32 kBackgroundColour = 14;
constexpr i32 kFrameColour = 21;
constexpr i32 kTextColour = 4;
constexpr i32 kFocusedFillColour = 16;
constexpr i32 kFocusedOutlineColour = 25;
constexpr i32 kFocusedTextColour = 9;
constexpr i32 kUnfocusedFillColour = 18;
constexpr i32 kUnfocusedOutlineColour = 26;
constexpr i32 kHeaderHeightMetric = 23;

// Row geometry: a row is at least this high before the cell padding; a cell's content
// gets this padding; an item without a row still takes the minimum height.
constexpr i32 kMinRowHeight = 13;
constexpr i32 kCellPadding = 4;
constexpr i32 kCheckBoxZone = 14;
constexpr i32 kIconInset = 2;
constexpr i32 kTextMargin = 2;
constexpr i32 kHorizontalLineStep = 5;
// The frame is one pixel; content coordinates start inside it.
constexpr i32 kFrame = 1;
// Empty-list message band: x inset, distance below the header, height.
constexpr i32 kEmptyTextInset = 5;
constexpr i32 kEmptyTextGap = 10;
constexpr i32 kEmptyTextHeight = 20;

constexpr u32 kTypeAheadPauseMs = 400;
constexpr i32 kTypeAheadLength = 10;

bool IsPlainAction(cChildElement::cChildAction* action, i32 code)
{
    return action->GetCode() == code && typeid(*action) == typeid(cChildElement::cChildAction);
}

void Fill(cCanvas& canvas, i64 x, i64 y, i64 w, i64 h, u32 colour)
{
    canvas.FillRect(ClampToI32(x), ClampToI32(y), ClampToI32(w), ClampToI32(h), colour, colour);
}

} // namespace

cListViewChild::~cListViewChild()
{
    DeleteProviders();
}

// --- items and cells -------------------------------------------------------------------------

cListViewChild::sItem* cListViewChild::FindItem(i32 id)
{
    const auto found = m_items.find(id);
    return found != m_items.end() ? found->second.get() : nullptr;
}

cListViewChild::sCell* cListViewChild::FirstCell(sItem* item)
{
    auto* node = item->cells.First();
    return node != nullptr ? node->GetValue() : nullptr;
}

cListViewChild::sCell* cListViewChild::HitCell(sItem* item)
{
    // An item may lack a cell in the first column: its own first cell stands in.
    if (const auto* column = m_columns.First()) {
        if (sCell** cell = item->cells.FindIntKeyValue(column->GetKey())) {
            return *cell;
        }
    }
    return FirstCell(item);
}

bool cListViewChild::IsSelected(sItem* item)
{
    const sCell* cell = FirstCell(item);
    return cell != nullptr && (cell->state & kCellSelected) != 0;
}

bool cListViewChild::AddColumn(i32 id, const char16_t* title, i32 width, u32 alignment)
{
    if (!m_header.AddColumn(id, title, width, alignment)) {
        return false;
    }
    sColumn* column = m_columns.GetOrAdd(id);
    if (column == nullptr) {
        return false;
    }
    column->alignment = alignment;
    Relayout();
    return true;
}

bool cListViewChild::SetCell(i32 itemId, i32 columnId, const char16_t* text, i32 icon, u32 userValue)
{
    if (itemId < 0) {
        return false;
    }
    cSafeCriticalSectionAccess lock(m_lock);
    sItem* item = FindItem(itemId);
    const bool newItem = item == nullptr;
    if (newItem) {
        // Item ids mostly come ascending (0, 1, 2, ...): a balanced map keeps the
        // inserts of a large fill logarithmic.
        try {
            auto made = std::make_unique<sItem>();
            item = made.get();
            m_order.push_back(item);
            m_items.emplace(itemId, std::move(made));
        } catch (const std::bad_alloc&) {
            if (item != nullptr && !m_order.empty() && m_order.back() == item) {
                m_order.pop_back();
            }
            return false;
        }
        item->id = itemId;
        item->order = i32(m_order.size() - 1);
    }
    sCell** cellSlot = item->cells.FindIntKeyValue(columnId);
    const bool newCell = cellSlot == nullptr;
    sCell* cell = newCell ? new (std::nothrow) sCell : *cellSlot;
    if (newCell) {
        cellSlot = cell != nullptr ? item->cells.GetOrAdd(columnId) : nullptr;
        if (cellSlot != nullptr) {
            *cellSlot = cell;
        } else {
            delete cell;
            cell = nullptr;
        }
    }
    if (cell == nullptr || (text != nullptr && !cell->text.Assign(text))) {
        // Out of memory: undo what this call added.
        if (newCell && cell != nullptr) {
            item->cells.Erase(columnId);
        }
        if (newItem) {
            m_order.pop_back();
            m_items.erase(itemId);
        }
        return false;
    }
    cell->itemId = itemId;
    cell->m_item = item;
    if (userValue != 0) {
        cell->userValue = userValue;
    }
    const i16 newIcon = i16(std::clamp<i32>(icon, -1, INT16_MAX));
    const bool iconChanged = cell->icon != newIcon;
    cell->icon = newIcon;
    if (text != nullptr) {
        cell->textSet = true;
    }
    if (text != nullptr || newItem || newCell || iconChanged) {
        cell->measuredHeight = 0;
        Relayout();
    }
    return true;
}

bool cListViewChild::SetCellColour(i32 itemId, i32 columnId, u32 colour)
{
    sItem* item = FindItem(itemId);
    sCell** cell = item != nullptr ? item->cells.FindIntKeyValue(columnId) : nullptr;
    if (cell == nullptr) {
        return false;
    }
    (*cell)->colour = colour;
    return true;
}

bool cListViewChild::SetColumnColour(i32 columnId, u32 colour, bool redraw)
{
    sColumn* column = m_columns.FindIntKeyValue(columnId);
    if (column == nullptr) {
        return false;
    }
    column->colour = colour;
    if (redraw) {
        Invalidate();
    }
    return true;
}

bool cListViewChild::SetColumnFont(i32 columnId, cFontObject* font)
{
    sColumn* column = m_columns.FindIntKeyValue(columnId);
    if (column == nullptr) {
        return false;
    }
    if (column->font != font) {
        column->font = font;
        Relayout();
    }
    return true;
}

u32 cListViewChild::GetCellData(i32 itemId, i32 columnId)
{
    const sCell* cell = GetCell(itemId, columnId);
    return cell != nullptr ? cell->userValue : 0;
}

const cListViewChild::sCell* cListViewChild::GetCell(i32 itemId, i32 columnId)
{
    sItem* item = FindItem(itemId);
    sCell** cell = item != nullptr ? item->cells.FindIntKeyValue(columnId) : nullptr;
    return cell != nullptr ? *cell : nullptr;
}

bool cListViewChild::DeleteAllItems()
{
    cSafeCriticalSectionAccess lock(m_lock);
    m_rows.clear();
    m_order.clear();
    m_current = nullptr;
    m_items.clear();
    Relayout();
    return true;
}

std::vector<i32> cListViewChild::GetDisplayOrder()
{
    std::vector<i32> ids;
    for (sItem* item : m_order) {
        ids.push_back(item->id);
    }
    return ids;
}

i32 cListViewChild::GetRowTop(i32 itemId)
{
    const sItem* item = FindItem(itemId);
    return item != nullptr ? item->rowTop : -1;
}

// --- batches and appearance ------------------------------------------------------------------------

void cListViewChild::BeginUpdate()
{
    m_inUpdate = true;
}

bool cListViewChild::EndUpdate(bool remeasure)
{
    m_inUpdate = false;
    if (m_headerPending) {
        ApplyHeaderShown();
    }
    if (!m_layoutPending) {
        return false;
    }
    Layout(remeasure || m_remeasurePending);
    return true;
}

void cListViewChild::ShowHeader(bool show)
{
    m_headerShown = show;
    if (m_inUpdate) {
        m_headerPending = true;
    } else {
        ApplyHeaderShown();
    }
}

void cListViewChild::ApplyHeaderShown()
{
    m_headerPending = false;
    if (m_headerShown) {
        m_header.Show();
    } else {
        m_header.Hide();
    }
    OnResize();
    Relayout();
}

void cListViewChild::SetImageLists(const sImageList* normal, const sImageList* second, const sImageList* selected)
{
    m_normalImages = normal;
    m_secondImages = second;
    m_selectedImages = selected;
    Relayout(true);
}

void cListViewChild::SetRowSpacing(i32 spacing)
{
    m_rowSpacing = spacing;
    Relayout(true);
}

void cListViewChild::SetTextIndent(i32 indent, bool redraw)
{
    m_textIndent = indent;
    if (redraw) {
        Invalidate();
    }
}

void cListViewChild::SetFrameColour(u32 colour, bool redraw)
{
    m_frame = colour;
    if (redraw) {
        Invalidate();
    }
}

void cListViewChild::SetWholeRowSelection(bool wholeRow, bool redraw)
{
    m_wholeRow = wholeRow;
    if (redraw) {
        Invalidate();
    }
}

void cListViewChild::SetSelectionColours(u32 focusedFill, u32 unfocusedFill, bool redraw)
{
    m_wholeRowFocused = focusedFill;
    m_wholeRowUnfocused = unfocusedFill;
    if (redraw) {
        Invalidate();
    }
}

void cListViewChild::SetCheckBoxes(bool checkBoxes)
{
    m_checkBoxes = checkBoxes;
    Invalidate();
}

void cListViewChild::SetMultiSelect(bool multiSelect)
{
    if (multiSelect != m_multiSelect) {
        m_multiSelect = multiSelect;
        (void)DeselectAllExcept(nullptr);
    }
}

// --- layout ------------------------------------------------------------------------------------------

i32 cListViewChild::HeaderBand()
{
    return m_header.IsVisible() ? m_header.GetHeight() : 0;
}

sRect cListViewChild::GetViewRect()
{
    const sRect rect = GetBarlessRect();
    return RectFromEdges(0, i64(kFrame) + HeaderBand(), rect.Right(), rect.Bottom());
}

void cListViewChild::Relayout(bool remeasure)
{
    if (m_inUpdate) {
        m_layoutPending = true;
        m_remeasurePending = m_remeasurePending || remeasure;
        return;
    }
    Layout(remeasure);
}

i32 cListViewChild::MeasureCell(sCell& cell, i32 textHeight)
{
    // Every non-empty text is one line of the default font: its height does not
    // depend on the text, so no cell is shaped for it.
    i32 height = cell.text.IsEmpty() ? 0 : textHeight;
    if (cell.icon >= 0) {
        for (const sImageList* list : {m_normalImages, m_secondImages, m_selectedImages}) {
            const cPicture* picture = list != nullptr ? list->Get(cell.icon) : nullptr;
            if (picture != nullptr) {
                height = std::max(height, picture->GetHeight());
            }
        }
    }
    cell.measuredHeight = i16(std::min(height + kCellPadding, i32(INT16_MAX)));
    return cell.measuredHeight;
}

void cListViewChild::Layout(bool remeasure)
{
    cSafeCriticalSectionAccess lock(m_lock);
    m_layoutPending = false;
    m_remeasurePending = false;
    m_rows.clear();
    const cFontObject* font = GetDefaultFont();
    const i32 textHeight = font != nullptr ? font->GetCellHeight() : kMinRowHeight;
    i64 y = kFrame + HeaderBand();
    i32 smallest = GetHeight();
    try {
        m_rows.reserve(m_order.size());
    } catch (const std::bad_alloc&) {
        // Rows are still entered; an allocation failing then leaves the rest out.
    }
    for (sItem* item : m_order) {
        i32 height = kMinRowHeight;
        bool hasCell = false;
        for (auto* column = m_columns.First(); column != nullptr; column = tColumns::Next(column)) {
            sCell** cell = item->cells.FindIntKeyValue(column->GetKey());
            if (cell == nullptr) {
                continue;
            }
            hasCell = true;
            const i32 measured =
                remeasure || (*cell)->measuredHeight == 0 ? MeasureCell(**cell, textHeight) : (*cell)->measuredHeight;
            height = std::max(height, measured);
        }
        item->rowTop = -1;
        item->rowHeight = 0;
        if (!hasCell) {
            y += kMinRowHeight;
            continue;
        }
        // A negative row spacing must not give rows of 0 pixels or less: they would
        // share their top with the next row and hide from hit testing.
        const i32 rowHeight = ClampToI32(std::max<i64>(i64(height) + m_rowSpacing, 1));
        const i32 top = ClampToI32(y);
        try {
            m_rows.push_back({top, rowHeight, item});
        } catch (const std::bad_alloc&) {
            break;
        }
        item->rowTop = top;
        item->rowHeight = rowHeight;
        y += rowHeight;
        smallest = std::min(smallest, rowHeight);
    }
    SetLineSteps(kHorizontalLineStep, smallest);
    SetContentHeight(ClampToI32(y));
    Invalidate();
}

void cListViewChild::OnResize()
{
    const sRect view = GetViewRect();
    // The header lies inside the frame, which takes a pixel on either side. A header
    // of width 0 would not lay out: it starts at the view's width.
    if (m_header.GetWidth() == 0) {
        m_header.SetBounds(kFrame, kFrame, view.width - 2 * kFrame, m_header.GetHeight());
    }
    m_header.SetVisibleWidth(view.width - 2 * kFrame);
    SetContentWidth(m_header.GetWidth() + 2 * kFrame);
    SetPageSteps(view.width, view.height);
    cScrollableElement::OnResize();
}

// --- selection -----------------------------------------------------------------------------------------

void cListViewChild::PostChange(i32 id, i32 previousId, bool ctrl, bool shift)
{
    // A null action posts the plain code-0 action instead.
    (void)PostAction(this, new (std::nothrow) cListViewItemChangeAction(id, previousId, ctrl, shift));
}

void cListViewChild::PostItemAction(i32 code, i32 id)
{
    cChildAction* action = code == kItemCheckedCode ? new (std::nothrow) cListViewItemChecked(id)
                                                    : new (std::nothrow) cListViewItemAction(code, id);
    (void)PostAction(this, action);
}

i32 cListViewChild::GetCurrentItemId()
{
    return m_current != nullptr ? FirstCell(m_current)->itemId : -1;
}

bool cListViewChild::DeselectAllExcept(sItem* keep)
{
    bool changed = false;
    for (sItem* item : m_order) {
        sCell* cell = FirstCell(item);
        if (item != keep && (cell->state & kCellSelected) != 0) {
            cell->state &= u8(~kCellSelected);
            changed = true;
        }
    }
    if (m_current != keep) {
        m_current = nullptr;
    }
    Invalidate();
    return changed;
}

void cListViewChild::SelectRange(sItem* from, sItem* to)
{
    const size_t low = size_t(std::min(from->order, to->order));
    const size_t high = size_t(std::max(from->order, to->order));
    for (size_t i = low; i <= high && i < m_order.size(); ++i) {
        FirstCell(m_order[i])->state |= kCellSelected;
    }
}

void cListViewChild::ScrollItemIntoView(sItem* item)
{
    if (item->rowTop >= 0) {
        (void)ScrollRectIntoView({GetScrollX(), item->rowTop, 1, item->rowHeight}, true, false);
    }
}

void cListViewChild::Select(sItem* item, sItem* anchor, bool ctrl, bool shift, bool selectItem)
{
    if (item != m_current) {
        PostChange(FirstCell(item)->itemId, GetCurrentItemId(), ctrl, shift);
    }
    m_current = item;
    if (!m_multiSelect) {
        (void)DeselectAllExcept(item);
    } else if (shift) {
        SelectRange(anchor != nullptr ? anchor : item, item);
    } else if (!ctrl) {
        (void)DeselectAllExcept(item);
    }
    if (selectItem) {
        FirstCell(item)->state |= kCellSelected;
    }
    ScrollItemIntoView(item);
    Invalidate();
}

void cListViewChild::DeselectAllPosting(bool ctrl, bool shift)
{
    const i32 previous = GetCurrentItemId();
    (void)DeselectAllExcept(nullptr);
    PostChange(-1, previous, ctrl, shift);
}

i32 cListViewChild::GetNextSelectedItemId(i32 after)
{
    for (auto it = m_items.upper_bound(std::max(after, -1)); it != m_items.end(); ++it) {
        if (IsSelected(it->second.get())) {
            return it->first;
        }
    }
    return -1;
}

bool cListViewChild::SelectItemById(i32 id)
{
    sItem* item = FindItem(id);
    if (item == nullptr) {
        return false;
    }
    Select(item, m_current, false, false, true);
    return true;
}

bool cListViewChild::IsItemChecked(i32 id)
{
    sItem* item = FindItem(id);
    return item != nullptr && (FirstCell(item)->state & kCellChecked) != 0;
}

bool cListViewChild::SetItemChecked(i32 id, bool checked, bool post)
{
    sItem* item = FindItem(id);
    if (item == nullptr) {
        return false;
    }
    sCell* cell = FirstCell(item);
    if (((cell->state & kCellChecked) != 0) != checked) {
        cell->state ^= kCellChecked;
        if (post) {
            PostItemAction(kItemCheckedCode, id);
        }
        if (!m_inUpdate) {
            Invalidate();
        }
    }
    return true;
}

void cListViewChild::ToggleChecked(sItem* item)
{
    sCell* cell = HitCell(item);
    cell->state ^= kCellChecked;
    PostItemAction(kItemCheckedCode, cell->itemId);
    Invalidate();
}

// --- mouse ---------------------------------------------------------------------------------------------

cListViewChild::sRow* cListViewChild::RowAt(i32 x, i32 y)
{
    const i64 contentY = i64(y) + GetScrollY();
    auto after = std::upper_bound(m_rows.begin(), m_rows.end(), contentY,
                                  [](i64 value, const sRow& row) { return value < row.top; });
    if (after == m_rows.begin()) {
        return nullptr;
    }
    sRow& row = *std::prev(after);
    return contentY < i64(row.top) + row.height ? &row : nullptr;
}

bool cListViewChild::InCheckBoxZone(i32 x)
{
    // The box sits in the first 14 pixels of the first column and scrolls with it.
    if (!m_checkBoxes) {
        return false;
    }
    const auto* column = m_columns.First();
    const cButtonChild* button = column != nullptr ? m_header.GetColumnButton(column->GetKey()) : nullptr;
    const i64 zone = kFrame + (button != nullptr ? i64(button->GetRect().x) : 0);
    const i64 contentX = i64(x) + GetScrollX();
    return contentX >= zone && contentX < zone + kCheckBoxZone;
}

bool cListViewChild::IsBelowLastRow(i32 y)
{
    const i64 end = m_rows.empty() ? kFrame + HeaderBand() : i64(m_rows.back().top) + m_rows.back().height;
    return i64(y) + GetScrollY() >= end;
}

void cListViewChild::MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    m_pressCtrl = ctrl;
    m_pressShift = shift;
    cScrollableElement::MouseButton(x, y, button, down, ctrl, shift);
}

void cListViewChild::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (!down || (button != kMouseLeft && button != kMouseRight) || !GetViewRect().Contains(x, y)) {
        return;
    }
    cSafeCriticalSectionAccess lock(m_lock);
    if (sRow* row = RowAt(x, y)) {
        if (button == kMouseLeft && InCheckBoxZone(x)) {
            ToggleChecked(row->item);
            return;
        }
        OnItemClick(row->item->id, HitCell(row->item), m_pressCtrl, m_pressShift, button);
        return;
    }
    if (button == kMouseLeft && IsBelowLastRow(y) && m_current != nullptr) {
        DeselectAllPosting(false, false);
    }
}

void cListViewChild::OnItemClick(i32 itemId, sCell* cell, bool ctrl, bool shift, i32 button)
{
    sItem* item = FindItem(itemId);
    if (item == nullptr) {
        return;
    }
    if (!IsSelected(item)) {
        Select(item, m_current, ctrl, shift, true);
        return;
    }
    if (button != kMouseLeft || (shift && !ctrl)) {
        return;
    }
    if (ctrl) {
        FirstCell(item)->state &= u8(~kCellSelected);
        if (m_current == item) {
            m_current = nullptr;
        }
        PostChange(-1, -1, true, shift);
        Invalidate();
        return;
    }
    m_current = item;
    if (DeselectAllExcept(item)) {
        PostChange(-1, -1, false, false);
    }
}

void cListViewChild::OnDoubleClick(i32 x, i32 y)
{
    if (!GetViewRect().Contains(x, y)) {
        return;
    }
    cSafeCriticalSectionAccess lock(m_lock);
    if (sRow* row = RowAt(x, y)) {
        if (!InCheckBoxZone(x)) {
            PostItemAction(kItemActivatedCode, HitCell(row->item)->itemId);
        }
        return;
    }
    if (IsBelowLastRow(y) && m_current != nullptr) {
        DeselectAllPosting(false, false);
    }
}

// --- keys ----------------------------------------------------------------------------------------------

cListViewChild::sItem* cListViewChild::PageTarget(bool down)
{
    if (m_order.empty()) {
        return nullptr;
    }
    if (m_current == nullptr) {
        return down ? m_order.back() : m_order.front();
    }
    // Walk from the current item, spending the view height on each passed item's
    // measured height; the item that no longer fits in what is left is the target.
    i64 rest = GetViewRect().height;
    sItem* passed = m_current;
    for (i64 i = m_current->order; i >= 0 && i < i64(m_order.size()); i += down ? 1 : -1) {
        sItem* item = m_order[size_t(i)];
        const i32 height = FirstCell(item)->measuredHeight;
        if (rest <= height) {
            return item;
        }
        rest -= height;
        passed = item;
    }
    return passed;
}

void cListViewChild::MoveTo(sItem* item, bool ctrl, bool shift)
{
    if (item != nullptr) {
        Select(item, m_current, ctrl, shift, true);
    }
}

bool cListViewChild::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    const bool empty = m_order.empty();
    switch (vk) {
    case kVkBack:
        (void)PostCode(kBackspaceCode);
        return true;
    case kVkReturn:
        if (m_current != nullptr) {
            PostItemAction(kItemActivatedCode, GetCurrentItemId());
            return true;
        }
        break;
    case kVkEscape:
        if (m_current != nullptr) {
            DeselectAllPosting(ctrl, shift);
            return true;
        }
        break;
    case kVkSpace:
        if (m_checkBoxes && m_current != nullptr) {
            ToggleChecked(m_current);
            return true;
        }
        break;
    case kVkPageUp:
    case kVkPageDown:
        MoveTo(PageTarget(vk == kVkPageDown), false, shift);
        return true;
    case kVkHome:
    case kVkEnd:
        MoveTo(empty ? nullptr : (vk == kVkHome ? m_order.front() : m_order.back()), false, shift);
        return true;
    case kVkUp:
    case kVkDown: {
        sItem* target = nullptr;
        if (!empty) {
            const i64 step = vk == kVkDown ? 1 : -1;
            target = m_current == nullptr
                         ? m_order.front()
                         : m_order[size_t(std::clamp<i64>(m_current->order + step, 0, i64(m_order.size()) - 1))];
        }
        MoveTo(target, ctrl, shift);
        return true;
    }
    case kVkDelete:
        (void)PostCode(kDeleteCode);
        return true;
    case kVkA:
        if (ctrl && m_multiSelect) {
            if (!empty) {
                Select(m_order.front(), m_order.back(), false, true, true);
            }
            return true;
        }
        break;
    case kVkF5:
        (void)PostCode(kRefreshCode);
        return true;
    default:
        break;
    }
    return cScrollableElement::KeyDown(vk, shift, ctrl, alt);
}

void cListViewChild::CharInput(char16_t unit)
{
    TypeAhead(unit);
    cScrollableElement::CharInput(unit);
}

void cListViewChild::TypeAhead(char16_t unit)
{
    const u32 now = MillisecondTick();
    size_t start = m_current != nullptr ? size_t(m_current->order) : 0;
    // After a pause the search starts again after the current item; with no current
    // item it starts at the first, which must itself be found.
    if (m_typedCount == 0 || u32(now - m_lastTypedTick) > kTypeAheadPauseMs) {
        m_typedCount = 0;
        if (m_current != nullptr) {
            ++start;
        }
    }
    if (m_typedCount < kTypeAheadLength) {
        m_typed[m_typedCount++] = unit;
    }
    m_lastTypedTick = now;
    for (size_t i = start; i < m_order.size(); ++i) {
        const char16_t* text = FirstCell(m_order[i])->text.GetOrEmpty();
        i32 matched = 0;
        while (matched < m_typedCount && text[matched] != 0 &&
               ToLowerChar(text[matched]) == ToLowerChar(m_typed[matched])) {
            ++matched;
        }
        if (matched == m_typedCount) {
            Select(m_order[i], m_current, false, false, true);
            return;
        }
    }
}

// --- sorting -------------------------------------------------------------------------------------------

void cListViewChild::DeleteProviders()
{
    for (auto* node = m_columns.First(); node != nullptr; node = tColumns::Next(node)) {
        delete node->GetValue().provider;
        node->GetValue().provider = nullptr;
    }
}

bool cListViewChild::SetSortProvider(i32 columnId, cListViewSortProvider* provider)
{
    sColumn* column = m_columns.FindIntKeyValue(columnId);
    if (column == nullptr) {
        return false;
    }
    // Giving the column the provider it already holds must not free it.
    if (provider == column->provider) {
        return true;
    }
    delete column->provider;
    column->provider = provider;
    if (columnId == m_sortColumn) {
        Relayout();
    }
    return true;
}

bool cListViewChild::SortByColumn(i32 columnId)
{
    sColumn* column = m_columns.FindIntKeyValue(columnId);
    if (column == nullptr || column->provider == nullptr) {
        return false;
    }
    cListViewSortProvider* provider = column->provider;
    cSafeCriticalSectionAccess lock(m_lock);
    if (!provider->Reset()) {
        return false;
    }
    std::vector<sItem*> sorted;
    std::vector<sItem*> aside;
    try {
        sorted.reserve(m_order.size());
        aside.reserve(m_order.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (sItem* item : m_order) {
        sCell** cell = item->cells.FindIntKeyValue(columnId);
        if (cell == nullptr || !provider->Add(*cell)) {
            aside.push_back(item);
        }
    }
    const bool ascending = column->direction != 0;
    auto walk = [&] {
        const sCell* cell = nullptr;
        cListViewSortProvider::tPosition position = nullptr;
        do {
            position = ascending ? provider->NextAscending(position, cell) : provider->NextDescending(position, cell);
            if (cell != nullptr) {
                sorted.push_back(cell->m_item);
            }
        } while (position != nullptr);
    };
    // Items without a key count as the smallest both ways, in their old order.
    if (ascending) {
        sorted.insert(sorted.end(), aside.begin(), aside.end());
        walk();
    } else {
        walk();
        sorted.insert(sorted.end(), aside.begin(), aside.end());
    }
    m_order.swap(sorted);
    for (size_t i = 0; i < m_order.size(); ++i) {
        m_order[i]->order = i32(i);
    }
    (void)provider->Reset();
    m_sortColumn = columnId;
    Relayout();
    return true;
}

void cListViewChild::OnHeaderClick(i32 columnId)
{
    sColumn* column = m_columns.FindIntKeyValue(columnId);
    if (column == nullptr || column->provider == nullptr) {
        return;
    }
    column->direction = columnId == m_sortColumn ? u8(column->direction == 0) : column->defaultDirection;
    (void)SortByColumn(columnId);
    PostItemAction(kSortedCode, columnId);
}

bool cListViewChild::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_header) {
        if (auto* click = dynamic_cast<cHeaderChild::cColumnClickAction*>(action)) {
            OnHeaderClick(click->GetColumn());
            return true;
        }
        if (dynamic_cast<cSplitterChild::cResizeRequestAction*>(action) != nullptr) {
            SetContentWidth(m_header.GetWidth() + 2 * kFrame);
            m_header.SetVisibleWidth(GetViewRect().width - 2 * kFrame);
            return true;
        }
        if (IsPlainAction(action, cSplitterChild::kSizesChangedCode)) {
            Relayout();
            return true;
        }
    }
    return cScrollableElement::OnAction(source, action);
}

// --- painting ------------------------------------------------------------------------------------------

cListViewChild::sPaintColours cListViewChild::SelectionColours()
{
    const bool focused = HasFocus();
    if (m_wholeRow) {
        const u32 fill = focused ? m_wholeRowFocused : m_wholeRowUnfocused;
        return {fill, fill, focused ? m_focusedText : m_unfocusedText};
    }
    return focused ? sPaintColours{m_focusedFill, m_focusedOutline, m_focusedText}
                   : sPaintColours{m_unfocusedFill, m_unfocusedOutline, m_unfocusedText};
}

void cListViewChild::PaintCell(cCanvas& canvas, const sRow& row, bool firstColumn, const sColumn& column,
                               const sCell& cell, i64 x, i32 width, const sPaintColours& colours, bool topEdge)
{
    const i32 top = ClampToI32(i64(row.top) - GetScrollY());
    const i32 height = row.height;
    const i64 right = x + width;
    const bool outline = colours.outline != colours.fill;
    canvas.SetPen(colours.outline, 1);
    // Each part: fill, then the outline's bottom edge, its top edge unless the row
    // above is selected too, and the left edge on the first part.
    bool firstPart = true;
    auto part = [&](i64 partX, i64 partWidth) {
        Fill(canvas, partX, top, partWidth, height, colours.fill);
        if (outline && partWidth > 0) {
            const i32 left = ClampToI32(partX);
            const i32 end = ClampToI32(partX + partWidth);
            canvas.DrawLine(left, top + height - 1, end, top + height - 1);
            if (topEdge) {
                canvas.DrawLine(left, top, end, top);
            }
            if (firstPart) {
                canvas.DrawLine(left, top, left, top + height);
            }
        }
        firstPart = false;
    };
    i64 used = x;
    if (firstColumn && m_checkBoxes) {
        const i64 zone = std::min<i64>(kCheckBoxZone, width);
        part(used, zone);
        const bool checked = (cell.state & kCellChecked) != 0;
        const cPicture* box = GetTheme()->GetImage(checked ? kImageCheckOn : kImageCheckOff);
        if (box != nullptr) {
            canvas.AddClip({ClampToI32(used), top, ClampToI32(zone), height});
            canvas.DrawPictureBlended(ClampToI32(used + (kCheckBoxZone - box->GetWidth()) / 2),
                                      ClampToI32(top + (i64(height) - box->GetHeight()) / 2), box);
            canvas.ApplyClip();
        }
        used += zone;
    }
    const cPicture* icon = nullptr;
    if (cell.icon >= 0) {
        icon = m_normalImages != nullptr ? m_normalImages->Get(cell.icon) : nullptr;
        const cPicture* selected = m_selectedImages != nullptr ? m_selectedImages->Get(cell.icon) : nullptr;
        if ((cell.state & kCellSelected) != 0 && selected != nullptr) {
            icon = selected;
        }
    }
    if (icon != nullptr && used < right) {
        const i64 area = std::min<i64>(i64(icon->GetWidth()) + 2 * kIconInset, right - used);
        part(used, area);
        canvas.AddClip({ClampToI32(used), top, ClampToI32(area), height});
        canvas.DrawPictureBlended(ClampToI32(used + kIconInset), ClampToI32(top + (i64(height) - icon->GetHeight()) / 2),
                                  icon);
        canvas.ApplyClip();
        used += area;
    }
    if (used < right) {
        part(used, right - used);
        if (outline) {
            canvas.DrawLine(ClampToI32(right - 1), top, ClampToI32(right - 1), top + height);
        }
        canvas.SelectFont(column.font != nullptr ? column.font : GetDefaultFont());
        u32 text = colours.text;
        if (colours.ownTextColours) {
            text = cell.colour != kNoListColour ? cell.colour : (column.colour != kNoListColour ? column.colour : text);
        }
        canvas.SetColors(text, colours.fill);
        if (!cell.text.IsEmpty()) {
            canvas.DrawTextInRectW(ClampToI32(used + m_textIndent), top, ClampToI32(right - used - m_textIndent),
                                   height, column.alignment, false, kTextMargin, 0, cell.text.Get(), -1);
        }
    }
}

void cListViewChild::PaintRow(cCanvas& canvas, const sRow& row, bool aboveSelected)
{
    const sRect view = GetViewRect();
    const i32 top = ClampToI32(i64(row.top) - GetScrollY());
    const i32 divider = m_header.GetDividerWidth();
    const sPaintColours normal{m_background, m_background, m_text, true};
    const sPaintColours selected = SelectionColours();
    const sCell* first = FirstCell(row.item);
    bool selecting = false;
    bool firstColumn = true;
    i64 end = kFrame - GetScrollX();
    for (auto* node = m_columns.First(); node != nullptr; node = tColumns::Next(node), firstColumn = false) {
        const cButtonChild* button = m_header.GetColumnButton(node->GetKey());
        if (button == nullptr) {
            continue;
        }
        const i64 x = kFrame + i64(button->GetRect().x) - GetScrollX();
        const i32 width = button->GetWidth();
        sCell** cell = row.item->cells.FindIntKeyValue(node->GetKey());
        const bool cellSelected = cell != nullptr && *cell == first && (first->state & kCellSelected) != 0;
        selecting = selecting || (m_wholeRow && cellSelected);
        const u32 rest = selecting ? selected.fill : m_background;
        end = x + std::max(width, 0) + divider;
        if (width > 0 && (m_wholeRow || x + width > view.x)) {
            if (cell == nullptr) {
                Fill(canvas, x, top, width, row.height, rest);
            } else {
                const bool drawSelected = cellSelected || selecting;
                PaintCell(canvas, row, firstColumn, node->GetValue(), **cell, x, width,
                          drawSelected ? selected : normal, !aboveSelected);
            }
        }
        // The divider gap, also that of a zero-width column, or stale pixels show.
        Fill(canvas, x + std::max(width, 0), top, divider, row.height, rest);
    }
    Fill(canvas, end, top, view.Right() - end, row.height, selecting ? selected.fill : m_background);
}

void cListViewChild::PaintEmptyText(cCanvas& canvas)
{
    if (GetText()[0] == 0) {
        return;
    }
    canvas.SetColors(GetTheme()->GetColour(kEmptyTextColour), m_background);
    canvas.SelectFont(GetDefaultFont());
    (void)canvas.DrawTextInRectW(kEmptyTextInset, kFrame + HeaderBand() + kEmptyTextGap,
                                 GetWidth() - 2 * kEmptyTextInset, kEmptyTextHeight, kAlignCentre, false, 0, 0,
                                 GetText(), -1);
}

void cListViewChild::PaintContent(cCanvas& canvas)
{
    cSafeCriticalSectionAccess lock(m_lock);
    const sRect view = GetViewRect();
    canvas.AddClip(RectFromEdges(kFrame, view.y, std::min<i64>(view.Right(), GetWidth() - kFrame),
                                 std::min<i64>(view.Bottom(), GetHeight() - kFrame)));
    Fill(canvas, view.x, view.y, view.width, view.height, m_background);
    if (m_rows.empty()) {
        PaintEmptyText(canvas);
        canvas.ApplyClip();
        return;
    }
    // Only the rows in the view are walked: from the one at the view's top on.
    const i64 viewTop = i64(view.y) + GetScrollY();
    auto row = std::upper_bound(m_rows.begin(), m_rows.end(), viewTop,
                                [](i64 value, const sRow& r) { return value < r.top; });
    if (row != m_rows.begin()) {
        --row;
    }
    for (; row != m_rows.end() && i64(row->top) - GetScrollY() < view.Bottom(); ++row) {
        const sItem* item = row->item;
        const bool aboveSelected = item->order > 0 && IsSelected(m_order[size_t(item->order) - 1]);
        PaintRow(canvas, *row, aboveSelected);
    }
    canvas.ApplyClip();
}

void cListViewChild::OnPaintAfterChildren(cCanvas& canvas)
{
    cScrollableElement::OnPaintAfterChildren(canvas);
    const i32 w = GetWidth();
    const i32 h = GetHeight();
    Fill(canvas, 0, 0, w, kFrame, m_frame);
    Fill(canvas, 0, h - kFrame, w, kFrame, m_frame);
    Fill(canvas, 0, 0, kFrame, h, m_frame);
    Fill(canvas, w - kFrame, 0, kFrame, h, m_frame);
}

// --- style ---------------------------------------------------------------------------------------------

void cListViewChild::ApplyStyle()
{
    cScrollableElement::ApplyStyle();
    const cCITheme* theme = GetTheme();
    AttachChild(&m_header, kFrame, kFrame, GetWidth() - 2 * kFrame, theme->GetMetric(kHeaderHeightMetric));
    SetChildScrollAlign(&m_header, false, true);
    SetLineSteps(kHorizontalLineStep, 1);
    m_multiSelect = false;
    m_checkBoxes = false;
    m_wholeRow = false;
    m_inUpdate = false;
    m_layoutPending = false;
    m_remeasurePending = false;
    m_headerPending = false;
    m_headerShown = true;
    m_background = theme->GetColour(kBackgroundColour);
    m_frame = theme->GetColour(kFrameColour);
    m_text = theme->GetColour(kTextColour);
    m_focusedFill = theme->GetColour(kFocusedFillColour);
    m_focusedOutline = theme->GetColour(kFocusedOutlineColour);
    m_focusedText = theme->GetColour(kFocusedTextColour);
    m_unfocusedFill = theme->GetColour(kUnfocusedFillColour);
    m_unfocusedOutline = theme->GetColour(kUnfocusedOutlineColour);
    m_unfocusedText = theme->GetColour(kTextColour);
    m_wholeRowFocused = m_focusedFill;
    m_wholeRowUnfocused = m_unfocusedFill;
    m_normalImages = nullptr;
    m_secondImages = nullptr;
    m_selectedImages = nullptr;
    m_rowSpacing = 0;
    m_textIndent = 0;
    m_sortColumn = -1;
    m_typedCount = 0;
    cSafeCriticalSectionAccess lock(m_lock);
    DeleteProviders();
    m_columns.Clear();
    m_rows.clear();
    m_order.clear();
    m_current = nullptr;
    m_items.clear();
}
