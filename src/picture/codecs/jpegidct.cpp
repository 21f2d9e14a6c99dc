#include "picture/codecs/jpegidct.h"

#include "base/cpu.h"

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

void IdctIslow8(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit, u8* output,
                int stride)
{
    IdctIslow<u8, 2>(coefficients, quant, limit, output, stride);
}

void IdctIslow12(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit,
                 u16* output, int stride)
{
    IdctIslow<u16, 1>(coefficients, quant, limit, output, stride);
}

tJpegIdct8 ChooseJpegIdct8()
{
    return GetCpuFeatures().m_sse2 != 0 ? JpegIdct8Sse2() : nullptr;
}
