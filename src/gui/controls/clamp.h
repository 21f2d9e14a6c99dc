#pragma once
// Geometry is computed in 64 bits wherever sizes add up (a large indent, a picture wider
// than the button), then brought back into the 32-bit range of the widget tree.
#include "base/types.h"

#include <algorithm>
#include <limits>

inline i32 ClampToI32(i64 value)
{
    return i32(std::clamp<i64>(value, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max()));
}
