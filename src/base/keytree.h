#pragma once
// The ordered map: a plain binary search tree with parent pointers whose inserts are
// bounded by a depth limit its owner sets (512 for most maps, 1024 for the HTTP header
// maps). An insert that would place its node deeper than the limit first rebuilds the
// whole tree perfectly balanced - in place, in O(n), reusing the nodes, with no
// allocation - and tries once more; if the node still does not fit, the insert gives
// null and the map keeps its entries. Keys ascending by one (list indices) are the worst
// case: they rebuild about every (limit - log2 n) inserts.
//
// Keys are integers, pointers or any type with `i32 Compare(const K&) const` and
// `bool CopyFrom(const K&)` (sPackedKey). Values are made with their defaults when their
// key is added. With eValueOwnership::Owned the map owns pointer values and deletes them
// when their entry is erased or cleared.
//
// Nodes stay where they are until erased: a node pointer stays valid across inserts,
// rebuilds and the erasure of other nodes. To erase while walking, take Next first.
#include "base/buffers.h"
#include "base/types.h"

#include <concepts>
#include <functional>
#include <type_traits>

enum class eValueOwnership
{
    Borrowed,
    Owned,
};

inline constexpr i32 kDefaultKeyTreeDepthLimit = 512;

template <class K, class V, eValueOwnership Ownership = eValueOwnership::Borrowed>
class _keytree
{
    static constexpr bool kKeyHasCompare = requires(const K& a, K& b) {
        { a.Compare(a) } -> std::convertible_to<i32>;
        { b.CopyFrom(a) } -> std::same_as<bool>;
    };
    static_assert(std::is_integral_v<K> || std::is_pointer_v<K> || kKeyHasCompare,
                  "keys are integers, pointers or compare themselves");
    static_assert(Ownership == eValueOwnership::Borrowed || std::is_pointer_v<V>,
                  "only pointer values can be owned");
    static_assert(std::is_nothrow_default_constructible_v<V>);
    static_assert(std::is_nothrow_default_constructible_v<K>);

public:
    class cNode
    {
    public:
        const K& GetKey() const { return m_key; }
        V& GetValue() { return m_value; }
        const V& GetValue() const { return m_value; }

    private:
        friend class _keytree;
        cNode* m_left = nullptr;
        cNode* m_right = nullptr;
        cNode* m_parent = nullptr;
        K m_key{};
        V m_value{};
    };

    // `depthLimit` counts nodes on a path, the root being at depth 1; values below 1
    // count as 1.
    explicit _keytree(i32 depthLimit = kDefaultKeyTreeDepthLimit)
        : m_depthLimit(depthLimit < 1 ? 1 : depthLimit)
    {
    }
    ~_keytree() { Clear(); }
    _keytree(const _keytree&) = delete;
    _keytree& operator=(const _keytree&) = delete;

    i32 GetCount() const { return m_count; }

    // The node of `key`, or null.
    cNode* Find(const K& key) { return FindNode(key); }
    const cNode* Find(const K& key) const { return FindNode(key); }

    // The value of an integer key, or null.
    V* FindIntKeyValue(K key)
        requires std::integral<K>
    {
        cNode* node = FindNode(key);
        return node != nullptr ? &node->m_value : nullptr;
    }
    const V* FindIntKeyValue(K key) const
        requires std::integral<K>
    {
        return const_cast<_keytree*>(this)->FindIntKeyValue(key);
    }

    // The value slot of `key`, added with a default value when absent. Null, with the
    // map's entries unchanged, when memory is short or the entry cannot be placed within
    // the depth limit even after a rebuild.
    [[nodiscard]] V* GetOrAdd(const K& key)
    {
        sPlace place = Locate(key);
        if (place.m_found != nullptr) {
            return &place.m_found->m_value;
        }
        if (place.m_depth > m_depthLimit) {
            Rebuild();
            place = Locate(key);
            if (place.m_depth > m_depthLimit) {
                return nullptr;
            }
        }
        if (m_count == INT32_MAX) {
            return nullptr;
        }
        cNode* node = NewAllocated<cNode>();
        if (node == nullptr) {
            return nullptr;
        }
        if (!CopyKey(node->m_key, key)) {
            DestroyAllocated(node);
            return nullptr;
        }
        node->m_parent = place.m_parent;
        if (place.m_parent == nullptr) {
            m_root = node;
        } else if (place.m_goesLeft) {
            place.m_parent->m_left = node;
        } else {
            place.m_parent->m_right = node;
        }
        ++m_count;
        return &node->m_value;
    }

