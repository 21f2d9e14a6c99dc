// Every TIFF-based RAW class and the TIFF picture on the same bytes: ReadInfo and a 64x64
// embedded preview (header and preview code; ReadInfo opens the file with LibRaw for the
// developed size).
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/rawpictures.h"

namespace {

template <class tPicture> void Exercise(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    tPicture picture;
    sPictInfo info;
    (void)picture.ReadInfo(&stream, &info);
    cPictTIFF out;
    i32 width = 64;
    i32 height = 64;
    (void)picture.LoadEmbeddedPreview(&stream, &out, &width, &height);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    Exercise<cPictPEF>(data, size);
    Exercise<cPictARW>(data, size);
    Exercise<cPictSRW>(data, size);
    Exercise<cPictIIQ>(data, size);
    Exercise<cPictMOS>(data, size);
    Exercise<cPictCR2>(data, size);
    Exercise<cPictNEF>(data, size);
    Exercise<cPict3FR>(data, size);
    Exercise<cPictDNG>(data, size);
    Exercise<cPictTIFF_EP>(data, size);
    Exercise<cPictTIFF>(data, size);
    Exercise<cPictMRW>(data, size);
    Exercise<cPictRAF>(data, size);
    Exercise<cPictCRW>(data, size);
    Exercise<cPictCR3>(data, size);
    Exercise<cPictX3F>(data, size);
    Exercise<cPictRWL>(data, size);
    Exercise<cPictORF>(data, size);
    return 0;
}
