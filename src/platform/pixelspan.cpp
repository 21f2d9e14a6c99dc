#include "platform/pixelspan.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Both mixes divide by 255 as (x + 1 + (x >> 8)) >> 8, which is floor(x / 255) for
// 0 <= x <= 65534; a mix with its rounding term stays under 255 x 255 + 127 = 65152.

// One pixel: `source` carries the colour with its alpha byte forced to 255, `alpha` the
// weight. Two bytes at a time in the 0x00FF00FF lanes of a 32-bit word.
inline u32 MixPixel(u32 source, u32 destination, u32 alpha)
{
    const u32 inverse = 255 - alpha;
    u32 low = (source & 0x00FF00FF) * alpha + (destination & 0x00FF00FF) * inverse + 0x007F007F;
    u32 high = ((source >> 8) & 0x00FF00FF) * alpha + ((destination >> 8) & 0x00FF00FF) * inverse + 0x007F007F;
    low = ((low + 0x00010001 + ((low >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    high = ((high + 0x00010001 + ((high >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    return low | (high << 8);
}

#if defined(__SSE2__)
// Four pixels: the same mix in 16-bit lanes. `alphas` holds each pixel's weight in its
// 32-bit lane.
inline __m128i Mix4(__m128i source, __m128i destination, __m128i alphas)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(127);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i paired = _mm_or_si128(alphas, _mm_slli_epi32(alphas, 16)); // a in both halves
    const __m128i alphaLow = _mm_unpacklo_epi32(paired, paired);            // pixels 0, 1
    const __m128i alphaHigh = _mm_unpackhi_epi32(paired, paired);           // pixels 2, 3
    auto mix = [&](__m128i s, __m128i d, __m128i a) {
        __m128i x = _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(full, a)));
        x = _mm_add_epi16(x, half);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    };
    const __m128i low = mix(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(destination, zero), alphaLow);
    const __m128i high = mix(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(destination, zero), alphaHigh);
    return _mm_packus_epi16(low, high);
}
#endif

} // namespace

void FillSpan(u32* destination, size_t count, u32 pixel)
{
    size_t i = 0;
#if defined(__SSE2__)
    // Single pixels up to a 16-byte boundary, then aligned stores.
    for (; i < count && (reinterpret_cast<uintptr_t>(destination + i) & 15) != 0; ++i) {
        destination[i] = pixel;
    }
    const __m128i value = _mm_set1_epi32(int(pixel));
    for (; i + 8 <= count; i += 8) {
        _mm_store_si128(reinterpret_cast<__m128i*>(destination + i), value);
        _mm_store_si128(reinterpret_cast<__m128i*>(destination + i + 4), value);
    }
#endif
    for (; i < count; ++i) {
        destination[i] = pixel;
    }
}

void BlendSpan(u32* destination, const u32* source, size_t count)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        const __m128i alphas = _mm_srli_epi32(s, 24);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), Mix4(_mm_or_si128(s, opaque), d, alphas));
    }
#endif
    for (; i < count; ++i) {
        destination[i] = MixPixel(source[i] | 0xFF000000u, destination[i], source[i] >> 24);
    }
}

void BlendMaskSpan(u32* destination, const u8* coverage, size_t count, u32 pixel)
{
    pixel |= 0xFF000000u;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(int(pixel));
    for (; i + 4 <= count; i += 4) {
        u32 four;
        std::memcpy(&four, coverage + i, 4);
        if (four == 0) {
            continue;
        }
        const __m128i alphas = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(four)), zero), zero);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), Mix4(colour, d, alphas));
    }
#endif
    for (; i < count; ++i) {
        if (coverage[i] != 0) {
            destination[i] = MixPixel(pixel, destination[i], coverage[i]);
        }
    }
}
