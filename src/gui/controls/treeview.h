#pragma once
// cTreeViewChild: a scrolled tree of items, one selectable text row per visible item,
// indented by depth, with an expander in front of it. Items belong to the control; each
// item gets its row (cTreeItemElement) and expander (cTreeViewControlElement) at its
// first layout and owns them from then on. After every change of the items or of an
// expanded state the control lays all rows out again and the rows draw themselves.
//
// Layout, for the visible items in pre-order (y from 1, x = indent x depth + 1 +
// expander width): a row is its measured size plus the row margin, the expander sits in
// the expander width left of it, and the next row starts at y + height + row gap. The
// content is as high as the final y and as wide as the widest row end.
//
// Actions the control posts to itself (they bubble to the form):
//   7  cTreeItemAction     the current item was activated (Enter, Space, double click)
//   8  cTreeItemAction     the current item changed
//   9  cTreeItemCtxAction  a context menu was asked for on an item, at (x, y)
//   10 cTreeItemAction     an item was expanded or collapsed
// Each carries the item with the serial it had when posted. An item deleted before the
// action is dispatched never reaches the form: the control answers the action itself.
// A form that keeps an item across a nested modal run (a popup, a message box) asks
// IsItemAlive afterwards, because queued actions are dispatched inside such runs.
//
// Keys on the focused row, without Shift or Alt:
//   Ctrl+Up / Ctrl+Down   previous / next sibling
//   Left                  parent (nothing is collapsed)
//   Up                    previous sibling's last visible descendant, else the parent
//   Right                 expands an item with children and goes to its first child
//   Down                  next row in pre-order of the visible items
//   '+' / keypad Add      expands; '-' / keypad Subtract collapses
// While the control does not hold the focus, the current item stays marked in the mark
// colours.
#include "base/keytree.h"
#include "base/lists.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/selectable.h"
#include "gui/controls/statictext.h"
#include "gui/core/actions.h"
#include "gui/core/scrollable.h"

#include <cstdint>

struct sImageList;

// The row of a tree item: '+' and keypad Add post code 9, '-' and keypad Subtract code
// 10 (a keypad key arrives both as a key and as a character: the second request finds
// the item already in that state).
class cTreeItemElement : public cSISelectableElement
{
public:
    enum : i32
    {
        kExpandCode = 9,
        kCollapseCode = 10,
    };
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    void CharInput(char16_t unit) override;
};

// Expander states.
enum : i32
{
    kExpanderNone = 0,
    kExpanderLeaf = 1,     // a leaf with a sibling below
    kExpanderLastLeaf = 2, // the last leaf of its siblings
    kExpanderOpen = 3,     // has children, expanded
    kExpanderClosed = 4,   // has children, collapsed
};

// The expander in front of a row: the state's picture and cursor; a left press posts a
// plain action only while the item has children.
class cTreeViewControlElement : public cStaticElement
{
public:
    // Picture, cursor and redraw change only when the state does.
    void SetState(i32 state);
    i32 GetState() const { return m_state; }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;

private:
    i32 m_state = kExpanderNone;
};

class cTreeViewChild : public cScrollableElement
{
public:
    class cTreeViewItem : public cTreeItem
    {
    public:
        cTreeViewItem() = default;
        // Deletes the expander, then the row.
        ~cTreeViewItem() override;

        // False when memory is short. A text changed after the item was laid out shows at
        // the next layout.
        [[nodiscard]] bool SetText(const char16_t* text);
        const char16_t* GetText() const { return m_text.GetOrEmpty(); }
        cTreeItemElement* GetRow() const { return m_row; }
        cTreeViewControlElement* GetExpander() const { return m_expander; }
        cTreeViewItem* GetParentItem() const { return static_cast<cTreeViewItem*>(GetParent()); }
        cTreeViewItem* GetFirstChildItem() const { return static_cast<cTreeViewItem*>(GetFirstChild()); }
        cTreeViewItem* GetLastChildItem() const { return static_cast<cTreeViewItem*>(GetLastChild()); }
        cTreeViewItem* GetNextItem() const { return static_cast<cTreeViewItem*>(GetNextSibling()); }
        cTreeViewItem* GetPrevItem() const { return static_cast<cTreeViewItem*>(GetPrevSibling()); }
        // Given when the item is inserted; with IsItemAlive it tells a held item from a
        // later one at the same address.
        u64 GetSerial() const { return m_serial; }

