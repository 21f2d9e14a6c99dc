#pragma once
// JBIG2 generic region decoding with the arithmetic coder (ITU-T T.88 6.2). Glossary:
//   GBTEMPLATE  template 0-3 (flags bits 1-2); TPGDON typical prediction (bit 3)
//   AT pixels   adaptive template pixels, signed (x, y) pairs: 4 for template 0, else 1
//   SLTP/LTP    the per-row "same as the row above" decision and its running value
#include "base/buffers.h"
#include "picture/codecs/mqdecoder.h"

struct sJbig2GenericHeader
{
    u32 width = 0;
    u32 height = 0;
    u8 flags = 0;  // bit 0 MMR, bits 1-2 GBTEMPLATE, bit 3 TPGDON, bit 4 EXTTEMPLATE
    i8 at[8] = {}; // x1, y1, x2, y2, ... (only the first pair for templates 1-3)
};

// Bytes of AT pixels that follow the flags byte in a region segment: 8, 2 or 0 (MMR).
[[nodiscard]] u32 Jbig2GenericAtBytes(u8 flags);

// Decodes the region into `bitmap`: rows of (width - 1) / 8 + 1 bytes, most significant
// bit first, padding bits 0, 1 = black. False (no bitmap) for MMR, EXTTEMPLATE, an AT pixel
// T.88 6.2.5.4 does not allow (y > 0, or y == 0 with x >= 0), a size of 0 or over the
// picture buffer cap, or when memory is short. Statistics start at zero.
[[nodiscard]] bool DecodeGenericRegion(const sJbig2GenericHeader& header, sMqDecoder* decoder,
                                       _typebuf<u8>& bitmap);
