#include "net/tls/tlsmessages.h"

#include "base/byteorder.h"

#include <cstring>

bool cTlsMessageReader::Append(const u8* data, u32 size)
{
    if (size == 0) {
        return true;
    }
    // Drop what was handed out, then grow to fit; a message is capped, so is the buffer.
    if (m_start > 0) {
        std::memmove(m_buffer.GetData(), m_buffer.GetData() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    const u64 needed = u64(m_end) + size;
    if (needed > u64(m_buffer.GetCount())) {
        if (needed > u64(kMaxHandshakeMessage) * 2 + 4) {
            return false;
        }
        _typebuf<u8> larger;
        const u64 capacity = needed < 4096 ? 4096 : needed;
        if (!larger.Alloc(static_cast<i64>(capacity))) {
            return false;
        }
        if (m_end > 0) {
            std::memcpy(larger.GetData(), m_buffer.GetData(), m_end);
        }
        m_buffer = static_cast<_typebuf<u8>&&>(larger);
    }
    std::memcpy(m_buffer.GetData() + m_end, data, size);
    m_end += size;
    return true;
}

eMessageRead cTlsMessageReader::Next(sTlsMessage& out)
{
    const u32 waiting = m_end - m_start;
    if (waiting < 4) {
        return eMessageRead::NeedMore;
    }
    const u8* header = m_buffer.GetData() + m_start;
    const u32 bodySize = LoadBe24(header + 1);
    if (bodySize > kMaxHandshakeMessage) {
        return eMessageRead::Error;
    }
    if (waiting - 4 < bodySize) {
        return eMessageRead::NeedMore;
    }
    out.m_type = header[0];
    out.m_message = header;
    out.m_size = 4 + bodySize;
    m_start += out.m_size;
    return eMessageRead::Message;
}
