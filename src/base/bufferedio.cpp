#include "base/bufferedio.h"

#include <algorithm>
#include <cstring>
#include <new>

cMemBufferedIO::~cMemBufferedIO()
{
    Release();
}

void cMemBufferedIO::Release()
{
    if (m_ownership == StreamOwnership::Owned) {
        delete m_inner;
    }
    m_inner = nullptr;
    m_ownership = StreamOwnership::Borrowed;
    delete[] m_buffer;
    m_buffer = nullptr;
    m_bufferSize = 0;
    m_windowStart = 0;
    m_windowLength = 0;
    m_position = 0;
}

bool cMemBufferedIO::Attach(cFileIOTarget* target, u32 bufferSize, StreamOwnership ownership)
{
    cSafeCriticalSectionAccess access(m_lock);
    Release();
    u8* buffer = bufferSize > 0 ? new (std::nothrow) u8[bufferSize] : nullptr;
    if (target == nullptr || buffer == nullptr) {
        delete[] buffer;
        if (ownership == StreamOwnership::Owned) {
            delete target;
        }
        return false;
    }
    m_inner = target;
    m_ownership = ownership;
    m_buffer = buffer;
    m_bufferSize = bufferSize;
    m_position = target->GetPosition();
    return true;
}

void cMemBufferedIO::Close()
{
    cSafeCriticalSectionAccess access(m_lock);
    Release();
}

bool cMemBufferedIO::IsOpen()
{
    cSafeCriticalSectionAccess access(m_lock);
    return m_inner != nullptr && m_inner->IsOpen();
}

u64 cMemBufferedIO::GetSize()
{
    cSafeCriticalSectionAccess access(m_lock);
    return m_inner != nullptr ? m_inner->GetSize() : 0;
}

u64 cMemBufferedIO::GetPosition()
{
    cSafeCriticalSectionAccess access(m_lock);
    return m_position;
}

u32 cMemBufferedIO::Read(void* buffer, u32 length)
{
    cSafeCriticalSectionAccess access(m_lock);
    if (m_inner == nullptr || buffer == nullptr) {
        return 0;
    }
    auto out = static_cast<u8*>(buffer);
    u32 done = 0;
    while (done < length) {
        if (m_position >= m_windowStart && m_position - m_windowStart < m_windowLength) {
            const u32 offset = u32(m_position - m_windowStart);
            const u32 piece = std::min(length - done, m_windowLength - offset);
            std::memcpy(out + done, m_buffer + offset, piece);
            done += piece;
            m_position += piece;
            continue;
        }
        if (!m_inner->Seek(m_position)) {
            break;
        }
        const u32 rest = length - done;
        if (rest >= m_bufferSize) {
            // A read as large as the window gains nothing from copying through it.
            const u32 got = m_inner->Read(out + done, rest);
            done += got;
            m_position += got;
            break;
        }
        m_windowLength = 0;
        const u32 got = m_inner->Read(m_buffer, m_bufferSize);
        if (got == 0) {
            break;
        }
        m_windowStart = m_position;
        m_windowLength = got;
    }
    return done;
}

u32 cMemBufferedIO::Write(const void* buffer, u32 length)
{
    cSafeCriticalSectionAccess access(m_lock);
    if (m_inner == nullptr || !m_inner->Seek(m_position)) {
        return 0;
    }
    m_windowLength = 0;
    const u32 written = m_inner->Write(buffer, length);
    m_position += written;
    return written;
}

bool cMemBufferedIO::Seek(u64 position)
{
    cSafeCriticalSectionAccess access(m_lock);
    if (m_inner == nullptr) {
        return false;
    }
    if (position >= m_windowStart && position - m_windowStart < m_windowLength) {
        m_position = position;
        return true;
    }
    const bool answer = m_inner->Seek(position);
    m_position = m_inner->GetPosition();
    return answer;
}

bool cMemBufferedIO::SeekFromEnd(u64 distance)
{
    cSafeCriticalSectionAccess access(m_lock);
    if (m_inner == nullptr) {
        return false;
    }
    const bool answer = m_inner->SeekFromEnd(distance);
    m_position = m_inner->GetPosition();
    return answer;
}
