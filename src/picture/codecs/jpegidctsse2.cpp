// The islow inverse DCT of 8-bit samples on SSE2: one register holds a row of eight
// coefficients, so each pass transforms eight columns at once. The products and sums are
// those of the scalar transform, regrouped so that every multiplication is one PMADDWD of
// an interleaved pair: (a + b) * c + a * d becomes a * (c + d) + b * c, equal in integers.
// The results match the scalar path wherever the reference decoder's SIMD code keeps its
// values in 16 bits, which every valid file does: dequantised coefficients and the first
// pass's results are 16-bit, and the output is clamped to 0..255 rather than wrapped.
//
// Glossary: as jpegidct.cpp; Kxy = a pair of 13-bit constants for one PMADDWD.
#include "picture/codecs/jpegidct.h"

#if defined(__SSE2__)

#include <algorithm>
#include <emmintrin.h>

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// The scalar constants (FIX_x_y = round(x.y * 2^13)).
constexpr int kF0298 = 2446;
constexpr int kF0390 = 3196;
constexpr int kF0541 = 4433;
constexpr int kF0765 = 6270;
constexpr int kF0899 = 7373;
constexpr int kF1175 = 9633;
constexpr int kF1501 = 12299;
constexpr int kF1847 = 15137;
constexpr int kF1961 = 16069;
constexpr int kF2053 = 16819;
constexpr int kF2562 = 20995;
constexpr int kF3072 = 25172;

inline __m128i Pair(int first, int second)
{
    return _mm_set1_epi32(int((u32(u16(second)) << 16) | u16(first)));
}

// The 32-bit results of one half (four lanes) of a pass.
struct sHalf
{
    __m128i lane[8];
};

// x / 2^n rounded half up, for each 32-bit lane.
inline __m128i Descale(__m128i x, int n)
{
    return _mm_srai_epi32(_mm_add_epi32(x, _mm_set1_epi32(1 << (n - 1))), n);
}

// One 8-point transform of the 16-bit inputs in[0..7] for the lanes the unpack selects
// (low = lanes 0..3, high = lanes 4..7), undescaled.
template <bool kHigh>
[[gnu::always_inline]] inline void Transform(const __m128i in[8], __m128i out[8])
{
    auto unpack = [](__m128i a, __m128i b) {
        return kHigh ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
    };
    auto widen = [](__m128i a) {
        // Sign-extended lanes, 32 bits each.
        const __m128i spread = kHigh ? _mm_unpackhi_epi16(a, a) : _mm_unpacklo_epi16(a, a);
        return _mm_srai_epi32(spread, 16);
    };

    // Even part: z1 = (z2 + z3) * F0541, tmp2 = z1 - z3 * F1847, tmp3 = z1 + z2 * F0765.
    const __m128i z2z3 = unpack(in[2], in[6]);
    const __m128i tmp3 = _mm_madd_epi16(z2z3, Pair(kF0541 + kF0765, kF0541));
    const __m128i tmp2 = _mm_madd_epi16(z2z3, Pair(kF0541, kF0541 - kF1847));
    const __m128i tmp0 = _mm_slli_epi32(_mm_add_epi32(widen(in[0]), widen(in[4])), kConstBits);
    const __m128i tmp1 = _mm_slli_epi32(_mm_sub_epi32(widen(in[0]), widen(in[4])), kConstBits);
    const __m128i tmp10 = _mm_add_epi32(tmp0, tmp3);
    const __m128i tmp13 = _mm_sub_epi32(tmp0, tmp3);
    const __m128i tmp11 = _mm_add_epi32(tmp1, tmp2);
    const __m128i tmp12 = _mm_sub_epi32(tmp1, tmp2);

    // Odd part on a = in7, b = in5, c = in3, d = in1:
    //   z3' = (a + c) * (F1175 - F1961) + (b + d) * F1175
    //   z4' = (a + c) * F1175 + (b + d) * (F1175 - F0390)
    //   t0 = a * F0298 - (a + d) * F0899 + z3'      t3 = d * F1501 - (a + d) * F0899 + z4'
    //   t1 = b * F2053 - (b + c) * F2562 + z4'      t2 = c * F3072 - (b + c) * F2562 + z3'
    const __m128i ab = unpack(in[7], in[5]);
    const __m128i cd = unpack(in[3], in[1]);
    const __m128i ad = unpack(in[7], in[1]);
    const __m128i bc = unpack(in[5], in[3]);
    const __m128i z3Pair = Pair(kF1175 - kF1961, kF1175);
    const __m128i z4Pair = Pair(kF1175, kF1175 - kF0390);
    const __m128i z3 = _mm_add_epi32(_mm_madd_epi16(ab, z3Pair), _mm_madd_epi16(cd, z3Pair));
    const __m128i z4 = _mm_add_epi32(_mm_madd_epi16(ab, z4Pair), _mm_madd_epi16(cd, z4Pair));
    const __m128i t0 = _mm_add_epi32(_mm_madd_epi16(ad, Pair(kF0298 - kF0899, -kF0899)), z3);
    const __m128i t3 = _mm_add_epi32(_mm_madd_epi16(ad, Pair(-kF0899, kF1501 - kF0899)), z4);
    const __m128i t1 = _mm_add_epi32(_mm_madd_epi16(bc, Pair(kF2053 - kF2562, -kF2562)), z4);
    const __m128i t2 = _mm_add_epi32(_mm_madd_epi16(bc, Pair(-kF2562, kF3072 - kF2562)), z3);

    out[0] = _mm_add_epi32(tmp10, t3);
    out[7] = _mm_sub_epi32(tmp10, t3);
    out[1] = _mm_add_epi32(tmp11, t2);
    out[6] = _mm_sub_epi32(tmp11, t2);
    out[2] = _mm_add_epi32(tmp12, t1);
    out[5] = _mm_sub_epi32(tmp12, t1);
    out[3] = _mm_add_epi32(tmp13, t0);
    out[4] = _mm_sub_epi32(tmp13, t0);
}

// One pass over eight registers: both halves, descaled by `shift` and packed to 16 bits.
[[gnu::always_inline]] inline void Pass(__m128i rows[8], int shift)
{
    __m128i low[8];
    __m128i high[8];
    Transform<false>(rows, low);
    Transform<true>(rows, high);
    for (int k = 0; k < 8; ++k) {
        rows[k] = _mm_packs_epi32(Descale(low[k], shift), Descale(high[k], shift));
    }
}

inline void Transpose(__m128i r[8])
{
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
    const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
    const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
    const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
    const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

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
    // Pass 1 works down the columns: each register is one row of every column.
    Pass(rows, kConstBits - kPass1Bits);
    Transpose(rows);
    Pass(rows, kConstBits + kPass1Bits + 3);
    Transpose(rows);
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
