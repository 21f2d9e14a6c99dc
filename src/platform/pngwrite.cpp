#include "platform/pngwrite.h"

#include "base/byteorder.h"
#include "gui/core/canvas.h"
#include "gui/core/picture.h"

#include <zlib.h>

#include <cstdio>
#include <memory>

namespace {

void PutU32(std::vector<u8>& out, u32 value)
{
    u8 bytes[4];
    StoreBe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

// A chunk is length, type, data and the CRC-32 of type and data (ISO/IEC 15948 5.3).
void PutChunk(std::vector<u8>& out, const char type[4], const u8* data, size_t length)
{
    PutU32(out, u32(length));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + length);
    const uLong crc = crc32(0L, out.data() + typeAt, uInt(length + 4));
    PutU32(out, u32(crc));
}

} // namespace

bool EncodePngRgb(const u32* pixels, i32 width, i32 height, i32 stride, std::vector<u8>& out)
{
    out.clear();
    if (pixels == nullptr || stride < width || !PixelBufferSizeOk(width, height, sizeof(u32))) {
        return false;
    }
    // Raw scanlines: a filter byte (0, none) and width x RGB per row.
    const size_t rowBytes = 1 + size_t(width) * 3;
    const size_t rawBytes = rowBytes * size_t(height);
    std::unique_ptr<u8[]> raw(new (std::nothrow) u8[rawBytes]);
    uLongf packedBytes = compressBound(uLong(rawBytes));
    std::unique_ptr<u8[]> packed(new (std::nothrow) u8[packedBytes]);
    if (!raw || !packed) {
        return false;
    }
    for (i32 row = 0; row < height; ++row) {
        u8* line = raw.get() + size_t(row) * rowBytes;
        const u32* source = pixels + size_t(row) * size_t(stride);
        line[0] = 0;
        for (i32 column = 0; column < width; ++column) {
            line[1 + column * 3] = u8(source[column] >> 16);
            line[2 + column * 3] = u8(source[column] >> 8);
            line[3 + column * 3] = u8(source[column]);
        }
    }
    if (compress2(packed.get(), &packedBytes, raw.get(), uLong(rawBytes), Z_BEST_SPEED) != Z_OK) {
        return false;
    }
    static const u8 signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    out.assign(signature, signature + 8);
    // IHDR: width, height, bit depth 8, colour type 2 (RGB), compression 0, filter 0,
    // interlace 0 (ISO/IEC 15948 11.2.2).
    std::vector<u8> header;
    PutU32(header, u32(width));
    PutU32(header, u32(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    PutChunk(out, "IHDR", header.data(), header.size());
    PutChunk(out, "IDAT", packed.get(), packedBytes);
    PutChunk(out, "IEND", nullptr, 0);
    return true;
}

bool SavePng(const std::string& path, const u32* pixels, i32 width, i32 height, i32 stride)
{
    std::vector<u8> bytes;
    if (!EncodePngRgb(pixels, width, height, stride, bytes)) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool SaveCanvasPng(const std::string& path, const cCanvas& canvas)
{
    return SavePng(path, canvas.GetPixels(), canvas.GetWidth(), canvas.GetHeight(), canvas.GetStride());
}
