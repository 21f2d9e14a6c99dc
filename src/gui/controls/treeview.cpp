#include "gui/controls/treeview.h"

#include "gui/core/imagelist.h"
#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"
#include "gui/core/translator.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

enum : i32
{
    kVkAdd = 0x6B,
    kVkSubtract = 0x6D,
};

enum : i32
{
    kColourText = 4,
    kColourFill = 14,
    kColourMark = 18,
    kColourFrame = 21,
};

// Theme image of each expander state (none for state 0).
const cPicture* ExpanderImage(i32 state)
{
    switch (state) {
    case kExpanderLeaf: return GetTheme()->GetImage(kImageExpanderLeaf);
    case kExpanderLastLeaf: return GetTheme()->GetImage(kImageExpanderLastLeaf);
    case kExpanderOpen: return GetTheme()->GetImage(kImageExpanderOpen);
    case kExpanderClosed: return GetTheme()->GetImage(kImageExpanderClosed);
    default: return nullptr;
    }
}

// The next item after `item` in pre-order inside the subtree of `top` (null: the whole
// tree); null at the end.
cTreeItem* NextInSubtree(cTreeItem* item, const cTreeItem* top)
{
    if (item->GetFirstChild() != nullptr) {
        return item->GetFirstChild();
    }
    while (item != top) {
        if (item->GetNextSibling() != nullptr) {
            return item->GetNextSibling();
        }
        item = item->GetParent();
        if (item == nullptr) {
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace

// --- row and expander ------------------------------------------------------------------------

bool cTreeItemElement::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (vk == kVkAdd || vk == kVkSubtract) {
        (void)PostCode(vk == kVkAdd ? kExpandCode : kCollapseCode);
        return true;
    }
    return cSISelectableElement::KeyDown(vk, shift, ctrl, alt);
}

void cTreeItemElement::CharInput(char16_t unit)
{
    if (unit == u'+' || unit == u'-') {
        (void)PostCode(unit == u'+' ? kExpandCode : kCollapseCode);
        return;
    }
    cSISelectableElement::CharInput(unit);
}

void cTreeViewControlElement::SetState(i32 state)
{
    if (state == m_state) {
        return;
    }
    m_state = state;
    SetIcon(ExpanderImage(state), false);
    SetCursorKind(state == kExpanderOpen || state == kExpanderClosed ? kCursorHand : kCursorArrow);
    Invalidate();
}

void cTreeViewControlElement::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    // A leaf's expander neither selects nor toggles.
    if (button == kMouseLeft && down && (m_state == kExpanderOpen || m_state == kExpanderClosed)) {
        (void)PostAction(this, nullptr);
    }
}

// --- items ---------------------------------------------------------------------------------------

cTreeViewChild::cTreeViewItem::~cTreeViewItem()
{
    delete m_expander;
    delete m_row;
}

bool cTreeViewChild::cTreeViewItem::SetText(const char16_t* text)
{
    if (!m_text.Assign(text)) {
        return false;
    }
    m_textShown = false;
    m_measureValid = false;
    return true;
}

// --- the control ---------------------------------------------------------------------------------

cTreeViewChild::cTreeViewChild() = default;

cTreeViewChild::~cTreeViewChild()
{
    m_rowMap.Clear();
    m_expanderMap.Clear();
    m_live.Clear();
    m_current = nullptr;
    m_marked = nullptr;
    m_items.DeleteAll();
}

void cTreeViewChild::ApplyStyle()
{
    cScrollableElement::ApplyStyle();
    (void)DeleteAllItems();
    m_rowMap.Clear();
    m_expanderMap.Clear();
    SetPageSteps(GetWidth(), GetHeight());
    const cCITheme* theme = GetTheme();
    m_indent = 16;
    m_rowGap = 0;
    m_rowMargin = 0;
    m_expanderWidth = 16;
    m_imageList = nullptr;
    m_imageListA = 0;
    m_imageListB = 0;
    m_backColour = theme->GetColour(kColourFill);
    m_frameColour = theme->GetColour(kColourFrame);
    m_markText = theme->GetColour(kColourText);
    m_markBack = theme->GetColour(kColourMark);
    m_contentWidthFollowsRows = true;
    m_current = nullptr;
    m_marked = nullptr;
}

void cTreeViewChild::OnResize()
{
    cScrollableElement::OnResize();
    SetPageSteps(GetWidth(), GetHeight());
}

void cTreeViewChild::PaintContent(cCanvas& canvas)
{
    canvas.FillRect(0, 0, GetWidth(), GetHeight(), m_backColour, m_frameColour);
}

// --- items in and out -------------------------------------------------------------------------------

bool cTreeViewChild::InsertItem(cTreeViewItem* parent, cTreeViewItem* item, cTreeViewItem* after)
{
    if (item == nullptr || item->GetTree() != nullptr || (parent != nullptr && parent->GetTree() != &m_items)) {
        return false;
    }
    u64* serial = m_live.GetOrAdd(item);
    if (serial == nullptr) {
        return false;
    }
    if (after != nullptr && (after->GetParent() != parent || after->GetTree() != &m_items)) {
        after = nullptr;
    }
    m_items.InsertItem(parent, item, after);
    item->m_serial = ++m_nextSerial;
    *serial = item->m_serial;
    LayoutOrPend();
    return true;
}

bool cTreeViewChild::DeleteChildItems(cTreeViewItem* item)
{
    if (item == nullptr) {
        return DeleteAllItems();
    }
    if (item->GetTree() != &m_items) {
        return false;
    }
    m_current = nullptr;
    m_marked = nullptr;
    ForgetSubtree(item, false);
    item->DeleteChildren();
    LayoutOrPend();
    return true;
}

bool cTreeViewChild::DeleteAllItems()
{
    m_current = nullptr;
    m_marked = nullptr;
    if (m_items.GetFirst() == nullptr) {
        return false;
    }
    ForgetSubtree(nullptr, false);
    m_items.DeleteAll();
    m_rowMap.Clear();
    m_expanderMap.Clear();
    m_live.Clear();
    LayoutOrPend();
    return true;
}

void cTreeViewChild::ForgetItem(cTreeViewItem* item)
{
    (void)m_live.Erase(item);
    // Detached last first: the children list then shrinks at its end.
    if (item->m_expander != nullptr) {
        (void)m_expanderMap.Erase(item->m_expander);
        DetachChild(item->m_expander);
    }
    if (item->m_row != nullptr) {
        (void)m_rowMap.Erase(item->m_row);
        DetachChild(item->m_row);
    }
}

void cTreeViewChild::ForgetSubtree(cTreeViewItem* item, bool self)
{
    // Collected first and forgotten in reverse pre-order, which is about the reverse of
    // the order the rows were attached in.
    std::vector<cTreeViewItem*> items;
    cTreeItem* top = item;
    cTreeItem* walk = item != nullptr ? item->GetFirstChild() : m_items.GetFirst();
    if (item != nullptr && self) {
        items.push_back(item);
    }
    for (; walk != nullptr; walk = NextInSubtree(walk, top)) {
        items.push_back(static_cast<cTreeViewItem*>(walk));
    }
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        ForgetItem(*it);
    }
}

