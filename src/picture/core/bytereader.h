#pragma once
// A buffered forward reader over a picture stream, for readers whose inner loops take one
// byte at a time (run-length packets, header numbers): one virtual read per 64 KB instead
// of one per byte.
#include "base/buffers.h"
#include "base/streams.h"

class cPictByteReader
{
  public:
    // Reads `stream` (borrowed) from its current position.
    explicit cPictByteReader(cFileIOTarget* stream) : m_stream(stream) {}

    // The next byte; false at the end of the data or when the buffer cannot be allocated.
    [[nodiscard]] bool Next(u8& byte)
    {
        if (m_position == m_filled && !Refill()) {
            return false;
        }
        byte = m_buffer.GetData()[m_position++];
        return true;
    }
    // Exactly `length` bytes into `out`; false when fewer remain.
    [[nodiscard]] bool ReadExact(u8* out, u64 length);
    // Skips exactly `length` bytes; false when fewer remain.
    [[nodiscard]] bool Skip(u64 length);

  private:
    [[nodiscard]] bool Refill();

    cFileIOTarget* m_stream;
    _typebuf<u8> m_buffer;
    u32 m_filled = 0;
    u32 m_position = 0;
    u32 m_refillSize = 0;
};
