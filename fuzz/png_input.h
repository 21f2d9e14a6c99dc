#pragma once
// Shared by the PNG fuzz targets: the input with its chunk CRCs made right, so that the
// fuzzer's changes reach the chunk handlers instead of stopping at the CRC check, and the
// size the header claims.
#include "base/memio.h"
#include "picture/formats/pngreader.h"

#include <zlib.h>

#include <vector>

// Recomputes the CRC of every whole chunk after the 8-byte signature.
inline void FixPngChunkCrcs(std::vector<u8>& bytes)
{
    size_t offset = 8;
    while (offset + 12 <= bytes.size()) {
        const u8* p = bytes.data() + offset;
        const u64 length = u64(p[0]) << 24 | u64(p[1]) << 16 | u64(p[2]) << 8 | p[3];
        if (length > bytes.size() - offset - 12) {
            return;
        }
        const u32 crc = u32(crc32(0L, p + 4, uInt(length + 4)));
        u8* stored = bytes.data() + offset + 8 + length;
        stored[0] = u8(crc >> 24);
        stored[1] = u8(crc >> 16);
        stored[2] = u8(crc >> 8);
        stored[3] = u8(crc);
        offset += 12 + length;
    }
}

// The fuzzed bytes, with the CRCs fixed for even sizes (odd sizes keep them as they come,
// so that the CRC check itself is fuzzed too).
inline std::vector<u8> PngFuzzInput(const u8* data, size_t size)
{
    std::vector<u8> bytes(data, data + size);
    if (size % 2 == 0) {
        FixPngChunkCrcs(bytes);
    }
    return bytes;
}

// Pictures above this many pixels are probed but not decoded: a header may legitimately
// claim up to 2^28 pixels, whose buffer would pass the fuzzer's memory limit.
inline constexpr i64 kPngFuzzPixelLimit = i64(1) << 22;
