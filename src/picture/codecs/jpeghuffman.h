#pragma once
// Huffman tables and the entropy-coded bit stream of JPEG (ITU-T T.81 Annex C and F.2.2).
//
// Glossary (T.81): BITS = the count of codes of each length 1..16, HUFFVAL = the symbols
// in code order, MAXCODE/VALPTR as in F.2.2.3, EOB run, RSTm = restart marker m.
#include "base/byteorder.h"
#include "base/types.h"
#include "picture/codecs/jpeginput.h"

// A decoding table. Codes of up to kLookaheadBits bits decode with one lookup; longer ones
// walk MAXCODE (F.2.2.3).
struct sJpegHuffmanTable
{
    static constexpr int kLookaheadBits = 9;
    static constexpr int kFastAcBits = 10;

    bool m_defined = false;
    u8 m_largestSymbol = 0;
    // (code length << 8) | symbol, or 0 when the code is longer than the lookahead.
    u16 m_lookup[1 << kLookaheadBits];
    // For AC decoding: a symbol with a non-zero size whose code and extra bits together fit
    // in kFastAcBits, decoded in one lookup as (coefficient << 9) | (RRRR << 5) | bits used;
    // 0 for every other pattern (EOB, ZRL, longer codes).
    i32 m_fastAc[1 << kFastAcBits];
    i32 m_maxCode[18];   // index = code length; [17] is a sentinel above every code
    i32 m_valOffset[17]; // symbol index = m_valOffset[length] + code
    u8 m_values[256];
};

// Builds `table` from a DHT segment's BITS (16 counts) and HUFFVAL. False for counts that
// sum above 256 or an over-subscribed code (a code that does not fit its length, C.2).
[[nodiscard]] bool BuildHuffmanTable(const u8 counts[16], const u8* values, sJpegHuffmanTable& table);

// The bit stream of one scan, most significant bit first, with byte stuffing removed
// (F.1.2.3: 0xFF 0x00 is a data byte 0xFF).
//
// At a marker or the end of the stream the reader supplies zero bits from then on, but
// counts them, so that data that ends before its last MCU can be told from complete data
// (ConsumedPastData): such a scan fails instead of decoding zeros into a dotted pattern.
class cJpegBitReader
{
public:
    void Begin(cJpegInput* input);
    // Drops the bits left in the buffer (at a restart marker).
    void DiscardBits();

    // The marker that ended the entropy-coded data, or 0 when none was met yet.
    u8 GetMarker() const { return m_marker; }
    void ClearMarker() { m_marker = 0; }
    // Reads on to the next marker, skipping any data bytes left before it; false at the
    // end of the stream. The marker is then GetMarker().
    [[nodiscard]] bool SeekMarker();
    // True when bits beyond the entropy-coded data (past a marker or the end of the
    // stream) were consumed.
    bool ConsumedPastData() const { return m_padBits > m_count; }

    // Makes at least `count` (up to 57) bits available to Peek.
    void Ensure(int count)
    {
        if (m_count < count) {
            Fill();
        }
    }
    // The next `count` (1..32) bits, not consumed; Ensure(count) MUST come first.
    u32 Peek(int count) const { return u32(m_bits >> (64 - count)); }
    // Consumes `count` bits that Ensure made available.
    void Skip(int count)
    {
        m_bits <<= count;
        m_count -= count;
    }

    // Receives `count` (0..16) bits as an unsigned value.
    u32 GetBits(int count)
    {
        if (count == 0) {
            return 0;
        }
        if (m_count < count) {
            Fill();
        }
        u32 value = u32(m_bits >> (64 - count));
        m_bits <<= count;
        m_count -= count;
        return value;
    }

    // Decodes one Huffman symbol; -1 for a code that no symbol has (corrupt data).
    int Decode(const sJpegHuffmanTable& table)
    {
        if (m_count < 16) {
            Fill();
        }
        u32 look = u32(m_bits >> (64 - sJpegHuffmanTable::kLookaheadBits));
        u16 entry = table.m_lookup[look];
        if (entry != 0) {
            int length = entry >> 8;
            m_bits <<= length;
            m_count -= length;
            return entry & 0xFF;
        }
        return DecodeLong(table);
    }

    // Decodes one sequential block (F.2.2.1, F.2.2.2): the DC difference into `difference`
    // and the AC coefficients 1..63 into `block` at the positions `order` gives for each
    // index (16 entries past 63 absorb the runs of corrupt data). False for a code no
    // symbol has. The bit buffer and the input position are kept in registers for the block.
    [[nodiscard]] bool DecodeSequentialBlock(const sJpegHuffmanTable& dc, const sJpegHuffmanTable& ac,
                                             const u8* order, i32& difference, i16* block);

    // Progressive AC scans over `blockCount` blocks stored one after another: coefficients
    // Ss..Se (`ss`, `se`) at bit position `al`, the scan's EOB run carried in `eobRun`.
    // False for a code no symbol has. The first scan of a band (G.1.2.2) writes its
    // coefficients; a refinement (G.1.2.3) adds correction bits and new coefficients.
    [[nodiscard]] bool DecodeAcFirst(const sJpegHuffmanTable& table, const u8* order, int ss, int se,
                                     int al, u32& eobRun, i16* blocks, int blockCount);
    [[nodiscard]] bool DecodeAcRefine(const sJpegHuffmanTable& table, const u8* order, int ss, int se,
                                      int al, u32& eobRun, i16* blocks, int blockCount);

    // F.2.2.1 EXTEND: a received value of `size` bits as a signed difference.
    static i32 Extend(u32 value, int size)
    {
        return (size == 0 || value >= (1u << (size - 1))) ? i32(value)
                                                           : i32(value) - (1 << size) + 1;
    }

private:
    // Tops up `bits` (holding `count` valid bits, at most 56) to at least 57 bits from the
    // 8 bytes at `data` when the ones taken are plain data (no 0xFF). Returns the bytes
    // taken, or 0 with nothing changed.
    static u32 TakePlain(const u8* data, u64& bits, int& count)
    {
        const u64 word = LoadBe64(data);
        const int take = (64 - count) >> 3;
        const u64 takenBytes = ~u64(0) << (64 - 8 * take);
        // A zero byte of ~word is a 0xFF byte of word (the test can also flag a byte above
        // a real one; such a word just takes the byte-wise path).
        const u64 inverted = ~word;
        const u64 flagged = (inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull;
        if ((flagged & takenBytes) != 0) {
            return 0;
        }
        bits |= (word >> count) & (~u64(0) << (64 - count - 8 * take));
        count += 8 * take;
        return u32(take);
    }
    // The last position from which plain refills may read 8 bytes of the buffered input, or
    // null when a marker was met or fewer than 8 bytes are buffered.
    const u8* LastPlainRead() const
    {
        return m_marker == 0 && m_input->Available() >= 8 ? m_input->Data() + m_input->Available() - 8
                                                          : nullptr;
    }
    void Fill();
    int DecodeLong(const sJpegHuffmanTable& table);
    struct sCursor;

    cJpegInput* m_input = nullptr;
    u64 m_bits = 0;  // valid bits left-aligned
    int m_count = 0; // valid bits in m_bits
    u8 m_marker = 0;
    bool m_streamEnded = false;
    i64 m_padBits = 0; // zero bits supplied past a marker or the end of the stream
};
