#include "gui/controls/sortproviders.h"

#include <new>

namespace sortproviders_detail {

template <class tKey>
bool cOrderedCells<tKey>::Insert(tKey&& key, const cListViewChild::sCell* cell)
{
    if (m_sequence > INT32_MAX) {
        return false;
    }
    try {
        m_entries.emplace(sEntryKey{std::move(key), i32(m_sequence)}, cell);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ++m_sequence;
    return true;
}

template <class tKey>
typename cOrderedCells<tKey>::tPosition cOrderedCells<tKey>::Next(tPosition position,
                                                                  const cListViewChild::sCell*& cell,
                                                                  bool ascending)
{
    // A position is the address of an entry's value pair inside the map; the map's
    // nodes stay put until it is cleared. A walk continues from the cursor without a
    // search.
    using tValue = typename tMap::value_type;
    typename tMap::iterator it;
    if (position == nullptr) {
        it = ascending ? m_entries.begin() : (m_entries.empty() ? m_entries.end() : std::prev(m_entries.end()));
    } else {
        it = m_cursor != m_entries.end() && position == &*m_cursor
                 ? m_cursor
                 : m_entries.find(static_cast<const tValue*>(position)->first);
        if (ascending) {
            ++it;
        } else {
            it = it == m_entries.begin() ? m_entries.end() : std::prev(it);
        }
    }
    if (it == m_entries.end()) {
        m_cursor = m_entries.end();
        cell = nullptr;
        return nullptr;
    }
    m_cursor = it;
    cell = it->second;
    return &*it;
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
