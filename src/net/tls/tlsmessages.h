#pragma once
// Reassembly of TLS handshake messages (RFC 8446 5.1, RFC 5246 6.2.1): a message may span
// records, and even its 4-byte header may be split; several may share one record. One
// reader serves one flight.
#include "base/buffers.h"

// The largest handshake message body taken; larger ones fail.
inline constexpr u32 kMaxHandshakeMessage = 64 * 1024;

struct sTlsMessage
{
    u8 m_type;
    const u8* m_message; // the whole message, 4-byte header included
    u32 m_size;          // 4 + body length
    const u8* Body() const { return m_message + 4; }
    u32 BodySize() const { return m_size - 4; }
};

enum class eMessageRead { Message, NeedMore, Error };

class cTlsMessageReader
{
public:
    // Appends a record's handshake payload. False when memory is short. Pointers of
    // messages handed out earlier become invalid.
    [[nodiscard]] bool Append(const u8* data, u32 size);
    // The next whole message; Error when its length passes kMaxHandshakeMessage.
    eMessageRead Next(sTlsMessage& out);
    // True when no bytes of a message are waiting.
    bool IsEmpty() const { return m_start == m_end; }
    void Clear() { m_start = m_end = 0; }

private:
    _typebuf<u8> m_buffer;
    u32 m_start = 0; // first byte not yet handed out
    u32 m_end = 0;
};
