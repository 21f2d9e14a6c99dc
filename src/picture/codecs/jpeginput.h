#pragma once
// The byte source under the JPEG decoder: exact reads for marker segments, large
// read-ahead for entropy-coded data, so that a header-only parse reads nothing past the
// frame header while a full decode makes few stream calls.
#include "base/streams.h"
#include "base/types.h"

#include <memory>

class cJpegInput
{
public:
    // Starts reading `stream` at its position. False when the buffer cannot be allocated.
    [[nodiscard]] bool Begin(cFileIOTarget* stream);
    void End();

    // Marker phase: exact reads.
    [[nodiscard]] bool ReadByte(u8& value);
    [[nodiscard]] bool ReadU16(u16& value);
    [[nodiscard]] bool ReadBytes(u8* out, u32 count);
    [[nodiscard]] bool Skip(u32 count);

    // Entropy phase: makes at least one byte available when the stream has any left,
    // reading ahead in large chunks. Returns the bytes available from Data().
    u32 FillAhead();
    const u8* Data() const { return m_buffer.get() + m_position; }
    // The bytes available from Data() without reading.
    u32 Available() const { return m_end - m_position; }
    void Consume(u32 count) { m_position += count; }

private:
    // Makes at least `count` bytes available without reading more than needed.
    bool Need(u32 count);

    static constexpr u32 kCapacity = 64 * 1024;
    cFileIOTarget* m_stream = nullptr;
    std::unique_ptr<u8[]> m_buffer;
    u32 m_position = 0;
    u32 m_end = 0;
    bool m_streamEnded = false;
};
