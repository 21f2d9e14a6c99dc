#pragma once
// The element types of Apple icon files, shared by the container walk (icns.cpp) and the
// decoder of classic and 24-bit icons (icnsicon.cpp).
#include "base/types.h"

#include <cstring>

struct sIcnsMask
{
    char type[5];
    u32 length; // the mask element's data length
    u32 skip;   // bytes before the mask bits within it (ich#: the icon's own bits first)
    u8 bits;    // 1 or 8
};

struct sIcnsType
{
    char type[5];
    i32 size;       // width and height; 0: from the content (PNG, JP2, J2K)
    u32 dataLength; // the fixed data length; 0 for any (24-bit types, content types)
    u8 bits;        // 1, 4, 8 or 24; 0 for content types
    sIcnsMask masks[2];
};

// Each kind lists its mask types, the one to use first first: 8-bit masks for 24-bit icons,
// 1-bit masks for classic 48 x 48 icons, as libicns pairs them.
// "ICN#": 1-bit image then its own 1-bit mask. An "ich#" element is a 48 x 48 1-bit icon
// followed by its mask (576 bytes): the mask is its second half.
inline constexpr sIcnsMask kNoMask = {"", 0, 0, 0};
inline constexpr sIcnsMask kSmallMask = {"s8mk", 256, 0, 8};
inline constexpr sIcnsMask kLargeMask = {"l8mk", 1024, 0, 8};
inline constexpr sIcnsMask kHugeBitMask = {"ich#", 576, 288, 1};
inline constexpr sIcnsMask kHugeMask = {"h8mk", 2304, 0, 8};
inline constexpr sIcnsMask kThumbnailMask = {"t8mk", 16384, 0, 8};

inline constexpr sIcnsType kIcnsTypes[] = {
    {"ICON", 32, 128, 1, {kNoMask, kNoMask}},
    {"ICN#", 32, 256, 1, {kNoMask, kNoMask}},
    {"ics4", 16, 128, 4, {kSmallMask, kNoMask}},
    {"ics8", 16, 256, 8, {kSmallMask, kNoMask}},
    {"icl4", 32, 512, 4, {kLargeMask, kNoMask}},
    {"icl8", 32, 1024, 8, {kLargeMask, kNoMask}},
    {"ich4", 48, 1152, 4, {kHugeBitMask, kHugeMask}},
    {"ich8", 48, 2304, 8, {kHugeBitMask, kHugeMask}},
    {"is32", 16, 0, 24, {kSmallMask, kNoMask}},
    {"il32", 32, 0, 24, {kLargeMask, kNoMask}},
    {"ih32", 48, 0, 24, {kHugeMask, kHugeBitMask}},
    {"it32", 128, 0, 24, {kThumbnailMask, kNoMask}},
    {"icp4", 0, 0, 0, {kNoMask, kNoMask}},
    {"icp5", 0, 0, 0, {kNoMask, kNoMask}},
    {"icp6", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic07", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic08", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic09", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic10", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic11", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic12", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic13", 0, 0, 0, {kNoMask, kNoMask}},
    {"ic14", 0, 0, 0, {kNoMask, kNoMask}},
};

inline bool IcnsTypeIs(const u8* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

// The table index of an element type; -1 for types that are not images.
inline i32 FindIcnsType(const u8* type)
{
    for (i32 i = 0; i < i32(sizeof(kIcnsTypes) / sizeof(kIcnsTypes[0])); ++i) {
        if (IcnsTypeIs(type, kIcnsTypes[i].type)) {
            return i;
        }
    }
    return -1;
}
