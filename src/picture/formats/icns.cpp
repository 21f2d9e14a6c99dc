// The Apple icon container. Layout (big-endian): "icns", the total length (u32, at least
// 16), then elements up to the total length, each a 4-byte type and a u32 length that
// includes its 8-byte header. Offsets and ends are 64-bit and checked against both the total
// length and the stream's size, so no element can point past the data it claims.
#include "picture/formats/icns.h"

#include "base/byteorder.h"
#include "base/subrange.h"
#include "picture/core/pictfit.h"
#include "picture/formats/icnselements.h"
#include "picture/formats/jp2picture.h"
#include "picture/formats/nesteddecode.h"
#include "picture/formats/pngreader.h"

namespace {

constexpr u32 kHeaderSize = 8;
constexpr u32 kMinimumTotal = 16;
constexpr i32 kNoLimit = 0x7FFFFFFF;
constexpr i32 kSmallestChoice = 16;

// The size of a PNG, JP2 or J2K element's content; false when none of the three accepts it.
bool ProbeContent(cFileIOTarget* data, sPictInfo& info)
{
    return ProbePNG(data, &info) || ProbeJP2(data, &info) || ProbeJ2K(data, &info);
}

// Calls visit(element) for every image element in file order until it answers false.
// False when the header or an element is broken (a walk that visit stopped is true).
template <class Visit>
bool WalkElements(cFileIOTarget* stream, Visit visit)
{
    u8 header[kHeaderSize];
    if (stream == nullptr || !stream->Seek(0) || !stream->ReadExact(header, kHeaderSize) ||
        !IcnsTypeIs(header, "icns")) {
        return false;
    }
    const u64 total = LoadBe32(header + 4);
    const u64 size = stream->GetSize();
    if (total < kMinimumTotal) {
        return false;
    }
    for (u64 offset = kHeaderSize; offset < total;) {
        if (!stream->Seek(offset) || !stream->ReadExact(header, kHeaderSize)) {
            return false;
        }
        cPictICNS::sElement element;
        element.offset = offset;
        element.length = LoadBe32(header + 4);
        const u64 end = offset + element.length;
        if (element.length < kHeaderSize || end > total || (size != kUnknownStreamSize && end > size)) {
            return false;
        }
        offset = end;
        element.kind = FindIcnsType(header);
        if (element.kind < 0) {
            continue;
        }
        const sIcnsType& type = kIcnsTypes[element.kind];
        element.width = element.height = type.size;
        if (type.size == 0) {
            cFileIOSubRange data(stream, element.offset + kHeaderSize, element.length - kHeaderSize);
            sPictInfo info;
            if (!ProbeContent(&data, info)) {
                continue;
            }
            element.width = info.width;
            element.height = info.height;
        }
        if (!visit(element)) {
            return true;
        }
    }
    return true;
}

// The largest element within the limits (the first of equal areas).
bool ChooseElement(cFileIOTarget* stream, i32 maxWidth, i32 maxHeight,
                   cPictICNS::sElement& chosen)
{
    if (maxWidth < kSmallestChoice || maxHeight < kSmallestChoice) {
        return false;
    }
    i64 bestArea = -1;
    const bool walked = WalkElements(stream, [&](const cPictICNS::sElement& element) {
        const i64 area = i64(element.width) * element.height;
        if (element.width <= maxWidth && element.height <= maxHeight && area > bestArea) {
            bestArea = area;
            chosen = element;
        }
        return true;
    });
    return walked && bestArea >= 0;
}

bool FindPage(cFileIOTarget* stream, i32 page, cPictICNS::sElement& found)
{
    i32 index = 0;
    bool seen = false;
    const bool walked = WalkElements(stream, [&](const cPictICNS::sElement& element) {
        seen = index++ == page;
        found = element;
        return !seen;
    });
    return page >= 0 && walked && seen;
}

} // namespace

bool cPictICNS::DecodeEmbedded(cFileIOTarget* data)
{
    // The first format whose probe accepts the data decides.
    if (ProbePNG(data, nullptr)) {
        return DecodeNestedPicture<cPictPNG>(data, this, eNestedResult::Take);
    }
    if (ProbeJP2(data, nullptr)) {
        return DecodeNestedPicture<cPictJP2>(data, this, eNestedResult::Take);
    }
    return ProbeJ2K(data, nullptr) && DecodeNestedPicture<cPictJ2K>(data, this, eNestedResult::Take);
}

