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
// page row by row: the page's default pixel, then each region's row combined in file order
// with its combination operator; every page pixel is emitted exactly once.
#include "picture/formats/jbig2picture.h"

#include "base/byteorder.h"
#include "picture/codecs/jbig2generic.h"
#include "picture/core/picttarget.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

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
    if (!ReadAt(stream, size, offset, start, 6) || LoadBe32(start) != expected) {
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
        referredCount = (u64(start[5] & 0x1F) << 24 | LoadBe24(rest));
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
    segment.page = longPage ? LoadBe32(tail) : tail[0];
    segment.dataLength = LoadBe32(tail + pageSize);
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
        const u32 width = LoadBe32(data);
        const u32 height = LoadBe32(data + 4);
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
        page->flags = data[16];
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
            if (!ReadAt(stream, size, 9, header + 9, 4) || LoadBe32(header + 9) == 0) {
                return false;
            }
            scan.pageCount = LoadBe32(header + 9);
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
        if (page == nullptr || page->width == 0 || page->height == 0) {
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

// T.88 7.4.1.5: the external combination operators (the page's default, 7.4.8.5, is one
// of the first four).
enum eCombination : u8
{
    kOr = 0,
    kAnd = 1,
    kXor = 2,
    kXnor = 3,
    kReplace = 4,
};

template <u8 Operation> inline u8 Combine(u8 page, u8 region)
{
    if constexpr (Operation == kOr) {
        return page | region;
    } else if constexpr (Operation == kAnd) {
        return page & region;
    } else if constexpr (Operation == kXor) {
        return page ^ region;
    } else if constexpr (Operation == kXnor) {
        return u8(~(page ^ region));
    } else {
        return region;
    }
}

// Combines `count` bits from the start of `source` into bit `x` onwards of `destination`.
template <u8 Operation>
void CombineBits(u8* destination, u32 x, const u8* source, u32 count)
{
    const u32 shift = x & 7;
    u8* out = destination + x / 8;
    if (Operation == kReplace && shift == 0) {
        std::memcpy(out, source, count / 8);
        if ((count & 7) != 0) {
            const u8 mask = u8(0xFF00 >> (count & 7));
            out[count / 8] = u8((out[count / 8] & ~mask) | (source[count / 8] & mask));
        }
        return;
    }
    for (u32 i = 0; i < count; i += 8) {
        const u8 mask = u8(0xFF00 >> std::min<u32>(8, count - i));
        const u8 bits = source[i / 8] & mask;
        // The source byte straddles two page bytes unless the region is byte-aligned.
        const u8 highMask = u8(mask >> shift);
        const u8 lowMask = u8(u32(mask) << (8 - shift));
        u8& high = out[i / 8];
        high = u8((high & ~highMask) | (Combine<Operation>(high, u8(bits >> shift)) & highMask));
        if (lowMask != 0) {
            u8& low = out[i / 8 + 1];
            low = u8((low & ~lowMask) |
                     (Combine<Operation>(low, u8(u32(bits) << (8 - shift))) & lowMask));
        }
    }
}

using tCombineBits = void (*)(u8*, u32, const u8*, u32);
constexpr tCombineBits kCombineBits[5] = {CombineBits<kOr>, CombineBits<kAnd>, CombineBits<kXor>,
                                          CombineBits<kXnor>, CombineBits<kReplace>};

// The page flags (T.88 7.4.8.5) that composing uses.
constexpr u8 kPageDefaultPixel = 0x04;
constexpr u8 kPageOperatorOverridden = 0x40;

// Active generic region decoders (their rows and statistics) take at most this much at
// once; a page that would need more fails.
constexpr u64 kDecoderMemory = 32 << 20;

// One immediate generic region of the page being composed (T.88 7.4.6): its placement
// from the region segment information, and while its rows are being emitted, its data and
// its row decoder.
struct sPlacedRegion
{
    const sJbig2Region* source = nullptr;
    sJbig2GenericHeader header;
    u32 x = 0;
    u32 y = 0;
    u32 rows = 0;    // the rows on the page
    u32 columns = 0; // the columns on the page
    u8 operation = kReplace;
    _typebuf<u8> data;
    sMqDecoder decoder;
    std::unique_ptr<cJbig2GenericRows> decoding;
};

constexpr u32 kRegionHeaderLength = kRegionInfoLength + 1;

// Reads the region's information, flags and AT pixels; false for a region that is not
// shown (unreadable, empty, off the page, over the page's decoding budget).
bool PlaceRegion(cFileIOTarget* stream, const sJbig2Region& region, const sJbig2Page& page,
                 u64& budget, sPlacedRegion& placed)
{
    u8 bytes[kRegionHeaderLength + 8];
    if (region.length < kRegionHeaderLength ||
        !ReadAt(stream, stream->GetSize(), region.offset, bytes, kRegionHeaderLength)) {
        return false;
    }
    sJbig2GenericHeader& header = placed.header;
    header.width = LoadBe32(bytes);
    header.height = LoadBe32(bytes + 4);
    placed.x = LoadBe32(bytes + 8);
    placed.y = LoadBe32(bytes + 12);
    const u8 regionOperation = bytes[16] & 7;
    header.flags = bytes[kRegionInfoLength];
    const u32 atBytes = Jbig2GenericAtBytes(header.flags);
    if (header.width == 0 || header.height == 0 || placed.x >= page.width ||
        placed.y >= page.height || regionOperation > kReplace ||
        region.length < kRegionHeaderLength + atBytes ||
        !ReadAt(stream, stream->GetSize(), region.offset + kRegionHeaderLength, header.at,
                atBytes)) {
        return false;
    }
    // 7.4.8.5: without the override bit every region uses the page's default operator.
    placed.operation = (page.flags & kPageOperatorOverridden) != 0 ? regionOperation
                                                                     : (page.flags >> 3) & 3;
    // Rows below the page are never shown, and no row above depends on them.
    placed.rows = std::min(header.height, page.height - placed.y);
    header.height = placed.rows;
    placed.columns = std::min(header.width, page.width - placed.x);
    // One MQ decision per region pixel: a few regions wider than the page could take
    // minutes, so a page decodes at most 4 times its own pixel count.
    const u64 work = u64(header.width) * placed.rows;
    if (work > budget) {
        return false;
    }
    budget -= work;
    placed.source = &region;
    return true;
}

// Starts the region's row decoder from its data; false for a region that cannot be read
// or decoded (it leaves the page as it is). `memory` is what decoders may still take;
// `overLimit` is set when this one would take more.
bool StartRegion(cFileIOTarget* stream, sPlacedRegion& placed, u64& memory, bool& overLimit)
{
    const sJbig2Region& region = *placed.source;
    const u64 codeStart = kRegionHeaderLength + Jbig2GenericAtBytes(placed.header.flags);
    if (!FitsI32(region.length) || !placed.data.Alloc(i64(region.length)) ||
        !ReadAt(stream, stream->GetSize(), region.offset, placed.data.GetData(),
                u32(region.length)) ||
        !MqDecoderInit(&placed.decoder, placed.data.GetData() + codeStart,
                       region.length - codeStart)) {
        return false;
    }
    placed.decoding.reset(new (std::nothrow) cJbig2GenericRows);
    if (placed.decoding == nullptr) {
        return false;
    }
    const cJbig2GenericRows::eStart started =
        placed.decoding->Start(placed.header, &placed.decoder, memory);
    overLimit = started == cJbig2GenericRows::eStart::OverLimit;
    if (started != cJbig2GenericRows::eStart::Started) {
        placed.decoding.reset();
        return false;
    }
    memory -= placed.decoding->Memory();
    return true;
}

} // namespace

// The page is composed and emitted row by row (T.88 7.4.8.5, 7.4.1.5): each row starts as
// the page's default pixel, and every region that covers it, in file order, combines its
// next row into it with its operator. A region's decoder lives from its first row to its
// last, so memory follows the regions that overlap a row, never the page's size.
bool cPictJBIG2::LoadPage(cFileIOTarget* stream, i32 page)
{
    ClearPixels();
    const sJbig2Page* record = EnsureScanned(stream) ? FindPage(page) : nullptr;
    i32 listed = 0;
    if (record != nullptr) {
        for (auto it = record->regions.begin(); it != record->regions.end(); ++it) {
            ++listed;
        }
    }
    // The placed regions in file order, their indices by first row (then file order) and
    // the indices of those whose rows are being emitted, in file order.
    _classbuf<sPlacedRegion> placed;
    _typebuf<i32> byFirstRow;
    _typebuf<i32> active;
    _typebuf<u8> pageRow;
    const u64 stride = record != nullptr ? (u64(record->width) - 1) / 8 + 1 : 0;
    if (record == nullptr || !placed.Alloc(std::max(1, listed)) ||
        !byFirstRow.Alloc(std::max(1, listed)) || !active.Alloc(std::max(1, listed)) ||
        !pageRow.Alloc(i64(stride + 1))) {
        EndStreamRender();
        return false;
    }
    u64 budget = 4 * u64(record->width) * record->height;
    i32 regionCount = 0;
    for (const sJbig2Region& region : record->regions) {
        if (PlaceRegion(stream, region, *record, budget, placed.GetData()[regionCount])) {
            byFirstRow.GetData()[regionCount] = regionCount;
            ++regionCount;
        }
    }
    i32* order = byFirstRow.GetData();
    std::stable_sort(order, order + regionCount, [&](i32 a, i32 b) {
        return placed.GetData()[a].y < placed.GetData()[b].y;
    });
    const i32 width = i32(record->width);
    const i32 height = i32(record->height);
    SetImageSize(width, height, false);
    m_streaming = BeginStreamRender() ? 1 : 0;
    // A streamed page goes through one row of pixels.
    _typebuf<u32> line;
    if ((m_streaming == 0 && !AllocPixels32(width, height)) ||
        (m_streaming != 0 && !line.Alloc(width))) {
        EndStreamRender();
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
    const u8 defaultByte = (record->flags & kPageDefaultPixel) != 0 ? 0xFF : 0x00;
    u64 memory = kDecoderMemory;
    bool overLimit = false;
    const i32 wholeBytes = width / 8;
    i32 nextToStart = 0;
    i32 activeCount = 0;
    i32* running = active.GetData();
    for (i32 y = 0; y < height && !overLimit; ++y) {
        u8* row = pageRow.GetData();
        std::memset(row, defaultByte, stride);
        for (; nextToStart < regionCount && placed.GetData()[order[nextToStart]].y == u32(y);
             ++nextToStart) {
            const i32 index = order[nextToStart];
            if (StartRegion(stream, placed.GetData()[index], memory, overLimit)) {
                i32* at = std::upper_bound(running, running + activeCount, index);
                std::memmove(at + 1, at, size_t(running + activeCount - at) * sizeof(i32));
                *at = index;
                ++activeCount;
            }
        }
        i32 kept = 0;
        for (i32 i = 0; i < activeCount; ++i) {
            sPlacedRegion& region = placed.GetData()[running[i]];
            kCombineBits[region.operation](row, region.x, region.decoding->NextRow(),
                                           region.columns);
            if (u32(y) == region.y + region.rows - 1) {
                memory += region.decoding->Memory();
                region.decoding.reset();
                region.data.Free();
            } else {
                running[kept++] = running[i];
            }
        }
        activeCount = kept;
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
    if (overLimit) {
        ClearPixels();
        return false;
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
