#include "picture/formats/pngrows.h"

#include "base/byteorder.h"

namespace {

constexpr u32 kOpaque = 0xFF000000;
constexpr u64 kOpaque64 = u64(0xFFFF) << 48;

// 255 / (2^d - 1) for d = 1, 2, 4, 8: the grey scale of each sub-byte depth.
constexpr u32 GreyScale(u8 depth)
{
    return 255 / ((1u << depth) - 1);
}

inline u32 WithKey(u32 rgb, const sPngRowFormat& format)
{
    return format.hasKey && rgb == format.key8 ? rgb : rgb | kOpaque;
}

inline u64 WithKey64(u64 rgb, const sPngRowFormat& format)
{
    return format.hasKey && rgb == format.key16 ? rgb : rgb | kOpaque64;
}

// Grey of depth 1, 2 or 4, or palette indexes of depth 1, 2, 4 or 8: `depth`-bit fields,
// most significant first.
template <u8 kDepth>
inline u32 SubByteSample(const u8* samples, i32 x)
{
    constexpr i32 kPerByte = 8 / kDepth;
    constexpr u32 kMask = (1u << kDepth) - 1;
    const i32 shift = 8 - kDepth * (x % kPerByte + 1);
    return u32(samples[x / kPerByte] >> shift) & kMask;
}

template <u8 kDepth>
void ConvertGrey(const sPngRowFormat& format, const u8* samples, i32 count, u32* out, i32 step)
{
    for (i32 x = 0; x < count; ++x) {
        const u32 g = SubByteSample<kDepth>(samples, x) * GreyScale(kDepth);
        out[i64(x) * step] = WithKey(g * 0x010101u, format);
    }
}

template <u8 kDepth>
bool ConvertPalette(const sPngRowFormat& format, const u8* samples, i32 count, u32* out,
                    i32 step)
{
    const u32 limit = u32(format.paletteCount);
    for (i32 x = 0; x < count; ++x) {
        const u32 index = SubByteSample<kDepth>(samples, x);
        if (index >= limit) {
            return false;
        }
        out[i64(x) * step] = format.palette[index];
    }
    return true;
}

void ConvertRgb(const sPngRowFormat& format, const u8* samples, i32 count, u32* out, i32 step)
{
    if (!format.hasKey && step == 1) {
        for (i32 x = 0; x < count; ++x, samples += 3) {
            out[x] = kOpaque | LoadBe24(samples);
        }
        return;
    }
    for (i32 x = 0; x < count; ++x, samples += 3) {
        const u32 rgb = LoadBe24(samples);
        out[i64(x) * step] = WithKey(rgb, format);
    }
}

void ConvertGreyAlpha(const u8* samples, i32 count, u32* out, i32 step)
{
    for (i32 x = 0; x < count; ++x, samples += 2) {
        out[i64(x) * step] = u32(samples[1]) << 24 | u32(samples[0]) * 0x010101u;
    }
}

void ConvertRgba(const u8* samples, i32 count, u32* out, i32 step)
{
    for (i32 x = 0; x < count; ++x, samples += 4) {
        out[i64(x) * step] =
            u32(samples[3]) << 24 | u32(samples[0]) << 16 | u32(samples[1]) << 8 | samples[2];
    }
}

} // namespace

i32 PngChannels(u8 colourType)
{
    switch (colourType) {
    case kPngGrey:
    case kPngPalette:
        return 1;
    case kPngGreyAlpha:
        return 2;
    case kPngRgb:
        return 3;
    case kPngRgba:
        return 4;
    default:
        return 0;
    }
}

bool ConvertPngRow32(const sPngRowFormat& format, const u8* samples, i32 count, u32* out,
                     i32 step)
{
    switch (format.colourType) {
    case kPngGrey:
        switch (format.depth) {
        case 1:
            ConvertGrey<1>(format, samples, count, out, step);
            return true;
        case 2:
            ConvertGrey<2>(format, samples, count, out, step);
            return true;
        case 4:
            ConvertGrey<4>(format, samples, count, out, step);
            return true;
        case 8:
            ConvertGrey<8>(format, samples, count, out, step);
            return true;
        default:
            return false;
        }
    case kPngPalette:
        switch (format.depth) {
        case 1:
            return ConvertPalette<1>(format, samples, count, out, step);
        case 2:
            return ConvertPalette<2>(format, samples, count, out, step);
        case 4:
            return ConvertPalette<4>(format, samples, count, out, step);
        case 8:
            return ConvertPalette<8>(format, samples, count, out, step);
        default:
            return false;
        }
    case kPngRgb:
        ConvertRgb(format, samples, count, out, step);
        return true;
    case kPngGreyAlpha:
        ConvertGreyAlpha(samples, count, out, step);
        return true;
    case kPngRgba:
        ConvertRgba(samples, count, out, step);
        return true;
    default:
        return false;
    }
}

void ConvertPngRow64(const sPngRowFormat& format, const u8* samples, i32 count, u64* out,
                     i32 step)
{
    constexpr u64 kGreyLanes = 0x0000'0001'0001'0001;
    switch (format.colourType) {
    case kPngGrey:
        for (i32 x = 0; x < count; ++x, samples += 2) {
            out[i64(x) * step] = WithKey64(u64(LoadBe16(samples)) * kGreyLanes, format);
        }
        break;
    case kPngRgb:
        for (i32 x = 0; x < count; ++x, samples += 6) {
            const u64 rgb = u64(LoadBe16(samples)) << 32 | u64(LoadBe16(samples + 2)) << 16 |
                            u64(LoadBe16(samples + 4));
            out[i64(x) * step] = WithKey64(rgb, format);
        }
        break;
    case kPngGreyAlpha:
        for (i32 x = 0; x < count; ++x, samples += 4) {
            out[i64(x) * step] =
                u64(LoadBe16(samples + 2)) << 48 | u64(LoadBe16(samples)) * kGreyLanes;
        }
        break;
    case kPngRgba:
        for (i32 x = 0; x < count; ++x, samples += 8) {
            out[i64(x) * step] = u64(LoadBe16(samples + 6)) << 48 | u64(LoadBe16(samples)) << 32 |
                                 u64(LoadBe16(samples + 2)) << 16 | u64(LoadBe16(samples + 4));
        }
        break;
    default:
        break;
    }
}
