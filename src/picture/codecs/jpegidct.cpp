#include "picture/codecs/jpegidct.h"

#include "base/cpu.h"

#include <cstring>

// Glossary: CONST_BITS = fractional bits of the constants; PASS1_BITS = extra bits kept
// between the column and the row pass; DESCALE(x, n) = x / 2^n rounded half up.
namespace {

constexpr int kConstBits = 13;

constexpr i64 FIX_0_298631336 = 2446;
constexpr i64 FIX_0_390180644 = 3196;
constexpr i64 FIX_0_541196100 = 4433;
constexpr i64 FIX_0_765366865 = 6270;
constexpr i64 FIX_0_899976223 = 7373;
constexpr i64 FIX_1_175875602 = 9633;
constexpr i64 FIX_1_501321110 = 12299;
constexpr i64 FIX_1_847759065 = 15137;
constexpr i64 FIX_1_961570560 = 16069;
constexpr i64 FIX_2_053119869 = 16819;
constexpr i64 FIX_2_562915447 = 20995;
constexpr i64 FIX_3_072711026 = 25172;

inline i64 Descale(i64 x, int n)
{
    return (x + (i64(1) << (n - 1))) >> n;
}

// One 8-point inverse transform. `in(k)` gives input k (already dequantised and widened);
// the eight results are returned before descaling, in out[0..7].
template <typename Input>
inline void Transform(Input in, i64 out[8])
{
    // Even part: the rotator is sqrt(2) * c(-6).
    i64 z2 = in(2);
    i64 z3 = in(6);
    i64 z1 = (z2 + z3) * FIX_0_541196100;
    i64 tmp2 = z1 + z3 * -FIX_1_847759065;
    i64 tmp3 = z1 + z2 * FIX_0_765366865;
    z2 = in(0);
    z3 = in(4);
    i64 tmp0 = (z2 + z3) * (i64(1) << kConstBits);
    i64 tmp1 = (z2 - z3) * (i64(1) << kConstBits);
    const i64 tmp10 = tmp0 + tmp3;
    const i64 tmp13 = tmp0 - tmp3;
    const i64 tmp11 = tmp1 + tmp2;
    const i64 tmp12 = tmp1 - tmp2;

    // Odd part.
    tmp0 = in(7);
    tmp1 = in(5);
    tmp2 = in(3);
    tmp3 = in(1);
    z1 = tmp0 + tmp3;
    z2 = tmp1 + tmp2;
    z3 = tmp0 + tmp2;
    i64 z4 = tmp1 + tmp3;
    const i64 z5 = (z3 + z4) * FIX_1_175875602;
    tmp0 *= FIX_0_298631336;
    tmp1 *= FIX_2_053119869;
    tmp2 *= FIX_3_072711026;
    tmp3 *= FIX_1_501321110;
    z1 *= -FIX_0_899976223;
    z2 *= -FIX_2_562915447;
    z3 *= -FIX_1_961570560;
    z4 *= -FIX_0_390180644;
    z3 += z5;
    z4 += z5;
    tmp0 += z1 + z3;
    tmp1 += z2 + z4;
    tmp2 += z2 + z3;
    tmp3 += z1 + z4;

    out[0] = tmp10 + tmp3;
    out[7] = tmp10 - tmp3;
    out[1] = tmp11 + tmp2;
    out[6] = tmp11 - tmp2;
    out[2] = tmp12 + tmp1;
    out[5] = tmp12 - tmp1;
    out[3] = tmp13 + tmp0;
    out[4] = tmp13 - tmp0;
}

template <typename Sample, int kPass1Bits>
void IdctIslow(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit,
               Sample* output, int stride)
{
    const int mask = (4 << limit.m_precision) - 1;
    // The work array is 32-bit as in the reference; conversions wrap like its stores do.
    i32 work[64];

    // Pass 1: columns, from the input into the work array.
    for (int column = 0; column < 8; ++column) {
        const i16* in = coefficients + column;
        const u16* q = quant + column;
        if (in[8] == 0 && in[16] == 0 && in[24] == 0 && in[32] == 0 && in[40] == 0 &&
            in[48] == 0 && in[56] == 0) {
            // AC terms zero: the column is the scaled DC term.
            i32 dc = i32(i64(in[0]) * q[0] * (i64(1) << kPass1Bits));
            for (int row = 0; row < 8; ++row) {
                work[row * 8 + column] = dc;
            }
            continue;
        }
        i64 out[8];
        Transform([&](int k) { return i64(in[k * 8]) * q[k * 8]; }, out);
        for (int row = 0; row < 8; ++row) {
            work[row * 8 + column] = i32(Descale(out[row], kConstBits - kPass1Bits));
        }
    }

    // Pass 2: rows, from the work array to the output, with range limiting.
    for (int row = 0; row < 8; ++row) {
        const i32* w = work + row * 8;
        Sample* outRow = output + row * stride;
        if (w[1] == 0 && w[2] == 0 && w[3] == 0 && w[4] == 0 && w[5] == 0 && w[6] == 0 &&
            w[7] == 0) {
            Sample value = Sample(limit.m_table[Descale(w[0], kPass1Bits + 3) & mask]);
            for (int column = 0; column < 8; ++column) {
                outRow[column] = value;
            }
            continue;
        }
        i64 out[8];
        Transform([&](int k) { return i64(w[k]); }, out);
        for (int column = 0; column < 8; ++column) {
            outRow[column] =
                Sample(limit.m_table[Descale(out[column], kConstBits + kPass1Bits + 3) & mask]);
        }
    }
}

} // namespace