        // The caller's value; the control does not read it.
        uintptr_t userValue = 0;
        // An id in the control's image list; -1 = no icon.
        i32 iconId = -1;
        bool collapsed = false;
        // kKeepRowColours = the row's own colours.
        u32 textColour = kKeepRowColours;

    private:
        friend class cTreeViewChild;
        _guardchar<char16_t> m_text;
        cTreeItemElement* m_row = nullptr;
        cTreeViewControlElement* m_expander = nullptr;
        u64 m_serial = 0;
        // The row's measured size, kept until its text, icon or font changes.
        const cPicture* m_shownIcon = nullptr;
        const cFontObject* m_measuredFont = nullptr;
        sSize m_measured;
        bool m_textShown = false;
        bool m_measureValid = false;
    };

    class cTreeItemAction : public cChildAction
    {
    public:
        cTreeItemAction(i32 code, cTreeViewItem* item, u64 serial)
            : cChildAction(code), m_item(item), m_serial(serial)
        {
        }
        // Alive when the form sees it; ask IsItemAlive after a nested modal run.
        cTreeViewItem* GetItem() const { return m_item; }
        u64 GetSerial() const { return m_serial; }

    private:
        cTreeViewItem* m_item;
        u64 m_serial;
    };
    class cTreeItemCtxAction : public cTreeItemAction
    {
    public:
        cTreeItemCtxAction(cTreeViewItem* item, u64 serial, i32 x, i32 y)
            : cTreeItemAction(kContextCode, item, serial), m_x(x), m_y(y)
        {
        }
        // In the control's coordinates.
        i32 GetX() const { return m_x; }
        i32 GetY() const { return m_y; }

    private:
        i32 m_x;
        i32 m_y;
    };
    enum : i32
    {
        kActivatedCode = 7,
        kCurrentChangedCode = 8,
        kContextCode = 9,
        kExpandedCode = 10,
    };
    // A colour value meaning "keep the row's own colour".
    static constexpr u32 kKeepRowColours = 0xFFFFFFFFu;

    cTreeViewChild();
    ~cTreeViewChild() override;

    // Links `item` (not in a tree) under `parent` (null: top level; otherwise an item of
    // this control) after `after` (at the end when null or not a child of `parent`) and
    // lays out. False for a null item or a parent of another tree; the control owns the
    // item from a true answer on.
    bool InsertItem(cTreeViewItem* parent, cTreeViewItem* item, cTreeViewItem* after);
    // False unless the item has a row, is collapsed and has children.
    bool ExpandItem(cTreeViewItem* item, bool notify);
    // False unless the item has a row. With focus the row takes the focus (no action
    // 8 is posted for that); without, the item is marked.
    bool SetCurrentItem(cTreeViewItem* item, bool focus);
    cTreeViewItem* GetCurrentItem() const { return m_current; }
    cTreeViewItem* GetMarkedItem() const { return m_marked; }
    cTreeViewItem* GetFirstItem() const { return static_cast<cTreeViewItem*>(m_items.GetFirst()); }
    // Deletes the children of `item` (everything for null).
    bool DeleteChildItems(cTreeViewItem* item);
    // False for an empty tree.
    bool DeleteAllItems();
    // The list is borrowed; the two values are stored and compared only.
    void SetImageList(const sImageList* list, i32 a, i32 b);
    void SetIndent(i32 indent);
    void SetRowGap(i32 gap);
    void SetRowMargin(i32 margin);
    // Each -1 (kKeepRowColours) keeps the row's own colour.
    void SetMarkColours(u32 text, u32 back);
    // While suspended, changes only note that a layout is due; resuming runs it once.
    // Rows exist only after a layout.
    void SuspendUpdates() { m_suspended = true; }
    void ResumeUpdates();
    void Relayout();
    // The item of a row or expander of this control; null otherwise.
    cTreeViewItem* FindItemByRow(const cChildElement* row) const;
    cTreeViewItem* FindItemByExpander(const cChildElement* expander) const;
    // True while `item` is an item of this control that has not been deleted (an item
    // made later at the same address does not count for an action's serial).
    bool IsItemAlive(const cTreeViewItem* item) const;
    bool IsItemAlive(const cTreeViewItem* item, u64 serial) const;

