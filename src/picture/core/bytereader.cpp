#include "picture/core/bytereader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u32 kRefillSize = 64 * 1024;
// Refills start small and double, so that a probe that reads a header and gives up reads
// little more than that header.
constexpr u32 kFirstRefillSize = 256;

} // namespace

bool cPictByteReader::Refill()
{
    if (m_buffer.GetData() == nullptr && !m_buffer.Alloc(kRefillSize)) {
        return false;
    }
    m_position = 0;
    m_refillSize = m_refillSize == 0 ? kFirstRefillSize : std::min(m_refillSize * 2, kRefillSize);
    m_filled = m_stream->Read(m_buffer.GetData(), m_refillSize);
    return m_filled > 0;
}

bool cPictByteReader::ReadExact(u8* out, u64 length)
{
    while (length > 0) {
        if (m_position == m_filled) {
            // Long reads go straight to the caller's memory.
            if (length >= kRefillSize) {
                const u32 piece = u32(std::min<u64>(length, u64(1) << 30));
                if (!m_stream->ReadExact(out, piece)) {
                    return false;
                }
                out += piece;
                length -= piece;
                continue;
            }
            if (!Refill()) {
                return false;
            }
        }
        const u32 piece = u32(std::min<u64>(length, m_filled - m_position));
        std::memcpy(out, m_buffer.GetData() + m_position, piece);
        m_position += piece;
        out += piece;
        length -= piece;
    }
    return true;
}

bool cPictByteReader::Skip(u64 length)
{
    while (length > 0) {
        if (m_position == m_filled && !Refill()) {
            return false;
        }
        const u32 piece = u32(std::min<u64>(length, m_filled - m_position));
        m_position += piece;
        length -= piece;
    }
    return true;
}
