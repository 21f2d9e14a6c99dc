// The ICO and CUR reader on arbitrary bytes: the info, every page's size and decode, a
// 32 x 32 thumbnail of each page and the preview for a 48 x 48 box.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/ico.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cPictICO icon;
    sPictInfo info;
    (void)icon.ReadInfo(&stream, &info);
    const i32 pages = icon.GetPageCount(&stream);
    for (i32 page = 0; page < pages && page < 8; ++page) {
        i32 width = 0;
        i32 height = 0;
        if (!icon.GetPageSize(&stream, page, &width, &height) || i64(width) * height > 1 << 22) {
            continue;
        }
        (void)icon.LoadPage(&stream, page);
        cPictDummy thumb;
        (void)icon.RenderPageThumbnail(&stream, &thumb, 32, 32, page, true, 0);
    }
    cPictDummy preview;
    i32 limit = 48;
    (void)icon.LoadEmbeddedPreview(&stream, &preview, &limit, &limit);
    return 0;
}
