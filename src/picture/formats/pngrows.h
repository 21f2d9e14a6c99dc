#pragma once
// Converting unfiltered PNG samples to picture pixels.
//
// Samples below 8 bits are packed from the most significant bits of each byte first and
// 16-bit samples are big-endian (ISO/IEC 15948 7.2). Grey g of depth d becomes
// g * 255 / (2^d - 1) in all three colours. A tRNS colour key makes matching pixels
// transparent (alpha 0) with their colour kept; it is compared with the converted pixel.
#include "base/types.h"

enum : u8
{
    kPngGrey = 0,
    kPngRgb = 2,
    kPngPalette = 3,
    kPngGreyAlpha = 4,
    kPngRgba = 6,
};

struct sPngRowFormat
{
    u8 colourType;
    u8 depth;
    bool hasKey;
    u32 key8;        // 0x00RRGGBB after scaling to 8 bits
    u64 key16;       // lanes alpha 0, R, G, B
    const u32* palette; // 0xAARRGGBB entries
    i32 paletteCount;
};

// Samples per pixel of a colour type (0 for an unknown type).
[[nodiscard]] i32 PngChannels(u8 colourType);

// Converts `count` pixels of an unfiltered row (depth below 16) to 32-bit pixels written
// `step` pixels apart. False when a palette index is not below the palette count.
[[nodiscard]] bool ConvertPngRow32(const sPngRowFormat& format, const u8* samples, i32 count,
                                   u32* out, i32 step);
// The same for depth 16, to deep pixels (alpha 0xFFFF unless the type has alpha or the key
// matches).
void ConvertPngRow64(const sPngRowFormat& format, const u8* samples, i32 count, u64* out,
                     i32 step);
