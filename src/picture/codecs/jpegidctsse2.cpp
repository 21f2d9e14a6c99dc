// The islow inverse DCT of 8-bit samples on SSE2: one register holds a row of eight
// coefficients, so each pass transforms eight columns at once (jpegidctpasses.h). As the
// reference decoder's SIMD code, it keeps its values in 16 bits, which every valid file
// does: dequantised coefficients and the first pass's results are 16-bit, and the output
// is clamped to 0..255 rather than wrapped.
#include "picture/codecs/jpegidct.h"

#if defined(__SSE2__)

#include <algorithm>
#include <emmintrin.h>

namespace {

#define IDCT_TARGET
#define IDCT_OP(op) _mm_##op
using tIdctVector = __m128i;
#include "picture/codecs/jpegidctpasses.h"

// A block with only its DC term gives one value, the transform's own result for it: the
// first pass leaves 4 x DC (saturated to 16 bits) in every row's first column, the second
// DESCALE(that << 13, 18) = (that + 16) >> 5 everywhere.
void FillDcOnly(i32 dequantised, u8* output, int stride)
{
    const i32 first = std::clamp(i32(i16(dequantised)) * 4, -32768, 32767);
    const __m128i value = _mm_set1_epi8(char(std::clamp((first + 16) >> 5, -128, 127) + 128));
    for (int k = 0; k < 8; ++k) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(output + k * stride), value);
    }
}

void IdctIslow8Sse2(const i16* coefficients, const u16* quant, u8* output, int stride)
{
    __m128i rows[8];
    // Every coefficient but the DC term, OR-ed together.
    __m128i ac = _mm_setzero_si128();
    for (int k = 0; k < 8; ++k) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * k));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * k));
        ac = _mm_or_si128(ac, k == 0 ? _mm_andnot_si128(_mm_cvtsi32_si128(0xFFFF), c) : c);
        rows[k] = _mm_mullo_epi16(c, q);
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(ac, _mm_setzero_si128())) == 0xFFFF) {
        FillDcOnly(i32(coefficients[0]) * quant[0], output, stride);
        return;
    }
    TransformRows(rows);
    // Signed saturation to -128..127, then the centre 128 added with a byte wrap: 0..255.
    const __m128i center = _mm_set1_epi8(char(0x80));
    for (int k = 0; k < 8; k += 2) {
        const __m128i bytes = _mm_add_epi8(_mm_packs_epi16(rows[k], rows[k + 1]), center);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(output + k * stride), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(output + (k + 1) * stride),
                         _mm_unpackhi_epi64(bytes, bytes));
    }
}

} // namespace

tJpegIdct8 JpegIdct8Sse2()
{
    return IdctIslow8Sse2;
}

#else

tJpegIdct8 JpegIdct8Sse2()
{
    return nullptr;
}

#endif
