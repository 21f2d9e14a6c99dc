// The TIFF picture on arbitrary bytes: ReadInfo, then Load through libtiff.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/tiffpicture.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cPictTIFF picture;
    sPictInfo info;
    if (picture.ReadInfo(&stream, &info)) {
        (void)picture.Load(&stream);
    }
    return 0;
}
