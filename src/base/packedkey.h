#pragma once
// A text key for the ordered maps: its bytes packed big-endian into 32-bit words, four
// to a word, the last word zero-padded, with the byte length kept. Big-endian packing
// makes an unsigned word compare agree with an unsigned byte compare (little-endian
// packing would let the last byte of a word decide first), so keys compare a word at a
// time and still sort as their bytes: bytes >= 0x80 above ASCII, a proper prefix first.
#include "base/buffers.h"
#include "base/types.h"

class sPackedKey
{
public:
    sPackedKey() = default;
    sPackedKey(const sPackedKey&) = delete;
    sPackedKey& operator=(const sPackedKey&) = delete;
    sPackedKey(sPackedKey&& other) noexcept;
    sPackedKey& operator=(sPackedKey&& other) noexcept;

    // The key of `length` bytes of `text` (a negative length: up to the terminator;
    // zero bytes within an explicit length are key bytes). Null text gives the empty
    // key. False, with the key empty, when memory is short or the text is longer than
    // INT32_MAX - 4 bytes.
    [[nodiscard]] bool InitFromBytes(const char* text, i64 length = -1);
    // The key of the UTF-8 form of a UTF-16 text, converted as general text (a lone
    // surrogate becomes U+FFFD).
    [[nodiscard]] bool InitFromWide(const char16_t* text, i64 length = -1);
    // A copy of `other`; false, with this key empty, when memory is short.
    [[nodiscard]] bool CopyFrom(const sPackedKey& other);

    // The bytes, zero-padded to a multiple of 4 with always at least one zero after
    // them, so that a reader may take them as text up to the first zero without reading
    // past the buffer. False, with `out` empty, when memory is short.
    [[nodiscard]] bool ToBytes(_typebuf<u8>& out) const;

    // -1, 0 or 1 as the byte strings compare with bytes taken as unsigned and a proper
    // prefix first.
    i32 Compare(const sPackedKey& other) const;

    i32 GetByteLength() const { return m_length; }

private:
    _typebuf<u32> m_words; // GetCount() == (m_length + 3) / 4
    i32 m_length = 0;
};
