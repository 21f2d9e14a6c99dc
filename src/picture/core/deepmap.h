#pragma once
// How a deep (16 bits per channel) pixel becomes a 32-bit one: each channel v maps to
// trunc((v + offset) * (1 / divisor)), clamped to 0..255. The reciprocal is multiplied as
// written; dividing instead differs in rare cases for divisors that are not powers of two.
#include "base/types.h"

struct sDeepMapping
{
    f64 reciprocal; // 1 / divisor
    i32 offset;

    static sDeepMapping FromDivisor(f64 divisor, i32 offset) { return {1.0 / divisor, offset}; }

    u32 MapChannel(u32 value) const
    {
        const f64 scaled = (f64(value) + f64(offset)) * reciprocal;
        // The comparisons also catch NaN (a divisor of 0 with a zero sum).
        if (!(scaled > 0.0)) {
            return 0;
        }
        if (scaled >= 255.0) {
            return 255;
        }
        return u32(scaled);
    }

    // 0xAAAA'RRRR'GGGG'BBBB to 0xAARRGGBB.
    u32 MapPixel(u64 pixel) const
    {
        return MapChannel(u32(pixel & 0xFFFF)) | MapChannel(u32(pixel >> 16) & 0xFFFF) << 8 |
               MapChannel(u32(pixel >> 32) & 0xFFFF) << 16 | MapChannel(u32(pixel >> 48)) << 24;
    }

    // The common mapping (divisor 256, offset 0) is the top byte of each channel.
    bool IsTopByte() const { return reciprocal == 1.0 / 256.0 && offset == 0; }
};

// The top byte of each channel of a deep pixel.
inline u32 DeepPixelTopBytes(u64 pixel)
{
    return u32(pixel >> 8 & 0xFF) | u32(pixel >> 24 & 0xFF) << 8 | u32(pixel >> 40 & 0xFF) << 16 |
           u32(pixel >> 56) << 24;
}