bool cTreeViewChild::IsItemAlive(const cTreeViewItem* item) const
{
    return item != nullptr && m_live.Find(item) != nullptr;
}

bool cTreeViewChild::IsItemAlive(const cTreeViewItem* item, u64 serial) const
{
    const auto* node = item != nullptr ? m_live.Find(item) : nullptr;
    return node != nullptr && node->GetValue() == serial;
}

cTreeViewChild::cTreeViewItem* cTreeViewChild::FindItemByRow(const cChildElement* row) const
{
    const auto* node = m_rowMap.Find(row);
    return node != nullptr ? node->GetValue() : nullptr;
}

cTreeViewChild::cTreeViewItem* cTreeViewChild::FindItemByExpander(const cChildElement* expander) const
{
    const auto* node = m_expanderMap.Find(expander);
    return node != nullptr ? node->GetValue() : nullptr;
}

// --- settings -------------------------------------------------------------------------------------------

void cTreeViewChild::SetImageList(const sImageList* list, i32 a, i32 b)
{
    if (list == m_imageList && a == m_imageListA && b == m_imageListB) {
        return;
    }
    m_imageList = list;
    m_imageListA = a;
    m_imageListB = b;
    LayoutOrPend();
}

void cTreeViewChild::SetIndent(i32 indent)
{
    m_indent = indent;
    LayoutOrPend();
}

void cTreeViewChild::SetRowGap(i32 gap)
{
    m_rowGap = gap;
    LayoutOrPend();
}

void cTreeViewChild::SetRowMargin(i32 margin)
{
    m_rowMargin = margin;
    LayoutOrPend();
}

