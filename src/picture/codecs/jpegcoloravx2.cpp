// YCbCr to 0xAARRGGBB on AVX2, thirty-two pixels at a time: the SSE2 conversion's
// arithmetic (jpegcolorsse2.cpp, the same split constants) on both 128-bit lanes, so the
// results are those of the 16-bit fixed-point tables. The last pixels of a row that do not
// fill 32 go to the SSE2 conversion.
#include "picture/codecs/jpegcolor.h"

#if defined(__x86_64__)

#include <immintrin.h>

#define AVX2_TARGET __attribute__((target("avx2")))

namespace {

AVX2_TARGET inline __m256i Pair(int first, int second)
{
    return _mm256_set1_epi32(int((u32(u16(second)) << 16) | u16(first)));
}

// ((pairs . constants) + 2^15) >> 16 as sixteen 16-bit lanes.
AVX2_TARGET inline __m256i Term(__m256i x, __m256i w, __m256i constants)
{
    const __m256i half = _mm256_set1_epi32(1 << 15);
    const __m256i low = _mm256_madd_epi16(_mm256_unpacklo_epi16(x, w), constants);
    const __m256i high = _mm256_madd_epi16(_mm256_unpackhi_epi16(x, w), constants);
    return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(low, half), 16),
                              _mm256_srai_epi32(_mm256_add_epi32(high, half), 16));
}

AVX2_TARGET inline void Convert16(__m256i y, __m256i x, __m256i w, __m256i& r, __m256i& g,
                                  __m256i& b)
{
    r = _mm256_add_epi16(y, _mm256_add_epi16(x, Term(x, w, Pair(26345, 0))));
    b = _mm256_add_epi16(y, _mm256_add_epi16(_mm256_add_epi16(w, w), Term(w, x, Pair(-14942, 0))));
    g = _mm256_add_epi16(y, _mm256_sub_epi16(Term(x, w, Pair(18734, -22554)), x));
}

// The lane-wise unpacks leave pixels 0-3 | 16-19, 4-7 | 20-23, 8-11 | 24-27 and
// 12-15 | 28-31 in the four registers; the lane permutes put them in order.
AVX2_TARGET inline void Store32(u32* out, __m256i rLow, __m256i rHigh, __m256i gLow,
                                __m256i gHigh, __m256i bLow, __m256i bHigh)
{
    const __m256i r = _mm256_packus_epi16(rLow, rHigh);
    const __m256i g = _mm256_packus_epi16(gLow, gHigh);
    const __m256i b = _mm256_packus_epi16(bLow, bHigh);
    const __m256i alpha = _mm256_set1_epi8(char(0xFF));
    const __m256i bgLow = _mm256_unpacklo_epi8(b, g);
    const __m256i bgHigh = _mm256_unpackhi_epi8(b, g);
    const __m256i raLow = _mm256_unpacklo_epi8(r, alpha);
    const __m256i raHigh = _mm256_unpackhi_epi8(r, alpha);
    const __m256i first = _mm256_unpacklo_epi16(bgLow, raLow);
    const __m256i second = _mm256_unpackhi_epi16(bgLow, raLow);
    const __m256i third = _mm256_unpacklo_epi16(bgHigh, raHigh);
    const __m256i fourth = _mm256_unpackhi_epi16(bgHigh, raHigh);
    __m256i* to = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(to + 0, _mm256_permute2x128_si256(first, second, 0x20));
    _mm256_storeu_si256(to + 1, _mm256_permute2x128_si256(third, fourth, 0x20));
    _mm256_storeu_si256(to + 2, _mm256_permute2x128_si256(first, second, 0x31));
    _mm256_storeu_si256(to + 3, _mm256_permute2x128_si256(third, fourth, 0x31));
}

// Thirty-two chroma values minus 128, unpacked as the luma is: read as 32 samples, or as
// 16 each taken twice (samples 0-7 to the low lane, 8-15 to the high one).
template <int kFactor>
AVX2_TARGET inline void LoadChroma(const u8* source, __m256i& low, __m256i& high)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i center = _mm256_set1_epi16(128);
    __m256i bytes;
    if constexpr (kFactor == 2) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
        const __m256i spread = _mm256_permute4x64_epi64(_mm256_castsi128_si256(sixteen), 0x50);
        bytes = _mm256_unpacklo_epi8(spread, spread);
    } else {
        bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
    }
    low = _mm256_sub_epi16(_mm256_unpacklo_epi8(bytes, zero), center);
    high = _mm256_sub_epi16(_mm256_unpackhi_epi8(bytes, zero), center);
}

template <int kFactor>
AVX2_TARGET int ConvertYccRow(const u8* y, const u8* cb, const u8* cr, u32* out, int count)
{
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + i));
        __m256i xLow, xHigh, wLow, wHigh;
        LoadChroma<kFactor>(cr + i / kFactor, xLow, xHigh);
        LoadChroma<kFactor>(cb + i / kFactor, wLow, wHigh);
        __m256i rLow, gLow, bLow, rHigh, gHigh, bHigh;
        Convert16(_mm256_unpacklo_epi8(luma, zero), xLow, wLow, rLow, gLow, bLow);
        Convert16(_mm256_unpackhi_epi8(luma, zero), xHigh, wHigh, rHigh, gHigh, bHigh);
        Store32(out + i, rLow, rHigh, gLow, gHigh, bLow, bHigh);
    }
    return i;
}

AVX2_TARGET int ConvertYccRowAvx2(const u8* y, const u8* cb, const u8* cr, u32* out, int count,
                                  int factor)
{
    const int done = factor == 2 ? ConvertYccRow<2>(y, cb, cr, out, count)
                                 : ConvertYccRow<1>(y, cb, cr, out, count);
    return done + JpegYccRow8Sse2()(y + done, cb + done / factor, cr + done / factor, out + done,
                            count - done, factor);
}

} // namespace

tJpegYccRow8 JpegYccRow8Avx2()
{
    return JpegYccRow8Sse2() != nullptr ? ConvertYccRowAvx2 : nullptr;
}

#else

tJpegYccRow8 JpegYccRow8Avx2()
{
    return nullptr;
}

#endif
