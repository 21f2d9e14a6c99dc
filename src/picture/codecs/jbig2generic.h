#pragma once
// JBIG2 generic region decoding with the arithmetic coder (ITU-T T.88 6.2). Glossary:
//   GBTEMPLATE  template 0-3 (flags bits 1-2); TPGDON typical prediction (bit 3)
//   AT pixels   adaptive template pixels, signed (x, y) pairs: 4 for template 0, else 1
//   SLTP/LTP    the per-row "same as the row above" decision and its running value
#include "base/buffers.h"
#include "picture/codecs/mqdecoder.h"

#include <memory>

struct sJbig2GenericHeader
{
    u32 width = 0;
    u32 height = 0;
    u8 flags = 0;  // bit 0 MMR, bits 1-2 GBTEMPLATE, bit 3 TPGDON, bit 4 EXTTEMPLATE
    i8 at[8] = {}; // x1, y1, x2, y2, ... (only the first pair for templates 1-3)
};

// Bytes of AT pixels that follow the flags byte in a region segment: 8, 2 or 0 (MMR).
[[nodiscard]] u32 Jbig2GenericAtBytes(u8 flags);

// Decodes a region row by row: memory is the statistics and as many rows as the template
// and the AT pixels reach up (3 to 129), whatever the height.
class cJbig2GenericRows
{
  public:
    cJbig2GenericRows();
    ~cJbig2GenericRows();
    cJbig2GenericRows(const cJbig2GenericRows&) = delete;
    cJbig2GenericRows& operator=(const cJbig2GenericRows&) = delete;

    enum class eStart
    {
        Started,
        Refused,   // the conditions under which DecodeGenericRegion fails
        OverLimit, // the rows and statistics would take more than the limit
    };
    // Prepares the decode from `decoder` (borrowed until the last row).
    [[nodiscard]] eStart Start(const sJbig2GenericHeader& header, sMqDecoder* decoder,
                               u64 memoryLimit);
    // The bytes Start took.
    [[nodiscard]] u64 Memory() const { return m_memory; }
    // Decodes the next row: (width - 1) / 8 + 1 bytes as DecodeGenericRegion lays them out,
    // valid until the next call. MUST be called at most `height` times after a true Start.
    [[nodiscard]] const u8* NextRow();

  private:
    struct sState;
    std::unique_ptr<sState> m_state;
    u64 m_memory = 0;
};

// Decodes the region into `bitmap`: rows of (width - 1) / 8 + 1 bytes, most significant
// bit first, padding bits 0, 1 = black. False (no bitmap) for MMR, EXTTEMPLATE, an AT pixel
// T.88 6.2.5.4 does not allow (y > 0, or y == 0 with x >= 0), a size of 0 or over the
// picture buffer cap, or when memory is short. Statistics start at zero.
[[nodiscard]] bool DecodeGenericRegion(const sJbig2GenericHeader& header, sMqDecoder* decoder,
                                       _typebuf<u8>& bitmap);
