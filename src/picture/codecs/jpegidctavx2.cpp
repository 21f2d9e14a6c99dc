// The islow inverse DCT of 8-bit samples on AVX2, two blocks side by side at a time: the
// SSE2 transform's passes (jpegidctpasses.h) with each 256-bit register holding one row of
// both blocks, so the results are the SSE2 transform's. A pair in which a block has only
// its DC term goes to the SSE2 transform block by block (its shortcut is cheaper).
#include "picture/codecs/jpegidct.h"

#if defined(__x86_64__)

#include <immintrin.h>

namespace {

#define IDCT_TARGET __attribute__((target("avx2")))
#define IDCT_OP(op) _mm256_##op
using tIdctVector = __m256i;
#include "picture/codecs/jpegidctpasses.h"

IDCT_TARGET void IdctPairAvx2(const i16* coefficients, const u16* quant, u8* output, int stride)
{
    const i16* second = coefficients + 64;
    __m256i rows[8];
    // Every coefficient but the DC terms, OR-ed together, per block.
    __m256i ac = _mm256_setzero_si256();
    const __m256i notDc = _mm256_setr_epi32(~0xFFFF, -1, -1, -1, ~0xFFFF, -1, -1, -1);
    for (int k = 0; k < 8; ++k) {
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * k));
        const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 8 * k));
        const __m256i c = _mm256_inserti128_si256(_mm256_castsi128_si256(left), right, 1);
        const __m256i q = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * k)));
        ac = _mm256_or_si256(ac, k == 0 ? _mm256_and_si256(c, notDc) : c);
        rows[k] = _mm256_mullo_epi16(c, q);
    }
    const u32 zeroBytes = u32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(ac, _mm256_setzero_si256())));
    if ((zeroBytes & 0xFFFF) == 0xFFFF || (zeroBytes >> 16) == 0xFFFF) {
        const tJpegIdct8 single = JpegIdct8Sse2();
        single(coefficients, quant, output, stride);
        single(second, quant, output + 8, stride);
        return;
    }
    TransformRows(rows);
    // Signed saturation to -128..127, then the centre 128 added with a byte wrap: 0..255.
    // Each half holds rows k and k + 1 of its block; a row of the pair is 16 bytes.
    const __m256i center = _mm256_set1_epi8(char(0x80));
    for (int k = 0; k < 8; k += 2) {
        const __m256i bytes = _mm256_add_epi8(_mm256_packs_epi16(rows[k], rows[k + 1]), center);
        const __m128i left = _mm256_castsi256_si128(bytes);
        const __m128i right = _mm256_extracti128_si256(bytes, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + k * stride), _mm_unpacklo_epi64(left, right));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + (k + 1) * stride),
                         _mm_unpackhi_epi64(left, right));
    }
}

} // namespace

tJpegIdct8Pair JpegIdct8PairAvx2()
{
    return JpegIdct8Sse2() != nullptr ? IdctPairAvx2 : nullptr;
}

#else

tJpegIdct8Pair JpegIdct8PairAvx2()
{
    return nullptr;
}

#endif