void cTreeViewChild::SetMarkColours(u32 text, u32 back)
{
    m_markText = text;
    m_markBack = back;
}

void cTreeViewChild::ResumeUpdates()
{
    m_suspended = false;
    if (m_layoutPending) {
        Relayout();
    }
}

// --- layout ------------------------------------------------------------------------------------------------

void cTreeViewChild::LayoutOrPend()
{
    if (m_suspended) {
        m_layoutPending = true;
    } else {
        Relayout();
    }
}

void cTreeViewChild::Relayout()
{
    m_layoutPending = false;
    sLayoutPass pass;
    pass.smallest = GetHeight();
    // Pre-order without recursion: a folder tree may be thousands of levels deep.
    std::vector<bool> shownAbove;
    bool visible = true;
    i32 depth = 0;
    cTreeViewItem* item = GetFirstItem();
    while (item != nullptr) {
        LayoutItem(item, depth, visible, pass);
        if (item->GetFirstChild() != nullptr) {
            shownAbove.push_back(visible);
            visible = visible && !item->collapsed;
            ++depth;
            item = item->GetFirstChildItem();
            continue;
        }
        while (item != nullptr && item->GetNextSibling() == nullptr) {
            item = item->GetParentItem();
            if (item != nullptr) {
                --depth;
                visible = shownAbove.back();
                shownAbove.pop_back();
            }
        }
        if (item != nullptr) {
            item = item->GetNextItem();
        }
    }
    SetContentHeight(pass.y);
    if (m_contentWidthFollowsRows) {
        SetContentWidth(pass.widest);
    }
    SetLineSteps(5, m_rowGap + pass.smallest);
    Invalidate();
}

bool cTreeViewChild::CreateElements(cTreeViewItem* item)
{
    cTreeItemElement* row = CreateRowElement(item);
    cTreeViewControlElement* expander = row != nullptr ? CreateExpanderElement(item) : nullptr;
    cTreeViewItem** rowSlot = expander != nullptr ? m_rowMap.GetOrAdd(row) : nullptr;
    cTreeViewItem** expanderSlot = rowSlot != nullptr ? m_expanderMap.GetOrAdd(expander) : nullptr;
    if (expanderSlot == nullptr) {
        if (rowSlot != nullptr) {
            (void)m_rowMap.Erase(row);
        }
        delete expander;
        delete row;
        return false;
    }
    *rowSlot = item;
    *expanderSlot = item;
    item->m_row = row;
    item->m_expander = expander;
    AttachChild(row, 0, 0, 1, 1, 0);
    row->SetArrowNavigable(true);
    row->SetDoubleBuffered(true);
    AttachChild(expander, 0, 0, 1, 1, 0);
    expander->SetDoubleBuffered(true);
    OnRowCreated(item, row);
    return true;
}

void cTreeViewChild::LayoutItem(cTreeViewItem* item, i32 depth, bool visible, sLayoutPass& pass)
{
    if (item->m_row == nullptr && !CreateElements(item)) {
        return;
    }
    cTreeItemElement* row = item->m_row;
    cTreeViewControlElement* expander = item->m_expander;
    if (!item->m_textShown) {
        (void)row->SetText(item->m_text.Get(), 0u, false);
        item->m_textShown = true;
    }
    if (item->iconId >= 0) {
        const cPicture* icon = m_imageList != nullptr ? m_imageList->Get(item->iconId) : nullptr;
        if (icon != item->m_shownIcon) {
            row->SetIcon(icon, false);
            item->m_shownIcon = icon;
            item->m_measureValid = false;
        }
    }
    if (!visible) {
        row->Hide(false);
        expander->Hide(false);
    } else {
        if (!item->m_measureValid || item->m_measuredFont != row->GetLabelFont()) {
            item->m_measureValid = row->MeasureContent(&item->m_measured);
            item->m_measuredFont = row->GetLabelFont();
        }
        const i32 width = item->m_measured.width + m_rowMargin;
        const i32 height = item->m_measured.height + m_rowMargin;
        const i32 x = m_indent * depth + 1 + m_expanderWidth;
        row->SetBounds(x, pass.y, width, height);
        expander->SetBounds(x - m_expanderWidth, pass.y, m_expanderWidth, height);
        expander->SetIndent(m_rowMargin / 2);
        pass.y += m_rowGap + height;
        pass.widest = std::max(pass.widest, x + width);
        pass.smallest = std::min(pass.smallest, height);
        row->SetNormalBackColour(item == m_marked && m_markBack != kKeepRowColours ? m_markBack
                                 : item == m_marked                                 ? m_savedBack
                                                                                    : m_backColour);
        expander->SetBackColour(m_backColour);
        expander->SetFrameColour(m_backColour);
        if (item->textColour != kKeepRowColours) {
            row->SetOwnTextColour(item->textColour);
        }
        row->Show(false);
        expander->Show(false);
    }
    if (item->GetFirstChild() == nullptr) {
        expander->SetState(item->GetNextSibling() != nullptr ? kExpanderLeaf : kExpanderLastLeaf);
    } else {
        expander->SetState(item->collapsed ? kExpanderClosed : kExpanderOpen);
    }
}

