#pragma once
// The accurate integer inverse DCT ("islow"): the scaled Loeffler-Ligtenberg-Moschytz
// algorithm with 13-bit constants, computed as the reference decoder computes it so that
// output is bit-exact.
#include "base/types.h"

// Range limiting after the 12-bit IDCT (`precision` 12): index = descaled value masked to
// 4 * (MAX + 1) entries; values far out of range wrap the way the reference does.
struct sJpegRangeLimit
{
    int m_precision = 0;
    u16 m_table[4 * 4096];
    void Init(int precision);
};

// Dequantises `coefficients` (natural order) with `quant` (natural order), runs the IDCT
// and writes 8 rows of 8 samples to `output` with `stride` samples between rows. The 12-bit
// transform wraps far out-of-range values through `limit` as the reference decoder does.
void IdctIslow12(const i16* coefficients, const u16* quant, const sJpegRangeLimit& limit,
                 u16* output, int stride);

// The 8-bit transform. Every form of it gives the same samples for every input: the
// reference decoder's on valid data; on hostile data its vector code's, which saturates
// where its scalar code wraps (see jpegidctsse2.cpp).
using tJpegIdct8 = void (*)(const i16* coefficients, const u16* quant, u8* output, int stride);
// The portable form.
void IdctIslow8(const i16* coefficients, const u16* quant, u8* output, int stride);
// The SSE2 transform; null on processors without it in the build.
tJpegIdct8 JpegIdct8Sse2();
// The transform this run uses: SSE2 where the processor has it and QEL_CPU_FEATURES_OFF
// does not name it, else the portable one.
tJpegIdct8 ChooseJpegIdct8();

// Two blocks side by side: `coefficients` holds the left block's 64 and then the right
// one's, `output` receives 16 samples a row. The same samples as the single transforms.
using tJpegIdct8Pair = void (*)(const i16* coefficients, const u16* quant, u8* output, int stride);
// The AVX2 pair transform; null on processors without SSE2 in the build.
tJpegIdct8Pair JpegIdct8PairAvx2();
// The pair transform this run uses (AVX2, unless QEL_CPU_FEATURES_OFF names avx2 or sse2),
// or null: the single transform then takes the blocks one by one.
tJpegIdct8Pair ChooseJpegIdct8Pair();
