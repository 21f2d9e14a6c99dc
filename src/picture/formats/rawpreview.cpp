#include "picture/formats/rawpreview.h"

#include "base/byteorder.h"
#include "base/subrange.h"
#include "picture/core/orientpicture.h"
#include "picture/formats/jpegpicture.h"

namespace {

bool LoadRgbPreview(cFileIOTarget* stream, const sRawPreview& preview, cPictBase* out);

} // namespace

bool RangeStartsJpeg(cFileIOTarget* stream, const sTiffRange& range)
{
    u8 soi[2];
    return range.m_length >= 2 && range.m_offset + range.m_length <= stream->GetSize() &&
           stream->Seek(range.m_offset) && stream->ReadExact(soi, 2) && soi[0] == 0xFF &&
           soi[1] == 0xD8;
}

bool TiffHasJpegPreview(cFileIOTarget* stream, const cTiffStructure& tiff)
{
    sTiffRange ranges[cRawPreviews::kMaxPreviews];
    const i32 count = tiff.ListJpegRanges(ranges, cRawPreviews::kMaxPreviews);
    for (i32 i = 0; i < count; ++i) {
        if (RangeStartsJpeg(stream, ranges[i])) {
            return true;
        }
    }
    return false;
}

void cRawPreviews::AddJpeg(cFileIOTarget* stream, u64 offset, u64 length)
{
    if (m_count >= kMaxPreviews || !RangeStartsJpeg(stream, {offset, length})) {
        return;
    }
    for (i32 i = 0; i < m_count; ++i) {
        if (m_previews[i].m_offset == offset) {
            return;
        }
    }
    cFileIOSubRange range(stream, offset, length);
    cPictJPEG jpeg;
    sPictInfo info;
    if (!jpeg.ReadInfo(&range, &info) || info.width <= 0 || info.height <= 0) {
        return;
    }
    m_previews[m_count++] = {offset, length, info.width, info.height};
}

void cRawPreviews::AddTiffJpegs(cFileIOTarget* stream, const cTiffStructure& tiff)
{
    sTiffRange ranges[kMaxPreviews];
    const i32 count = tiff.ListJpegRanges(ranges, kMaxPreviews);
    for (i32 i = 0; i < count; ++i) {
        AddJpeg(stream, ranges[i].m_offset, ranges[i].m_length);
    }
}

void cRawPreviews::AddDngRgbPreviews(const cTiffStructure& tiff)
{
    for (i32 i = 0; i < tiff.GetIfdCount() && m_count < kMaxPreviews; ++i) {
        const sTiffIfd& ifd = tiff.GetIfd(i);
        sTiffRange strips{};
        const bool rgb = (ifd.m_newSubfileType & 1) != 0 && ifd.m_compression == 1 &&
                         ifd.m_photometric == 2 && ifd.m_samples == 3 && ifd.m_bits == 8 &&
                         tiff.GetContiguousStrips(ifd, strips);
        if (rgb && FitsI32(ifd.m_width) && FitsI32(ifd.m_height) &&
            strips.m_length >= u64(ifd.m_width) * ifd.m_height * 3) {
            m_previews[m_count++] = {strips.m_offset, strips.m_length, i32(ifd.m_width),
                                     i32(ifd.m_height), true};
        }
    }
}

namespace {

// Uncompressed RGB rows, top row first, into 32-bit pixels (bottom-up).
bool LoadRgbPreview(cFileIOTarget* stream, const sRawPreview& preview, cPictBase* out)
{
    const i32 width = preview.m_width;
    const i32 height = preview.m_height;
    _typebuf<u8> row;
    if (!PixelBufferSizeOk(width, height, 4) || !row.Alloc(i64(width) * 3) ||
        !out->AllocPixels32(width, height) || !stream->Seek(preview.m_offset)) {
        return false;
    }
    for (i32 y = 0; y < height; ++y) {
        if (!stream->ReadExact(row.GetData(), u32(width) * 3)) {
            out->ClearPixels();
            return false;
        }
        u32* pixels = out->Pixels32().GetData() + i64(height - 1 - y) * width;
        const u8* rgb = row.GetData();
        for (i32 x = 0; x < width; ++x, rgb += 3) {
            pixels[x] = 0xFF000000u | LoadBe24(rgb);
        }
    }
    return true;
}

} // namespace