cTreeItemElement* cTreeViewChild::CreateRowElement(cTreeViewItem* item)
{
    return new (std::nothrow) cTreeItemElement;
}

cTreeViewControlElement* cTreeViewChild::CreateExpanderElement(cTreeViewItem* item)
{
    return new (std::nothrow) cTreeViewControlElement;
}

// --- expanding and the current item ---------------------------------------------------------------

bool cTreeViewChild::ExpandItem(cTreeViewItem* item, bool notify)
{
    if (item == nullptr || item->m_row == nullptr || !item->collapsed || !HasChildren(item)) {
        return false;
    }
    item->collapsed = false;
    if (m_suspended) {
        m_layoutPending = true;
    } else {
        OnExpanding(item);
        Relayout();
    }
    if (notify) {
        PostItemAction(kExpandedCode, item);
    }
    return true;
}

void cTreeViewChild::SetCollapsed(cTreeViewItem* item, bool collapsed)
{
    item->collapsed = collapsed;
    LayoutOrPend();
    PostItemAction(kExpandedCode, item);
}

bool cTreeViewChild::SetCurrentItem(cTreeViewItem* item, bool focus)
{
    if (item == nullptr || item->m_row == nullptr || item->GetTree() != &m_items) {
        return false;
    }
    m_current = item;
    if (focus) {
        item->m_row->Activate();
        // Focus moving among the rows does not enter the control again, so SetFocus
        // does not scroll for it.
        ScrollChildIntoView(item->m_row);
    } else {
        MarkItem(item);
    }
    return true;
}

void cTreeViewChild::PostItemAction(i32 code, cTreeViewItem* item)
{
    if (auto* action = new (std::nothrow) cTreeItemAction(code, item, item->m_serial)) {
        (void)PostAction(this, action);
    }
}

// --- actions ----------------------------------------------------------------------------------------------

bool cTreeViewChild::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == this) {
        // An item deleted since the post stops here: no form sees a dangling item.
        auto* itemAction = dynamic_cast<cTreeItemAction*>(action);
        if (itemAction != nullptr && !IsItemAlive(itemAction->GetItem(), itemAction->GetSerial())) {
            return true;
        }
        return cScrollableElement::OnAction(source, action);
    }
    if (cTreeViewItem* item = FindItemByRow(source)) {
        return OnRowAction(item, action) || cScrollableElement::OnAction(source, action);
    }
    if (cTreeViewItem* item = FindItemByExpander(source)) {
        return OnExpanderAction(item);
    }
    return cScrollableElement::OnAction(source, action);
}

bool cTreeViewChild::OnRowAction(cTreeViewItem* item, cChildAction* action)
{
    switch (action->GetCode()) {
    case cContextAction::kCode: {
        auto* context = dynamic_cast<cContextAction*>(action);
        if (context == nullptr) {
            return false;
        }
        const sRect rect = item->m_row->GetRect();
        auto* posted = new (std::nothrow)
            cTreeItemCtxAction(item, item->m_serial, rect.x + context->GetX() - GetScrollX(),
                               rect.y + context->GetY() - GetScrollY());
        if (posted != nullptr) {
            (void)PostAction(this, posted);
        }
        return true;
    }
    case cSISelectableElement::cSelectableSelectAction::kCode:
        if (item != m_current) {
            m_current = item;
            PostItemAction(kCurrentChangedCode, item);
        }
        return true;
    case cSISelectableElement::kActivateCode:
        PostItemAction(kActivatedCode, item);
        return true;
    case cTreeItemElement::kExpandCode:
        if (item->collapsed) {
            item->collapsed = false;
            OnExpanding(item);
            SetCollapsed(item, false);
        }
        return true;
    case cTreeItemElement::kCollapseCode:
        if (!item->collapsed) {
            SetCollapsed(item, true);
        }
        return true;
    default:
        return false;
    }
}

