#pragma once
// Colour conversion of decoded JPEG samples into pixels, with the reference decoder's
// fixed-point YCbCr tables (16 fractional bits) so that results are bit-exact.
#include "base/types.h"

enum class eJpegColorSpace
{
    Grey,
    YCbCr,
    RGB,
    CMYK, // stored inverted, as Adobe applications write it
    YCCK,
};

// Tables for 8-bit samples.
struct sJpegColorTables8
{
    i32 m_crToR[256];
    i32 m_cbToB[256];
    i32 m_crToG[256];
    i32 m_cbToG[256];
    void Init();
};

// Converts `count` samples of each component row (already at full resolution) into
// 0xAARRGGBB pixels, writing every `step`-th destination pixel.
void ConvertJpegRow8(eJpegColorSpace space, const sJpegColorTables8& tables,
                     const u8* const* rows, u32* destination, int count, int step);

// Converts samples of `precision` bits (2..16) into 64-bit pixels: four 16-bit lanes B, G,
// R, A from bit 0, each sample scaled to 16 bits as (v * 65535 + (2^P - 1) / 2) / (2^P - 1),
// alpha 0xFFFF. Colour transforms are computed at the sample precision first.
void ConvertJpegRow16(eJpegColorSpace space, int precision, const u16* const* rows,
                      u64* destination, int count);

// Scales samples of `precision` bits (2..7) to 8 bits with the same rounding.
void ScaleJpegSamplesTo8(const u16* samples, u8* out, int count, int precision);

// YCbCr rows of 8-bit samples to pixels in one pass, the chroma rows at full or half
// horizontal resolution (`factor` 1 or 2: each chroma sample then covers two pixels), with
// the results of ConvertJpegRow8. Converts a prefix of the row, a multiple of 16 pixels,
// and returns its length (the portable form converts all); the caller converts the rest.
using tJpegYccRow8 = int (*)(const u8* y, const u8* cb, const u8* cr, u32* out, int count,
                             int factor);
// The SSE2 conversion; null on processors without it in the build.
tJpegYccRow8 JpegYccRow8Sse2();
// The AVX2 conversion (32 pixels a step, the rest by SSE2); null where it is not built.
tJpegYccRow8 JpegYccRow8Avx2();
// The conversion this run uses: AVX2 or SSE2 where the processor has them and
// QEL_CPU_FEATURES_OFF does not name them, else a portable one.
tJpegYccRow8 ChooseJpegYccRow8();
