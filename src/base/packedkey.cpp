#include "base/packedkey.h"

#include "base/texts.h"
#include "base/utf.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The longest key: its bytes plus the padding ToBytes adds must fit an i32 count.
constexpr i64 kMaxKeyBytes = INT32_MAX - 4;

} // namespace

sPackedKey::sPackedKey(sPackedKey&& other) noexcept
    : m_words(std::move(other.m_words)), m_length(std::exchange(other.m_length, 0))
{
}

sPackedKey& sPackedKey::operator=(sPackedKey&& other) noexcept
{
    if (this != &other) {
        m_words = std::move(other.m_words);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

bool sPackedKey::InitFromBytes(const char* text, i64 length)
{
    m_words.Free();
    m_length = 0;
    if (text == nullptr) {
        return true;
    }
    if (length < 0) {
        length = static_cast<i64>(std::strlen(text));
    }
    if (length == 0) {
        return true;
    }
    if (length > kMaxKeyBytes || !m_words.Alloc((length + 3) / 4)) {
        return false;
    }
    const u8* bytes = reinterpret_cast<const u8*>(text);
    u32* words = m_words.GetData();
    for (i32 w = 0; w < m_words.GetCount(); ++w) {
        u32 word = 0;
        for (i64 i = i64(w) * 4; i < i64(w) * 4 + 4; ++i) {
            word = (word << 8) | (i < length ? bytes[i] : 0u);
        }
        words[w] = word;
    }
    m_length = static_cast<i32>(length);
    return true;
}

bool sPackedKey::InitFromWide(const char16_t* text, i64 length)
{
    m_words.Free();
    m_length = 0;
    if (text == nullptr) {
        return true;
    }
    if (length < 0) {
        length = static_cast<i64>(WideLength(text));
    }
    if (length == 0) {
        return true;
    }
    // A UTF-16 unit becomes at most 3 UTF-8 bytes (a surrogate pair: 4 for 2 units).
    _typebuf<char> utf8;
    if (length > kMaxKeyBytes / 3 || !utf8.Alloc(length * 3)) {
        return false;
    }
    // The converter returns a terminated text, so a zero unit would end it early: convert
    // the runs between zero units one by one. A zero unit also ends any surrogate pair,
    // so the pieces join into exactly the conversion of the whole text.
    i64 written = 0;
    i64 runStart = 0;
    while (runStart <= length) {
        i64 runEnd = runStart;
        while (runEnd < length && text[runEnd] != 0) {
            ++runEnd;
        }
        if (runEnd > runStart) {
            _guardchar<char> piece;
            if (!WideToUtf8String(text + runStart, runEnd - runStart, piece)) {
                return false;
            }
            size_t pieceLength = piece.Length();
            std::memcpy(utf8.GetData() + written, piece.Get(), pieceLength);
            written += static_cast<i64>(pieceLength);
        }
        if (runEnd < length) {
            utf8.GetData()[written++] = 0;
        }
        runStart = runEnd + 1;
    }
    return InitFromBytes(utf8.GetData(), written);
}

bool sPackedKey::CopyFrom(const sPackedKey& other)
{
    if (this == &other) {
        return true;
    }
    m_words.Free();
    m_length = 0;
    if (other.m_length == 0) {
        return true;
    }
    if (!m_words.Alloc(other.m_words.GetCount())) {
        return false;
    }
    std::memcpy(m_words.GetData(), other.m_words.GetData(),
                static_cast<size_t>(m_words.GetCount()) * sizeof(u32));
    m_length = other.m_length;
    return true;
}

bool sPackedKey::ToBytes(_typebuf<u8>& out) const
{
    i32 wordCount = m_length / 4 + 1;
    if (!out.Alloc(i64(wordCount) * 4)) {
        return false;
    }
    u8* bytes = out.GetData();
    std::memset(bytes, 0, static_cast<size_t>(out.GetCount()));
    for (i32 w = 0; w < m_words.GetCount(); ++w) {
        u32 word = m_words.GetData()[w];
        for (i32 i = 0; i < 4; ++i) {
            bytes[w * 4 + i] = static_cast<u8>(word >> (24 - 8 * i));
        }
    }
    return true;
}

i32 sPackedKey::Compare(const sPackedKey& other) const
{
    // Where the shared words differ, the first differing byte decides, as a byte compare
    // would: a padding zero can only differ from a real byte above zero, and then the
    // shorter key is a prefix of the longer one up to that byte, so it sorts first either
    // way. When all shared words agree, the shorter key is a prefix of the other.
    i32 shared = std::min(m_words.GetCount(), other.m_words.GetCount());
    const u32* mine = m_words.GetData();
    const u32* theirs = other.m_words.GetData();
    for (i32 w = 0; w < shared; ++w) {
        if (mine[w] != theirs[w]) {
            return mine[w] < theirs[w] ? -1 : 1;
        }
    }
    return (m_length > other.m_length) - (m_length < other.m_length);
}
