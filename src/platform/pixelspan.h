#pragma once
// The inner loops of the software canvas over one row of 0xAARRGGBB pixels. Where the
// processor has SSE2 (every x86-64) four pixels go at once; results are bit-identical
// to the scalar formulas written next to each function.
#include "base/types.h"

#include <cstddef>

// destination[i] = pixel.
void FillSpan(u32* destination, size_t count, u32 pixel);

// Straight-alpha "over" with the source's own alpha a, per colour byte:
//   out = (s x a + d x (255 - a) + 127) / 255,
// and the alpha byte composes as (255 x a + d_alpha x (255 - a) + 127) / 255.
void BlendSpan(u32* destination, const u32* source, size_t count);

// The same mix of one opaque pixel under an 8-bit coverage mask (a = coverage[i]).
void BlendMaskSpan(u32* destination, const u8* coverage, size_t count, u32 pixel);
