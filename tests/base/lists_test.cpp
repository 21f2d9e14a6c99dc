#include "base/lists.h"

#include "allocation_failure.h"
#include "base/texts.h"

#include <gtest/gtest.h>

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

// Records the order of deletion and whether an item still saw children at that moment.
struct sNamedListItem : cListItem
{
    int m_id;
    explicit sNamedListItem(int id) : m_id(id) {}
    ~sNamedListItem() override;
};

struct sNamedItem : cTreeItem
{
    static inline std::vector<int> s_deleted;
    static inline bool s_sawChildren = false;
    int m_id;
    explicit sNamedItem(int id) : m_id(id) {}
    ~sNamedItem() override
    {
        s_sawChildren = s_sawChildren || GetFirstChild() != nullptr;
        s_deleted.push_back(m_id);
    }
};

sNamedListItem::~sNamedListItem() { sNamedItem::s_deleted.push_back(m_id); }

int IdOf(const cTreeItem* item) { return static_cast<const sNamedItem*>(item)->m_id; }

std::vector<int> ChildIds(const cTreeItem* first)
{
    std::vector<int> ids;
    for (const cTreeItem* item = first; item != nullptr; item = item->GetNextSibling()) {
        ids.push_back(IdOf(item));
    }
    return ids;
}

// Every link must agree with its mirror: prev/next, first/last, parent.
void ExpectConsistent(const cTreeItem* first, const cTreeItem* last, const cTreeItem* parent)
{
    const cTreeItem* previous = nullptr;
    for (const cTreeItem* item = first; item != nullptr; item = item->GetNextSibling()) {
        EXPECT_TRUE(item->GetPrevSibling() == previous && item->GetParent() == parent);
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

// Pointer entries are deleted through their base, by DeleteAll and by the destructor;
// a refused append leaves the list unchanged and the entry with the caller.
TEST(LinkList, OwnsPointerEntriesAndSurvivesAllocationFailure)
{
    sCountedBox::s_live = 0;
    sCountedBox refused;
    {
        _linklist<sBoxBase*> boxes;
        std::vector<sBoxBase*> made;
        for (int i = 0; i < 5; ++i) {
            made.push_back(new sCountedBox);
            ASSERT_TRUE(boxes.Append(made.back()));
        }
        EXPECT_EQ(std::vector<sBoxBase*>(boxes.begin(), boxes.end()), made);
        boxes.DeleteAll();
        EXPECT_TRUE(sCountedBox::s_live == 1 && boxes.IsEmpty());
        ASSERT_TRUE(boxes.Append(new sCountedBox));
        cAllocationFailureScope failing(0);
        EXPECT_FALSE(boxes.Append(&refused));
        _linklist<_guardchar<char16_t>> lines;
        EXPECT_EQ(lines.AddNew(), nullptr);
        EXPECT_TRUE(lines.IsEmpty());
    }
    EXPECT_EQ(sCountedBox::s_live, 1);
    _linklist<_guardchar<char16_t>> lines;
    for (const char16_t* text : {u"first", u"", u"third"}) {
        _guardchar<char16_t>* line = lines.AddNew();
        ASSERT_TRUE(line != nullptr && line->IsEmpty() && line->Assign(text));
    }
    std::vector<std::u16string> seen;
    for (const _guardchar<char16_t>& line : lines) {
        seen.emplace_back(line.GetOrEmpty());
    }
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"first", u"", u"third"}));
}

TEST(ItemList, AppendsInOrderAndDeletesEveryItem)
{
    sNamedItem::s_deleted.clear();
    {
        sItemList list;
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
        EXPECT_EQ(sNamedItem::s_deleted, (std::vector<int>{1, 2, 3, 4}));
        EXPECT_TRUE(list.GetHead() == nullptr && list.GetTail() == nullptr);
        list.Append(new sNamedListItem(5));
    }
    EXPECT_EQ(sNamedItem::s_deleted.back(), 5);
}

// A random tree built with every insert form; DeleteChildren and DeleteAll delete each
// child's subtree before the child, and deleting an item directly takes it out.
TEST(ItemTree, InsertsAndDeletesSubtreesBeforeTheirItems)
{
    std::mt19937 random(31);
    sItemTree tree;
    std::vector<cTreeItem*> items;
    for (int id = 0; id < 400; ++id) {
        auto* item = new sNamedItem(id);
        cTreeItem* parent = items.empty() || random() % 5 == 0 ? nullptr : items[random() % items.size()];
        cTreeItem* first = parent != nullptr ? parent->GetFirstChild() : tree.GetFirst();
        std::vector<int> expected = ChildIds(first);
        switch (random() % 3) {
        case 0:
            tree.InsertItemFirst(parent, item);
            expected.insert(expected.begin(), id);
            break;
        case 1:
            tree.InsertItem(parent, item, nullptr);
            expected.push_back(id);
            break;
        default:
            tree.InsertItem(parent, item, first); // after the first child, if any
            expected.insert(expected.begin() + (expected.empty() ? 0 : 1), id);
            break;
        }
        ASSERT_EQ(ChildIds(parent != nullptr ? parent->GetFirstChild() : tree.GetFirst()), expected);
        ASSERT_EQ(item->GetTree(), &tree);
        items.push_back(item);
    }
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);

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
    sNamedItem::s_deleted.clear();
    sNamedItem::s_sawChildren = false;
    chosen->DeleteChildren();
    EXPECT_EQ(sNamedItem::s_deleted, expected);
    EXPECT_TRUE(chosen->GetFirstChild() == nullptr && chosen->GetLastChild() == nullptr);
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);

    // The derived part of a directly deleted item ends first (its destructor runs before
    // the base's); its children then go in the usual order.
    cTreeItem* direct = tree.GetFirst()->GetNextSibling();
    ASSERT_NE(direct, nullptr);
    expected = {IdOf(direct)};
    PostOrder(direct->GetFirstChild(), expected);
    sNamedItem::s_deleted.clear();
    delete direct;
    EXPECT_EQ(sNamedItem::s_deleted, expected);
    ExpectConsistent(tree.GetFirst(), tree.GetLast(), nullptr);

    expected.clear();
    PostOrder(tree.GetFirst(), expected);
    sNamedItem::s_deleted.clear();
    tree.DeleteAll();
    EXPECT_EQ(sNamedItem::s_deleted, expected);
    EXPECT_FALSE(sNamedItem::s_sawChildren);
    EXPECT_TRUE(tree.GetFirst() == nullptr && tree.GetLast() == nullptr);
}

TEST(ItemTree, DeletesAMillionDeepChainWithoutRecursion)
{
    // Deleting recursively would need a stack frame per level.
    sItemTree tree;
    cTreeItem* parent = nullptr;
    for (int depth = 0; depth < 1000000; ++depth) {
        auto* item = new sNamedItem(depth);
        tree.InsertItem(parent, item, nullptr);
        parent = item;
    }
    sNamedItem::s_deleted.clear();
    tree.DeleteAll();
    ASSERT_EQ(sNamedItem::s_deleted.size(), 1000000u);
    EXPECT_TRUE(sNamedItem::s_deleted.front() == 999999 && sNamedItem::s_deleted.back() == 0);
}
