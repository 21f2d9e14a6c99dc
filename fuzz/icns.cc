// The ICNS reader on arbitrary bytes: the info, Load, every page's size, the preview for a
// 48 x 48 box and thumbnails of pages 0-3 into 32 x 20.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/icns.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cPictICNS icon;
    sPictInfo info;
    (void)icon.ReadInfo(&stream, &info);
    (void)icon.Load(&stream);
    const i32 pages = icon.GetPageCount(&stream);
    for (i32 page = 0; page < pages; ++page) {
        i32 width = 0;
        i32 height = 0;
        (void)icon.GetPageSize(&stream, page, &width, &height);
    }
    cPictDummy out;
    i32 limit = 48;
    (void)icon.LoadEmbeddedPreview(&stream, &out, &limit, &limit);
    for (i32 page = 0; page < 4; ++page) {
        (void)icon.RenderPageThumbnail(&stream, &out, 32, 20, page, true, 0);
    }
    return 0;
}
