#pragma once
// Shared by the TGA, PPM, PCX and XPM fuzz targets: ReadInfo, Load, and Load streamed into
// a 37 x 23 render target (fit mode, or zoom mode with a zoom and pan from the last bytes
// when the last byte is odd). A loaded picture has pixels; a streamed load that succeeds
// has ended its stream.
#include "base/memio.h"
#include "picture/core/picture.h"

#include <cstdlib>
#include <vector>

// A header may claim up to 2^28 pixels, whose buffer would pass the fuzzer's memory
// limit: such pictures are probed only.
inline constexpr i64 kRasterFuzzPixelLimit = i64(1) << 22;

template <class tReader>
int FuzzRasterReader(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    tReader reader;
    sPictInfo info;
    if (!reader.ReadInfo(&stream, &info)) {
        return 0;
    }
    if (info.width <= 0 || info.height <= 0) {
        std::abort();
    }
    if (i64(info.width) * info.height > kRasterFuzzPixelLimit) {
        return 0;
    }
    if (reader.Load(&stream) && !reader.HasPixels()) {
        std::abort();
    }
    std::vector<u32> pixels(37 * 23, 0);
    sPictTarget target{pixels.data(), 37, 23};
    if (size > 20 && (data[size - 1] & 1) != 0) {
        target.mode = kPictTargetZoom;
        target.zoom = f64(data[size - 2]) / 200.0;
        target.panX = data[size - 3];
        target.panY = data[size - 4];
    }
    tReader streamed;
    if (!streamed.SetTarget(&target)) {
        std::abort();
    }
    if (streamed.Load(&stream) && streamed.HasTarget()) {
        std::abort();
    }
    return 0;
}
