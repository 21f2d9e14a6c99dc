// The PNG reader streaming arbitrary bytes into a 37 x 23 render target, in fit mode or
// (by the first byte's low bit) zoom mode with a zoom and pan from the next bytes.
// Links: qel_base qel_package qel_picture_formats qel_picture_core
#include "png_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    const std::vector<u8> bytes = PngFuzzInput(data, size);
    cBufWrapperIO stream(bytes.data(), bytes.size());
    sPictInfo info;
    if (!ProbePNG(&stream, &info) || i64(info.width) * info.height > kPngFuzzPixelLimit) {
        return 0;
    }
    std::vector<u32> pixels(37 * 23, 0);
    sPictTarget target;
    target.pixels = pixels.data();
    target.width = 37;
    target.height = 23;
    if (size > 20 && (data[size - 1] & 1) != 0) {
        target.mode = kPictTargetZoom;
        target.zoom = f64(data[size - 2]) / 200.0;
        target.panX = data[size - 3];
        target.panY = data[size - 4];
    }
    cPictPNG picture;
    if (!picture.SetTarget(&target)) {
        std::abort();
    }
    // A decode that reached its image data has begun and ended its stream.
    if (picture.Load(&stream) && picture.HasTarget()) {
        std::abort();
    }
    return 0;
}
