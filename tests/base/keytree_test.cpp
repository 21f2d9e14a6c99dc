#include "base/keytree.h"

#include "allocation_failure.h"
#include "base/packedkey.h"
#include "base/texts.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using tIntTree = _keytree<i32, i32>;

enum class eKeyOrder
{
    Ascending,
    Descending,
    Random,
};

// The walk both ways must give the model's entries in order.
void ExpectSameContents(tIntTree& tree, const std::map<i32, i32>& model)
{
    ASSERT_EQ(tree.GetCount(), static_cast<i32>(model.size()));
    auto forward = model.begin();
    for (tIntTree::cNode* node = tree.First(); node != nullptr; node = tree.Next(node), ++forward) {
        ASSERT_NE(forward, model.end());
        ASSERT_EQ(node->GetKey(), forward->first);
        ASSERT_EQ(node->GetValue(), forward->second);
    }
    ASSERT_EQ(forward, model.end());
    auto backward = model.rbegin();
    for (tIntTree::cNode* node = tree.Last(); node != nullptr; node = tree.Prev(node), ++backward) {
        ASSERT_NE(backward, model.rend());
        ASSERT_EQ(node->GetKey(), backward->first);
    }
    ASSERT_EQ(backward, model.rend());
}

// Seeded random operations on a tree and a std::map side by side; inserts and erases are
// balanced so that the map hovers around `targetSize` entries; the whole tree is walked
// both ways against the map every 5000 steps. A refused insert is only
// acceptable when a perfectly balanced tree of the current count already reaches the
// limit (its height is the bit length of the count).
void RunAgainstStdMap(eKeyOrder order, i32 depthLimit, size_t targetSize, u32 seed)
{
    std::mt19937 random(seed);
    tIntTree tree(depthLimit);
    std::map<i32, i32> model;
    i32 nextKey = order == eKeyOrder::Descending ? 1000000 : -1000000;
    auto newKey = [&]() -> i32 {
        const i32 step = 1 + i32(random() % 3);
        return order == eKeyOrder::Ascending    ? nextKey += step
               : order == eKeyOrder::Descending ? nextKey -= step
                                                : i32(random() % 20000) - 10000;
    };
    auto existingKey = [&]() -> i32 {
        i64 low = model.begin()->first;
        i64 span = i64(model.rbegin()->first) - low + 1;
        return model.lower_bound(static_cast<i32>(low + i64(random() % u64(span))))->first;
    };
    i32 refused = 0;
    for (int step = 0; step < 100000; ++step) {
        u32 choice = random() % 100;
        u32 insertShare = model.size() < targetSize ? 55 : 35;
        if (choice < insertShare) {
            i32 key = newKey();
            i32 value = static_cast<i32>(random());
            i32* slot = tree.GetOrAdd(key);
            if (slot == nullptr) {
                ++refused;
                i64 balancedHeight = 0;
                for (i64 n = tree.GetCount(); n > 0; n >>= 1) {
                    ++balancedHeight;
                }
                ASSERT_GE(balancedHeight, depthLimit) << "refused at count " << tree.GetCount();
                ASSERT_EQ(model.count(key), 0u);
                continue;
            }
            // A new entry starts from its default; an existing one keeps its value.
            ASSERT_EQ(*slot, model.count(key) != 0 ? model[key] : 0);
            *slot = value;
            model[key] = value;
            ASSERT_LE(tree.MeasureDepth(), depthLimit);
        } else if (choice < 75 && !model.empty()) {
            i32 key = choice % 8 != 0 ? existingKey() : newKey();
            bool erased = tree.Erase(key);
            ASSERT_EQ(erased, model.erase(key) == 1) << key;
        } else {
            i32 key = (choice & 1) != 0 && !model.empty() ? existingKey() : newKey();
            tIntTree::cNode* node = tree.Find(key);
            auto it = model.find(key);
            ASSERT_EQ(node != nullptr, it != model.end()) << key;
            ASSERT_TRUE(node == nullptr || (node->GetKey() == key && *tree.FindIntKeyValue(key) == it->second));
            ASSERT_TRUE(node != nullptr || tree.FindIntKeyValue(key) == nullptr);
        }
        if (step % 5000 == 0) {
            ExpectSameContents(tree, model);
        }
    }
    ExpectSameContents(tree, model);
    // Large limits must never refuse; the tight ones must have met their limit.
    if (depthLimit >= 32) {
        EXPECT_EQ(refused, 0);
    } else if ((size_t(1) << depthLimit) <= targetSize) {
        EXPECT_GT(refused, 0);
    }
}