    virtual cTreeItemElement* CreateRowElement(cTreeViewItem* item);
    virtual cTreeViewControlElement* CreateExpanderElement(cTreeViewItem* item);
    virtual void OnRowCreated(cTreeViewItem* item, cTreeItemElement* row) {}
    virtual bool HasChildren(cTreeViewItem* item) { return item != nullptr && item->GetFirstChild() != nullptr; }
    // Called before an item is expanded (the children may be filled here).
    virtual void OnExpanding(cTreeViewItem* item) {}

    void PaintContent(cCanvas& canvas) override;
    void ApplyStyle() override;
    void OnResize() override;
    void FocusByClick(i32 kind, bool ctrl, bool shift) override;
    void SetFocus() override;
    void DropFocus() override;
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    void OnGotFocus() override;
    bool OnAction(cChildElement* source, cChildAction* action) override;
    bool DefaultFocusCapable() override { return true; }
    // Rows scrolled half out of the view stop inside the frame line.
    i32 DefaultBorderWidth() override { return 1; }

private:
    struct sLayoutPass
    {
        i32 y = 1;
        i32 widest = 0;
        i32 smallest = 0;
    };
    void LayoutItem(cTreeViewItem* item, i32 depth, bool visible, sLayoutPass& pass);
    bool CreateElements(cTreeViewItem* item);
    void LayoutOrPend();
    // Removes the rows, expanders and live entries of `item`'s descendants (and of the
    // item itself with `self`).
    void ForgetSubtree(cTreeViewItem* item, bool self);
    void ForgetItem(cTreeViewItem* item);
    void PostItemAction(i32 code, cTreeViewItem* item);
    bool OnRowAction(cTreeViewItem* item, cChildAction* action);
    bool OnExpanderAction(cTreeViewItem* item);
    void SetCollapsed(cTreeViewItem* item, bool collapsed);
    cTreeViewItem* KeyTarget(i32 vk, bool ctrl);
    void SelectRow(cTreeViewItem* item);
    void Mark(cTreeViewItem* item);
    void Unmark();
    void MarkItem(cTreeViewItem* item);

    _keytree<const cChildElement*, cTreeViewItem*> m_rowMap;
    _keytree<const cChildElement*, cTreeViewItem*> m_expanderMap;
    _keytree<const cTreeViewItem*, u64> m_live;
    sItemTree m_items;
    u64 m_nextSerial = 0;
    i32 m_indent = 16;
    i32 m_rowGap = 0;
    i32 m_rowMargin = 0;
    i32 m_expanderWidth = 16;
    const sImageList* m_imageList = nullptr;
    i32 m_imageListA = 0;
    i32 m_imageListB = 0;
    u32 m_backColour = 0;
    u32 m_frameColour = 0;
    cTreeViewItem* m_current = nullptr;
    bool m_contentWidthFollowsRows = true;
    bool m_suspended = false;
    bool m_layoutPending = false;
    u32 m_savedText = 0;
    u32 m_savedBack = 0;
    u32 m_markText = 0;
    u32 m_markBack = 0;
    cTreeViewItem* m_marked = nullptr;
};
