// Both DICOM readers on arbitrary bytes: the info, the page count, up to 8 pages decoded and
// the thumbnail of page 0 into 64 x 64.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/formats/dicom.h"
#include "picture/formats/dicomlegacy.h"

#include <algorithm>

namespace {

void Exercise(cPictBase& picture, const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    sPictInfo info;
    (void)picture.ReadInfo(&stream, &info);
    const i32 pages = picture.GetPageCount(&stream);
    for (i32 page = 0; page < std::min(pages, 8); ++page) {
        (void)picture.LoadPage(&stream, page);
    }
    cPictDummy out;
    (void)picture.RenderPageThumbnail(&stream, &out, 64, 64, 0, true, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cPictDICOM dicom;
    Exercise(dicom, data, size);
    cPictDICOMLegacy legacy;
    Exercise(legacy, data, size);
    return 0;
}
