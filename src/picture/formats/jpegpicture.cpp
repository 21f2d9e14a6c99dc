#include "picture/formats/jpegpicture.h"

#include "base/memio.h"
#include "picture/tiffraw/exifdecoder.h"

#include <algorithm>
#include <new>

bool cPictJPEG::Parse(cFileIOTarget* stream, eMode mode)
{
    m_mode = mode;
    m_frameSeen = 0;
    if (stream == nullptr) {
        return false;
    }
    (void)stream->Seek(0);
    return ParseMarkers(stream);
}

bool cPictJPEG::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    // The parse ends with false on purpose right after the frame header.
    (void)Parse(stream, eMode::HeaderOnly);
    if (!m_frameSeen) {
        return false;
    }
    if (info != nullptr) {
        info->width = GetFrameWidth();
        info->height = GetFrameHeight();
        info->hasEmbeddedPreview = FindThumbnailProperty() != nullptr ? 1 : 0;
    }
    return true;
}

bool cPictJPEG::Load(cFileIOTarget* stream)
{
    const bool ok = Parse(stream, eMode::Decode);
    EndStreamRender();
    m_streaming = 0;
    return ok;
}

bool cPictJPEG::LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                                    i32* height)
{
    (void)Parse(stream, eMode::PreviewOnly);
    cPictPropImage* thumbnail = FindThumbnailProperty();
    if (out == nullptr || thumbnail == nullptr || thumbnail->GetPicture() == nullptr) {
        return false;
    }
    out->TakePixels(thumbnail->GetPicture());
    return out->HasPixels() && !out->IsDeep();
}

bool cPictJPEG::OnExifData(const u8* payload, u32 length)
{
    cBufWrapperIO block(payload, length);
    const bool decodeThumbnail = m_mode != eMode::HeaderOnly && m_decodeOption != 0;
    cExifDecoder decoder(this, decodeThumbnail);
    // An unreadable Exif block only means absent properties: answering false would end the
    // parse, and a valid image with a damaged Exif block would not decode at all.
    (void)decoder.Parse(&block);
    return true;
}

void cPictJPEG::SetExifThumbnail(cFileIOTarget* jpeg, bool decode)
{
    cPictProp* property = GetOrCreateProperty(kPictPropThumbnail, true);
    if (property == nullptr || property->GetKind() != kPictPropKindImage || !decode) {
        return;
    }
    cPictJPEG* picture = new (std::nothrow) cPictJPEG();
    if (picture == nullptr) {
        return;
    }
    // No thumbnail of a thumbnail: a JPEG nested in its own Exif block, level after level,
    // would otherwise recurse as deep as the block allows.
    picture->m_decodeOption = 0;
    if (picture->Load(jpeg)) {
        static_cast<cPictPropImage*>(property)->SetPicture(picture);
    } else {
        picture->Delete();
    }
}

bool cPictJPEG::OnFrame()
{
    m_frameSeen = 1;
    if (m_mode == eMode::HeaderOnly || m_mode == eMode::PreviewOnly) {
        return false;
    }
    if (m_mode != eMode::Decode) {
        return true;
    }
    const i32 width = GetFrameWidth();
    const i32 height = GetFrameHeight();
    const bool deep = GetPrecision() > 8;
    if (!PixelBufferSizeOk(width, height, deep ? 8 : 4)) {
        return false;
    }
    SetImageSize(width, height, deep);
    m_streaming = BeginStreamRender() ? 1 : 0;
    if (m_streaming) {
        return true;
    }
    return deep ? AllocClear64(width, height) : AllocClear32(width, height);
}

bool cPictJPEG::OnMcuRows(int mcuColumn, int mcuRow, int mcuCount)
{
    const i32 width = GetFrameWidth();
    const i32 height = GetFrameHeight();
    const i64 x0 = i64(mcuColumn) * GetMcuWidth();
    const i64 y0 = i64(mcuRow) * GetMcuHeight();
    if (x0 >= width || y0 >= height) {
        return false;
    }
    // The band is clipped to the image on both axes: the padding MCUs on the right edge
    // must not be written past the row.
    const int bandWidth = int(std::min<i64>(i64(mcuCount) * GetMcuWidth(), width - x0));
    const int bandRows = int(std::min<i64>(GetMcuHeight(), height - y0));
    if (m_streaming) {
        return StreamBand(mcuColumn, mcuRow, bandWidth, bandRows);
    }
    const bool deep = GetPrecision() > 8;
    if (!HasPixels() || !EnsureRowPointers(bandRows)) {
        return false;
    }
    for (int r = 0; r < bandRows; ++r) {
        const i64 y = y0 + r;
        const i64 row = m_rowsBottomUp ? height - 1 - y : y;
        const i64 index = row * width + x0;
        m_rowPointers.GetData()[r] = deep ? static_cast<void*>(Pixels64().GetData() + index)
                                          : static_cast<void*>(Pixels32().GetData() + index);
    }
    return DecodeRegion(mcuColumn, mcuRow, m_rowPointers.GetData(), bandWidth, bandRows);
}

