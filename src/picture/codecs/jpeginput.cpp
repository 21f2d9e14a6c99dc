#include "picture/codecs/jpeginput.h"

#include "base/byteorder.h"

#include <cstring>
#include <new>

bool cJpegInput::Begin(cFileIOTarget* stream)
{
    m_stream = stream;
    m_position = 0;
    m_end = 0;
    m_streamEnded = false;
    if (!m_buffer) {
        m_buffer.reset(new (std::nothrow) u8[kCapacity]);
    }
    return m_buffer != nullptr && stream != nullptr;
}

void cJpegInput::End()
{
    m_stream = nullptr;
    m_position = 0;
    m_end = 0;
}

bool cJpegInput::Need(u32 count)
{
    if (m_end - m_position >= count) {
        return true;
    }
    if (count > kCapacity) {
        return false;
    }
    // Move what is left to the front, then read exactly the missing bytes.
    const u32 left = m_end - m_position;
    std::memmove(m_buffer.get(), m_buffer.get() + m_position, left);
    m_position = 0;
    m_end = left;
    while (m_end < count && !m_streamEnded) {
        u32 got = m_stream->Read(m_buffer.get() + m_end, count - m_end);
        if (got == 0) {
            m_streamEnded = true;
        }
        m_end += got;
    }
    return m_end >= count;
}

bool cJpegInput::ReadByte(u8& value)
{
    if (!Need(1)) {
        return false;
    }
    value = m_buffer[m_position++];
    return true;
}

bool cJpegInput::ReadU16(u16& value)
{
    if (!Need(2)) {
        return false;
    }
    value = LoadBe16(m_buffer.get() + m_position);
    m_position += 2;
    return true;
}

bool cJpegInput::ReadBytes(u8* out, u32 count)
{
    while (count > 0) {
        u32 chunk = count < kCapacity ? count : kCapacity;
        if (!Need(chunk)) {
            return false;
        }
        std::memcpy(out, m_buffer.get() + m_position, chunk);
        m_position += chunk;
        out += chunk;
        count -= chunk;
    }
    return true;
}

bool cJpegInput::Skip(u32 count)
{
    const u32 buffered = m_end - m_position;
    if (count <= buffered) {
        m_position += count;
        return true;
    }
    count -= buffered;
    m_position = m_end;
    // Skipping by reading keeps streams that cannot seek working.
    u8* scratch = m_buffer.get();
    m_position = 0;
    m_end = 0;
    while (count > 0) {
        u32 chunk = count < kCapacity ? count : kCapacity;
        u32 got = m_stream->Read(scratch, chunk);
        if (got == 0) {
            m_streamEnded = true;
            return false;
        }
        count -= got;
    }
    return true;
}

u32 cJpegInput::FillAhead()
{
    if (m_position < m_end) {
        return m_end - m_position;
    }
    m_position = 0;
    m_end = 0;
    if (!m_streamEnded) {
        m_end = m_stream->Read(m_buffer.get(), kCapacity);
        if (m_end == 0) {
            m_streamEnded = true;
        }
    }
    return m_end;
}
