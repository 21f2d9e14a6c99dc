#include "picture/tiffraw/tiffstructure.h"

#include "picture/tiffraw/makernotes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// TIFF 6.0 and TIFF/EP tags the summary keeps.
enum : u16
{
    kTagNewSubfileType = 0x00FE,
    kTagImageWidth = 0x0100,
    kTagImageLength = 0x0101,
    kTagBitsPerSample = 0x0102,
    kTagCompression = 0x0103,
    kTagPhotometric = 0x0106,
    kTagMake = 0x010F,
    kTagStripOffsets = 0x0111,
    kTagOrientation = 0x0112,
    kTagSamplesPerPixel = 0x0115,
    kTagStripByteCounts = 0x0117,
    kTagJpegOffset = 0x0201,
    kTagJpegLength = 0x0202,
    kTagLeafData = 0x8606,
    kTagTiffEpStandard = 0x9216,
    kTagPixelXDimension = 0xA002,
    kTagPixelYDimension = 0xA003,
    kTagDngVersion = 0xC612,
    kTagDefaultCropSize = 0xC620,
    kTagMakerNote = 0x927C,
    kTagPanasonicJpeg = 0x002E,
};

constexpr u32 kPhotometricCfa = 32803;
constexpr u32 kPhotometricLinearRaw = 34892;

// Compression codes of TIFF 6.0 and its common extensions; anything else is a vendor's.
constexpr u32 kStandardCompressions[] = {1, 2, 3, 4, 5, 6, 7, 8, 32773, 32946};

u64 Area(u32 width, u32 height)
{
    return u64(width) * height;
}

} // namespace

bool cTiffStructure::Open(cFileIOTarget* stream)
{
    m_ifdCount = 0;
    m_make[0] = 0;
    m_hasDngVersion = m_hasTiffEpStandard = m_hasLeafData = false;
    m_exifWidth = m_exifHeight = 0;
    m_makerNote = m_panasonicJpeg = {};
    std::fill(std::begin(m_lowTags), std::end(m_lowTags), 0);
    return OpenTiff(stream, eTiffWalk::Structure) && m_ifdCount > 0 && m_ifds[0].m_id == kTiffIfd0;
}

sTiffIfd* cTiffStructure::IfdFor(u32 id)
{
    if (id == kTiffIfdExif) {
        return nullptr;
    }
    if (m_ifdCount > 0 && m_ifds[m_ifdCount - 1].m_id == id) {
        return &m_ifds[m_ifdCount - 1];
    }
    if (m_ifdCount >= kMaxIfds) {
        return nullptr;
    }
    sTiffIfd& ifd = m_ifds[m_ifdCount++];
    ifd = {};
    ifd.m_id = id;
    return &ifd;
}

void cTiffStructure::ReadArray(u16 type, const u8* value, u32 byteCount, _typebuf<u32>& out)
{
    const u32 size = type == kTiffShort ? 2 : 4;
    const i64 count = std::min<i64>(byteCount / size, kMaxStrips);
    if (count == 0 || !out.Alloc(i32(count))) {
        out.Free();
        return;
    }
    for (i64 i = 0; i < count; ++i) {
        out.GetData()[i] = size == 2 ? GetU16(value + 2 * i) : GetU32(value + 4 * i);
    }
}

void cTiffStructure::OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifdId)
{
    const bool number =
        (type == kTiffShort && byteCount >= 2) || (type == kTiffLong && byteCount >= 4);
    const u32 first = !number ? 0 : type == kTiffShort ? GetU16(value) : GetU32(value);
    if (tag == kTagMakerNote && (ifdId == kTiffIfdExif || ifdId == kTiffIfd0)) {
        m_makerNote = {GetValueOffset(), byteCount};
    }
    if (ifdId == kTiffIfdExif) {
        if (number && tag == kTagPixelXDimension) {
            m_exifWidth = first;
        } else if (number && tag == kTagPixelYDimension) {
            m_exifHeight = first;
        }
        return;
    }
    sTiffIfd* ifd = IfdFor(ifdId);
    if (ifd == nullptr) {
        return;
    }
    if (ifdId == kTiffIfd0) {
        if (tag == kTagMake && type == kTiffAscii) {
            const u32 length = std::min<u32>(byteCount, kMaxMakeLength);
            std::memcpy(m_make, value, length);
            m_make[length] = 0;
        }
        m_hasDngVersion |= tag == kTagDngVersion;
        m_hasTiffEpStandard |= tag == kTagTiffEpStandard;
        m_hasLeafData |= tag == kTagLeafData;
        if (tag == kTagPanasonicJpeg && type == kTiffUndefined) {
            m_panasonicJpeg = {GetValueOffset(), byteCount};
        } else if (number && tag >= 1 && tag <= 7) {
            m_lowTags[tag] = first;
        } else if (number && tag == kTagOrientation && first >= 1 && first <= 8) {
            m_orientation = first;
        }
    }
    switch (tag) {
    case kTagStripOffsets:
        if (number) {
            ReadArray(type, value, byteCount, ifd->m_stripOffsets);
        }
        return;
    case kTagStripByteCounts:
        if (number) {
            ReadArray(type, value, byteCount, ifd->m_stripCounts);
        }
        return;
    case kTagDefaultCropSize: {
        // SHORT, LONG or RATIONAL pairs.
        double crop[2] = {};
        if (type == kTiffRational && ReadTagRationals(*this, value, byteCount, crop, 2) == 2) {
            ifd->m_cropWidth = crop[0] >= 1 && crop[0] < 4e9 ? u32(crop[0]) : 0;
            ifd->m_cropHeight = crop[1] >= 1 && crop[1] < 4e9 ? u32(crop[1]) : 0;
        } else if (number && byteCount >= 2 * TiffTypeSize(type)) {
            ifd->m_cropWidth = first;
            ifd->m_cropHeight = type == kTiffShort ? GetU16(value + 2) : GetU32(value + 4);
        }
        return;
    }
    default:
        break;
    }
    if (!number) {
        return;
    }
    switch (tag) {
    case kTagNewSubfileType:
        ifd->m_newSubfileType = first;
        break;
    case kTagImageWidth:
        ifd->m_width = first;
        break;
    case kTagImageLength:
        ifd->m_height = first;
        break;
    case kTagBitsPerSample:
        ifd->m_bits = first;
        break;
    case kTagCompression:
        ifd->m_compression = first;
        break;
    case kTagPhotometric:
        ifd->m_photometric = first;
        break;
    case kTagSamplesPerPixel:
        ifd->m_samples = first;
        break;
    case kTagJpegOffset:
        ifd->m_jpegOffset = first;
        break;
    case kTagJpegLength:
        ifd->m_jpegLength = first;
        break;
    default:
        break;
    }
}

