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

class cLZWDecompress
{
  public:
    // `initialCodeSize` is the width of the first codes, 1 to 9 (anything else counts as
    // 9): clear = 2^(size - 1), end = clear + 1. `earlyChange` 1 widens the codes one code
    // early, as TIFF writers do; GIF uses 0.
    cLZWDecompress(i32 bitOrder, i32 initialCodeSize, i32 earlyChange);

    // Decodes `input` into a new block that replaces `output` (std::malloc memory, freed by
    // the receiver with std::free, as sMemBlock says). `input` and `output` may be the same
    // record: its block is then freed and replaced. Decoding stops at the end code or once
    // `limit` bytes are out (true), or when the input ends first or a code is not yet in
    // the table (false); in every case `output` holds what was decoded.
    [[nodiscard]] bool Decompress(sMemBlock& input, sMemBlock& output, i64 limit = INT32_MAX);

  private:
    i32 m_bitOrder;
    i32 m_initialCodeSize;
    i32 m_earlyChange;
};