const sRawPreview* cRawPreviews::Choose(i32 wantedWidth, i32 wantedHeight) const
{
    const sRawPreview* largest = nullptr;
    const sRawPreview* covering = nullptr;
    auto area = [](const sRawPreview* preview) {
        return i64(preview->m_width) * preview->m_height;
    };
    for (i32 i = 0; i < m_count; ++i) {
        const sRawPreview* preview = &m_previews[i];
        if (largest == nullptr || area(preview) > area(largest)) {
            largest = preview;
        }
        if (wantedWidth > 0 && wantedHeight > 0 && preview->m_width >= wantedWidth &&
            preview->m_height >= wantedHeight &&
            (covering == nullptr || area(preview) < area(covering))) {
            covering = preview;
        }
    }
    return covering != nullptr ? covering : largest;
}

bool cRawPreviews::Load(cFileIOTarget* stream, cPictBase* out, i32* width, i32* height) const
{
    const sRawPreview* preview =
        Choose(width != nullptr ? *width : 0, height != nullptr ? *height : 0);
    if (preview == nullptr || out == nullptr) {
        return false;
    }
    if (preview->m_rgb) {
        if (!LoadRgbPreview(stream, *preview, out)) {
            return false;
        }
    } else {
        cFileIOSubRange range(stream, preview->m_offset, preview->m_length);
        cPictJPEG jpeg;
        // The preview's own Exif thumbnail is of no use here.
        jpeg.m_decodeOption = 0;
        if (!jpeg.Load(&range)) {
            return false;
        }
        out->TakePixels(&jpeg);
    }
    if (!out->HasPixels() || out->IsDeep()) {
        return false;
    }
    if (width != nullptr && height != nullptr) {
        *width = out->GetWidth();
        *height = out->GetHeight();
    }
    return true;
}

namespace {

// The previews of a TIFF structure walked from the stream; false when the walk fails.
bool ReadTiffPreviews(cFileIOTarget* stream, eTiffPreviews which, cTiffStructure& tiff,
                      cRawPreviews& previews)
{
    if (stream == nullptr || !tiff.Open(stream)) {
        return false;
    }
    previews.AddTiffJpegs(stream, tiff);
    if (which == eTiffPreviews::JpegAndRgb) {
        previews.AddDngRgbPreviews(tiff);
    }
    return true;
}

} // namespace

bool LoadTiffPreview(cFileIOTarget* stream, eTiffPreviews which, cPictBase* out, i32* width,
                     i32* height)
{
    cTiffStructure tiff;
    cRawPreviews previews;
    if (!ReadTiffPreviews(stream, which, tiff, previews)) {
        return false;
    }
    // The previews are stored unturned: the box is asked of them with its sides traded for
    // a quarter turn, and the sizes written back trade places again.
    const u32 orientation = tiff.GetOrientation();
    const bool swap = OrientationSwapsSides(orientation);
    return previews.Load(stream, out, swap ? height : width, swap ? width : height) &&
           OrientPicture(out, orientation);
}

bool TiffPreviewSize(cFileIOTarget* stream, eTiffPreviews which, i32* width, i32* height)
{
    cTiffStructure tiff;
    cRawPreviews previews;
    const sRawPreview* largest =
        ReadTiffPreviews(stream, which, tiff, previews) ? previews.Choose(0, 0) : nullptr;
    if (largest == nullptr) {
        return false;
    }
    const bool swap = OrientationSwapsSides(tiff.GetOrientation());
    *width = swap ? largest->m_height : largest->m_width;
    *height = swap ? largest->m_width : largest->m_height;
    return true;
}
