// The JBIG2 picture. Glossary (ITU-T T.88):
//   segment        header (7.2) + data; numbered 0, 1, 2 ... in file order
//   sequential     each segment's data follows its header (Annex D.1)
//   random-access  all segment headers up to end of file first, then the data parts in
//                  header order (Annex D.2)
//   page info      type 48: page width, height, resolution, flags (19 bytes, 7.4.8)
//   immediate generic region  types 38 and 39: region segment information (17 bytes,
//                  7.4.1), generic region flags, AT bytes, arithmetic data (7.4.6)
//
// ScanFile reads only the segment headers and seeks over the data. LoadPage composes the
// page in a 1-bit page bitmap (white), places each decoded region into it in file order
// (a later region replaces what lies under it), then emits every page pixel exactly once.
#include "picture/core/jbig2picture.h"

#include "picture/codecs/jbig2generic.h"
#include "picture/core/picttarget.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u8 kFileId[8] = {0x97, 0x4A, 0x42, 0x32, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr u8 kFileFlagSequential = 0x01;
constexpr u8 kFileFlagNoPageCount = 0x02;

constexpr u8 kTypeImmediateGeneric = 38;
constexpr u8 kTypeImmediateLosslessGeneric = 39;
constexpr u8 kTypePageInformation = 48;
constexpr u8 kTypeEndOfFile = 51;

constexpr u32 kPageInformationLength = 19;
constexpr u32 kRegionInfoLength = 17;
constexpr u32 kLeastGenericRegionLength = 26; // region info, flags, 8 AT bytes
constexpr u32 kUnknownLength = 0xFFFFFFFF;

constexpr u32 kBlack = 0xFF000000;
constexpr u32 kWhite = 0xFFFFFFFF;

inline u32 ReadBigEndian32(const u8* p)
{
    return u32(p[0]) << 24 | u32(p[1]) << 16 | u32(p[2]) << 8 | p[3];
}

struct sSegment
{
    u32 number = 0;
    u8 type = 0;
    u32 page = 0;
    u64 dataOffset = 0;
    u32 dataLength = 0;
    u64 headerEnd = 0;
};

enum class eStep
{
    Continue,
    End,  // the walk ends; what was read counts
    Fail, // the scan fails
};

// Reads `length` bytes at `offset` when they lie within the stream.
[[nodiscard]] bool ReadAt(cFileIOTarget* stream, u64 size, u64 offset, void* out, u32 length)
{
    return offset <= size && length <= size - offset && stream->Seek(offset) &&
           stream->ReadExact(out, length);
}

// T.88 7.2: one segment header at `offset`, which must carry `expected` as its number.
[[nodiscard]] eStep ReadSegmentHeader(cFileIOTarget* stream, u64 size, u64 offset, u32 expected,
                                      sSegment& segment)
{
    u8 start[6];
    if (!ReadAt(stream, size, offset, start, 6) || ReadBigEndian32(start) != expected) {
        return eStep::End;
    }
    segment.number = expected;
    segment.type = start[4] & 0x3F;
    const bool longPage = (start[4] & 0x40) != 0;
    u64 cursor = offset + 6;
    u64 referredCount = start[5] >> 5;
    if (referredCount == 5 || referredCount == 6) {
        return eStep::Fail;
    }
    if (referredCount == 7) {
        // 7.2.4: the long form is a 4-byte count (low 29 bits) and one retention bit per
        // referred-to segment plus one for this segment.
        u8 rest[3];
        if (!ReadAt(stream, size, cursor, rest, 3)) {
            return eStep::End;
        }
        referredCount =
            (u64(start[5] & 0x1F) << 24 | u64(rest[0]) << 16 | u64(rest[1]) << 8 | rest[2]);
        cursor += 3 + (referredCount + 1 + 7) / 8;
    }
    // 7.2.5: the size of a referred-to number depends on this segment's own number.
    const u64 numberSize = expected <= 256 ? 1 : expected <= 65536 ? 2 : 4;
    cursor += referredCount * numberSize;
    u8 tail[8];
    const u32 pageSize = longPage ? 4 : 1;
    if (!ReadAt(stream, size, cursor, tail, pageSize + 4)) {
        return eStep::End;
    }
    segment.page = longPage ? ReadBigEndian32(tail) : tail[0];
    segment.dataLength = ReadBigEndian32(tail + pageSize);
    segment.headerEnd = cursor + pageSize + 4;
    segment.dataOffset = segment.headerEnd;
    return eStep::Continue;
}

} // namespace

// The segment walk's state: the stream, its size and the table being built.
struct sJbig2Scan
{
    cFileIOTarget* stream;
    u64 size;
    bool pageCountKnown;
    u32 pageCount;
    _keytree<i32, sJbig2Page*, eValueOwnership::Owned>& pages;

