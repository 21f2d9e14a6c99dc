#include "base/lists.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the order of deletion.
struct sNamedItem : cTreeItem
{
    static inline std::vector<int> s_deleted;
    int m_id;
    explicit sNamedItem(int id) : m_id(id) {}
    ~sNamedItem() override
    {
        s_deleted.push_back(m_id);
    }
};

} // namespace

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
