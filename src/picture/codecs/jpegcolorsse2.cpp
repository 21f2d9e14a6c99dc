// YCbCr to 0xAARRGGBB on SSE2, sixteen pixels at a time, with horizontal chroma doubling
// folded in. The results are those of the 16-bit fixed-point tables: each constant above
// the 16-bit multiplier range is split into a multiple of 2^16, which the shift leaves
// exact, and a remainder that fits:
//   (91881 x + 2^15) >> 16          = x + ((26345 x + 2^15) >> 16)
//   (116130 w + 2^15) >> 16         = 2 w + ((-14942 w + 2^15) >> 16)
//   (-46802 x - 22554 w + 2^15) >> 16 = -x + ((18734 x - 22554 w + 2^15) >> 16)
// with x = Cr - 128 and w = Cb - 128.
#include "picture/codecs/jpegcolor.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace {

inline __m128i Pair(int first, int second)
{
    return _mm_set1_epi32(int((u32(u16(second)) << 16) | u16(first)));
}

// ((pairs . constants) + 2^15) >> 16 for eight pixels, as eight 16-bit lanes.
inline __m128i Term(__m128i x, __m128i w, __m128i constants)
{
    const __m128i half = _mm_set1_epi32(1 << 15);
    const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi16(x, w), constants);
    const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi16(x, w), constants);
    return _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(low, half), 16),
                           _mm_srai_epi32(_mm_add_epi32(high, half), 16));
}

// Eight pixels from 16-bit Y, x = Cr - 128 and w = Cb - 128; red, green and blue as
// 16-bit lanes before clamping.
inline void Convert8(__m128i y, __m128i x, __m128i w, __m128i& r, __m128i& g, __m128i& b)
{
    r = _mm_add_epi16(y, _mm_add_epi16(x, Term(x, w, Pair(26345, 0))));
    b = _mm_add_epi16(y, _mm_add_epi16(_mm_add_epi16(w, w), Term(w, x, Pair(-14942, 0))));
    g = _mm_add_epi16(y, _mm_sub_epi16(Term(x, w, Pair(18734, -22554)), x));
}

inline void Store16(u32* out, __m128i rLow, __m128i rHigh, __m128i gLow, __m128i gHigh,
                    __m128i bLow, __m128i bHigh)
{
    // Clamped to 0..255 by the unsigned saturating packs; bytes B, G, R, A in memory.
    const __m128i r = _mm_packus_epi16(rLow, rHigh);
    const __m128i g = _mm_packus_epi16(gLow, gHigh);
    const __m128i b = _mm_packus_epi16(bLow, bHigh);
    const __m128i alpha = _mm_set1_epi8(char(0xFF));
    const __m128i bgLow = _mm_unpacklo_epi8(b, g);
    const __m128i bgHigh = _mm_unpackhi_epi8(b, g);
    const __m128i raLow = _mm_unpacklo_epi8(r, alpha);
    const __m128i raHigh = _mm_unpackhi_epi8(r, alpha);
    __m128i* to = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(to + 0, _mm_unpacklo_epi16(bgLow, raLow));
    _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(bgLow, raLow));
    _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
    _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
}

// Sixteen chroma samples as two registers of 16-bit values minus 128: read as sixteen
// samples, or as eight each taken twice.
template <int kFactor>
inline void LoadChroma(const u8* source, __m128i& low, __m128i& high)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i center = _mm_set1_epi16(128);
    __m128i bytes;
    if constexpr (kFactor == 2) {
        const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source));
        bytes = _mm_unpacklo_epi8(eight, eight);
    } else {
        bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    }
    low = _mm_sub_epi16(_mm_unpacklo_epi8(bytes, zero), center);
    high = _mm_sub_epi16(_mm_unpackhi_epi8(bytes, zero), center);
}

template <int kFactor>
int ConvertYccRow(const u8* y, const u8* cb, const u8* cr, u32* out, int count)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i));
        __m128i xLow, xHigh, wLow, wHigh;
        LoadChroma<kFactor>(cr + i / kFactor, xLow, xHigh);
        LoadChroma<kFactor>(cb + i / kFactor, wLow, wHigh);
        __m128i rLow, gLow, bLow, rHigh, gHigh, bHigh;
        Convert8(_mm_unpacklo_epi8(luma, zero), xLow, wLow, rLow, gLow, bLow);
        Convert8(_mm_unpackhi_epi8(luma, zero), xHigh, wHigh, rHigh, gHigh, bHigh);
        Store16(out + i, rLow, rHigh, gLow, gHigh, bLow, bHigh);
    }
    return i;
}

int ConvertYccRowSse2(const u8* y, const u8* cb, const u8* cr, u32* out, int count, int factor)
{
    return factor == 2 ? ConvertYccRow<2>(y, cb, cr, out, count)
                       : ConvertYccRow<1>(y, cb, cr, out, count);
}

} // namespace

tJpegYccRow8 JpegYccRow8Sse2()
{
    return ConvertYccRowSse2;
}

#else

tJpegYccRow8 JpegYccRow8Sse2()
{
    return nullptr;
}

#endif