bool cPictJPEG::EnsureRowPointers(int rows)
{
    return m_rowPointers.GetCount() >= rows || m_rowPointers.Alloc(GetMcuHeight());
}

void cPictJPEG::StreamOpaqueRow(i32 x, i32 y, u32* pixels, i32 count)
{
    for (i32 i = 0; i < count; ++i) {
        pixels[i] |= 0xFF000000u;
    }
    StreamRow(x, y, pixels, count);
}

bool cPictJPEG::StreamBand(int mcuColumn, int mcuRow, int width, int rows)
{
    const i32 height = GetFrameHeight();
    const int x0 = mcuColumn * GetMcuWidth();
    const int y0 = mcuRow * GetMcuHeight();
    // The window test works in bottom-up rows: the band covers h-y0-rows .. h-1-y0.
    if (!IsInStreamWindow(x0, height - y0 - rows, height - 1 - y0)) {
        return true;
    }
    const bool deep = GetPrecision() > 8;
    const i64 count = i64(width) * rows;
    if (!EnsureRowPointers(rows)) {
        return false;
    }
    if (deep ? (m_rowBuffer64.GetCount() < count && !m_rowBuffer64.Alloc(i32(count)))
             : (m_rowBuffer32.GetCount() < count && !m_rowBuffer32.Alloc(i32(count)))) {
        return false;
    }
    for (int r = 0; r < rows; ++r) {
        m_rowPointers.GetData()[r] = deep ? static_cast<void*>(m_rowBuffer64.GetData() + i64(r) * width)
                                          : static_cast<void*>(m_rowBuffer32.GetData() + i64(r) * width);
    }
    if (!DecodeRegion(mcuColumn, mcuRow, m_rowPointers.GetData(), width, rows)) {
        return false;
    }
    for (int r = 0; r < rows; ++r) {
        const i32 y = height - 1 - (y0 + r);
        if (deep) {
            for (int x = 0; x < width; ++x) {
                StreamPixel64(x0 + x, y, m_rowBuffer64.GetData()[i64(r) * width + x] | (u64(0xFFFF) << 48));
            }
        } else {
            StreamOpaqueRow(x0, y, m_rowBuffer32.GetData() + i64(r) * width, width);
        }
    }
    return true;
}

bool cPictJPEG::OnRows(const sJpegRows& rows, int y, int count)
{
    const i32 width = GetFrameWidth();
    const i32 height = GetFrameHeight();
    if (y < 0 || y >= height || count != width) {
        return false;
    }
    const bool deep = GetPrecision() > 8;
    if (!m_streaming) {
        if (!HasPixels()) {
            return false;
        }
        const i64 row = m_rowsBottomUp ? height - 1 - y : y;
        if (deep) {
            ConvertRow16(rows.m_rows16, Pixels64().GetData() + row * width, count);
        } else {
            ConvertRow8(rows.m_rows8, Pixels32().GetData() + row * width, count, 1);
        }
        return true;
    }
    const i32 bottomUpRow = height - 1 - y;
    if (!IsInStreamWindow(0, bottomUpRow, bottomUpRow)) {
        return true;
    }
    if (deep) {
        if (m_rowBuffer64.GetCount() < count && !m_rowBuffer64.Alloc(count)) {
            return false;
        }
        ConvertRow16(rows.m_rows16, m_rowBuffer64.GetData(), count);
        for (int x = 0; x < count; ++x) {
            StreamPixel64(x, bottomUpRow, m_rowBuffer64.GetData()[x] | (u64(0xFFFF) << 48));
        }
    } else {
        if (m_rowBuffer32.GetCount() < count && !m_rowBuffer32.Alloc(count)) {
            return false;
        }
        ConvertRow8(rows.m_rows8, m_rowBuffer32.GetData(), count, 1);
        StreamOpaqueRow(0, bottomUpRow, m_rowBuffer32.GetData(), count);
    }
    return true;
}

bool ProbeJPEG(cFileIOTarget* stream, sPictInfo* info)
{
    cPictJPEG picture;
    return picture.ReadInfo(stream, info);
}