void sJpegRangeLimit::Init(int precision)
{
    m_precision = precision;
    const int range = 1 << precision; // MAX + 1
    const int center = range / 2;
    const int size = 4 * range;
    for (int index = 0; index < size; ++index) {
        int value;
        if (index < center) {
            value = index + center;
        } else if (index < 2 * range) {
            value = range - 1;
        } else if (index < size - center) {
            value = 0;
        } else {
            value = index - (size - center);
        }
        m_table[index] = u16(value);
    }
}

void IdctIslow12(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit,
                 u16* output, int stride)
{
    IdctIslow<u16, 1>(coefficients, quant, limit, output, stride);
}

namespace {

// The 8-bit transform of the vector code in portable form. Every product is a 16-bit input
// times a constant below 2^15, as one PMADDWD lane computes it, so the sums are the vector
// code's exactly when taken modulo 2^32; each pass's results are saturated to 16 bits and
// the output to 0..255 as its packs do. The loops run across eight lanes at once (columns,
// then rows), which compilers turn into vector code of the baseline instruction set.
inline i32 Wrap(u32 value)
{
    return i32(value);
}

inline i16 Saturate16(i32 value)
{
    return i16(value < -32768 ? -32768 : (value > 32767 ? 32767 : value));
}

// A second-pass result as a sample: saturated to -128..127, then centred.
inline u8 SaturateSample(i32 value)
{
    return u8((value < -128 ? -128 : (value > 127 ? 127 : value)) + 128);
}

// One 8-point transform per lane: input k is in[k][lane] (in[lane][k] when `kAcross`),
// result j goes to out[j][lane], descaled by `shift` and saturated (the regrouping of
// jpegidctpasses.h's Transform).
template <bool kAcross>
[[gnu::always_inline]] inline void TransformLanes(const i16 in[8][8], int shift, i16 out[8][8])
{
    constexpr i32 kF0298 = i32(FIX_0_298631336);
    constexpr i32 kF0390 = i32(FIX_0_390180644);
    constexpr i32 kF0541 = i32(FIX_0_541196100);
    constexpr i32 kF0765 = i32(FIX_0_765366865);
    constexpr i32 kF0899 = i32(FIX_0_899976223);
    constexpr i32 kF1175 = i32(FIX_1_175875602);
    constexpr i32 kF1501 = i32(FIX_1_501321110);
    constexpr i32 kF1847 = i32(FIX_1_847759065);
    constexpr i32 kF1961 = i32(FIX_1_961570560);
    constexpr i32 kF2053 = i32(FIX_2_053119869);
    constexpr i32 kF2562 = i32(FIX_2_562915447);
    constexpr i32 kF3072 = i32(FIX_3_072711026);
    const u32 round = u32(1) << (shift - 1);
    for (int lane = 0; lane < 8; ++lane) {
        const i32 x0 = kAcross ? in[lane][0] : in[0][lane];
        const i32 x1 = kAcross ? in[lane][1] : in[1][lane];
        const i32 x2 = kAcross ? in[lane][2] : in[2][lane];
        const i32 x3 = kAcross ? in[lane][3] : in[3][lane];
        const i32 x4 = kAcross ? in[lane][4] : in[4][lane];
        const i32 x5 = kAcross ? in[lane][5] : in[5][lane];
        const i32 x6 = kAcross ? in[lane][6] : in[6][lane];
        const i32 x7 = kAcross ? in[lane][7] : in[7][lane];
        // Even part (each term below 2^30 in magnitude).
        const i32 tmp3 = x2 * (kF0541 + kF0765) + x6 * kF0541;
        const i32 tmp2 = x2 * kF0541 + x6 * (kF0541 - kF1847);
        const i32 tmp0 = (x0 + x4) * (1 << kConstBits);
        const i32 tmp1 = (x0 - x4) * (1 << kConstBits);
        const u32 tmp10 = u32(tmp0 + tmp3);
        const u32 tmp13 = u32(tmp0 - tmp3);
        const u32 tmp11 = u32(tmp1 + tmp2);
        const u32 tmp12 = u32(tmp1 - tmp2);
        // Odd part on a = x7, b = x5, c = x3, d = x1 (sums below 2^31 in magnitude).
        const i32 z3 = (x7 + x3) * (kF1175 - kF1961) + (x5 + x1) * kF1175;
        const i32 z4 = (x7 + x3) * kF1175 + (x5 + x1) * (kF1175 - kF0390);
        const u32 t0 = u32(x7 * (kF0298 - kF0899) - x1 * kF0899) + u32(z3);
        const u32 t3 = u32(x1 * (kF1501 - kF0899) - x7 * kF0899) + u32(z4);
        const u32 t1 = u32(x5 * (kF2053 - kF2562) - x3 * kF2562) + u32(z4);
        const u32 t2 = u32(x3 * (kF3072 - kF2562) - x5 * kF2562) + u32(z3);
        out[0][lane] = Saturate16(Wrap(tmp10 + t3 + round) >> shift);
        out[7][lane] = Saturate16(Wrap(tmp10 - t3 + round) >> shift);
        out[1][lane] = Saturate16(Wrap(tmp11 + t2 + round) >> shift);
        out[6][lane] = Saturate16(Wrap(tmp11 - t2 + round) >> shift);
        out[2][lane] = Saturate16(Wrap(tmp12 + t1 + round) >> shift);
        out[5][lane] = Saturate16(Wrap(tmp12 - t1 + round) >> shift);
        out[3][lane] = Saturate16(Wrap(tmp13 + t0 + round) >> shift);
        out[4][lane] = Saturate16(Wrap(tmp13 - t0 + round) >> shift);
    }
}

} // namespace

