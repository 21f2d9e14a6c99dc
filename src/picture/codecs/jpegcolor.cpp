#include "picture/codecs/jpegcolor.h"

#include "base/cpu.h"

#include <algorithm>

namespace {

// Fixed point with 16 fractional bits: FIX(x) = x * 65536 + 0.5.
constexpr int kScaleBits = 16;
constexpr i32 kOneHalf = i32(1) << (kScaleBits - 1);
constexpr i32 kFix1_40200 = 91881;
constexpr i32 kFix1_77200 = 116130;
constexpr i32 kFix0_71414 = 46802;
constexpr i32 kFix0_34414 = 22554;

inline int Clamp(int value, int maximum)
{
    return value < 0 ? 0 : (value > maximum ? maximum : value);
}

inline u32 Pack8(int r, int g, int b)
{
    return 0xFF000000u | (u32(r) << 16) | (u32(g) << 8) | u32(b);
}

// The reference's PPM writer turns inverted CMYK into RGB this way.
inline u8 CmykChannel(int inkInverted, int blackInverted)
{
    return u8(double(inkInverted) * double(blackInverted) / 255.0 + 0.5);
}

// YCbCr to RGB at any precision, as the tables compute it.
inline void YccToRgb(i64 y, i64 cb, i64 cr, int center, int maximum, int& r, int& g, int& b)
{
    const i64 x = cr - center;
    const i64 w = cb - center;
    const i64 crR = (kFix1_40200 * x + kOneHalf) >> kScaleBits;
    const i64 cbB = (kFix1_77200 * w + kOneHalf) >> kScaleBits;
    const i64 crG = -kFix0_71414 * x;
    const i64 cbG = -kFix0_34414 * w + kOneHalf;
    r = Clamp(int(y + crR), maximum);
    g = Clamp(int(y + ((cbG + crG) >> kScaleBits)), maximum);
    b = Clamp(int(y + cbB), maximum);
}

inline u64 Scale16(u32 value, u32 maximum)
{
    return maximum == 65535 ? value : (u64(value) * 65535 + maximum / 2) / maximum;
}

} // namespace

void sJpegColorTables8::Init()
{
    for (int i = 0; i < 256; ++i) {
        const i32 x = i - 128;
        m_crToR[i] = (kFix1_40200 * x + kOneHalf) >> kScaleBits;
        m_cbToB[i] = (kFix1_77200 * x + kOneHalf) >> kScaleBits;
        m_crToG[i] = -kFix0_71414 * x;
        m_cbToG[i] = -kFix0_34414 * x + kOneHalf;
    }
}

void ConvertJpegRow8(eJpegColorSpace space, const sJpegColorTables8& tables,
                     const u8* const* rows, u32* destination, int count, int step)
{
    switch (space) {
    case eJpegColorSpace::Grey: {
        const u8* grey = rows[0];
        for (int i = 0; i < count; ++i, destination += step) {
            *destination = 0xFF000000u | (u32(grey[i]) * 0x010101u);
        }
        break;
    }
    case eJpegColorSpace::RGB:
        for (int i = 0; i < count; ++i, destination += step) {
            *destination = Pack8(rows[0][i], rows[1][i], rows[2][i]);
        }
        break;
    case eJpegColorSpace::YCbCr:
        for (int i = 0; i < count; ++i, destination += step) {
            const int y = rows[0][i];
            const int cb = rows[1][i];
            const int cr = rows[2][i];
            const int r = Clamp(y + tables.m_crToR[cr], 255);
            const int g = Clamp(y + ((tables.m_cbToG[cb] + tables.m_crToG[cr]) >> kScaleBits), 255);
            const int b = Clamp(y + tables.m_cbToB[cb], 255);
            *destination = Pack8(r, g, b);
        }
        break;
    case eJpegColorSpace::CMYK:
        for (int i = 0; i < count; ++i, destination += step) {
            const int k = rows[3][i];
            *destination = Pack8(CmykChannel(rows[0][i], k), CmykChannel(rows[1][i], k),
                                 CmykChannel(rows[2][i], k));
        }
        break;
    case eJpegColorSpace::YCCK:
        for (int i = 0; i < count; ++i, destination += step) {
            const int y = rows[0][i];
            const int cb = rows[1][i];
            const int cr = rows[2][i];
            const int k = rows[3][i];
            const int c = 255 - Clamp(y + tables.m_crToR[cr], 255);
            const int m =
                255 - Clamp(y + ((tables.m_cbToG[cb] + tables.m_crToG[cr]) >> kScaleBits), 255);
            const int yellow = 255 - Clamp(y + tables.m_cbToB[cb], 255);
            *destination = Pack8(CmykChannel(c, k), CmykChannel(m, k), CmykChannel(yellow, k));
        }
        break;
    }
}

