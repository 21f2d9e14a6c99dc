#pragma once
// A test encoder for LZW codes, least significant bit first, and GIF image data, shared by
// the LZW and GIF tests.
#include "base/types.h"

#include <algorithm>
#include <map>
#include <utility>
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

// The codes of a greedy LZW encoder for `data` (values below 2^(initial - 1)): a clear
// first, a clear whenever the table is full, an end last. For PackLzwCodes.
inline std::vector<i32> LzwEncode(const std::vector<u8>& data, i32 initial)
{
    const i32 clear = 1 << (initial - 1);
    std::vector<i32> codes = {clear};
    std::map<std::pair<i32, u8>, i32> table;
    i32 next = clear + 2;
    i32 string = -1;
    for (u8 byte : data) {
        if (string < 0) {
            string = byte;
            continue;
        }
        const auto found = table.find({string, byte});
        if (found != table.end()) {
            string = found->second;
            continue;
        }
        codes.push_back(string);
        table[{string, byte}] = next++;
        string = byte;
        if (next == 4096) {
            codes.push_back(string);
            codes.push_back(clear);
            table.clear();
            next = clear + 2;
            string = -1;
        }
    }
    if (string >= 0) {
        codes.push_back(string);
    }
    codes.push_back(clear + 1);
    return codes;
}

// Appends `data` to a GIF file as image data sub-blocks (255 bytes at most each), the
// terminating empty block and the trailer.
inline void AppendGifImageData(std::vector<u8>& file, const std::vector<u8>& data)
{
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t count = std::min<size_t>(255, data.size() - at);
        file.push_back(u8(count));
        file.insert(file.end(), data.begin() + i64(at), data.begin() + i64(at + count));
    }
    file.insert(file.end(), {0, 0x3B});
}

} // namespace qeltest
