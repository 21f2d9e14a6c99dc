#pragma once
// A test encoder for LZW codes, least significant bit first, shared by the LZW and GIF tests.
#include "base/types.h"

#include <vector>

namespace qeltest {

// Packs `codes` least significant bit first, widening as the decoder does (early change 0):
// every code but a clear, an end and the first after a clear enters the table.
inline std::vector<u8> PackLzwCodes(const std::vector<i32>& codes, i32 initial)
{
    std::vector<u8> out;
    u32 bits = 0;
    i32 count = 0;
    i32 width = initial;
    i32 next = (1 << (initial - 1)) + 2;
    bool first = true;
    for (i32 code : codes) {
        bits |= u32(code) << count;
        for (count += width; count >= 8; count -= 8, bits >>= 8) {
            out.push_back(u8(bits));
        }
        if (code == 1 << (initial - 1)) {
            width = initial, next = code + 2, first = true;
        } else if (!first && next < 4096 && ++next >= 1 << width && width < 12) {
            ++width;
        } else {
            first = false;
        }
    }
    out.push_back(u8(bits));
    return out;
}

} // namespace qeltest
