#include "base/lists.h"

#include "allocation_failure.h"
#include "base/texts.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// A box of a document: deleted through the base's virtual destructor.
struct sBoxBase
{
    virtual ~sBoxBase() = default;
};
struct sCountedBox : sBoxBase
{
    static inline int s_live = 0;
    sCountedBox() { ++s_live; }
    ~sCountedBox() override { --s_live; }
};

struct sNamedListItem : cListItem
{
    static inline std::vector<int> s_deleted;
    int m_id;
    explicit sNamedListItem(int id) : m_id(id) {}
    ~sNamedListItem() override { s_deleted.push_back(m_id); }
};

// Records the order of deletion and what the item saw of its tree at that moment.
struct sNamedTreeItem : cTreeItem
{
    static inline std::vector<int> s_deleted;
    static inline bool s_sawChildren = false;
    int m_id;
    explicit sNamedTreeItem(int id) : m_id(id) {}
    ~sNamedTreeItem() override
    {
        s_sawChildren = s_sawChildren || GetFirstChild() != nullptr;
        s_deleted.push_back(m_id);
    }
};

int IdOf(const cTreeItem* item)
{
    return static_cast<const sNamedTreeItem*>(item)->m_id;
}

std::vector<int> ChildIds(const cTreeItem* firstChild)
{
    std::vector<int> ids;
    for (const cTreeItem* item = firstChild; item != nullptr; item = item->GetNextSibling()) {
        ids.push_back(IdOf(item));
    }
    return ids;
}

// Every link must agree with its mirror: prev/next, first/last, parent.
void ExpectConsistent(const cTreeItem* first, const cTreeItem* last, const cTreeItem* parent)
{
    const cTreeItem* previous = nullptr;
    for (const cTreeItem* item = first; item != nullptr; item = item->GetNextSibling()) {
        EXPECT_EQ(item->GetPrevSibling(), previous);
        EXPECT_EQ(item->GetParent(), parent);
        ExpectConsistent(item->GetFirstChild(), item->GetLastChild(), item);
        previous = item;
    }
    EXPECT_EQ(previous, last);
}

// Deletion order of a tree: every child's subtree, then the child, children in order.
void PostOrder(const cTreeItem* first, std::vector<int>& order)
{
    for (const cTreeItem* item = first; item != nullptr; item = item->GetNextSibling()) {
        PostOrder(item->GetFirstChild(), order);
        order.push_back(IdOf(item));
    }
}

} // namespace

TEST(LinkList, AppendsInOrderAndDeletesPointerEntriesThroughTheirBase)
{
    sCountedBox::s_live = 0;
    {
        _linklist<sBoxBase*> boxes;
        EXPECT_TRUE(boxes.IsEmpty());
        std::vector<sBoxBase*> made;
        for (int i = 0; i < 5; ++i) {
            made.push_back(new sCountedBox);
            ASSERT_TRUE(boxes.Append(made.back()));
        }
        std::vector<sBoxBase*> seen(boxes.begin(), boxes.end());
        EXPECT_EQ(seen, made);
        boxes.DeleteAll();
        EXPECT_EQ(sCountedBox::s_live, 0);
        EXPECT_TRUE(boxes.IsEmpty());
        // Usable again after DeleteAll; the destructor deletes what is left.
        ASSERT_TRUE(boxes.Append(new sCountedBox));
        EXPECT_EQ(sCountedBox::s_live, 1);
    }
    EXPECT_EQ(sCountedBox::s_live, 0);
}

TEST(LinkList, AddNewAppendsAnEmptyTextNode)
{
    _linklist<_guardchar<char16_t>> lines;
    for (const char16_t* text : {u"first", u"", u"third"}) {
        _guardchar<char16_t>* line = lines.AddNew();
        ASSERT_NE(line, nullptr);
        EXPECT_TRUE(line->IsEmpty());
        ASSERT_TRUE(line->Assign(text));
    }
    std::vector<std::u16string> seen;
    for (const _guardchar<char16_t>& line : lines) {
        seen.emplace_back(line.GetOrEmpty());
    }
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"first", u"", u"third"}));
}

TEST(LinkList, AllocationFailureLeavesTheListUnchanged)
{
    sCountedBox::s_live = 0;
    _linklist<sBoxBase*> boxes;
    ASSERT_TRUE(boxes.Append(new sCountedBox));
    sCountedBox refused;
    {
        cAllocationFailureScope failing(0);
        EXPECT_FALSE(boxes.Append(&refused));
        _linklist<i32> numbers;
        EXPECT_EQ(numbers.AddNew(), nullptr);
        EXPECT_TRUE(numbers.IsEmpty());
    }
    // The refused box still belongs to the caller: only the appended one goes.
    boxes.DeleteAll();
    EXPECT_EQ(sCountedBox::s_live, 1);
}