bool cTreeViewChild::OnExpanderAction(cTreeViewItem* item)
{
    OnExpanding(item);
    if (!HasChildren(item)) {
        return true;
    }
    item->collapsed = !item->collapsed;
    // The focus moves before the layout hides the children that may hold it.
    item->m_row->SetSelected(true);
    LayoutOrPend();
    PostItemAction(kExpandedCode, item);
    return true;
}

// --- keys ----------------------------------------------------------------------------------------------------

cTreeViewChild::cTreeViewItem* cTreeViewChild::KeyTarget(i32 vk, bool ctrl)
{
    cTreeViewItem* item = m_current;
    if (ctrl) {
        return vk == kVkUp ? item->GetPrevItem() : item->GetNextItem();
    }
    switch (vk) {
    case kVkLeft:
        return item->GetParentItem();
    case kVkUp: {
        cTreeViewItem* target = item->GetPrevItem();
        if (target == nullptr) {
            return item->GetParentItem();
        }
        while (!target->collapsed && HasChildren(target)) {
            target = target->GetLastChildItem();
        }
        return target;
    }
    case kVkRight:
        if (!HasChildren(item)) {
            return nullptr;
        }
        (void)ExpandItem(item, false);
        return item->GetFirstChildItem();
    default: // Down
        if (!item->collapsed && HasChildren(item)) {
            return item->GetFirstChildItem();
        }
        for (cTreeViewItem* walk = item; walk != nullptr; walk = walk->GetParentItem()) {
            if (walk->GetNextItem() != nullptr) {
                return walk->GetNextItem();
            }
        }
        return nullptr;
    }
}

void cTreeViewChild::SelectRow(cTreeViewItem* item)
{
    if (item != nullptr && item->m_row != nullptr) {
        item->m_row->SetSelected(true);
        ScrollChildIntoView(item->m_row);
    }
}

bool cTreeViewChild::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    const bool arrow = vk == kVkUp || vk == kVkDown || (!ctrl && (vk == kVkLeft || vk == kVkRight));
    if (shift || alt || !arrow) {
        return cScrollableElement::KeyDown(vk, shift, ctrl, alt);
    }
    // Without a current item the first row is the target; an empty tree, or one not yet
    // laid out, has none, and the key is still taken.
    if (m_current == nullptr) {
        SelectRow(GetFirstItem());
    } else {
        SelectRow(KeyTarget(vk, ctrl));
    }
    return true;
}

void cTreeViewChild::OnGotFocus()
{
    SelectRow(m_current != nullptr ? m_current : GetFirstItem());
}

// --- marking --------------------------------------------------------------------------------------------------

void cTreeViewChild::Mark(cTreeViewItem* item)
{
    cTreeItemElement* row = item->m_row;
    m_savedText = row->GetNormalTextColour();
    m_savedBack = row->GetNormalBackColour();
    row->SetNormalTextColour(m_markText != kKeepRowColours ? m_markText : m_savedText);
    row->SetNormalBackColour(m_markBack != kKeepRowColours ? m_markBack : m_savedBack);
    m_marked = item;
}

void cTreeViewChild::Unmark()
{
    if (m_marked != nullptr && m_marked->m_row != nullptr && FindItemByRow(m_marked->m_row) != nullptr) {
        m_marked->m_row->SetNormalTextColour(m_savedText);
        m_marked->m_row->SetNormalBackColour(m_savedBack);
    }
    m_marked = nullptr;
}

void cTreeViewChild::MarkItem(cTreeViewItem* item)
{
    Unmark();
    Mark(item);
    ScrollChildIntoView(item->m_row);
}

void cTreeViewChild::DropFocus()
{
    if (m_current != nullptr && m_current->m_row != nullptr && m_marked == nullptr) {
        Mark(m_current);
    }
}

void cTreeViewChild::FocusByClick(i32 kind, bool ctrl, bool shift)
{
    Unmark();
}

void cTreeViewChild::SetFocus()
{
    Unmark();
    if (m_current != nullptr && m_current->m_row != nullptr) {
        ScrollChildIntoView(m_current->m_row);
    }
}
