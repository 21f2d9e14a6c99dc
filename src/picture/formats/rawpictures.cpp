#include "picture/formats/rawpictures.h"

#include "base/byteorder.h"
#include "picture/core/pictfit.h"
#include "picture/formats/rawdevelop.h"
#include "picture/formats/rawpreview.h"
#include "picture/tiffraw/tiffstructure.h"

#include <cstring>

namespace {

struct sRawFormat
{
    i32 formatId;
    const char* make1; // Make prefixes of the Make-based rules
    const char* make2;
};

constexpr sRawFormat kFormats[] = {
    {kPictFormatPEF, "PENTAX", "RICOH"},  {kPictFormatARW, "SONY", nullptr},
    {kPictFormatSRW, "SAMSUNG", nullptr}, {kPictFormatIIQ, nullptr, nullptr},
    {kPictFormatMOS, "Leaf", nullptr},    {kPictFormatCR2, nullptr, nullptr},
    {kPictFormatNEF, "NIKON", nullptr},   {kPictFormat3FR, "Hasselblad", nullptr},
    {kPictFormatDNG, nullptr, nullptr},   {kPictFormatTIFFEP, nullptr, nullptr},
};

const sRawFormat& FormatOf(eTiffRaw kind)
{
    return kFormats[int(kind)];
}

bool MakeMatches(const cTiffStructure& tiff, const sRawFormat& format)
{
    return (format.make1 != nullptr && tiff.MakeStartsWith(format.make1)) ||
           (format.make2 != nullptr && tiff.MakeStartsWith(format.make2));
}

// The header bytes some rules look at: 16 bytes from the start.
bool HeaderMatches(cFileIOTarget* stream, eTiffRaw kind)
{
    u8 header[16];
    if (!stream->Seek(0) || !stream->ReadExact(header, 16)) {
        return false;
    }
    if (kind == eTiffRaw::IIQ) {
        return (std::memcmp(header + 8, "IIII", 4) == 0 &&
                std::memcmp(header + 13, "waR", 3) == 0) ||
               (std::memcmp(header + 8, "MMMM", 4) == 0 && std::memcmp(header + 12, "Raw", 3) == 0);
    }
    // CR2: IFD0 at 16 or later, leaving room for the Canon block at 8.
    const bool bigEndian = header[0] == 'M';
    const u32 ifd0 = LoadU32(header + 4, bigEndian);
    return ifd0 >= 16 && std::memcmp(header + 8, "CR\x02\0", 4) == 0;
}

bool RuleMatches(cFileIOTarget* stream, const cTiffStructure& tiff, eTiffRaw kind)
{
    if (tiff.GetIdentifier() != kTiffIdClassic) {
        return false;
    }
    const bool raw = tiff.FindRawIfd() != nullptr;
    const bool dng = tiff.HasDngVersion();
    switch (kind) {
    case eTiffRaw::IIQ:
    case eTiffRaw::CR2:
        return HeaderMatches(stream, kind);
    case eTiffRaw::MOS:
        return !dng && (tiff.HasLeafData() || (raw && MakeMatches(tiff, FormatOf(kind))));
    case eTiffRaw::DNG:
        return dng;
    case eTiffRaw::TIFFEP:
        return !dng && raw && tiff.HasTiffEpStandard();
    default:
        return !dng && raw && MakeMatches(tiff, FormatOf(kind));
    }
}

// The DNG size: the main raw IFD (NewSubfileType 0), cropped by DefaultCropSize.
bool GetDngSize(const cTiffStructure& tiff, u32& width, u32& height)
{
    for (i32 i = 0; i < tiff.GetIfdCount(); ++i) {
        const sTiffIfd& ifd = tiff.GetIfd(i);
        if (ifd.m_newSubfileType == 0 && cTiffStructure::IsRawIfd(ifd)) {
            const bool crop = ifd.m_cropWidth > 0 && ifd.m_cropHeight > 0;
            width = crop ? ifd.m_cropWidth : ifd.m_width;
            height = crop ? ifd.m_cropHeight : ifd.m_height;
            return width > 0 && height > 0;
        }
    }
    return tiff.GetGenericSize(width, height);
}

eTiffPreviews PreviewsOf(eTiffRaw kind)
{
    return kind == eTiffRaw::DNG ? eTiffPreviews::JpegAndRgb : eTiffPreviews::Jpeg;
}

// The size Load gives: the developed one where LibRaw develops the file, else the upright
// largest preview's; the recorded size where neither is there, for a file that Load fails.
bool ReadRawInfo(cFileIOTarget* stream, eTiffRaw kind, bool develop, sPictInfo* info)
{
    cTiffStructure tiff;
    if (stream == nullptr || !tiff.Open(stream) || !RuleMatches(stream, tiff, kind)) {
        return false;
    }
    u32 width = 0;
    u32 height = 0;
    const bool sized = kind == eTiffRaw::DNG ? GetDngSize(tiff, width, height)
                                             : tiff.GetGenericSize(width, height);
    if (!sized || !FitsI32(width) || !FitsI32(height)) {
        return false;
    }
    if (info != nullptr) {
        info->width = i32(width);
        info->height = i32(height);
        i32 loadedWidth = 0;
        i32 loadedHeight = 0;
        if ((develop && RawDevelopedSize(stream, &loadedWidth, &loadedHeight)) ||
            TiffPreviewSize(stream, PreviewsOf(kind), &loadedWidth, &loadedHeight)) {
            info->width = loadedWidth;
            info->height = loadedHeight;
        }
        cRawPreviews rgb;
        if (kind == eTiffRaw::DNG) {
            rgb.AddDngRgbPreviews(tiff);
        }
        info->hasEmbeddedPreview = rgb.GetCount() > 0 || TiffHasJpegPreview(stream, tiff) ? 1 : 0;
    }
    return true;
}

} // namespace

