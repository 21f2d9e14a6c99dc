#pragma once
// Lists and trees of the base library.
// - `_linklist<T>`: a singly linked list of values with head and tail. It owns its
//   entries: pointer entries are deleted through their (virtual) destructor with the list.
// - `sItemList`: an intrusive chain of caller-made `cListItem`s, owned by the list.
// - `sItemTree`: an intrusive tree of caller-made `cTreeItem`s (sibling, child, parent
//   and owning-tree links), owned by the tree. Deletion never recurses, so a tree as deep
//   as a folder hierarchy or a nested document cannot overflow the stack.
#include "base/buffers.h"
#include "base/types.h"

#include <cstddef>
#include <iterator>
#include <type_traits>

template <class T>
class _linklist
{
    struct sNode
    {
        T m_value{};
        sNode* m_next = nullptr;
    };

public:
    class cIterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        explicit cIterator(sNode* node = nullptr) : m_node(node) {}
        T& operator*() const { return m_node->m_value; }
        T* operator->() const { return &m_node->m_value; }
        cIterator& operator++()
        {
            m_node = m_node->m_next;
            return *this;
        }
        cIterator operator++(int)
        {
            cIterator before = *this;
            m_node = m_node->m_next;
            return before;
        }
        bool operator==(const cIterator& other) const { return m_node == other.m_node; }

    private:
        sNode* m_node;
    };

    _linklist() = default;
    ~_linklist() { DeleteAll(); }
    _linklist(const _linklist&) = delete;
    _linklist& operator=(const _linklist&) = delete;

    // Appends a new entry made with its defaults and returns it; null when memory is
    // short (the list is then unchanged).
    [[nodiscard]] T* AddNew()
    {
        sNode* node = NewAllocated<sNode>();
        if (node == nullptr) {
            return nullptr;
        }
        Link(node);
        return &node->m_value;
    }

    // Appends a copy of `value`; false when memory is short, and then a pointer entry
    // still belongs to the caller.
    [[nodiscard]] bool Append(const T& value)
    {
        static_assert(std::is_nothrow_copy_assignable_v<T>);
        sNode* node = NewAllocated<sNode>();
        if (node == nullptr) {
            return false;
        }
        node->m_value = value;
        Link(node);
        return true;
    }

    // Removes every entry, deleting pointer entries.
    void DeleteAll()
    {
        while (m_head != nullptr) {
            sNode* node = m_head;
            m_head = node->m_next;
            if constexpr (std::is_pointer_v<T>) {
                delete node->m_value;
            }
            DestroyAllocated(node);
        }
        m_tail = nullptr;
    }

    bool IsEmpty() const { return m_head == nullptr; }
    cIterator begin() const { return cIterator(m_head); }
    cIterator end() const { return cIterator(nullptr); }

private:
    void Link(sNode* node)
    {
        if (m_tail != nullptr) {
            m_tail->m_next = node;
        } else {
            m_head = node;
        }
        m_tail = node;
    }

    sNode* m_head = nullptr;
    sNode* m_tail = nullptr;
};

class cListItem
{
public:
    cListItem() = default;
    virtual ~cListItem() = default;
    cListItem(const cListItem&) = delete;
    cListItem& operator=(const cListItem&) = delete;

    cListItem* GetNext() const { return m_next; }

private:
    friend struct sItemList;
    cListItem* m_next = nullptr;
};

struct sItemList
{
    sItemList() = default;
    ~sItemList() { DeleteAll(); }
    sItemList(const sItemList&) = delete;
    sItemList& operator=(const sItemList&) = delete;

    // Appends `item`, which MUST NOT be in a list; the list owns it from now on.
    void Append(cListItem* item);
    // Deletes every item through its virtual destructor.
    void DeleteAll();

    cListItem* GetHead() const { return m_head; }
    cListItem* GetTail() const { return m_tail; }

private:
    cListItem* m_head = nullptr;
    cListItem* m_tail = nullptr;
};

struct sItemTree;

class cTreeItem
{
public:
    cTreeItem() = default;
    // Deletes the children (DeleteChildren) and takes the item out of its tree, so an
    // item may be deleted directly. A derived class whose children must go while its own
    // members still live calls DeleteChildren in its own destructor.
    virtual ~cTreeItem();
    cTreeItem(const cTreeItem&) = delete;
    cTreeItem& operator=(const cTreeItem&) = delete;

    cTreeItem* GetParent() const { return m_parent; }
    cTreeItem* GetNextSibling() const { return m_next; }
    cTreeItem* GetPrevSibling() const { return m_prev; }
    cTreeItem* GetFirstChild() const { return m_firstChild; }
    cTreeItem* GetLastChild() const { return m_lastChild; }
    sItemTree* GetTree() const { return m_tree; }

    // Deletes every child: each child's subtree first, then the child, children in order.
    void DeleteChildren();

private:
    friend struct sItemTree;

    // The first and last links of the chain this item's siblings hang in.
    cTreeItem*& FirstOfChain() const;
    cTreeItem*& LastOfChain() const;
    // Puts the item, whose parent and tree are set, between two neighbours of its chain
    // (null: the chain's start or end).
    void LinkBetween(cTreeItem* prev, cTreeItem* next);
    // Takes the item out of its chain; its own children stay with it.
    void Unlink();
    // Deletes the chain starting at `first` (the children of `top`, or the top level of
    // a tree when `top` is null) and everything below it, iteratively.
    static void DeleteChain(cTreeItem*& first, cTreeItem* top);

    cTreeItem* m_next = nullptr;
    cTreeItem* m_prev = nullptr;
    cTreeItem* m_firstChild = nullptr;
    cTreeItem* m_lastChild = nullptr;
    cTreeItem* m_parent = nullptr;
    sItemTree* m_tree = nullptr;
};

struct sItemTree
{
    sItemTree() = default;
    ~sItemTree() { DeleteAll(); }
    sItemTree(const sItemTree&) = delete;
    sItemTree& operator=(const sItemTree&) = delete;

    // Inserts `item` under `parent` (null: at the top level) after the sibling `after`
    // (null: at the end). `item` MUST NOT be in a tree; `parent` MUST be in this tree and
    // `after`, when given, MUST be a child of `parent`. The tree owns the item from now on.
    void InsertItem(cTreeItem* parent, cTreeItem* item, cTreeItem* after);
    // Inserts `item` as the first child of `parent` (null: first at the top level).
    void InsertItemFirst(cTreeItem* parent, cTreeItem* item);
    // Deletes every item: each top-level item's subtree first, then the item.
    void DeleteAll();

    cTreeItem* GetFirst() const { return m_first; }
    cTreeItem* GetLast() const { return m_last; }

private:
    friend class cTreeItem;

    cTreeItem* m_first = nullptr;
    cTreeItem* m_last = nullptr;
};