TEST(ItemList, AppendsInOrderAndDeletesEveryItem)
{
    sNamedListItem::s_deleted.clear();
    {
        sItemList list;
        EXPECT_EQ(list.GetHead(), nullptr);
        for (int id = 1; id <= 4; ++id) {
            list.Append(new sNamedListItem(id));
        }
        std::vector<int> ids;
        for (cListItem* item = list.GetHead(); item != nullptr; item = item->GetNext()) {
            ids.push_back(static_cast<sNamedListItem*>(item)->m_id);
        }
        EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(static_cast<sNamedListItem*>(list.GetTail())->m_id, 4);
        list.DeleteAll();
        EXPECT_EQ(sNamedListItem::s_deleted, (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(list.GetHead(), nullptr);
        EXPECT_EQ(list.GetTail(), nullptr);
        list.Append(new sNamedListItem(5));
    }
    EXPECT_EQ(sNamedListItem::s_deleted.back(), 5);
}

TEST(ItemTree, InsertsAtTheEndAfterASiblingAndFirst)
{
    sItemTree tree;
    auto* a = new sNamedTreeItem(1);
    auto* b = new sNamedTreeItem(2);
    auto* c = new sNamedTreeItem(3);
    auto* d = new sNamedTreeItem(4);
    tree.InsertItem(nullptr, a, nullptr);
    tree.InsertItem(nullptr, c, nullptr);
    tree.InsertItem(nullptr, b, a); // between a and c
    tree.InsertItemFirst(nullptr, d);
    EXPECT_EQ(ChildIds(tree.GetFirst()), (std::vector<int>{4, 1, 2, 3}));
    EXPECT_EQ(tree.GetLast(), c);

    auto* x = new sNamedTreeItem(10);
    auto* y = new sNamedTreeItem(11);
    auto* z = new sNamedTreeItem(12);
    tree.InsertItem(b, x, nullptr);
    tree.InsertItem(b, y, x); // after the last child: becomes the last
    tree.InsertItemFirst(b, z);
    EXPECT_EQ(ChildIds(b->GetFirstChild()), (std::vector<int>{12, 10, 11}));
    EXPECT_EQ(b->GetLastChild(), y);
    EXPECT_EQ(y->GetParent(), b);
    EXPECT_EQ(y->GetTree(), &tree);
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);
}

TEST(ItemTree, DeletesEachChildsSubtreeBeforeTheChild)
{
    // A random tree; the expected order is computed recursively from the tree itself.
    std::mt19937 random(31);
    sItemTree tree;
    std::vector<cTreeItem*> items;
    for (int id = 0; id < 400; ++id) {
        auto* item = new sNamedTreeItem(id);
        cTreeItem* parent = items.empty() || random() % 5 == 0 ? nullptr : items[random() % items.size()];
        cTreeItem* first = parent != nullptr ? parent->GetFirstChild() : tree.GetFirst();
        switch (random() % 3) {
        case 0:
            tree.InsertItemFirst(parent, item);
            break;
        case 1:
            tree.InsertItem(parent, item, nullptr);
            break;
        default:
            tree.InsertItem(parent, item, first); // after the first child, if any
            break;
        }
        items.push_back(item);
    }
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);

    // One item's children first, leaving the item in place.
    cTreeItem* chosen = nullptr;
    for (cTreeItem* item : items) {
        if (item->GetFirstChild() != nullptr && item->GetFirstChild()->GetFirstChild() != nullptr) {
            chosen = item;
            break;
        }
    }
    ASSERT_NE(chosen, nullptr);
    std::vector<int> expected;
    PostOrder(chosen->GetFirstChild(), expected);
    sNamedTreeItem::s_deleted.clear();
    sNamedTreeItem::s_sawChildren = false;
    chosen->DeleteChildren();
    EXPECT_EQ(sNamedTreeItem::s_deleted, expected);
    EXPECT_FALSE(sNamedTreeItem::s_sawChildren);
    EXPECT_EQ(chosen->GetFirstChild(), nullptr);
    EXPECT_EQ(chosen->GetLastChild(), nullptr);
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);

    expected.clear();
    PostOrder(tree.GetFirst(), expected);
    sNamedTreeItem::s_deleted.clear();
    tree.DeleteAll();
    EXPECT_EQ(sNamedTreeItem::s_deleted, expected);
    EXPECT_FALSE(sNamedTreeItem::s_sawChildren);
    EXPECT_EQ(tree.GetFirst(), nullptr);
    EXPECT_EQ(tree.GetLast(), nullptr);
}

TEST(ItemTree, DeletingAnItemDirectlyTakesItAndItsSubtreeOut)
{
    sItemTree tree;
    auto* a = new sNamedTreeItem(1);
    auto* b = new sNamedTreeItem(2);
    auto* c = new sNamedTreeItem(3);
    tree.InsertItem(nullptr, a, nullptr);
    tree.InsertItem(nullptr, b, nullptr);
    tree.InsertItem(nullptr, c, nullptr);
    tree.InsertItem(b, new sNamedTreeItem(20), nullptr);
    tree.InsertItem(b->GetFirstChild(), new sNamedTreeItem(21), nullptr);
    sNamedTreeItem::s_deleted.clear();
    delete b;
    // The derived part of the deleted item ends first (its destructor runs before the
    // base's); its children then go in the usual order.
    EXPECT_EQ(sNamedTreeItem::s_deleted, (std::vector<int>{2, 21, 20}));
    EXPECT_EQ(ChildIds(tree.GetFirst()), (std::vector<int>{1, 3}));
    delete c;
    EXPECT_EQ(tree.GetLast(), a);
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);
}

TEST(ItemTree, DeletesAMillionDeepChainWithoutRecursion)
{
    // Deleting recursively would need a stack frame per level.
    sItemTree tree;
    cTreeItem* parent = nullptr;
    for (int depth = 0; depth < 1000000; ++depth) {
        auto* item = new sNamedTreeItem(depth);
        tree.InsertItem(parent, item, nullptr);
        parent = item;
    }
    sNamedTreeItem::s_deleted.clear();
    tree.DeleteAll();
    ASSERT_EQ(sNamedTreeItem::s_deleted.size(), 1000000u);
    EXPECT_EQ(sNamedTreeItem::s_deleted.front(), 999999);
    EXPECT_EQ(sNamedTreeItem::s_deleted.back(), 0);
}