    sJbig2Page* PageRecord(u32 number)
    {
        sJbig2Page** slot = pages.GetOrAdd(i32(number));
        if (slot != nullptr && *slot == nullptr) {
            *slot = NewAllocated<sJbig2Page>();
        }
        return slot != nullptr ? *slot : nullptr;
    }

    [[nodiscard]] eStep Handle(const sSegment& segment)
    {
        if (segment.type == kTypeEndOfFile) {
            return eStep::End;
        }
        // Page 0 holds global segments (tables, extensions, symbol dictionaries): skipped.
        if (segment.page == 0) {
            return eStep::Continue;
        }
        if ((pageCountKnown && segment.page > pageCount) || segment.page > u32(INT32_MAX)) {
            return eStep::Fail;
        }
        if (segment.type == kTypePageInformation) {
            return HandlePageInformation(segment);
        }
        if (segment.type == kTypeImmediateGeneric ||
            segment.type == kTypeImmediateLosslessGeneric) {
            // An unknown data length (7.2.7) would need the region's end marker searched.
            if (segment.dataLength < kLeastGenericRegionLength ||
                segment.dataLength == kUnknownLength) {
                return eStep::Fail;
            }
            sJbig2Page* page = PageRecord(segment.page);
            sJbig2Region* region = page != nullptr ? page->regions.AddNew() : nullptr;
            if (region == nullptr) {
                return eStep::Fail;
            }
            region->offset = segment.dataOffset;
            region->length = segment.dataOffset < size
                                 ? std::min<u64>(segment.dataLength, size - segment.dataOffset)
                                 : 0;
            region->type = segment.type;
        }
        return eStep::Continue;
    }

    [[nodiscard]] eStep HandlePageInformation(const sSegment& segment)
    {
        if (segment.dataLength != kPageInformationLength) {
            return eStep::Fail;
        }
        u8 data[kPageInformationLength];
        if (!ReadAt(stream, size, segment.dataOffset, data, kPageInformationLength)) {
            return eStep::End;
        }
        const u32 width = ReadBigEndian32(data);
        const u32 height = ReadBigEndian32(data + 4);
        // 0xFFFFFFFF is a striped page whose height comes with its end-of-stripe segments.
        if (width == 0 || height == 0 || height == 0xFFFFFFFF ||
            !PixelBufferSizeOk(width, height, 4)) {
            return eStep::Fail;
        }
        sJbig2Page* page = PageRecord(segment.page);
        if (page == nullptr) {
            return eStep::Fail;
        }
        page->width = width;
        page->height = height;
        if (!pageCountKnown) {
            pageCount = std::max(pageCount, segment.page);
        }
        return eStep::Continue;
    }

    // Annex D.1 (and bare streams): header, data, header, data ...
    [[nodiscard]] bool WalkSequential(u64 offset)
    {
        for (u32 number = 0;; ++number) {
            sSegment segment;
            eStep step = ReadSegmentHeader(stream, size, offset, number, segment);
            if (step == eStep::Continue) {
                step = Handle(segment);
            }
            if (step != eStep::Continue) {
                return step == eStep::End;
            }
            offset = segment.dataOffset + segment.dataLength;
        }
    }

    // Annex D.2: the headers up to and including end of file, then the data parts.
    [[nodiscard]] bool WalkRandomAccess(u64 offset)
    {
        _linklist<sSegment> segments;
        for (u32 number = 0;; ++number) {
            sSegment* segment = segments.AddNew();
            if (segment == nullptr) {
                return false;
            }
            const eStep step = ReadSegmentHeader(stream, size, offset, number, *segment);
            if (step != eStep::Continue) {
                return false; // no end-of-file segment
            }
            offset = segment->headerEnd;
            if (segment->type == kTypeEndOfFile) {
                break;
            }
        }
        for (sSegment& segment : segments) {
            segment.dataOffset = offset;
            offset += segment.dataLength;
            const eStep step = Handle(segment);
            if (step != eStep::Continue) {
                return step == eStep::End;
            }
        }
        return true;
    }
};

bool cPictJBIG2::ScanFile(cFileIOTarget* stream)
{
    m_pages.Clear();
    m_complete = 0;
    m_pageCount = 0;
    const u64 size = stream->GetSize();
    u8 header[13] = {};
    const bool hasHeader =
        ReadAt(stream, size, 0, header, 9) && std::memcmp(header, kFileId, 8) == 0;
    sJbig2Scan scan{stream, size, true, 1, m_pages};
    bool walked;
    if (!hasHeader) {
        walked = scan.WalkSequential(0);
    } else {
        u64 start = 9;
        if ((header[8] & kFileFlagNoPageCount) != 0) {
            scan.pageCountKnown = false;
            scan.pageCount = 0;
        } else {
            if (!ReadAt(stream, size, 9, header + 9, 4) || ReadBigEndian32(header + 9) == 0) {
                return false;
            }
            scan.pageCount = ReadBigEndian32(header + 9);
            start = 13;
        }
        walked = (header[8] & kFileFlagSequential) != 0 ? scan.WalkSequential(start)
                                                        : scan.WalkRandomAccess(start);
    }
    m_pageCount = scan.pageCount;
    m_complete = walked && IsComplete() ? 1 : 0;
    return m_complete != 0;
}

