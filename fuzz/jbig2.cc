// The JBIG2 picture on arbitrary bytes: the segment walk, every page (up to 4 Mpixel) and a
// 64 x 64 thumbnail of page 0.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/jbig2picture.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cPictJBIG2 picture;
    if (!picture.ScanFile(&stream)) {
        return 0;
    }
    const i32 pages = picture.GetPageCount(&stream);
    for (i32 page = 0; page < pages && page < 16; ++page) {
        i32 width = 0;
        i32 height = 0;
        if (picture.GetPageSize(&stream, page, &width, &height) && i64(width) * height <= 1 << 22) {
            (void)picture.LoadPage(&stream, page);
        }
    }
    i32 width = 0;
    i32 height = 0;
    if (picture.GetPageSize(&stream, 0, &width, &height) && i64(width) * height <= 1 << 22) {
        cPictDummy thumbnail;
        (void)picture.RenderPageThumbnail(&stream, &thumbnail, 64, 64, 0, true, 0);
    }
    return 0;
}
