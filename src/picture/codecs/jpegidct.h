#pragma once
// The accurate integer inverse DCT ("islow"): the scaled Loeffler-Ligtenberg-Moschytz
// algorithm with 13-bit constants, computed exactly as the reference decoder computes it so
// that 8-bit output is bit-exact, including its wrap-around range limiting.
#include "base/types.h"

// Range limiting after the IDCT for `precision` 8 or 12: index = descaled value masked to
// 4 * (MAX + 1) entries; values far out of range wrap the way the reference does.
struct sJpegRangeLimit
{
    int m_precision = 0;
    u16 m_table[4 * 4096];
    void Init(int precision);
};

// Dequantises `coefficients` (natural order) with `quant` (natural order), runs the IDCT
// and writes 8 rows of 8 samples to `output` with `stride` samples between rows.
void IdctIslow8(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit, u8* output,
                int stride);
void IdctIslow12(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit,
                 u16* output, int stride);

// The 8-bit IDCT on the processor's vector unit: equal to IdctIslow8 on valid data, clamping
// far out-of-range values where the scalar path wraps them (see jpegidctsse2.cpp).
using tJpegIdct8 = void (*)(const i16* coefficients, const u16* quant, u8* output, int stride);
// The SSE2 transform; null on processors without it in the build.
tJpegIdct8 JpegIdct8Sse2();
// The vector transform this run uses, or null for the scalar one (no SSE2, or "sse2" in
// QEL_CPU_FEATURES_OFF).
tJpegIdct8 ChooseJpegIdct8();
