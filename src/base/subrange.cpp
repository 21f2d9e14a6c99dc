#include "base/subrange.h"

#include "base/clampedseek.h"

#include <algorithm>

cFileIOSubRange::cFileIOSubRange(cFileIOTarget* target, u64 start, u64 length)
{
    Attach(target, start, length);
}

void cFileIOSubRange::Attach(cFileIOTarget* target, u64 start, u64 length)
{
    m_target = target;
    m_position = 0;
    const u64 size = target != nullptr ? target->GetSize() : 0;
    if (start >= size) {
        m_start = size;
        m_length = 0;
        return;
    }
    // size - start cannot underflow here, and min() saturates start + length at the size.
    m_start = start;
    m_length = std::min(length, size - start);
}

u32 cFileIOSubRange::Read(void* buffer, u32 length)
{
    if (m_target == nullptr || buffer == nullptr || m_position >= m_length) {
        return 0;
    }
    const u32 count = u32(std::min<u64>(length, m_length - m_position));
    if (!m_target->Seek(m_start + m_position)) {
        return 0;
    }
    const u32 got = m_target->Read(buffer, count);
    m_position += got;
    return got;
}

bool cFileIOSubRange::Seek(u64 position)
{
    return ClampedSeek(position, m_length, m_position);
}

bool cFileIOSubRange::SeekFromEnd(u64 distance)
{
    return ClampedSeekFromEnd(distance, m_length, m_position);
}
