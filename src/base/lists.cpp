#include "base/lists.h"

void sItemList::Append(cListItem* item)
{
    item->m_next = nullptr;
    if (m_tail != nullptr) {
        m_tail->m_next = item;
    } else {
        m_head = item;
    }
    m_tail = item;
}

void sItemList::DeleteAll()
{
    while (m_head != nullptr) {
        cListItem* item = m_head;
        m_head = item->m_next;
        delete item;
    }
    m_tail = nullptr;
}

cTreeItem::~cTreeItem()
{
    DeleteChildren();
    Unlink();
}

void cTreeItem::DeleteChildren()
{
    DeleteChain(m_firstChild, this);
}

cTreeItem*& cTreeItem::FirstOfChain() const
{
    return m_parent != nullptr ? m_parent->m_firstChild : m_tree->m_first;
}

cTreeItem*& cTreeItem::LastOfChain() const
{
    return m_parent != nullptr ? m_parent->m_lastChild : m_tree->m_last;
}

void cTreeItem::LinkBetween(cTreeItem* prev, cTreeItem* next)
{
    m_prev = prev;
    m_next = next;
    (prev != nullptr ? prev->m_next : FirstOfChain()) = this;
    (next != nullptr ? next->m_prev : LastOfChain()) = this;
}

void cTreeItem::Unlink()
{
    if (m_parent == nullptr && m_tree == nullptr) {
        return;
    }
    (m_prev != nullptr ? m_prev->m_next : FirstOfChain()) = m_next;
    (m_next != nullptr ? m_next->m_prev : LastOfChain()) = m_prev;
    m_prev = nullptr;
    m_next = nullptr;
    m_parent = nullptr;
    m_tree = nullptr;
}

void cTreeItem::DeleteChain(cTreeItem*& first, cTreeItem* top)
{
    // Always at the first child of its parent: descend while there are children, delete
    // the leaf reached, then go on with its next sibling (now the parent's first child)
    // or, when none is left, with the parent, which has become a leaf.
    cTreeItem* item = first;
    while (item != nullptr) {
        if (item->m_firstChild != nullptr) {
            item = item->m_firstChild;
            continue;
        }
        cTreeItem* parent = item->m_parent;
        item->Unlink();
        delete item;
        if (parent == top) {
            item = first;
        } else {
            item = parent->m_firstChild != nullptr ? parent->m_firstChild : parent;
        }
    }
}

void sItemTree::InsertItem(cTreeItem* parent, cTreeItem* item, cTreeItem* after)
{
    item->m_parent = parent;
    item->m_tree = this;
    if (after != nullptr) {
        item->LinkBetween(after, after->m_next);
    } else {
        item->LinkBetween(item->LastOfChain(), nullptr);
    }
}

void sItemTree::InsertItemFirst(cTreeItem* parent, cTreeItem* item)
{
    item->m_parent = parent;
    item->m_tree = this;
    item->LinkBetween(nullptr, item->FirstOfChain());
}

void sItemTree::DeleteAll()
{
    cTreeItem::DeleteChain(m_first, nullptr);
}
