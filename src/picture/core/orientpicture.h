#pragma once
// Turns 32-bit pixels stored as a camera wrote them into the picture the viewer sees, by the
// TIFF Orientation value (TIFF 6.0 section 8, tag 274): 1 as stored, 2 mirrored left to
// right, 3 turned half round, 4 mirrored top to bottom, 5 transposed, 6 turned a quarter
// clockwise, 7 transverse, 8 turned a quarter anticlockwise. Camera RAW files keep their
// previews as the sensor saw them and record the turn in IFD0.
#include "picture/core/picture.h"

// True when the value turns the picture a quarter (5-8): width and height trade places.
[[nodiscard]] constexpr bool OrientationSwapsSides(u32 orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// Applies `orientation` to the picture's 32-bit pixels; values outside 2..8 leave it as it
// is. False, with the picture unchanged, when the pixels are deep or memory is short.
[[nodiscard]] bool OrientPicture(cPictBase* picture, u32 orientation);