bool cPictJBIG2::IsComplete() const
{
    // Checked first, so that a count of 2^32 - 1 never becomes a loop of that length.
    if (m_pageCount == 0 || u64(m_pages.GetCount()) < m_pageCount) {
        return false;
    }
    for (u32 number = 1; number <= m_pageCount; ++number) {
        const sJbig2Page* page = FindPage(i32(number - 1));
        if (page == nullptr || page->width == 0 || page->height == 0 || page->regions.IsEmpty()) {
            return false;
        }
    }
    return true;
}

const sJbig2Page* cPictJBIG2::FindPage(i32 page) const
{
    if (page < 0 || page == INT32_MAX) {
        return nullptr;
    }
    const sJbig2Page* const* record = m_pages.FindIntKeyValue(page + 1);
    return record != nullptr ? *record : nullptr;
}

bool cPictJBIG2::EnsureScanned(cFileIOTarget* stream)
{
    return m_complete != 0 || ScanFile(stream);
}

bool cPictJBIG2::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (!ScanFile(stream)) {
        return false;
    }
    if (info == nullptr) {
        return true;
    }
    const sJbig2Page* first = m_pages.First()->GetValue();
    info->width = i32(first->width);
    info->height = i32(first->height);
    info->hasEmbeddedPreview = 0;
    return true;
}

bool cPictJBIG2::Load(cFileIOTarget* stream)
{
    return LoadPage(stream, 0);
}

i32 cPictJBIG2::GetPageCount(cFileIOTarget* stream)
{
    return EnsureScanned(stream) ? i32(std::min<u32>(m_pageCount, INT32_MAX)) : 0;
}

bool cPictJBIG2::GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height)
{
    const sJbig2Page* record = EnsureScanned(stream) ? FindPage(page) : nullptr;
    if (record == nullptr) {
        return false;
    }
    *width = i32(record->width);
    *height = i32(record->height);
    return true;
}

namespace {

// Copies `count` bits from the start of `source` to bit `x` onwards of `destination`.
void CopyBits(u8* destination, u32 x, const u8* source, u32 count)
{
    if ((x & 7) == 0) {
        u8* out = destination + x / 8;
        std::memcpy(out, source, count / 8);
        if ((count & 7) != 0) {
            const u8 mask = u8(0xFF00 >> (count & 7));
            out[count / 8] = u8((out[count / 8] & ~mask) | (source[count / 8] & mask));
        }
        return;
    }
    for (u32 i = 0; i < count; ++i) {
        const u32 bit = (source[i >> 3] >> (7 - (i & 7))) & 1;
        const u32 at = x + i;
        const u8 mask = u8(0x80 >> (at & 7));
        destination[at >> 3] =
            bit != 0 ? u8(destination[at >> 3] | mask) : u8(destination[at >> 3] & ~mask);
    }
}

struct sPageBits
{
    u8* bits;
    u64 stride;
    u32 width;
    u32 height;
};

// T.88 7.4.6: decodes one immediate generic region and places it, within the page's
// decoding budget; a region that cannot be
// read or decoded leaves the page as it is.
void PlaceRegion(cFileIOTarget* stream, const sJbig2Region& region, const sPageBits& page,
                 u64& budget)
{
    constexpr u32 kHeaderLength = kRegionInfoLength + 1;
    _typebuf<u8> data;
    if (region.length < kHeaderLength || !FitsI32(region.length) ||
        !data.Alloc(i64(region.length)) ||
        !ReadAt(stream, stream->GetSize(), region.offset, data.GetData(), u32(region.length))) {
        return;
    }
    const u8* bytes = data.GetData();
    sJbig2GenericHeader header;
    header.width = ReadBigEndian32(bytes);
    header.height = ReadBigEndian32(bytes + 4);
    const u32 x = ReadBigEndian32(bytes + 8);
    const u32 y = ReadBigEndian32(bytes + 12);
    header.flags = bytes[kRegionInfoLength];
    const u32 atBytes = Jbig2GenericAtBytes(header.flags);
    const u64 regionStride = (u64(header.width) - 1) / 8 + 1;
    if (header.width == 0 || header.height == 0 || x >= page.width || y >= page.height ||
        region.length < kHeaderLength + atBytes ||
        !PixelBufferSizeOk(i64(regionStride), header.height, 1)) {
        return;
    }
    std::memcpy(header.at, bytes + kHeaderLength, atBytes);
    // Rows below the page are never shown, and no row above depends on them.
    const u32 rows = std::min(header.height, page.height - y);
    header.height = rows;
    // One MQ decision per region pixel: a few regions wider than the page could take
    // minutes, so a page decodes at most 4 times its own pixel count.
    const u64 work = u64(header.width) * rows;
    if (work > budget) {
        return;
    }
    budget -= work;
    sMqDecoder decoder;
    _typebuf<u8> bitmap;
    const u64 codeStart = kHeaderLength + atBytes;
    if (!MqDecoderInit(&decoder, bytes + codeStart, region.length - codeStart) ||
        !DecodeGenericRegion(header, &decoder, bitmap)) {
        return;
    }
    const u32 columns = std::min(header.width, page.width - x);
    for (u32 row = 0; row < rows; ++row) {
        CopyBits(page.bits + (u64(y) + row) * page.stride, x,
                 bitmap.GetData() + u64(row) * regionStride, columns);
    }
}

} // namespace

