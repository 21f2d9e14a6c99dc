#include "gui/controls/sortproviders.h"

#include <algorithm>
#include <new>

namespace sortproviders_detail {
namespace {

i32 CompareKeys(const sPackedKey& a, const sPackedKey& b)
{
    return a.Compare(b);
}

i32 CompareKeys(u64 a, u64 b)
{
    return (a > b) - (a < b);
}

} // namespace

template <class tKey>
bool cOrderedCells<tKey>::Insert(tKey&& key, const cListViewChild::sCell* cell)
{
    if (m_entries.size() > size_t(INT32_MAX)) {
        return false;
    }
    try {
        m_entries.push_back({std::move(key), i32(m_entries.size()), cell});
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_sorted = false;
    return true;
}

template <class tKey>
typename cOrderedCells<tKey>::tPosition cOrderedCells<tKey>::Next(tPosition position,
                                                                  const cListViewChild::sCell*& cell,
                                                                  bool ascending)
{
    if (!m_sorted) {
        // Sequences are unique, so (key, sequence) is a strict order and std::sort gives
        // what a stable sort by key would.
        std::sort(m_entries.begin(), m_entries.end(), [](const sEntry& a, const sEntry& b) {
            const i32 order = CompareKeys(a.key, b.key);
            return order != 0 ? order < 0 : a.sequence < b.sequence;
        });
        m_sorted = true;
    }
    const i64 count = i64(m_entries.size());
    i64 index = ascending ? 0 : count - 1;
    if (position != nullptr) {
        index = (static_cast<const sEntry*>(position) - m_entries.data()) + (ascending ? 1 : -1);
    }
    if (index < 0 || index >= count) {
        cell = nullptr;
        return nullptr;
    }
    cell = m_entries[size_t(index)].cell;
    return &m_entries[size_t(index)];
}

template class cOrderedCells<sPackedKey>;
template class cOrderedCells<u64>;

} // namespace sortproviders_detail

// --- by name -------------------------------------------------------------------------------

bool cListViewChild::cListViewNameSortProvider::Reset()
{
    m_cells.Clear();
    return true;
}

bool cListViewChild::cListViewNameSortProvider::Add(const sCell* cell)
{
    if (cell == nullptr || !cell->textSet) {
        return false;
    }
    sPackedKey key;
    return key.InitFromWide(cell->text.Get(), -1) && m_cells.Insert(std::move(key), cell);
}

cListViewChild::cListViewSortProvider::tPosition
cListViewChild::cListViewNameSortProvider::NextAscending(tPosition position, const sCell*& cell)
{
    return m_cells.Next(position, cell, true);
}

cListViewChild::cListViewSortProvider::tPosition
cListViewChild::cListViewNameSortProvider::NextDescending(tPosition position, const sCell*& cell)
{
    return m_cells.Next(position, cell, false);
}

// --- by a 64-bit key ---------------------------------------------------------------------------

void cListViewChild::cListViewU64PramSortProvider::SetKeyFunction(tKeyFunction function, void* context)
{
    m_function = function;
    m_context = context;
}

bool cListViewChild::cListViewU64PramSortProvider::Reset()
{
    if (m_function == nullptr) {
        return false;
    }
    m_cells.Clear();
    return true;
}

bool cListViewChild::cListViewU64PramSortProvider::Add(const sCell* cell)
{
    if (m_function == nullptr || cell == nullptr) {
        return false;
    }
    return m_cells.Insert(m_function(m_context, cell), cell);
}

cListViewChild::cListViewSortProvider::tPosition
cListViewChild::cListViewU64PramSortProvider::NextAscending(tPosition position, const sCell*& cell)
{
    return m_cells.Next(position, cell, true);
}

cListViewChild::cListViewSortProvider::tPosition
cListViewChild::cListViewU64PramSortProvider::NextDescending(tPosition position, const sCell*& cell)
{
    return m_cells.Next(position, cell, false);
}