    // Erases the entry of `key`; false when there is none.
    bool Erase(const K& key)
    {
        cNode* node = FindNode(key);
        if (node == nullptr) {
            return false;
        }
        Erase(node);
        return true;
    }

    // Erases `node`, which MUST belong to this map. Other nodes stay valid.
    void Erase(cNode* node)
    {
        Unlink(node);
        ReleaseValue(node->m_value);
        DestroyAllocated(node);
        --m_count;
    }

    // Erases every entry, iteratively (a tree built under a large limit may be deep).
    void Clear()
    {
        cNode* node = m_root;
        while (node != nullptr) {
            if (node->m_left != nullptr) {
                node = node->m_left;
            } else if (node->m_right != nullptr) {
                node = node->m_right;
            } else {
                cNode* parent = node->m_parent;
                if (parent != nullptr) {
                    (parent->m_left == node ? parent->m_left : parent->m_right) = nullptr;
                }
                ReleaseValue(node->m_value);
                DestroyAllocated(node);
                node = parent;
            }
        }
        m_root = nullptr;
        m_count = 0;
    }

    // Smallest and largest entries; null when empty.
    cNode* First() { return m_root != nullptr ? Leftmost(m_root) : nullptr; }
    const cNode* First() const { return m_root != nullptr ? Leftmost(m_root) : nullptr; }
    cNode* Last() { return m_root != nullptr ? Rightmost(m_root) : nullptr; }
    const cNode* Last() const { return m_root != nullptr ? Rightmost(m_root) : nullptr; }

    // In-order successor and predecessor; null at the ends and for null.
    static cNode* Next(const cNode* node) { return Step(node, &cNode::m_right, &cNode::m_left); }
    static cNode* Prev(const cNode* node) { return Step(node, &cNode::m_left, &cNode::m_right); }

    // Calls visit(key, value) for every entry in key order. The visit may erase the
    // entry it is given.
    template <class Visit>
    void ForEach(Visit&& visit)
    {
        for (cNode* node = First(); node != nullptr;) {
            cNode* next = Next(node);
            visit(static_cast<const K&>(node->m_key), node->m_value);
            node = next;
        }
    }

    // The depth of the deepest node (0 when empty), measured by a walk over all nodes.
    i32 MeasureDepth() const
    {
        i32 deepest = 0;
        i32 depth = 0;
        const cNode* previous = nullptr;
        const cNode* node = m_root;
        // Iterative walk over parent pointers: arrive from the parent, the left child or
        // the right child, and go on accordingly.
        while (node != nullptr) {
            if (previous == node->m_parent) {
                ++depth;
                deepest = depth > deepest ? depth : deepest;
                previous = node;
                if (node->m_left != nullptr) {
                    node = node->m_left;
                    continue;
                }
            }
            if (previous == node->m_left || previous == node) {
                previous = node;
                if (node->m_right != nullptr) {
                    node = node->m_right;
                    continue;
                }
            }
            previous = node;
            node = node->m_parent;
            --depth;
        }
        return deepest;
    }

private:
    struct sPlace
    {
        cNode* m_found = nullptr;  // the node of the key, when present
        cNode* m_parent = nullptr; // else where a new node would hang
        bool m_goesLeft = false;
        i32 m_depth = 1; // and the new node's depth
    };

    static i32 CompareKeys(const K& a, const K& b)
    {
        if constexpr (kKeyHasCompare) {
            return a.Compare(b);
        } else if constexpr (std::is_pointer_v<K>) {
            std::less<K> less;
            return less(a, b) ? -1 : (less(b, a) ? 1 : 0);
        } else {
            return (b < a) - (a < b);
        }
    }

    static bool CopyKey(K& to, const K& from)
    {
        if constexpr (kKeyHasCompare) {
            return to.CopyFrom(from);
        } else {
            to = from;
            return true;
        }
    }

    static void ReleaseValue(V& value)
    {
        if constexpr (Ownership == eValueOwnership::Owned) {
            delete value;
            value = nullptr;
        }
    }

    cNode* FindNode(const K& key) const
    {
        cNode* node = m_root;
        while (node != nullptr) {
            i32 order = CompareKeys(key, node->m_key);
            if (order == 0) {
                return node;
            }
            node = order < 0 ? node->m_left : node->m_right;
        }
        return nullptr;
    }

