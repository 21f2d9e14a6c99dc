// The GIF reader on arbitrary bytes: the info, the page count, every page's size and
// decode, and a 32 x 32 thumbnail of each page.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cPictGIF gif;
    sPictInfo info;
    if (!gif.ReadInfo(&stream, &info)) {
        return 0;
    }
    const i32 pages = gif.GetPageCount(&stream);
    for (i32 page = 0; page < pages && page < 8; ++page) {
        i32 width = 0;
        i32 height = 0;
        if (!gif.GetPageSize(&stream, page, &width, &height) || i64(width) * height > 1 << 22) {
            continue;
        }
        (void)gif.LoadPage(&stream, page);
        cPictDummy thumb;
        (void)gif.RenderPageThumbnail(&stream, &thumb, 32, 32, page, false, 0);
    }
    return 0;
}
