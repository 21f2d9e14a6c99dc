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

// The bit buffer and the input position in locals, which the compiler keeps in registers
// over a block: refills read 8 bytes at `next` while it is at most `last` and the bytes are
// plain data; otherwise (the end of the buffered input, a 0xFF byte, a marker met) the
// reader's byte-wise Fill takes over.
struct cJpegBitReader::sCursor
{
    // A code of up to 16 bits and up to 15 extra bits.
    static constexpr int kSymbolBits = 31;

    cJpegBitReader& reader;
    u64 bits = 0;
    int count = 0;
    const u8* start = nullptr;
    const u8* next = nullptr;
    const u8* last = nullptr;

    explicit sCursor(cJpegBitReader& owner) : reader(owner) { Load(); }
    void Load()
    {
        bits = reader.m_bits;
        count = reader.m_count;
        start = reader.m_input->Data();
        next = start;
        last = reader.LastPlainRead();
    }
    void Store()
    {
        reader.m_bits = bits;
        reader.m_count = count;
        reader.m_input->Consume(u32(next - start));
    }
    // Makes at least kSymbolBits bits available.
    void Ensure()
    {
        if (count >= kSymbolBits) {
            return;
        }
        if (next <= last) {
            const u32 taken = TakePlain(next, bits, count);
            if (taken != 0) {
                next += taken;
                return;
            }
        }
        Store();
        reader.Fill();
        Load();
    }
    // The next `size` (1..31) bits, which Ensure made available.
    u32 Take(int size)
    {
        const u32 value = u32(bits >> (64 - size));
        bits <<= size;
        count -= size;
        return value;
    }
    // The table's one-lookup AC entry for the next bits (see m_fastAc), its bits consumed;
    // 0, with nothing consumed, when the symbol needs the general path.
    i32 TakeFastAc(const sJpegHuffmanTable& table)
    {
        const i32 fast = table.m_fastAc[bits >> (64 - sJpegHuffmanTable::kFastAcBits)];
        bits <<= fast & 31;
        count -= fast & 31;
        return fast;
    }
    // One symbol (its code available), or -1 for a code no symbol has.
    int Decode(const sJpegHuffmanTable& table)
    {
        const u16 entry = table.m_lookup[bits >> (64 - sJpegHuffmanTable::kLookaheadBits)];
        if (entry != 0) {
            bits <<= entry >> 8;
            count -= entry >> 8;
            return int(entry & 0xFF);
        }
        Store();
        const int symbol = reader.DecodeLong(table);
        Load();
        return symbol;
    }
};

bool cJpegBitReader::DecodeSequentialBlock(const sJpegHuffmanTable& dc, const sJpegHuffmanTable& ac,
                                           const u8* order, i32& difference, i16* block)
{
    sCursor cursor(*this);
    cursor.Ensure();
    const int size = cursor.Decode(dc);
    if (size < 0) {
        cursor.Store();
        return false;
    }
    // Lossy DC tables hold no symbol above 15 (checked when they are defined).
    difference = size == 0 ? 0 : Extend(cursor.Take(size), size);

    for (int k = 1; k < 64; ++k) {
        cursor.Ensure();
        const i32 fast = cursor.TakeFastAc(ac);
        if (fast != 0) {
            k += (fast >> 5) & 15;
            block[order[k]] = i16(fast >> 9);
            continue;
        }
        const int symbol = cursor.Decode(ac);
        if (symbol < 0) {
            cursor.Store();
            return false;
        }
        const int run = symbol >> 4;
        const int valueSize = symbol & 15;
        if (valueSize != 0) {
            k += run;
            block[order[k]] = i16(Extend(cursor.Take(valueSize), valueSize));
        } else if (run == 15) {
            k += 15;
        } else {
            break;
        }
    }
    cursor.Store();
    return true;
}

bool cJpegBitReader::DecodeAcFirst(const sJpegHuffmanTable& table, const u8* order, int ss, int se,
                                   int al, u32& eobRun, i16* blocks, int blockCount)
{
    sCursor cursor(*this);
    for (i16* block = blocks; block != blocks + 64 * i64(blockCount); block += 64) {
        if (eobRun > 0) {
            --eobRun;
            continue;
        }
        for (int k = ss; k <= se; ++k) {
            cursor.Ensure();
            const i32 fast = cursor.TakeFastAc(table);
            if (fast != 0) {
                k += (fast >> 5) & 15;
                block[order[k]] = i16(i64(fast >> 9) * (i64(1) << al));
                continue;
            }
            const int symbol = cursor.Decode(table);
            if (symbol < 0) {
                cursor.Store();
                return false;
            }
            const int run = symbol >> 4;
            const int size = symbol & 15;
            if (size != 0) {
                k += run;
                block[order[k]] = i16(i64(Extend(cursor.Take(size), size)) * (i64(1) << al));
            } else if (run == 15) {
                k += 15;
            } else {
                // G.1.2.2: EOBn, a run of 2^r + r extra bits bands, this one included.
                eobRun = (1u << run) + (run != 0 ? cursor.Take(run) : 0) - 1;
                break;
            }
        }
    }
    cursor.Store();
    return true;
}

bool cJpegBitReader::DecodeAcRefine(const sJpegHuffmanTable& table, const u8* order, int ss, int se,
                                    int al, u32& eobRun, i16* blocks, int blockCount)
{
    const int plusOne = 1 << al;
    sCursor cursor(*this);
    // A correction bit for a coefficient already non-zero: adds 1 << Al away from zero
    // when that bit is not yet set.
    auto refine = [&](i16& coefficient) {
        cursor.Ensure();
        if (cursor.Take(1) != 0 && (coefficient & plusOne) == 0) {
            coefficient = i16(coefficient >= 0 ? coefficient + plusOne : coefficient - plusOne);
        }
    };

    for (i16* block = blocks; block != blocks + 64 * i64(blockCount); block += 64) {
        int k = ss;
        if (eobRun == 0) {
            for (; k <= se; ++k) {
                cursor.Ensure();
                const int symbol = cursor.Decode(table);
                if (symbol < 0) {
                    cursor.Store();
                    return false;
                }
                int run = symbol >> 4;
                const int size = symbol & 15;
                int value = 0;
                cursor.Ensure();
                if (size != 0) {
                    // Only magnitude 1 is valid here; other sizes are taken as 1, as common
                    // decoders do.
                    value = cursor.Take(1) != 0 ? plusOne : -plusOne;
                } else if (run != 15) {
                    // G.1.2.2: EOBn, a run of 2^r + r extra bits bands, this one included.
                    eobRun = (1u << run) + (run != 0 ? cursor.Take(run) : 0);
                    break;
                }
                // Skip `run` zero coefficients, refining the non-zero ones passed on the way.
                do {
                    i16& coefficient = block[order[k]];
                    if (coefficient != 0) {
                        refine(coefficient);
                    } else if (--run < 0) {
                        break;
                    }
                    ++k;
                } while (k <= se);
                if (value != 0) {
                    block[order[k]] = i16(value);
                }
            }
        }
        if (eobRun > 0) {
            for (; k <= se; ++k) {
                i16& coefficient = block[order[k]];
                if (coefficient != 0) {
                    refine(coefficient);
                }
            }
            --eobRun;
        }
    }
    cursor.Store();
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
