// The page operations of both DICOM readers, the search for an encapsulated frame and page
// thumbnails.
//
// Encapsulated pixel data (DICOM PS3.5 A.4): a sequence of items (FFFE,E000), each an
// 8-byte header (tag, u32 length) and its bytes. The first item is the Basic Offset Table
// (empty or one u32 per frame); the frames' fragments follow. The first fragment of the
// first frame is located by walking those two item headers; only when that walk fails, or
// nothing is recognised there, the fixed places that assume a one-entry offset table are
// tried.
#include "picture/formats/dicomimage.h"

#include "base/byteorder.h"
#include "base/subrange.h"
#include "picture/core/pictfit.h"
#include "picture/formats/jp2picture.h"
#include "picture/formats/jpegpicture.h"
#include "picture/formats/nesteddecode.h"

#include <algorithm>
#include <utility>

namespace {

constexpr u32 kItemTag = u32(kDicomItem) << 16 | kDicomItemGroup; // the tag as one u32
constexpr u64 kItemHeaderBytes = 8;

enum class eCodec
{
    J2K,
    JPEG,
};

struct sFixedWindow
{
    u64 start; // into the pixel data
    eCodec codec;
};

// Where a frame sits when the offset table has exactly one entry (20 bytes in), one entry
// and a pad (24), or is absent from a non-conforming writer (16); in this order, which
// sDicomDecodeRules::fixedWindows counts.
constexpr sFixedWindow kFixedWindows[] = {
    {20, eCodec::J2K},
    {24, eCodec::J2K},
    {16, eCodec::JPEG},
    {20, eCodec::JPEG},
};

constexpr sDicomAttribute kAttributes[] = {
    {0x0002, &sDicomImage::samples, true},
    {0x0006, &sDicomImage::planar, false},
    {0x0010, &sDicomImage::rows, true},
    {0x0011, &sDicomImage::columns, true},
    {0x0100, &sDicomImage::bitsAllocated, true},
    {0x0101, &sDicomImage::bitsStored, true},
    {0x0103, &sDicomImage::pixelRepresentation, false},
};

// The first fragment's bytes within the pixel data: [start, start + length).
bool LocateFirstFragment(cFileIOTarget* stream, const sDicomImage& image, u64& start, u64& length)
{
    u8 header[kItemHeaderBytes];
    if (!stream->Seek(image.offset) || !stream->ReadExact(header, kItemHeaderBytes) ||
        LoadLe32(header) != kItemTag) {
        return false;
    }
    const u64 fragmentHeader = kItemHeaderBytes + LoadLe32(header + 4);
    if (fragmentHeader + kItemHeaderBytes >= image.length ||
        !stream->Seek(image.offset + fragmentHeader) ||
        !stream->ReadExact(header, kItemHeaderBytes) || LoadLe32(header) != kItemTag) {
        return false;
    }
    start = fragmentHeader + kItemHeaderBytes;
    length = std::min<u64>(LoadLe32(header + 4), image.length - start);
    return length > 0;
}

enum class eFrameResult
{
    NotRecognised,
    Decoded,
    Failed,
};

eFrameResult Outcome(bool decoded)
{
    return decoded ? eFrameResult::Decoded : eFrameResult::Failed;
}

// Probes the window as the given codecs in turn; the first that recognises it decodes.
eFrameResult DecodeWindow(cPictBase* owner, cFileIOTarget* window, bool triesJ2K, bool triesJP2,
                          bool triesJpeg)
{
    if (triesJ2K && ProbeJ2K(window, nullptr)) {
        return Outcome(DecodeNestedPicture<cPictJ2K>(window, owner, eNestedResult::Take));
    }
    if (triesJP2 && ProbeJP2(window, nullptr)) {
        return Outcome(DecodeNestedPicture<cPictJP2>(window, owner, eNestedResult::Take));
    }
    if (triesJpeg && ProbeJPEG(window, nullptr)) {
        return Outcome(DecodeNestedPicture<cPictJPEG>(window, owner, eNestedResult::Normalize));
    }
    return eFrameResult::NotRecognised;
}

} // namespace

bool IsDicomLongFormVR(const char* vr)
{
    for (const char* entry : {"OB", "OD", "OF", "OW", "SQ", "UN", "UT"}) {
        if (entry[0] == vr[0] && entry[1] == vr[1]) {
            return true;
        }
    }
    return false;
}

const sDicomAttribute* FindDicomAttribute(u16 group, u16 element)
{
    if (group != 0x0028) {
        return nullptr;
    }
    for (const sDicomAttribute& attribute : kAttributes) {
        if (attribute.element == element) {
            return &attribute;
        }
    }
    return nullptr;
}

bool ReadDicomValue(cFileIOTarget* stream, u64 offset, u32 bytes, u32& value)
{
    u8 data[4] = {};
    if (bytes > sizeof(data) || !stream->Seek(offset) || !stream->ReadExact(data, bytes)) {
        return false;
    }
    value = LoadLe32(data);
    return true;
}

u64 DicomFrameBytes(const sDicomImage& image)
{
    u64 bytes = image.bitsAllocated / 8;
    for (u32 factor : {image.samples, image.rows, image.columns}) {
        if (!CheckedMul64(bytes, factor, bytes)) {
            return ~u64(0);
        }
    }
    return bytes;
}

sDicomImage* cPictDICOMBase::RecordOf(i32 key)
{
    return m_images.GetOrAdd(key);
}

bool cPictDICOMBase::StorePixelData(i32 key, u32 offset, u32 length)
{
    sDicomImage* image = RecordOf(key);
    if (image == nullptr) {
        return false;
    }
    image->offset = offset;
    image->length = length;
    return true;
}

