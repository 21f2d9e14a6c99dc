#include "base/utf.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr u32 kEscapeBase = 0xDC00;

enum class eInvalidBytes
{
    Replace, // one U+FFFD per maximal subpart
    Escape,  // one U+DC00 + byte per byte
};

enum class eLoneSurrogate
{
    Replace, // U+FFFD
    Unescape, // U+DC80..U+DCFF back to its byte; any other makes the conversion fail
};

bool IsHighSurrogate(u32 unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(u32 unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The units to convert: up to the terminator, and at most `length` when it is not
// negative. A zero stops the conversion even within `length`, as the zero-terminated
// result could not hold it.
template <typename T>
size_t ResolveLength(const T* text, i64 length)
{
    if (text == nullptr) {
        return 0;
    }
    size_t limit = length < 0 ? SIZE_MAX : size_t(length);
    if constexpr (sizeof(T) == 1) {
        return strnlen(text, limit);
    } else {
        size_t count = 0;
        while (count < limit && text[count] != 0) {
            ++count;
        }
        return count;
    }
}

// Decodes the sequence at `p` (p < end) by Unicode 15.0 Table 3-7 (well-formed UTF-8 byte
// sequences). Returns the bytes taken and sets `valid`; an ill-formed sequence takes its
// maximal subpart: the longest prefix of a well-formed sequence, or one byte.
size_t DecodeSequence(const u8* p, const u8* end, u32& codePoint, bool& valid)
{
    u8 lead = p[0];
    size_t continuation;
    u8 low = 0x80;
    u8 high = 0xBF;
    valid = false;
    if (lead < 0x80) {
        codePoint = lead;
        valid = true;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // shorter forms are overlong
        high = lead == 0xED ? 0x9F : 0xBF; // ED A0..BF would encode surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;  // shorter forms are overlong
        high = lead == 0xF4 ? 0x8F : 0xBF; // beyond U+10FFFF
    } else {
        return 1; // C0, C1, F5..FF and stray continuation bytes
    }
    for (size_t i = 1; i <= continuation; ++i) {
        if (p + i >= end || p[i] < low || p[i] > high) {
            return i;
        }
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    valid = true;
    return continuation + 1;
}

// True when the eight bytes at `p` are all ASCII.
bool IsAsciiWord(const u8* p)
{
    u64 word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ull) == 0;
}

bool IsContinuation(u8 byte)
{
    return (byte & 0xC0) == 0x80;
}

template <eInvalidBytes invalid>
bool DecodeUtf8(const char* text, i64 length, _guardchar<char16_t>& out)
{
    size_t count = ResolveLength(text, length);
    // Each unit written consumes at least one byte (a 4-byte sequence gives two units),
    // so the byte count bounds the unit count.
    char16_t* start = out.Allocate(count);
    if (start == nullptr) {
        return count == 0;
    }
    const u8* p = reinterpret_cast<const u8*>(text);
    const u8* end = p + count;
    char16_t* write = start;
    while (p < end) {
        // Fast paths first: ASCII eight bytes at a time, then the 2- and 3-byte forms whose
        // continuation bytes may take any value 80..BF (not E0 or ED, which restrict the
        // second byte). Everything else goes through the full table.
        u8 lead = *p;
        if (lead < 0x80) {
            while (end - p >= 16 && IsAsciiWord(p) && IsAsciiWord(p + 8)) {
                // A local copy: the output cannot alias it, so the widening vectorises.
                u8 block[16];
                std::memcpy(block, p, 16);
                for (int i = 0; i < 16; ++i) {
                    write[i] = block[i];
                }
                p += 16;
                write += 16;
            }
            while (p < end && *p < 0x80) {
                *write++ = *p++;
            }
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF && end - p >= 2 && IsContinuation(p[1])) {
            *write++ = char16_t(((lead & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
            continue;
        }
        if ((lead & 0xF0) == 0xE0 && lead != 0xE0 && lead != 0xED && end - p >= 3 &&
            IsContinuation(p[1]) && IsContinuation(p[2])) {
            *write++ = char16_t(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
            continue;
        }
        u32 codePoint;
        bool valid;
        size_t taken = DecodeSequence(p, end, codePoint, valid);
        if (valid && codePoint >= 0x10000) {
            codePoint -= 0x10000;
            *write++ = char16_t(0xD800 + (codePoint >> 10));
            *write++ = char16_t(0xDC00 + (codePoint & 0x3FF));
        } else if (valid) {
            *write++ = char16_t(codePoint);
        } else if (invalid == eInvalidBytes::Replace) {
            *write++ = kReplacement;
        } else {
            for (size_t i = 0; i < taken; ++i) {
                *write++ = char16_t(kEscapeBase + p[i]);
            }
        }
        p += taken;
    }
    out.Truncate(static_cast<size_t>(write - start));
    return true;
}

template <eLoneSurrogate lone>
bool EncodeUtf8(const char16_t* text, i64 length, _guardchar<char>& out)
{
    size_t count = ResolveLength(text, length);
    // At most three bytes per unit: a BMP unit takes up to 3, a pair 4 for 2 units.
    if (count > SIZE_MAX / 3 - 1) {
        out.Clear();
        return false;
    }
    char* start = out.Allocate(count * 3);
    if (start == nullptr) {
        return count == 0;
    }
    u8* write = reinterpret_cast<u8*>(start);
    for (size_t i = 0; i < count; ++i) {
        u32 unit = text[i];
        if (unit < 0x80) {
            *write++ = u8(unit);
        } else if (unit < 0x800) {
            *write++ = u8(0xC0 | (unit >> 6));
            *write++ = u8(0x80 | (unit & 0x3F));
        } else if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(text[i + 1])) {
            u32 codePoint = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
            *write++ = u8(0xF0 | (codePoint >> 18));
            *write++ = u8(0x80 | ((codePoint >> 12) & 0x3F));
            *write++ = u8(0x80 | ((codePoint >> 6) & 0x3F));
            *write++ = u8(0x80 | (codePoint & 0x3F));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            if (lone == eLoneSurrogate::Replace) {
                *write++ = 0xEF;
                *write++ = 0xBF;
                *write++ = 0xBD;
            } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
                *write++ = u8(unit - kEscapeBase);
            } else {
                out.Clear();
                return false;
            }
        } else {
            *write++ = u8(0xE0 | (unit >> 12));
            *write++ = u8(0x80 | ((unit >> 6) & 0x3F));
            *write++ = u8(0x80 | (unit & 0x3F));
        }
    }
    out.Truncate(static_cast<size_t>(write - reinterpret_cast<u8*>(start)));
    return true;
}

} // namespace

bool WideToUtf8String(const char16_t* text, i64 length, _guardchar<char>& out)
{
    return EncodeUtf8<eLoneSurrogate::Replace>(text, length, out);
}

bool Utf8ToWideString(const char* text, i64 length, _guardchar<char16_t>& out)
{
    return DecodeUtf8<eInvalidBytes::Replace>(text, length, out);
}

bool FileNameToWide(const char* name, i64 length, _guardchar<char16_t>& out)
{
    return DecodeUtf8<eInvalidBytes::Escape>(name, length, out);
}

bool WideToFileName(const char16_t* name, i64 length, _guardchar<char>& out)
{
    return EncodeUtf8<eLoneSurrogate::Unescape>(name, length, out);
}
