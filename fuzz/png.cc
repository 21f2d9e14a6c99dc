// The PNG reader on arbitrary bytes: ReadInfo, then Load on the same stream, then both
// again on the same object (every parse starts from scratch). A decoded picture must hold
// exactly the size ReadInfo gave.
// Links: qel_base qel_package qel_picture_formats qel_picture_core
#include "png_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    const std::vector<u8> bytes = PngFuzzInput(data, size);
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictPNG picture;
    sPictInfo info;
    if (!picture.ReadInfo(&stream, &info)) {
        return 0;
    }
    if (info.width <= 0 || info.height <= 0) {
        std::abort();
    }
    if (i64(info.width) * info.height > kPngFuzzPixelLimit) {
        return 0;
    }
    for (int round = 0; round < 2; ++round) {
        if (picture.Load(&stream)) {
            if (picture.GetWidth() != info.width || picture.GetHeight() != info.height ||
                !picture.HasPixels()) {
                std::abort();
            }
            _typebuf<u32> pixels;
            if (!picture.GetPixels32(pixels)) {
                std::abort();
            }
        }
    }
    return 0;
}
