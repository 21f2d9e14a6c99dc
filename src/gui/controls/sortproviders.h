#pragma once
// Sort providers: objects that turn list cells into ordered keys. The list enters the
// cells of the sort column with Add and reads them back with NextAscending or
// NextDescending; entries with equal keys come back in the order they were added
// (ascending), or in exactly the reverse of it (descending).
//
// Two providers: by cell text (the UTF-8 bytes compared unsigned, a prefix first, so
// case-sensitive with all upper-case ASCII before lower-case), and by a 64-bit key that
// a caller's function derives from the cell - the function gets a context and the cell,
// whose item id lets the caller reach its own record (a file's full 64-bit size or
// date: the cell's user value holds only 32 bits).
#include "base/packedkey.h"
#include "base/types.h"
#include "gui/controls/listview.h"

#include <vector>

class cListViewChild::cListViewSortProvider
{
public:
    // A place in the provider's entries; null = before the first (or after the last).
    using tPosition = const void*;

    virtual ~cListViewSortProvider() = default;
    // Empties the provider; false when it cannot sort now.
    virtual bool Reset() = 0;
    // Enters one cell; false when the cell was not taken.
    virtual bool Add(const sCell* cell) = 0;
    // From null the smallest entry, else the one after `position`; writes its cell (null
    // at the end) and returns its position (null at the end).
    virtual tPosition NextAscending(tPosition position, const sCell*& cell) = 0;
    // The same from the largest entry downwards.
    virtual tPosition NextDescending(tPosition position, const sCell*& cell) = 0;
};

namespace sortproviders_detail {

// Entries ordered by (key, sequence): the sequence counts the adds since the last Clear,
// so that equal keys keep the order in which they came. The entries are collected
// unordered and sorted once, when the first walk starts after an add; a position is
// the address of an entry.
template <class tKey>
class cOrderedCells
{
public:
    using tPosition = cListViewChild::cListViewSortProvider::tPosition;

    void Clear()
    {
        m_entries.clear();
        m_sorted = true;
    }
    // False when the sequence would pass INT32_MAX or memory is short.
    bool Insert(tKey&& key, const cListViewChild::sCell* cell);
    // From null the first (ascending) or last entry, else the one after (before)
    // `position`, which MUST come from a walk since the last add.
    tPosition Next(tPosition position, const cListViewChild::sCell*& cell, bool ascending);

private:
    struct sEntry
    {
        tKey key;
        i32 sequence;
        const cListViewChild::sCell* cell;
    };

    std::vector<sEntry> m_entries;
    bool m_sorted = true;
};

} // namespace sortproviders_detail

class cListViewChild::cListViewNameSortProvider : public cListViewSortProvider
{
public:
    bool Reset() override;
    // False for a cell whose text was never set.
    bool Add(const sCell* cell) override;
    tPosition NextAscending(tPosition position, const sCell*& cell) override;
    tPosition NextDescending(tPosition position, const sCell*& cell) override;

private:
    sortproviders_detail::cOrderedCells<sPackedKey> m_cells;
};

class cListViewChild::cListViewU64PramSortProvider : public cListViewSortProvider
{
public:
    using tKeyFunction = u64 (*)(void* context, const sCell* cell);

    void SetKeyFunction(tKeyFunction function, void* context);
    // False while no key function is set.
    bool Reset() override;
    // False without a key function or for a null cell.
    bool Add(const sCell* cell) override;
    tPosition NextAscending(tPosition position, const sCell*& cell) override;
    tPosition NextDescending(tPosition position, const sCell*& cell) override;

private:
    sortproviders_detail::cOrderedCells<u64> m_cells;
    tKeyFunction m_function = nullptr;
    void* m_context = nullptr;
};