bool cPictJBIG2::LoadPage(cFileIOTarget* stream, i32 page)
{
    ClearPixels();
    const sJbig2Page* record = EnsureScanned(stream) ? FindPage(page) : nullptr;
    _typebuf<u8> bits;
    const u64 stride = record != nullptr ? (u64(record->width) - 1) / 8 + 1 : 0;
    if (record == nullptr || !bits.Alloc(i64(stride * record->height))) {
        EndStreamRender();
        return false;
    }
    std::memset(bits.GetData(), 0, stride * record->height);
    const sPageBits pageBits{bits.GetData(), stride, record->width, record->height};
    u64 budget = 4 * u64(record->width) * record->height;
    for (const sJbig2Region& region : record->regions) {
        PlaceRegion(stream, region, pageBits, budget);
    }
    const i32 width = i32(record->width);
    const i32 height = i32(record->height);
    SetImageSize(width, height, false);
    m_streaming = BeginStreamRender() ? 1 : 0;
    if (m_streaming == 0 && !AllocPixels32(width, height)) {
        return false;
    }
    const u32 set = m_setBitsBlack != 0 ? kBlack : kWhite;
    const u32 clear = m_setBitsBlack != 0 ? kWhite : kBlack;
    // One byte of page bits -> its 8 pixels.
    u32 expand[256][8];
    for (u32 byte = 0; byte < 256; ++byte) {
        for (u32 bit = 0; bit < 8; ++bit) {
            expand[byte][bit] = (byte >> (7 - bit)) & 1 ? set : clear;
        }
    }
    // A streamed page goes through one row of pixels.
    _typebuf<u32> line;
    if (m_streaming != 0 && !line.Alloc(width)) {
        EndStreamRender();
        return false;
    }
    const i32 wholeBytes = width / 8;
    for (i32 y = 0; y < height; ++y) {
        const u8* row = bits.GetData() + u64(y) * stride;
        u32* out = m_streaming != 0 ? line.GetData()
                                    : Pixels32().GetData() + i64(height - 1 - y) * width;
        for (i32 i = 0; i < wholeBytes; ++i) {
            std::memcpy(out + 8 * i, expand[row[i]], sizeof(expand[0]));
        }
        for (i32 x = wholeBytes * 8; x < width; ++x) {
            out[x] = expand[row[x >> 3]][x & 7];
        }
        if (m_streaming != 0) {
            StreamRow(0, height - 1 - y, out, width);
        }
    }
    if (m_streaming != 0) {
        EndStreamRender();
        m_streaming = 0;
    }
    return true;
}

bool cPictJBIG2::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH,
                                     i32 page, bool allowFullDecode, u32 background)
{
    (void)allowFullDecode; // a page is always decoded in full
    const sJbig2Page* record = out != nullptr && EnsureScanned(stream) ? FindPage(page) : nullptr;
    if (record == nullptr) {
        return false;
    }
    if (record->width <= u32(std::max(maxW, 0)) && record->height <= u32(std::max(maxH, 0))) {
        if (!LoadPage(stream, page)) {
            return false;
        }
        out->TakePixels(this);
        return true;
    }
    const f64 scale = std::min(f64(maxW) / record->width, f64(maxH) / record->height);
    const i32 width = std::max(1, i32(record->width * scale + 0.5));
    const i32 height = std::max(1, i32(record->height * scale + 0.5));
    if (!out->AllocClear32(width, height)) {
        return false;
    }
    sPictTarget target = PictTargetFromPicture(out);
    target.background = background;
    if (target.pixels != nullptr && target.width > 0 && target.height > 0) {
        (void)SetTarget(&target);
    }
    return LoadPage(stream, page);
}

bool ProbeJBIG2(cFileIOTarget* stream, sPictInfo* info)
{
    cPictJBIG2 reader;
    return reader.ReadInfo(stream, info);
}
