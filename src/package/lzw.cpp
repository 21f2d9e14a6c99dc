// LZW decoder. Glossary:
//   root      a one-byte string, codes 0 .. clear - 1
//   clear     resets the table and the code width; end ends the data
//   next      the next free table entry; codes above it are invalid
//   KwKwK     a code equal to next: the previous string plus its own first byte
//   width     the current code width, 12 at most; a full table keeps decoding 12-bit
//             codes without new entries until a clear comes (GIF's deferred clear)
// Every table entry keeps its length and first byte, so that a string is written backwards
// straight into the output without a stack; a string longer than what the caller asked
// for goes to a spill buffer and is handed out by the following reads.
#include "package/lzw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

constexpr i32 kTableSize = 4096;
constexpr i32 kLargestWidth = 12;

struct sLzwTable
{
    u16 prefix[kTableSize];
    u16 length[kTableSize];
    u8 suffix[kTableSize];
    u8 first[kTableSize];
    u8 spill[kTableSize]; // no string is longer than the table
};

cLZWDecompress::cLZWDecompress(i32 bitOrder, i32 initialCodeSize, i32 earlyChange)
    : m_bitOrder(bitOrder),
      m_initialCodeSize(initialCodeSize >= 1 && initialCodeSize <= kLargestWidth ? initialCodeSize
                                                                                 : 9),
      m_earlyChange(earlyChange != 0 ? 1 : 0)
{
}

cLZWDecompress::~cLZWDecompress()
{
    delete m_table;
}

void cLZWDecompress::Start(tNextPiece next, void* context)
{
    m_next = next;
    m_context = context;
    m_piece = nullptr;
    m_pieceLeft = 0;
    m_bits = 0;
    m_bitCount = 0;
    m_pendingAt = m_pendingEnd = 0;
    if (m_table == nullptr) {
        m_table = new (std::nothrow) sLzwTable;
    }
    m_stop = m_table != nullptr ? eStop::Running : eStop::Broken;
    if (m_table == nullptr) {
        return;
    }
    const i32 clear = 1 << (m_initialCodeSize - 1);
    for (i32 i = 0; i < clear; ++i) {
        m_table->length[i] = 1;
        m_table->suffix[i] = u8(i);
        m_table->first[i] = u8(i);
    }
    Reset();
}

void cLZWDecompress::Reset()
{
    m_width = m_initialCodeSize;
    m_nextCode = (1 << (m_initialCodeSize - 1)) + 2;
    m_previous = -1;
}

// The next code of the current width, or -1 when the input ends first.
i32 cLZWDecompress::NextCode()
{
    while (m_bitCount < m_width) {
        while (m_pieceLeft == 0) {
            m_pieceLeft = m_next(m_context, &m_piece);
            if (m_pieceLeft <= 0) {
                m_pieceLeft = 0;
                return -1;
            }
        }
        if (m_bitOrder == kLzwLeastSignificantFirst) {
            m_bits |= u32(*m_piece++) << m_bitCount;
        } else {
            m_bits = m_bits << 8 | *m_piece++;
        }
        --m_pieceLeft;
        m_bitCount += 8;
    }
    i32 code;
    if (m_bitOrder == kLzwLeastSignificantFirst) {
        code = i32(m_bits & ((1u << m_width) - 1));
        m_bits >>= m_width;
    } else {
        code = i32(m_bits >> (m_bitCount - m_width) & ((1u << m_width) - 1));
    }
    m_bitCount -= m_width;
    return code;
}

i64 cLZWDecompress::Read(u8* out, i64 count)
{
    i64 produced = 0;
    const i32 clear = 1 << (m_initialCodeSize - 1);
    const i32 end = clear + 1;
    while (produced < count) {
        if (m_pendingAt < m_pendingEnd) {
            const i32 taken = i32(std::min<i64>(m_pendingEnd - m_pendingAt, count - produced));
            std::memcpy(out + produced, m_table->spill + m_pendingAt, size_t(taken));
            m_pendingAt += taken;
            produced += taken;
            continue;
        }
        if (m_stop != eStop::Running) {
            break;
        }
        const i32 code = NextCode();
        if (code == clear) {
            Reset();
            continue;
        }
        if (code == end) {
            m_stop = eStop::EndCode;
            break;
        }
        if (code < 0 || code > m_nextCode || (code == m_nextCode && m_previous < 0)) {
            m_stop = eStop::Broken;
            break;
        }
        sLzwTable& table = *m_table;
        // KwKwK: the string about to be entered, known from the previous one.
        const bool kwkwk = code == m_nextCode;
        const i32 length = kwkwk ? table.length[m_previous] + 1 : table.length[code];
        const bool fits = length <= count - produced;
        u8* target = fits ? out + produced : table.spill;
        // Backwards from the string's last byte.
        i32 at = length - 1;
        i32 walk = kwkwk ? m_previous : code;
        if (kwkwk) {
            target[at--] = table.first[m_previous];
        }
        for (; at >= 0; --at) {
            target[at] = table.suffix[walk];
            walk = table.prefix[walk];
        }
        if (fits) {
            produced += length;
        } else {
            m_pendingAt = 0;
            m_pendingEnd = length;
        }
        if (m_previous >= 0 && m_nextCode < kTableSize) {
            const i32 entry = m_nextCode++;
            table.prefix[entry] = u16(m_previous);
            table.suffix[entry] = kwkwk ? table.first[m_previous] : table.first[code];
            table.first[entry] = table.first[m_previous];
            table.length[entry] = u16(table.length[m_previous] + 1);
            if (m_nextCode >= (1 << m_width) - m_earlyChange && m_width < kLargestWidth) {
                ++m_width;
            }
        }
        m_previous = code;
    }
    return produced;
}

namespace {

// The output block: grows by doubling up to the limit.
struct sLzwOutput
{
    u8* data = nullptr;
    i64 count = 0;
    i64 capacity = 0;
    i64 limit = 0;

    [[nodiscard]] bool Grow()
    {
        const i64 grown = std::min(limit, std::max(capacity * 2, i64(4096)));
        u8* bigger = static_cast<u8*>(std::realloc(data, size_t(grown)));
        if (bigger == nullptr) {
            return false;
        }
        data = bigger;
        capacity = grown;
        return true;
    }
};

// The whole input as one piece.
i64 WholeBlock(void* context, const u8** data)
{
    sMemBlock* block = static_cast<sMemBlock*>(context);
    *data = block->m_data;
    const i64 count = block->m_data != nullptr ? block->m_count : 0;
    block->m_count = 0;
    return count;
}

} // namespace

bool cLZWDecompress::Decompress(sMemBlock& input, sMemBlock& output, i64 limit)
{
    sMemBlock unread = input;
    Start(WholeBlock, &unread);
    sLzwOutput out;
    out.limit = std::clamp<i64>(limit, 0, INT32_MAX);
    bool ok = true;
    while (m_stop == eStop::Running && out.count < out.limit) {
        if (out.count == out.capacity && !out.Grow()) {
            ok = false;
            break;
        }
        out.count += Read(out.data + out.count, out.capacity - out.count);
    }
    ok = ok && m_stop != eStop::Broken;
    if (&input == &output) {
        std::free(input.m_data);
    }
    output.m_data = out.data;
    output.m_count = i32(out.count);
    return ok;
}