i32 cPictTiffRaw::GetFormatId()
{
    return FormatOf(m_kind).formatId;
}

bool cPictTiffRaw::Develops() const
{
    return m_kind != eTiffRaw::NEF || m_decodeOption != 0;
}

bool cPictTiffRaw::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    return ReadRawInfo(stream, m_kind, Develops(), info);
}

bool cPictTiffRaw::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    if (!Develops() || !DevelopRaw(stream, this)) {
        if (!stream->IsOpen() || !LoadEmbeddedPreview(stream, this, nullptr, nullptr)) {
            return false;
        }
    }
    ReadProperties(stream);
    // Developed and preview pixels are upright already: the orientation is not for the viewer
    // to apply again.
    RemoveProperty(kPictPropRotation);
    RemoveProperty(kPictPropMirroring);
    return true;
}

bool cPictTiffRaw::LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                                       i32* height)
{
    return LoadTiffPreview(stream, PreviewsOf(m_kind), out, width, height);
}

bool cPictTiffRaw::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH,
                                       i32 page, bool allowFullDecode, u32 background)
{
    if (m_thumbnail == eRawThumbnail::Base) {
        return cPictTIFF::RenderPageThumbnail(stream, out, maxW, maxH, page, allowFullDecode,
                                              background);
    }
    if (m_thumbnail == eRawThumbnail::White) {
        return cPictTIFF::RenderPageThumbnail(stream, out, maxW, maxH, page, allowFullDecode,
                                              0xFFFFFF);
    }
    if (page != 0 || stream == nullptr || out == nullptr || maxW <= 0 || maxH <= 0) {
        return false;
    }
    i32 width = maxW;
    i32 height = maxH;
    if (!LoadEmbeddedPreview(stream, out, &width, &height)) {
        return false;
    }
    // The chosen preview is the smallest that covers the box, so it is often larger.
    if (width > maxW || height > maxH) {
        return PictFitToBox(out, maxW, maxH, out, 0);
    }
    return true;
}
