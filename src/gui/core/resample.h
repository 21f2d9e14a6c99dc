#pragma once
// Resampling of one line of 32-bit pixels by area averaging.
#include "base/types.h"

// Stretches or shrinks `sourceCount` pixels into `destinationCount` pixels. Output i
// covers the source span [i x n / m, (i + 1) x n / m) (n = sourceCount, m =
// destinationCount) and is the overlap-weighted mean of each of the four bytes,
// rounded half up. False when a count is below 1 or a pointer is null.
[[nodiscard]] bool ResamplePixelRows(const u32* source, i32 sourceCount, u32* destination,
                                     i32 destinationCount);