bool cPictDICOMBase::StoreAttribute(i32 key, const sDicomAttribute& attribute, u32 value)
{
    sDicomImage* image = RecordOf(key);
    if (image == nullptr) {
        return false;
    }
    image->*attribute.field = value;
    return true;
}

bool cPictDICOMBase::EnsureParsed(cFileIOTarget* stream)
{
    if (m_images.GetCount() > 0) {
        return true;
    }
    ClearPixels();
    const bool parsed = stream != nullptr && ParseFile(stream);
    m_stream = nullptr;
    if (!parsed) {
        m_images.Clear();
    }
    return parsed;
}

const sDicomImage* cPictDICOMBase::FindPage(cFileIOTarget* stream, i32 page)
{
    if (page < 0 || !EnsureParsed(stream)) {
        return nullptr;
    }
    const tImageMap::cNode* node = m_images.First();
    for (i32 i = 0; node != nullptr && i < page; ++i) {
        node = tImageMap::Next(node);
    }
    return node != nullptr ? &node->GetValue() : nullptr;
}

bool cPictDICOMBase::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    const sDicomImage* image = FindPage(stream, 0);
    if (image == nullptr) {
        return false;
    }
    if (info != nullptr) {
        *info = {i32(image->columns), i32(image->rows), 0};
    }
    return true;
}

i32 cPictDICOMBase::GetPageCount(cFileIOTarget* stream)
{
    return EnsureParsed(stream) ? m_images.GetCount() : 0;
}

bool cPictDICOMBase::GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height)
{
    const sDicomImage* image = FindPage(stream, page);
    if (image == nullptr || width == nullptr || height == nullptr) {
        return false;
    }
    *width = i32(image->columns);
    *height = i32(image->rows);
    return true;
}

bool cPictDICOMBase::LoadPage(cFileIOTarget* stream, i32 page)
{
    const sDicomImage* image = FindPage(stream, page);
    const bool ok = image != nullptr && DecodeImage(stream, *image);
    EndStreamRender();
    return ok;
}

bool cPictDICOMBase::MapTo32Bits()
{
    if (!IsDeep()) {
        return HasPixels();
    }
    _typebuf<u32> mapped;
    if (!GetPixels32(mapped)) {
        return false;
    }
    SetImageSize(GetWidth(), GetHeight(), false);
    std::swap(Pixels32(), mapped);
    Pixels64().Free();
    return true;
}

bool cPictDICOMBase::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH,
                                         i32 page, bool, u32 background)
{
    if (out == nullptr || maxW < 1 || maxH < 1) {
        return false;
    }
    const sDicomImage* found = FindPage(stream, page);
    if (found == nullptr) {
        return false;
    }
    const sDicomImage image = *found;
    bool ok = false;
    if (image.columns > u32(maxW) || image.rows > u32(maxH)) {
        // A thin image keeps a side of one pixel rather than no thumbnail. Sizes beyond an
        // i32 never decode.
        i32 width = 0;
        i32 height = 0;
        if (!FitsI32(image.columns) || !FitsI32(image.rows) ||
            !PictFitSize(i32(image.columns), i32(image.rows), maxW, maxH, &width, &height,
                         eFitThinSide::OnePixel) ||
            !out->AllocClear32(width, height)) {
            return false;
        }
        sPictTarget target = PictTargetFromPicture(out);
        target.background = background;
        ok = SetTarget(&target) && DecodeImage(stream, image);
    } else {
        ok = DecodeImage(stream, image) && MapTo32Bits();
        if (ok) {
            out->TakePixels(this);
        }
    }
    EndStreamRender();
    return ok;
}

bool cPictDICOMBase::DecodeWithRules(cFileIOTarget* stream, const sDicomImage& image,
                                     const sDicomDecodeRules& rules)
{
    if (!FitsI32(image.columns) || !FitsI32(image.rows)) {
        return false;
    }
    SetImageSize(i32(image.columns), i32(image.rows), false);
    if (image.bitsStored == 0 || image.bitsAllocated < image.bitsStored ||
        (image.bitsAllocated != 8 && image.bitsAllocated != 16)) {
        return false;
    }
    const u64 expected = DicomFrameBytes(image);
    const u64 length = image.length;
    // DICOM values have even lengths: odd pixel data carry one pad byte (PS3.5 8.1.1).
    const bool uncompressed =
        length == expected ||
        (rules.acceptsTwiceLength && length % 2 == 0 && length / 2 == expected) ||
        (expected % 2 == 1 && length - 1 == expected);
    return uncompressed ? DecodeUncompressed(stream, image)
                        : DecodeEncapsulated(stream, image, rules);
}

bool cPictDICOMBase::DecodeEncapsulated(cFileIOTarget* stream, const sDicomImage& image,
                                        const sDicomDecodeRules& rules)
{
    u64 start = 0;
    u64 length = 0;
    if (LocateFirstFragment(stream, image, start, length)) {
        cFileIOSubRange window(stream, image.offset + start, length);
        // Some writers put a whole JP2 file into a JPEG 2000 transfer syntax.
        const eFrameResult result = DecodeWindow(this, &window, true, true, rules.triesJpeg);
        if (result != eFrameResult::NotRecognised) {
            return result == eFrameResult::Decoded;
        }
    }
    for (u32 i = 0; i < rules.fixedWindows && i < std::size(kFixedWindows); ++i) {
        const sFixedWindow& fixed = kFixedWindows[i];
        if (image.length <= fixed.start) {
            continue;
        }
        cFileIOSubRange window(stream, image.offset + fixed.start, image.length - fixed.start);
        const eFrameResult result = DecodeWindow(this, &window, fixed.codec == eCodec::J2K, false,
                                                 fixed.codec == eCodec::JPEG);
        if (result != eFrameResult::NotRecognised) {
            return result == eFrameResult::Decoded;
        }
    }
    return false;
}
