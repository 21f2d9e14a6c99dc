#pragma once
// The X11 colour names (X.Org's rgb.txt, built in: the file is not on every machine), as XPM
// files name their colours.
#include "base/types.h"

struct sX11Colour
{
    const char* name; // lower case, without spaces
    u32 rgb;          // 0xRRGGBB
};

// Sorted by name.
extern const sX11Colour kX11Colours[];
extern const i32 kX11ColourCount;

// The colour named by `length` units at `name`, matched without regard to case and spaces
// ("Light Grey" is "lightgrey"); false for a name not in the table.
[[nodiscard]] bool FindX11Colour(const char16_t* name, size_t length, u32& rgb);