template <class Key>
std::vector<i32> ValuesInKeyOrder(_keytree<Key, i32>& tree)
{
    std::vector<i32> values;
    tree.ForEach([&](const Key&, i32& value) { values.push_back(value); });
    return values;
}

} // namespace

// Ascending, descending and random keys under roomy, default and tight depth limits. Limit
// 9 holds at most 511 entries; the random mix pushes against it.
TEST(KeyTree, MatchesStdMap)
{
    struct sRun
    {
        eKeyOrder order;
        i32 depthLimit;
        size_t targetSize;
    } const runs[] = {
        {eKeyOrder::Ascending, 16, 3000}, {eKeyOrder::Descending, 16, 3000},
        {eKeyOrder::Random, 16, 3000},    {eKeyOrder::Ascending, kDefaultKeyTreeDepthLimit, 3000},
        {eKeyOrder::Random, 9, 800},      {eKeyOrder::Ascending, 9, 800},
        {eKeyOrder::Descending, 9, 800},
    };
    for (u32 seed = 0; seed < std::size(runs); ++seed) {
        SCOPED_TRACE("run " + std::to_string(seed));
        RunAgainstStdMap(runs[seed].order, runs[seed].depthLimit, runs[seed].targetSize, seed + 1);
    }
}

TEST(KeyTree, ErasingDuringAWalkKeepsTheTakenSuccessorValid)
{
    // Erasing a node with two children must move its successor node, not copy the
    // successor's entry into it: the walker holds the successor.
    tIntTree tree;
    std::mt19937 random(9);
    std::map<i32, i32> model;
    while (model.size() < 3000) {
        i32 key = static_cast<i32>(random() % 100000);
        model[key] = key;
        *tree.GetOrAdd(key) = key;
    }
    for (tIntTree::cNode* node = tree.First(); node != nullptr;) {
        tIntTree::cNode* next = tree.Next(node);
        if (node->GetKey() % 3 != 0) {
            model.erase(node->GetKey());
            tree.Erase(node);
        }
        node = next;
    }
    ExpectSameContents(tree, model);
    tree.ForEach([&](i32 key, i32&) {
        if (key % 2 == 0) {
            EXPECT_TRUE(tree.Erase(key));
            model.erase(key);
        }
    });
    ExpectSameContents(tree, model);
}

TEST(KeyTree, OutOfMemoryGivesNullAndLeavesTheEntriesUnchanged)
{
    _keytree<sPackedKey, i32> tree;
    sPackedKey present;
    ASSERT_TRUE(present.InitFromBytes("present", -1));
    *tree.GetOrAdd(present) = 42;
    sPackedKey absent;
    ASSERT_TRUE(absent.InitFromBytes("absent key", -1));
    {
        // The node itself cannot be allocated.
        cAllocationFailureScope failing(0);
        EXPECT_EQ(tree.GetOrAdd(absent), nullptr);
        // An existing key needs no memory.
        ASSERT_NE(tree.GetOrAdd(present), nullptr);
        EXPECT_EQ(*tree.GetOrAdd(present), 42);
    }
    {
        // The node is allocated but its copy of the key is not; the node must not leak.
        cAllocationFailureScope failing(1);
        EXPECT_EQ(tree.GetOrAdd(absent), nullptr);
        EXPECT_EQ(failing.Refused(), 1);
    }
    EXPECT_EQ(tree.GetCount(), 1);
    EXPECT_EQ(tree.Find(absent), nullptr);
    EXPECT_NE(tree.GetOrAdd(absent), nullptr);
    EXPECT_EQ(tree.GetCount(), 2);
}