bool cTiffStructure::MakeStartsWith(const char* prefix) const
{
    return std::strncmp(m_make, prefix, std::strlen(prefix)) == 0;
}

bool cTiffStructure::IsRawIfd(const sTiffIfd& ifd)
{
    if (ifd.m_photometric == kPhotometricCfa || ifd.m_photometric == kPhotometricLinearRaw) {
        return true;
    }
    for (u32 standard : kStandardCompressions) {
        if (ifd.m_compression == standard) {
            return false;
        }
    }
    return true;
}

const sTiffIfd* cTiffStructure::FindRawIfd() const
{
    for (i32 i = 0; i < m_ifdCount; ++i) {
        if (IsRawIfd(m_ifds[i])) {
            return &m_ifds[i];
        }
    }
    return nullptr;
}

bool cTiffStructure::GetGenericSize(u32& width, u32& height) const
{
    if (m_exifWidth > 0 && m_exifHeight > 0) {
        width = m_exifWidth;
        height = m_exifHeight;
        return true;
    }
    const sTiffIfd* largestRaw = nullptr;
    const sTiffIfd* largest = nullptr;
    for (i32 i = 0; i < m_ifdCount; ++i) {
        const sTiffIfd& ifd = m_ifds[i];
        const u64 area = Area(ifd.m_width, ifd.m_height);
        if (largest == nullptr || area > Area(largest->m_width, largest->m_height)) {
            largest = &ifd;
        }
        if (IsRawIfd(ifd) &&
            (largestRaw == nullptr || area > Area(largestRaw->m_width, largestRaw->m_height))) {
            largestRaw = &ifd;
        }
    }
    const sTiffIfd* chosen = largestRaw != nullptr ? largestRaw : largest;
    if (chosen == nullptr || Area(chosen->m_width, chosen->m_height) == 0) {
        return false;
    }
    width = chosen->m_width;
    height = chosen->m_height;
    return true;
}

bool cTiffStructure::GetContiguousStrips(const sTiffIfd& ifd, sTiffRange& range) const
{
    const i32 count = ifd.m_stripOffsets.GetCount();
    if (count == 0 || ifd.m_stripCounts.GetCount() != count) {
        return false;
    }
    const u32* offsets = ifd.m_stripOffsets.GetData();
    const u32* counts = ifd.m_stripCounts.GetData();
    u64 end = offsets[0];
    for (i32 i = 0; i < count; ++i) {
        if (offsets[i] != end) {
            return false;
        }
        end += counts[i];
    }
    range = {offsets[0], end - offsets[0]};
    return range.m_length >= 2 && end <= GetStreamSize();
}

i32 cTiffStructure::ListJpegRanges(sTiffRange* out, i32 capacity) const
{
    i32 written = 0;
    auto add = [&](sTiffRange range) {
        if (range.m_length < 2 || range.m_offset + range.m_length > GetStreamSize() ||
            written >= capacity) {
            return;
        }
        for (i32 i = 0; i < written; ++i) {
            if (out[i].m_offset == range.m_offset) {
                return;
            }
        }
        out[written++] = range;
    };
    for (i32 i = 0; i < m_ifdCount; ++i) {
        const sTiffIfd& ifd = m_ifds[i];
        if (ifd.m_jpegOffset != 0) {
            add({ifd.m_jpegOffset, ifd.m_jpegLength});
        }
        sTiffRange strips{};
        if ((ifd.m_compression == 6 || ifd.m_compression == 7) && !IsRawIfd(ifd) &&
            GetContiguousStrips(ifd, strips)) {
            add(strips);
        }
    }
    return AddMakerNotePreview(GetStream(), *this, out, written, capacity);
}
