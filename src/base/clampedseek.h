#pragma once
// Seeking in streams of a fixed size that clamp instead of refusing (read-only windows and
// buffers): the position lands in [0, size], and the answer tells whether it had to be moved.
#include "base/types.h"

#include <algorithm>

inline bool ClampedSeek(u64 target, u64 size, u64& position)
{
    position = std::min(target, size);
    return target <= size;
}

inline bool ClampedSeekFromEnd(u64 distance, u64 size, u64& position)
{
    position = size - std::min(distance, size);
    return distance <= size;
}