bool cPictICNS::DecodeElement(cFileIOTarget* stream, const sElement& element)
{
    ClearPixels();
    bool ok = false;
    if (element.kind >= 0 && kIcnsTypes[element.kind].size == 0) {
        cFileIOSubRange data(stream, element.offset + kHeaderSize, element.length - kHeaderSize);
        ok = DecodeEmbedded(&data);
    } else if (element.kind >= 0) {
        ok = DecodeIcon(stream, element);
    }
    EndStreamRender();
    return ok;
}

bool cPictICNS::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    sElement chosen;
    m_offset = -1;
    m_length = 0;
    if (!ChooseElement(stream, kNoLimit, kNoLimit, chosen) || !FitsI32(chosen.offset)) {
        return false;
    }
    m_offset = i32(chosen.offset);
    m_length = chosen.length;
    if (info != nullptr) {
        *info = {chosen.width, chosen.height, 1};
    }
    return true;
}

bool cPictICNS::Load(cFileIOTarget* stream)
{
    if (m_offset < 0 && !ReadInfo(stream, nullptr)) {
        EndStreamRender();
        return false;
    }
    const i64 recorded = m_offset;
    const u32 recordedLength = m_length;
    // The recorded element is found again by its offset, so that its kind and size are
    // those of the walk.
    sElement found;
    bool seen = false;
    const bool walked = WalkElements(stream, [&](const sElement& element) {
        seen = i64(element.offset) == recorded && element.length == recordedLength;
        found = element;
        return !seen;
    });
    if (!walked || !seen) {
        EndStreamRender();
        return false;
    }
    return DecodeElement(stream, found);
}

i32 cPictICNS::GetPageCount(cFileIOTarget* stream)
{
    i32 count = 0;
    const bool walked = WalkElements(stream, [&](const sElement&) {
        ++count;
        return true;
    });
    return walked ? count : 0;
}

bool cPictICNS::GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height)
{
    sElement element;
    if (!FindPage(stream, page, element)) {
        return false;
    }
    *width = element.width;
    *height = element.height;
    return true;
}

bool cPictICNS::LoadPage(cFileIOTarget* stream, i32 page)
{
    sElement element;
    if (!FindPage(stream, page, element)) {
        EndStreamRender();
        return false;
    }
    return DecodeElement(stream, element);
}

bool cPictICNS::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH,
                                    i32 page, bool allowFullDecode, u32 background)
{
    sElement element;
    if (out == nullptr || maxW < 1 || maxH < 1 || !FindPage(stream, page, element)) {
        return false;
    }
    if (element.width <= maxW && element.height <= maxH) {
        if (!DecodeElement(stream, element)) {
            return false;
        }
        out->TakePixels(this);
        return true;
    }
    // A thin element keeps a side of one pixel rather than no thumbnail.
    i32 width = 0;
    i32 height = 0;
    if (!PictFitSize(element.width, element.height, maxW, maxH, &width, &height,
                     eFitThinSide::OnePixel) ||
        !out->AllocClear32(width, height)) {
        return false;
    }
    sPictTarget target = PictTargetFromPicture(out);
    target.background = background;
    const bool ok = SetTarget(&target) && DecodeElement(stream, element);
    (void)SetTarget(nullptr);
    return ok;
}

bool cPictICNS::LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                                    i32* height)
{
    if (out == nullptr) {
        return false;
    }
    if (width == nullptr && height == nullptr) {
        if (!Load(stream)) {
            return false;
        }
        out->TakePixels(this);
        return true;
    }
    if ((width != nullptr && *width < 1) || (height != nullptr && *height < 1)) {
        return false;
    }
    sElement chosen;
    if (!ChooseElement(stream, width != nullptr ? *width : kNoLimit,
                       height != nullptr ? *height : kNoLimit, chosen) ||
        !DecodeElement(stream, chosen)) {
        return false;
    }
    out->TakePixels(this);
    if (width != nullptr) {
        *width = chosen.width;
    }
    if (height != nullptr) {
        *height = chosen.height;
    }
    return true;
}

bool ProbeICNS(cFileIOTarget* stream, sPictInfo* info)
{
    cPictICNS reader;
    return reader.ReadInfo(stream, info);
}
