#include "picture/core/pictfit.h"

#include "picture/core/resample.h"

#include <algorithm>
#include <cstring>

namespace {

// Back to all zero after a failed render: a stream or resample that stopped half-way has
// already written part of the picture.
void ZeroPixels(cPictBase* out)
{
    _typebuf<u32>& pixels = out->Pixels32();
    if (pixels.GetData() != nullptr) {
        std::memset(pixels.GetData(), 0, size_t(pixels.GetCount()) * sizeof(u32));
    }
}

sPictTarget TargetOver(cPictBase* out, u32 background)
{
    sPictTarget target = PictTargetFromPicture(out);
    target.background = background;
    return target;
}

// Resamples `source` into `out`, which holds a cleared buffer of the fitted size.
i32 ResampleInto(cPictBase* source, cPictBase* out, u32 background)
{
    sPictTarget target = TargetOver(out, background);
    if (!PictResample(&target, source)) {
        ZeroPixels(out);
        return kThumbNoMemory;
    }
    return kThumbOk;
}

// A picture that fits the box moves into `out` as it is; a larger one is resampled into
// `out` at the fitted size of its own size.
i32 FitIntoBox(cPictBase* source, i32 maxW, i32 maxH, cPictBase* out, u32 background)
{
    if (source->GetWidth() <= maxW && source->GetHeight() <= maxH) {
        out->TakePixels(source);
        return kThumbOk;
    }
    i32 width = 0;
    i32 height = 0;
    if (!PictFitSize(source->GetWidth(), source->GetHeight(), maxW, maxH, &width, &height)) {
        return kThumbEmpty;
    }
    // Sizing `out` frees the pixels of a source that is `out` itself.
    cPictDummy detached;
    if (source == out) {
        detached.TakePixels(source);
        source = &detached;
    }
    if (!out->AllocClear32(width, height)) {
        return kThumbNoMemory;
    }
    const i32 result = ResampleInto(source, out, background);
    if (result == kThumbOk) {
        source->ClearPixels();
    }
    return result;
}

} // namespace

bool PictFitSize(i32 width, i32 height, i32 maxW, i32 maxH, i32* fittedWidth,
                 i32* fittedHeight, eFitThinSide thin)
{
    if (width <= 0 || height <= 0 || maxW <= 0 || maxH <= 0) {
        return false;
    }
    const f64 scale = std::min({f64(maxW) / width, f64(maxH) / height, 1.0});
    // Both products are at most the picture's own size, so they fit an i32.
    i32 w = i32(f64(width) * scale + 0.5);
    i32 h = i32(f64(height) * scale + 0.5);
    if (thin == eFitThinSide::OnePixel) {
        w = std::max(w, 1);
        h = std::max(h, 1);
    }
    if (w == 0 || h == 0) {
        return false;
    }
    *fittedWidth = w;
    *fittedHeight = h;
    return true;
}

i32 PictRenderThumbnail(const sPictInfo& info, cPictBase* picture, cFileIOTarget* stream,
                        cPictBase* out, i32 maxW, i32 maxH, bool allowFullDecode,
                        u32 background)
{
    i32 width = 0;
    i32 height = 0;
    if (picture == nullptr || stream == nullptr || out == nullptr ||
        !PictFitSize(info.width, info.height, maxW, maxH, &width, &height)) {
        return kThumbEmpty;
    }
    if (info.hasEmbeddedPreview) {
        cPictDummy preview;
        i32 previewWidth = width;
        i32 previewHeight = height;
        if (picture->LoadEmbeddedPreview(stream, &preview, &previewWidth, &previewHeight) &&
            preview.HasPixels()) {
            return FitIntoBox(&preview, maxW, maxH, out, background);
        }
    }
    if (!allowFullDecode) {
        return kThumbNoPreview;
    }
    if (!out->AllocClear32(width, height)) {
        return kThumbNoMemory;
    }
    (void)stream->Seek(0);
    if (!picture->RendersWhileDecoding()) {
        if (!picture->Load(stream)) {
            return kThumbDecodeFailed;
        }
        return ResampleInto(picture, out, background);
    }
    sPictTarget target = TargetOver(out, background);
    const bool loaded = picture->SetTarget(&target) && picture->Load(stream);
    // A reader that failed before it began streaming still holds the target: `target`
    // lives on this stack frame only.
    (void)picture->SetTarget(nullptr);
    if (!loaded) {
        ZeroPixels(out);
        return kThumbDecodeFailed;
    }
    return kThumbOk;
}

bool PictFitToBox(cPictBase* source, i32 maxW, i32 maxH, cPictBase* out, u32 background)
{
    if (source == nullptr || out == nullptr || source->IsDeep() || !source->HasPixels()) {
        return false;
    }
    return FitIntoBox(source, maxW, maxH, out, background) == kThumbOk;
}

bool cPictBase::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW,
                                    i32 maxH, i32 page, bool allowFullDecode, u32 background)
{
    if (page != 0 || stream == nullptr) {
        return false;
    }
    sPictInfo info;
    (void)stream->Seek(0);
    if (!ReadInfo(stream, &info)) {
        return false;
    }
    (void)stream->Seek(0);
    return PictRenderThumbnail(info, this, stream, out, maxW, maxH, allowFullDecode,
                               background) == kThumbOk;
}
