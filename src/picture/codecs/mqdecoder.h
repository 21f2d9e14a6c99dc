#pragma once
// The MQ arithmetic decoder of ITU-T T.88 Annex E (E.3), as JBIG2 generic regions use it.
// Glossary (T.88 E.1): A the interval register, C the code register (its high 16 bits are
// Chigh), CT the count of bits left before the next byte, BP the byte position, Qe the
// probability estimate of a state, MPS the more probable symbol, I the state index.
#include "base/types.h"

struct sMqDecoder
{
    const u8* data = nullptr; // the segment's data window (borrowed)
    u64 size = 0;
    u64 bp = 0;
    u32 c = 0;
    u32 a = 0;
    i32 ct = 0;
};

// One context's statistics: state index I in bits 1-7, MPS in bit 0; 0 at the start.
using tMqContext = u8;

// Starts the decoder on `size` bytes at `data`. Bytes past the window read as 0xFF
// (T.88 E.3.4), so a region's decoder never runs into the next segment. False only for an
// empty window.
[[nodiscard]] bool MqDecoderInit(sMqDecoder* decoder, const u8* data, u64 size);

// Decodes one binary decision in `context` (T.88 E.3.2 DECODE); 0 or 1.
i32 MqDecode(sMqDecoder* decoder, tMqContext* context);
