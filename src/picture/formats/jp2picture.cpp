#include "picture/formats/jp2picture.h"

namespace {

constexpr u32 kReadAhead = 4096;

void FillInfo(const sJp2Image& image, sPictInfo* info)
{
    if (info != nullptr) {
        *info = {i32(image.x1 - image.x0), i32(image.y1 - image.y0), 0};
    }
}

bool RunJp2(cFileIOTarget* stream, cPictJP2Base* picture, sPictInfo* info)
{
    cJP2FileIOTarget buffered;
    if (stream == nullptr || !buffered.Attach(stream, kReadAhead) || !buffered.Seek(0)) {
        return false;
    }
    sJp2Decoder decoder;
    sJp2Image image;
    if (!decoder.ReadFile(&buffered, 0) || !decoder.Decode(&buffered, image)) {
        return false;
    }
    if (picture == nullptr) {
        FillInfo(image, info);
        return true;
    }
    const bool ok = decoder.SetDecodeArea(image) && decoder.TakeImage(image) &&
                    buffered.Seek(0) && decoder.ReadFile(&buffered, 1) &&
                    RenderJp2Image(picture, image);
    DeleteJp2Palette(decoder);
    return ok;
}

bool RunJ2K(cFileIOTarget* stream, cPictJP2Base* picture, sPictInfo* info)
{
    cJP2FileIOTarget buffered;
    if (stream == nullptr || !buffered.Attach(stream, kReadAhead) || !buffered.Seek(0) ||
        !HasCodestreamStart(&buffered)) {
        return false;
    }
    sJpcDecoder decoder;
    sJp2Image image;
    if (!decoder.Decode(&buffered, image)) {
        return false;
    }
    if (picture == nullptr) {
        FillInfo(image, info);
        return true;
    }
    return decoder.TakeImage(image) && RenderJp2Image(picture, image);
}

// A load that fails leaves no pixels and no attached target behind.
bool Finish(cPictJP2Base* picture, bool ok)
{
    picture->EndStreamRender();
    if (!ok) {
        picture->ClearPixels();
    }
    return ok;
}

} // namespace

bool cPictJP2::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    return RunJp2(stream, nullptr, info);
}

bool cPictJP2::Load(cFileIOTarget* stream)
{
    return Finish(this, RunJp2(stream, this, nullptr));
}

bool cPictJ2K::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    return RunJ2K(stream, nullptr, info);
}

bool cPictJ2K::Load(cFileIOTarget* stream)
{
    return Finish(this, RunJ2K(stream, this, nullptr));
}

bool ProbeJP2(cFileIOTarget* stream, sPictInfo* info)
{
    return RunJp2(stream, nullptr, info);
}

bool ProbeJ2K(cFileIOTarget* stream, sPictInfo* info)
{
    return RunJ2K(stream, nullptr, info);
}