    sPlace Locate(const K& key) const
    {
        sPlace place;
        cNode* node = m_root;
        while (node != nullptr) {
            i32 order = CompareKeys(key, node->m_key);
            if (order == 0) {
                place.m_found = node;
                return place;
            }
            place.m_parent = node;
            place.m_goesLeft = order < 0;
            ++place.m_depth;
            node = order < 0 ? node->m_left : node->m_right;
        }
        return place;
    }

    static cNode* Leftmost(cNode* node)
    {
        while (node->m_left != nullptr) {
            node = node->m_left;
        }
        return node;
    }
    static cNode* Rightmost(cNode* node)
    {
        while (node->m_right != nullptr) {
            node = node->m_right;
        }
        return node;
    }

    // Next (forward = m_right, back = m_left) or, mirrored, Prev.
    static cNode* Step(const cNode* from, cNode* cNode::*forward, cNode* cNode::*back)
    {
        if (from == nullptr) {
            return nullptr;
        }
        cNode* node = const_cast<cNode*>(from);
        if (node->*forward != nullptr) {
            node = node->*forward;
            while (node->*back != nullptr) {
                node = node->*back;
            }
            return node;
        }
        cNode* parent = node->m_parent;
        while (parent != nullptr && node == parent->*forward) {
            node = parent;
            parent = parent->m_parent;
        }
        return parent;
    }

    // Puts `replacement` (may be null) where `old` hangs.
    void Replace(cNode* old, cNode* replacement)
    {
        cNode* parent = old->m_parent;
        if (parent == nullptr) {
            m_root = replacement;
        } else if (parent->m_left == old) {
            parent->m_left = replacement;
        } else {
            parent->m_right = replacement;
        }
        if (replacement != nullptr) {
            replacement->m_parent = parent;
        }
    }

    // Takes `node` out of the tree. A node with two children is replaced by its in-order
    // successor node itself, not by a copy of its entry, so that a caller's pointer to
    // the successor (taken with Next before the erase) stays valid.
    void Unlink(cNode* node)
    {
        if (node->m_left == nullptr) {
            Replace(node, node->m_right);
        } else if (node->m_right == nullptr) {
            Replace(node, node->m_left);
        } else {
            cNode* successor = Leftmost(node->m_right);
            if (successor->m_parent != node) {
                Replace(successor, successor->m_right);
                successor->m_right = node->m_right;
                successor->m_right->m_parent = successor;
            }
            Replace(node, successor);
            successor->m_left = node->m_left;
            successor->m_left->m_parent = successor;
        }
    }

    // Rebalances perfectly in O(n) without allocation: right rotations turn the tree into
    // a "vine" linked through m_right in key order (Day, "Balancing a binary tree",
    // Computer Journal 19(4), 1976), then the vine is dealt out into a balanced tree.
    void Rebuild()
    {
        cNode* vine = m_root;
        cNode** link = &vine;
        cNode* rest = vine;
        while (rest != nullptr) {
            if (rest->m_left == nullptr) {
                link = &rest->m_right;
                rest = rest->m_right;
            } else {
                cNode* left = rest->m_left;
                rest->m_left = left->m_right;
                left->m_right = rest;
                rest = left;
                *link = left;
            }
        }
        m_root = BuildBalanced(vine, m_count);
        if (m_root != nullptr) {
            m_root->m_parent = nullptr;
        }
    }

    // Takes `count` nodes off the front of `vine` and returns them as a balanced tree.
    // The left part gets the larger half, leaving the right edge shorter, where ascending
    // keys arrive. Recursion depth is log2(count).
    static cNode* BuildBalanced(cNode*& vine, i32 count)
    {
        if (count == 0) {
            return nullptr;
        }
        i32 leftCount = count / 2;
        cNode* left = BuildBalanced(vine, leftCount);
        cNode* root = vine;
        vine = root->m_right;
        root->m_left = left;
        if (left != nullptr) {
            left->m_parent = root;
        }
        cNode* right = BuildBalanced(vine, count - leftCount - 1);
        root->m_right = right;
        if (right != nullptr) {
            right->m_parent = root;
        }
        return root;
    }

    cNode* m_root = nullptr;
    i32 m_count = 0;
    i32 m_depthLimit;
};
