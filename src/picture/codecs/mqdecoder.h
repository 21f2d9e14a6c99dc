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

struct sMqQeEntry
{
    u16 qe;
    u8 nmps;
    u8 nlps;
    u8 switchMps;
};

// T.88 Table E.1.
extern const sMqQeEntry kMqQeTable[47];

// T.88 E.3.4 BYTEIN. The decoder works on inverted bytes: after a marker (0xFF followed
// by a byte above 0x8F) the 1-bits it is fed are zeros once inverted, so C stays as it is.
// Bytes past the window read as 0xFF.
inline void MqByteIn(sMqDecoder* d)
{
    const u32 byte = d->bp < d->size ? d->data[d->bp] : 0xFF;
    const u32 next = d->bp + 1 < d->size ? d->data[d->bp + 1] : 0xFF;
    if (byte == 0xFF) {
        if (next > 0x8F) {
            d->ct = 8;
        } else {
            ++d->bp;
            d->c += 0xFE00 - (next << 9);
            d->ct = 7;
        }
    } else {
        ++d->bp;
        d->c += 0xFF00 - (next << 8);
        d->ct = 8;
    }
}

// T.88 E.3.3 RENORMD. Inline with the decision, so that a decoder copied into a local
// keeps A, C and CT in registers through a region's pixel loop.
[[gnu::always_inline]] inline void MqRenormD(sMqDecoder* d)
{
    do {
        if (d->ct == 0) {
            MqByteIn(d);
        }
        d->a <<= 1;
        d->c <<= 1;
        --d->ct;
    } while ((d->a & 0x8000) == 0);
}

// Decodes one binary decision in `context` (T.88 E.3.2 DECODE); 0 or 1. Inline: the
// generic region decoder calls it once per pixel.
[[gnu::always_inline]] inline i32 MqDecode(sMqDecoder* d, tMqContext* context)
{
    const sMqQeEntry& entry = kMqQeTable[*context >> 1];
    const u32 qe = entry.qe;
    const i32 mps = *context & 1;
    d->a -= qe;
    i32 decision;
    if ((d->c >> 16) < d->a) {
        if ((d->a & 0x8000) != 0) {
            return mps;
        }
        // MPS_EXCHANGE (T.88 Figure E.16).
        if (d->a < qe) {
            decision = 1 - mps;
            *context = u8(entry.nlps << 1 | (mps ^ entry.switchMps));
        } else {
            decision = mps;
            *context = u8(entry.nmps << 1 | mps);
        }
    } else {
        d->c -= d->a << 16;
        // LPS_EXCHANGE (T.88 Figure E.17).
        if (d->a < qe) {
            decision = mps;
            *context = u8(entry.nmps << 1 | mps);
        } else {
            decision = 1 - mps;
            *context = u8(entry.nlps << 1 | (mps ^ entry.switchMps));
        }
        d->a = qe;
    }
    MqRenormD(d);
    return decision;
}
