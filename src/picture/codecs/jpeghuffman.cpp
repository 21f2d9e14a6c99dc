#include "picture/codecs/jpeghuffman.h"

#include <cstring>

namespace {

// The one-lookup AC entries of `table` (see m_fastAc), from the canonical codes.
void BuildFastAc(const u8 counts[16], const u16* codes, const u8* values, sJpegHuffmanTable& table)
{
    constexpr int kFast = sJpegHuffmanTable::kFastAcBits;
    std::memset(table.m_fastAc, 0, sizeof table.m_fastAc);
    int p = 0;
    for (int length = 1; length <= kFast; ++length) {
        for (int i = 0; i < counts[length - 1]; ++i, ++p) {
            const int run = values[p] >> 4;
            const int size = values[p] & 15;
            if (size == 0 || length + size > kFast) {
                continue;
            }
            const u32 first = u32(codes[p]) << (kFast - length);
            const u32 span = 1u << (kFast - length);
            for (u32 j = 0; j < span; ++j) {
                const u32 extra = (j >> (kFast - length - size)) & ((1u << size) - 1);
                const i32 coefficient = cJpegBitReader::Extend(extra, size);
                table.m_fastAc[first + j] = i32(u32(coefficient) << 9) | (run << 5) | (length + size);
            }
        }
    }
}

} // namespace

bool BuildHuffmanTable(const u8 counts[16], const u8* values, sJpegHuffmanTable& table)
{
    int total = 0;
    for (int length = 0; length < 16; ++length) {
        total += counts[length];
    }
    if (total > 256) {
        return false;
    }
    // C.2: code sizes and codes in canonical order.
    u8 sizes[257];
    u16 codes[256];
    int p = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < counts[length - 1]; ++i) {
            sizes[p++] = u8(length);
        }
    }
    sizes[p] = 0;
    u32 code = 0;
    int size = total > 0 ? sizes[0] : 0;
    p = 0;
    while (sizes[p] != 0) {
        while (sizes[p] == size) {
            codes[p++] = u16(code++);
        }
        // The next code must still fit in this length: no code is all ones (C.2), and an
        // over-subscribed table fails here.
        if (code >= (1u << size)) {
            return false;
        }
        code <<= 1;
        ++size;
    }

    // F.2.2.3 MAXCODE and the offsets into HUFFVAL.
    p = 0;
    for (int length = 1; length <= 16; ++length) {
        if (counts[length - 1] != 0) {
            table.m_valOffset[length] = p - codes[p];
            p += counts[length - 1];
            table.m_maxCode[length] = codes[p - 1];
        } else {
            table.m_valOffset[length] = 0;
            table.m_maxCode[length] = -1;
        }
    }
    table.m_maxCode[0] = -1;
    table.m_valOffset[0] = 0;
    table.m_maxCode[17] = 0x7FFFFFFF;

    std::memset(table.m_values, 0, sizeof table.m_values);
    std::memcpy(table.m_values, values, size_t(total));
    table.m_largestSymbol = 0;
    for (int i = 0; i < total; ++i) {
        if (values[i] > table.m_largestSymbol) {
            table.m_largestSymbol = values[i];
        }
    }

    // Lookahead: every bit pattern that starts with a short code maps to it.
    constexpr int kLook = sJpegHuffmanTable::kLookaheadBits;
    std::memset(table.m_lookup, 0, sizeof table.m_lookup);
    p = 0;
    for (int length = 1; length <= kLook; ++length) {
        for (int i = 0; i < counts[length - 1]; ++i, ++p) {
            u32 first = u32(codes[p]) << (kLook - length);
            u32 span = 1u << (kLook - length);
            for (u32 j = 0; j < span; ++j) {
                table.m_lookup[first + j] = u16((length << 8) | values[p]);
            }
        }
    }
    BuildFastAc(counts, codes, values, table);
    table.m_defined = true;
    return true;
}

void cJpegBitReader::Begin(cJpegInput* input)
{
    m_input = input;
    m_bits = 0;
    m_count = 0;
    m_marker = 0;
    m_streamEnded = false;
    m_padBits = 0;
}

void cJpegBitReader::DiscardBits()
{
    m_bits = 0;
    m_count = 0;
    m_padBits = 0;
}

void cJpegBitReader::Fill()
{
    while (m_count <= 56) {
        if (m_marker != 0 || m_streamEnded) {
            // Past a marker or the end: zero bits, counted.
            m_padBits += 8;
            m_count += 8;
            continue;
        }
        u32 available = m_input->FillAhead();
        if (available == 0) {
            m_streamEnded = true;
            continue;
        }
        if (LastPlainRead() != nullptr) {
            const u32 taken = TakePlain(m_input->Data(), m_bits, m_count);
            if (taken != 0) {
                m_input->Consume(taken);
                continue;
            }
        }
        const u8* data = m_input->Data();
        u32 used = 0;
        while (used < available && m_count <= 56 && data[used] != 0xFF) {
            m_bits |= u64(data[used]) << (56 - m_count);
            m_count += 8;
            ++used;
        }
        m_input->Consume(used);
        if (m_count > 56 || used == available) {
            continue;
        }
        // data[used] is 0xFF: a stuffed data byte, fill bytes, or a marker (B.1.1.2, F.1.2.3).
        m_input->Consume(1);
        u8 next = 0xFF;
        while (next == 0xFF) {
            if (m_input->FillAhead() == 0) {
                m_streamEnded = true;
                break;
            }
            next = m_input->Data()[0];
            m_input->Consume(1);
        }
        if (m_streamEnded) {
            continue;
        }
        if (next == 0) {
            m_bits |= u64(0xFF) << (56 - m_count);
            m_count += 8;
        } else {
            m_marker = next;
        }
    }
}