void ConvertJpegRow16(eJpegColorSpace space, int precision, const u16* const* rows,
                      u64* destination, int count)
{
    const u32 maximum = (1u << precision) - 1;
    const int center = int(1u << (precision - 1));
    const u64 alpha = u64(0xFFFF) << 48;
    for (int i = 0; i < count; ++i) {
        int r = 0;
        int g = 0;
        int b = 0;
        switch (space) {
        case eJpegColorSpace::Grey:
            r = g = b = rows[0][i];
            break;
        case eJpegColorSpace::RGB:
            r = rows[0][i];
            g = rows[1][i];
            b = rows[2][i];
            break;
        case eJpegColorSpace::YCbCr:
            YccToRgb(rows[0][i], rows[1][i], rows[2][i], center, int(maximum), r, g, b);
            break;
        case eJpegColorSpace::CMYK:
        case eJpegColorSpace::YCCK: {
            int c = rows[0][i];
            int m = rows[1][i];
            int y = rows[2][i];
            if (space == eJpegColorSpace::YCCK) {
                YccToRgb(rows[0][i], rows[1][i], rows[2][i], center, int(maximum), c, m, y);
                c = int(maximum) - c;
                m = int(maximum) - m;
                y = int(maximum) - y;
            }
            const double k = rows[3][i];
            r = int(double(c) * k / double(maximum) + 0.5);
            g = int(double(m) * k / double(maximum) + 0.5);
            b = int(double(y) * k / double(maximum) + 0.5);
            break;
        }
        }
        destination[i] = alpha | (Scale16(u32(r), maximum) << 32) | (Scale16(u32(g), maximum) << 16) |
                         Scale16(u32(b), maximum);
    }
}

void ScaleJpegSamplesTo8(const u16* samples, u8* out, int count, int precision)
{
    const u32 maximum = (1u << precision) - 1;
    for (int i = 0; i < count; ++i) {
        out[i] = u8((u32(samples[i]) * 255 + maximum / 2) / maximum);
    }
}

namespace {

// Each of `count` values twice.
inline void Double(const i32* from, i32* to, int count)
{
    for (int c = 0; c < count; ++c) {
        to[2 * c] = from[c];
        to[2 * c + 1] = from[c];
    }
}

// The portable tJpegYccRow8: the whole row, in pieces of 64 pixels. Each chroma sample's
// terms are computed once (the table entries' own arithmetic) and spread over the pixels it
// covers; then every pixel takes its three sums. The loops have no dependencies between
// pixels, so compilers turn them into vector code of the baseline instruction set.
int ConvertYccRowPortable(const u8* y, const u8* cb, const u8* cr, u32* out, int count,
                          int factor)
{
    constexpr int kPiece = 64;
    i32 chroma[3][kPiece];
    i32 spread[3][kPiece];
    for (int start = 0; start < count; start += kPiece) {
        const int pixels = std::min(kPiece, count - start);
        const int samples = (pixels + factor - 1) / factor;
        const u8* cbPiece = cb + start / factor;
        const u8* crPiece = cr + start / factor;
        for (int c = 0; c < samples; ++c) {
            const i32 x = crPiece[c] - 128;
            const i32 w = cbPiece[c] - 128;
            chroma[0][c] = (kFix1_40200 * x + kOneHalf) >> kScaleBits;
            chroma[1][c] = (-kFix0_71414 * x - kFix0_34414 * w + kOneHalf) >> kScaleBits;
            chroma[2][c] = (kFix1_77200 * w + kOneHalf) >> kScaleBits;
        }
        const i32(*terms)[kPiece] = chroma;
        if (factor == 2) {
            Double(chroma[0], spread[0], samples);
            Double(chroma[1], spread[1], samples);
            Double(chroma[2], spread[2], samples);
            terms = spread;
        }
        const u8* luma = y + start;
        u32* to = out + start;
        for (int i = 0; i < pixels; ++i) {
            to[i] = Pack8(Clamp(luma[i] + terms[0][i], 255), Clamp(luma[i] + terms[1][i], 255),
                          Clamp(luma[i] + terms[2][i], 255));
        }
    }
    return count;
}

} // namespace

tJpegYccRow8 ChooseJpegYccRow8()
{
    const sCpuFeatures& features = GetCpuFeatures();
    const tJpegYccRow8 wide = features.m_avx2 != 0 && features.m_sse2 != 0 ? JpegYccRow8Avx2()
                                                                          : nullptr;
    const tJpegYccRow8 vector = features.m_sse2 != 0 ? JpegYccRow8Sse2() : nullptr;
    return wide != nullptr ? wide : (vector != nullptr ? vector : ConvertYccRowPortable);
}
