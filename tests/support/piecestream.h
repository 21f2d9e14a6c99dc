#pragma once
// Bytes in memory handed out in the read sizes given (the last size repeats), so that a
// reader meets its data split at every place it may refill.
#include "base/fileio.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace qeltest {

class cPieceStream : public cFileIOTarget
{
public:
    cPieceStream(std::string data, std::vector<size_t> pieces) : m_data(std::move(data)), m_pieces(std::move(pieces)) {}

    u64 GetSize() override { return m_data.size(); }
    u32 Read(void* buffer, u32 length) override
    {
        const size_t piece = m_pieces[std::min(m_call++, m_pieces.size() - 1)];
        const size_t count = std::min({size_t(length), piece, m_data.size() - m_at});
        std::memcpy(buffer, m_data.data() + m_at, count);
        m_at += count;
        return u32(count);
    }
    bool Seek(u64 position) override
    {
        m_at = std::min<u64>(position, m_data.size());
        return position <= m_data.size();
    }
    u64 GetPosition() override { return m_at; }
    bool IsOpen() override { return true; }

private:
    std::string m_data;
    std::vector<size_t> m_pieces;
    size_t m_call = 0;
    size_t m_at = 0;
};

} // namespace qeltest
