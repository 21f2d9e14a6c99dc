#pragma once
// Reversing the PNG row filters (ISO/IEC 15948 clause 9, filter method 0).
#include "base/types.h"

inline constexpr i32 kPngRowPadding = 8;

enum : u8
{
    kPngFilterNone = 0,
    kPngFilterSub = 1,
    kPngFilterUp = 2,
    kPngFilterAverage = 3,
    kPngFilterPaeth = 4,
};

// Unfilters `length` bytes of `row` in place against `previous` (the unfiltered row above,
// all zeros for the first row of an image or pass), with `bytesPerPixel` (1 to 8) bytes
// between a byte and its left neighbour. A filter type above 4 leaves the row as it is.
// Both buffers MUST have kPngRowPadding bytes after the row that may be read and written
// (they are written back unchanged).
void UnfilterPngRow(u8 filterType, u8* row, const u8* previous, i64 length, i32 bytesPerPixel);