void IdctIslow8(const i16* coefficients, const u16* quant, u8* output, int stride)
{
    constexpr int kPass1Bits = 2;
    // Dequantised in 16 bits, as PMULLW does.
    alignas(16) i16 rows[8][8];
    alignas(16) i16 firstPass[8][8];
    alignas(16) i16 work[8][8];
    u16 ac = 0;
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            const int k = row * 8 + column;
            rows[row][column] = i16(u16(coefficients[k]) * quant[k]);
            ac |= u16(k == 0 ? 0 : coefficients[k]);
        }
    }
    if (ac == 0) {
        // DC only: the first pass leaves 4 x DC (saturated) everywhere, the second
        // DESCALE(that << 13, 18).
        const i32 value = (Saturate16(i32(rows[0][0]) * 4) + 16) >> 5;
        std::memset(output, SaturateSample(value), 8);
        for (int row = 1; row < 8; ++row) {
            std::memcpy(output + row * stride, output, 8);
        }
        return;
    }
    // Pass 1 down the columns: lane = column, results by row.
    TransformLanes<false>(rows, kConstBits - kPass1Bits, firstPass);
    // Pass 2 along the rows: lane = row, inputs across it, results by column.
    TransformLanes<true>(firstPass, kConstBits + kPass1Bits + 3, work);
    alignas(16) u8 samples[8][8];
    const i16* results = &work[0][0];
    for (int i = 0; i < 64; ++i) {
        (&samples[0][0])[i] = SaturateSample(results[i]);
    }
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            output[row * stride + column] = samples[column][row];
        }
    }
}

tJpegIdct8 ChooseJpegIdct8()
{
    const tJpegIdct8 vector = GetCpuFeatures().m_sse2 != 0 ? JpegIdct8Sse2() : nullptr;
    return vector != nullptr ? vector : IdctIslow8;
}

tJpegIdct8Pair ChooseJpegIdct8Pair()
{
    const sCpuFeatures& features = GetCpuFeatures();
    return features.m_avx2 != 0 && features.m_sse2 != 0 ? JpegIdct8PairAvx2() : nullptr;
}