int cJpegBitReader::DecodeLong(const sJpegHuffmanTable& table)
{
    int length = sJpegHuffmanTable::kLookaheadBits + 1;
    i32 code = i32(m_bits >> (64 - length));
    while (length <= 16 && code > table.m_maxCode[length]) {
        ++length;
        code = i32(m_bits >> (64 - length));
    }
    if (length > 16) {
        return -1;
    }
    m_bits <<= length;
    m_count -= length;
    i32 index = table.m_valOffset[length] + code;
    if (index < 0 || index > 255) {
        return -1;
    }
    return table.m_values[index];
}

bool cJpegBitReader::DecodeSequentialBlock(const sJpegHuffmanTable& dc, const sJpegHuffmanTable& ac,
                                           const u8* order, i32& difference, i16* block)
{
    constexpr int kFast = sJpegHuffmanTable::kFastAcBits;
    constexpr int kLook = sJpegHuffmanTable::kLookaheadBits;
    // A code of up to 16 bits and up to 15 extra bits per symbol.
    constexpr int kSymbolBits = 31;
    u64 bits = m_bits;
    int count = m_count;
    // Plain refills read 8 bytes at `next` while it is at most `last`; past it (the end of
    // the buffered input, or a marker met) the byte-wise Fill takes over.
    const u8* start = m_input->Data();
    const u8* next = start;
    const u8* last = LastPlainRead();
    auto sync = [&]() {
        m_bits = bits;
        m_count = count;
        m_input->Consume(u32(next - start));
    };
    auto reload = [&]() {
        bits = m_bits;
        count = m_count;
        start = m_input->Data();
        next = start;
        last = LastPlainRead();
    };
    auto refill = [&]() {
        if (next <= last) {
            const u32 taken = TakePlain(next, bits, count);
            if (taken != 0) {
                next += taken;
                return;
            }
        }
        sync();
        Fill();
        reload();
    };
    // One symbol through the lookahead table, or -1 for a code no symbol has.
    auto decode = [&](const sJpegHuffmanTable& table) {
        const u16 entry = table.m_lookup[bits >> (64 - kLook)];
        if (entry != 0) {
            bits <<= entry >> 8;
            count -= entry >> 8;
            return int(entry & 0xFF);
        }
        sync();
        const int symbol = DecodeLong(table);
        reload();
        return symbol;
    };

    if (count < kSymbolBits) {
        refill();
    }
    const int size = decode(dc);
    if (size < 0) {
        sync();
        return false;
    }
    // Lossy DC tables hold no symbol above 15 (checked when they are defined).
    difference = size == 0 ? 0 : Extend(u32(bits >> (64 - size)), size);
    bits <<= size;
    count -= size;

    for (int k = 1; k < 64; ++k) {
        if (count < kSymbolBits) {
            refill();
        }
        const i32 fast = ac.m_fastAc[bits >> (64 - kFast)];
        if (fast != 0) {
            bits <<= fast & 31;
            count -= fast & 31;
            k += (fast >> 5) & 15;
            block[order[k]] = i16(fast >> 9);
            continue;
        }
        const int symbol = decode(ac);
        if (symbol < 0) {
            sync();
            return false;
        }
        const int run = symbol >> 4;
        const int valueSize = symbol & 15;
        if (valueSize != 0) {
            k += run;
            const u32 value = u32(bits >> (64 - valueSize));
            bits <<= valueSize;
            count -= valueSize;
            block[order[k]] = i16(Extend(value, valueSize));
        } else if (run == 15) {
            k += 15;
        } else {
            break;
        }
    }
    sync();
    return true;
}

bool cJpegBitReader::SeekMarker()
{
    DiscardBits();
    if (m_marker != 0) {
        return true;
    }
    for (;;) {
        if (m_input->FillAhead() == 0) {
            m_streamEnded = true;
            return false;
        }
        u8 byte = m_input->Data()[0];
        m_input->Consume(1);
        if (byte != 0xFF) {
            continue;
        }
        u8 next = 0xFF;
        while (next == 0xFF) {
            if (m_input->FillAhead() == 0) {
                m_streamEnded = true;
                return false;
            }
            next = m_input->Data()[0];
            m_input->Consume(1);
        }
        if (next != 0) {
            m_marker = next;
            return true;
        }
    }
}
