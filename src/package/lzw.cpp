// LZW decoder. Glossary:
//   root      a one-byte string, codes 0 .. clear - 1
//   clear     resets the table and the code width; end ends the data
//   next      the next free table entry; codes above it are invalid
//   KwKwK     a code equal to next: the previous string plus its own first byte
//   width     the current code width, 12 at most; a full table keeps decoding 12-bit
//             codes without new entries until a clear comes (GIF's deferred clear)
// Every table entry keeps its length and first byte, so that a string is written backwards
// straight into the output without a stack.
#include "package/lzw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr i32 kTableSize = 4096;
constexpr i32 kLargestWidth = 12;

struct sLzwTable
{
    u16 prefix[kTableSize];
    u16 length[kTableSize];
    u8 suffix[kTableSize];
    u8 first[kTableSize];
};

// The output block: grows by doubling up to the limit.
struct sLzwOutput
{
    u8* data = nullptr;
    i64 count = 0;
    i64 capacity = 0;
    i64 limit = 0;

    [[nodiscard]] bool Reserve(i64 needed)
    {
        if (needed <= capacity) {
            return true;
        }
        const i64 grown = std::min(limit, std::max({needed, capacity * 2, i64(4096)}));
        u8* bigger = static_cast<u8*>(std::realloc(data, size_t(grown)));
        if (bigger == nullptr) {
            return false;
        }
        data = bigger;
        capacity = grown;
        return true;
    }
};

} // namespace

cLZWDecompress::cLZWDecompress(i32 bitOrder, i32 initialCodeSize, i32 earlyChange)
    : m_bitOrder(bitOrder),
      m_initialCodeSize(initialCodeSize >= 1 && initialCodeSize <= 9 ? initialCodeSize : 9),
      m_earlyChange(earlyChange != 0 ? 1 : 0)
{
}

bool cLZWDecompress::Decompress(sMemBlock& input, sMemBlock& output, i64 limit)
{
    sLzwTable* table = static_cast<sLzwTable*>(std::malloc(sizeof(sLzwTable)));
    sLzwOutput out;
    out.limit = std::clamp<i64>(limit, 0, INT32_MAX);
    const i32 clear = 1 << (m_initialCodeSize - 1);
    const i32 end = clear + 1;
    bool ok = table != nullptr;
    for (i32 i = 0; ok && i < clear; ++i) {
        table->length[i] = 1;
        table->suffix[i] = u8(i);
        table->first[i] = u8(i);
    }
    i32 width = m_initialCodeSize;
    i32 next = clear + 2;
    i32 previous = -1;
    u32 bits = 0;
    i32 bitCount = 0;
    const u8* in = input.m_data;
    const i64 inCount = input.m_data != nullptr ? input.m_count : 0;
    i64 position = 0;
    bool ended = false;
    while (ok && !ended && out.count < out.limit) {
        while (bitCount < width && position < inCount) {
            if (m_bitOrder == kLzwLeastSignificantFirst) {
                bits |= u32(in[position++]) << bitCount;
            } else {
                bits = bits << 8 | in[position++];
            }
            bitCount += 8;
        }
        if (bitCount < width) {
            ok = false; // the input ended before the end code
            break;
        }
        i32 code;
        if (m_bitOrder == kLzwLeastSignificantFirst) {
            code = i32(bits & ((1u << width) - 1));
            bits >>= width;
        } else {
            code = i32(bits >> (bitCount - width) & ((1u << width) - 1));
        }
        bitCount -= width;
        if (code == clear) {
            width = m_initialCodeSize;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) {
            ended = true;
            break;
        }
        if (code > next || (code == next && previous < 0)) {
            ok = false;
            break;
        }
        // KwKwK: the string about to be entered, known from the previous one.
        const bool kwkwk = code == next;
        const i32 length = kwkwk ? table->length[previous] + 1 : table->length[code];
        if (!out.Reserve(std::min<i64>(out.count + length, out.limit))) {
            ok = false;
            break;
        }
        // Backwards from the string's last byte; bytes past the limit are dropped.
        i64 at = out.count + length - 1;
        i32 walk = kwkwk ? previous : code;
        if (kwkwk) {
            if (at < out.limit) {
                out.data[at] = table->first[previous];
            }
            --at;
        }
        for (; at >= out.count; --at) {
            if (at < out.limit) {
                out.data[at] = table->suffix[walk];
            }
            walk = table->prefix[walk];
        }
        out.count = std::min<i64>(out.count + length, out.limit);
        if (previous >= 0 && next < kTableSize) {
            table->prefix[next] = u16(previous);
            table->suffix[next] = kwkwk ? table->first[previous] : table->first[code];
            table->first[next] = table->first[previous];
            table->length[next] = u16(table->length[previous] + 1);
            ++next;
            if (next >= (1 << width) - m_earlyChange && width < kLargestWidth) {
                ++width;
            }
        }
        previous = code;
    }
    std::free(table);
    if (&input == &output) {
        std::free(input.m_data);
    }
    output.m_data = out.data;
    output.m_count = i32(out.count);
    return ok;
}
