// The format factory on arbitrary bytes: every probe with an info, then, for pictures small
// enough to decode within the fuzzer's memory, the load without an info and a thumbnail.
// An object returned with an info must be unloaded and the info must hold a size; a
// thumbnail must fit its box.
// Links: qel_base qel_package qel_picture_codecs qel_picture_tiffraw qel_picture_factory qel_picture_formats qel_picture_core
#include "base/memio.h"
#include "picture/factory/pictfactory.h"
#include "picture/factory/thumbnail.h"

#include <cstdlib>

namespace {

// A header may legitimately claim up to 2^28 pixels, whose buffer would pass the fuzzer's
// memory limit: such pictures are probed only.
constexpr i64 kDecodedPixelLimit = i64(1) << 22;
constexpr i32 kBoxWidth = 48;
constexpr i32 kBoxHeight = 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    sPictInfo info;
    cPictBase* probed = PictCreateFromStream(&stream, &info);
    if (probed == nullptr) {
        return 0;
    }
    if (info.width <= 0 || info.height <= 0 || probed->GetWidth() != 0) {
        std::abort();
    }
    probed->Delete();
    if (i64(info.width) * info.height > kDecodedPixelLimit) {
        return 0;
    }
    if (cPictBase* loaded = PictCreateFromStream(&stream, nullptr)) {
        if (!loaded->HasPixels()) {
            std::abort();
        }
        loaded->Delete();
    }
    cPictDummy out;
    if (PictThumbnailFromStream(&stream, &out, kBoxWidth, kBoxHeight) == kThumbOk &&
        (!out.HasPixels() || out.GetWidth() > kBoxWidth || out.GetHeight() > kBoxHeight)) {
        std::abort();
    }
    return 0;
}
