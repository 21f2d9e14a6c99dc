#include "picture/factory/thumbnail.h"

#include "picture/factory/pictfactory.h"

namespace {

// White with alpha 0: what a thumbnail shows where the picture does not cover the box.
constexpr u32 kThumbnailBackground = 0x00FFFFFF;

} // namespace

i32 PictThumbnailFromStream(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH)
{
    if (maxW <= 0 || maxH <= 0 || stream == nullptr || out == nullptr) {
        return kThumbEmpty;
    }
    sPictInfo info;
    cPictBase* picture = PictCreateFromStream(stream, &info);
    if (picture == nullptr) {
        return kThumbUnknown;
    }
    i32 result = kThumbEmpty;
    if (info.width > 0 && info.height > 0) {
        (void)stream->Seek(0);
        result = PictRenderThumbnail(info, picture, stream, out, maxW, maxH, true,
                                     kThumbnailBackground);
    }
    picture->Delete();
    return result;
}
