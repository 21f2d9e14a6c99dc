#include "picture/core/orientpicture.h"

bool OrientPicture(cPictBase* picture, u32 orientation)
{
    if (orientation < 2 || orientation > 8) {
        return true;
    }
    if (picture->IsDeep() || !picture->HasPixels()) {
        return false;
    }
    cPictDummy stored;
    stored.TakePixels(picture);
    const i64 width = stored.GetWidth();
    const i64 height = stored.GetHeight();
    const bool swap = OrientationSwapsSides(orientation);
    const i64 outWidth = swap ? height : width;
    const i64 outHeight = swap ? width : height;
    if (!picture->AllocPixels32(i32(outWidth), i32(outHeight))) {
        picture->TakePixels(&stored);
        return false;
    }
    // In top-down coordinates the viewed pixel (x, y) is the stored pixel (sx, sy): a
    // transpose (5-8) trades the axes, then the stored columns and rows may run backwards.
    const bool backX = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool backY = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    const u32* source = stored.Pixels32().GetData();
    u32* out = picture->Pixels32().GetData();
    for (i64 y = 0; y < outHeight; ++y) {
        u32* row = out + (outHeight - 1 - y) * outWidth;
        for (i64 x = 0; x < outWidth; ++x) {
            const i64 sx = backX ? width - 1 - (swap ? y : x) : (swap ? y : x);
            const i64 sy = backY ? height - 1 - (swap ? x : y) : (swap ? x : y);
            row[x] = source[(height - 1 - sy) * width + sx];
        }
    }
    return true;
}
