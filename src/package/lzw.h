#pragma once
// LZW decoding as GIF (ITU-T T.4 does not cover it; GIF89a section 22 and appendix F) and
// TIFF (TIFF 6.0 section 13) use it: variable-width codes of up to 12 bits, a clear code
// and an end code after the roots, a 4096-entry string table.
#include "base/memio.h"

enum : i32
{
    kLzwLeastSignificantFirst = 0, // GIF packs codes from the low bits of each byte
    kLzwMostSignificantFirst = 1,  // TIFF from the high bits
};

struct sLzwTable;

class cLZWDecompress
{
  public:
    // The next piece of coded input: sets `data` and returns its length; 0 when the input
    // has ended. The piece stays valid until the next call.
    using tNextPiece = i64 (*)(void* context, const u8** data);

    // `initialCodeSize` is the width of the first codes, 1 to 12 (anything else counts as
    // 9): clear = 2^(size - 1), end = clear + 1. Roots past 255 decode to their low byte.
    // `earlyChange` 1 widens the codes one code early, as TIFF writers do; GIF uses 0.
    cLZWDecompress(i32 bitOrder, i32 initialCodeSize, i32 earlyChange);
    ~cLZWDecompress();
    cLZWDecompress(const cLZWDecompress&) = delete;
    cLZWDecompress& operator=(const cLZWDecompress&) = delete;

    // Decodes `input` into a new block that replaces `output` (std::malloc memory, freed by
    // the receiver with std::free, as sMemBlock says). `input` and `output` may be the same
    // record: its block is then freed and replaced. Decoding stops at the end code or once
    // `limit` bytes are out (true), or when the input ends first or a code is not yet in
    // the table (false); in every case `output` holds what was decoded.
    [[nodiscard]] bool Decompress(sMemBlock& input, sMemBlock& output, i64 limit = INT32_MAX);

    // Piecewise decoding: Start, then Read as often as wanted. Memory stays at the string
    // table whatever the output.
    void Start(tNextPiece next, void* context);
    // Decodes up to `count` bytes into `out` and returns how many came: fewer only once the
    // stream stopped (Stopped() then says why).
    [[nodiscard]] i64 Read(u8* out, i64 count);
    enum class eStop
    {
        Running,
        EndCode,  // the end code came
        Broken,   // the input ended first, a code was not yet in the table, or no memory
    };
    [[nodiscard]] eStop Stopped() const { return m_stop; }

  private:
    [[nodiscard]] i32 NextCode();
    void Reset();

    i32 m_bitOrder;
    i32 m_initialCodeSize;
    i32 m_earlyChange;
    sLzwTable* m_table = nullptr;
    tNextPiece m_next = nullptr;
    void* m_context = nullptr;
    const u8* m_piece = nullptr;
    i64 m_pieceLeft = 0;
    u32 m_bits = 0;
    i32 m_bitCount = 0;
    i32 m_width = 0;
    i32 m_nextCode = 0;
    i32 m_previous = -1;
    i32 m_pendingAt = 0;  // the unread rest of the last string, in the table's spill buffer
    i32 m_pendingEnd = 0;
    eStop m_stop = eStop::Broken;
};
