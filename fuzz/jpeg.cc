// The JPEG picture on arbitrary bytes: header read, full decode, and a streamed decode into
// a 61x47 target.
// Links: qel_picture_formats qel_picture_core qel_picture_tiffraw qel_picture_codecs qel_package qel_base
#include "base/memio.h"
#include "picture/formats/jpegpicture.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    {
        cPictJPEG picture;
        sPictInfo info;
        if (!picture.ReadInfo(&stream, &info) || i64(info.width) * info.height > (i64(1) << 22)) {
            return 0;
        }
        (void)picture.Load(&stream);
        cPictDummy preview;
        (void)picture.LoadEmbeddedPreview(&stream, &preview, nullptr, nullptr);
    }
    std::vector<u32> pixels(61 * 47, 0);
    sPictTarget target;
    target.pixels = pixels.data();
    target.width = 61;
    target.height = 47;
    cPictJPEG streamed;
    if (streamed.SetTarget(&target)) {
        (void)streamed.Load(&stream);
    }
    return 0;
}
