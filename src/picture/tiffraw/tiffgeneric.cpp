#include "picture/tiffraw/tiffgeneric.h"

#include "base/byteorder.h"

#include <new>

namespace {

constexpr u32 kEntrySize = 12;

} // namespace

u32 TiffTypeSize(u16 type)
{
    switch (type) {
    case kTiffByte:
    case kTiffAscii:
    case kTiffSByte:
    case kTiffUndefined:
        return 1;
    case kTiffShort:
    case kTiffSShort:
        return 2;
    case kTiffLong:
    case kTiffSLong:
    case kTiffFloat:
    case kTiffIfd:
        return 4;
    case kTiffRational:
    case kTiffSRational:
    case kTiffDouble:
        return 8;
    default:
        return 0;
    }
}

u16 cTiffGeneric::GetU16(const u8* bytes) const
{
    return LoadU16(bytes, m_bigEndian);
}

u32 cTiffGeneric::GetU32(const u8* bytes) const
{
    return LoadU32(bytes, m_bigEndian);
}

bool cTiffGeneric::Visit(u32 offset)
{
    if (m_visitedCount >= kMaxIfds) {
        return false;
    }
    for (int i = 0; i < m_visitedCount; ++i) {
        if (m_visited[i] == offset) {
            return false; // a loop
        }
    }
    m_visited[m_visitedCount++] = offset;
    return true;
}

bool cTiffGeneric::Begin(cFileIOTarget* stream, eTiffWalk walk)
{
    m_stream = stream;
    m_walk = walk;
    m_visitedCount = 0;
    m_pendingCount = 0;
    m_nextOtherId = kTiffIfdOther;
    m_identifier = 0;
    if (stream == nullptr) {
        return false;
    }
    m_size = stream->GetSize();
    m_valueBytesLeft = ValueBudget(m_size);
    return true;
}

bool cTiffGeneric::OpenIfd(cFileIOTarget* stream, bool bigEndian, u32 offset)
{
    if (!Begin(stream, eTiffWalk::Structure)) {
        return false;
    }
    m_bigEndian = bigEndian;
    u32 next = 0;
    return Visit(offset) && WalkIfd(offset, kTiffIfd0, next);
}

bool cTiffGeneric::OpenTiff(cFileIOTarget* stream, eTiffWalk walk)
{
    u8 header[8];
    if (!Begin(stream, walk) || !stream->Seek(0) || !stream->ReadExact(header, 8)) {
        return false;
    }
    if (header[0] == 'I' && header[1] == 'I') {
        m_bigEndian = false;
    } else if (header[0] == 'M' && header[1] == 'M') {
        m_bigEndian = true;
    } else {
        return false;
    }
    m_identifier = GetU16(header + 2);
    const bool known = m_identifier == kTiffIdClassic ||
                       (walk == eTiffWalk::Structure &&
                        (m_identifier == kTiffIdPanasonic || m_identifier == kTiffIdOlympusRO ||
                         m_identifier == kTiffIdOlympusRS));
    if (!known) {
        return false;
    }
    u32 next = 0;
    const u32 ifd0 = GetU32(header + 4);
    if (!Visit(ifd0) || !WalkIfd(ifd0, kTiffIfd0, next)) {
        return false;
    }
    if (walk == eTiffWalk::Structure) {
        Queue(next, m_nextOtherId++, true);
        WalkQueue();
        return true;
    }
    // The sub-IFDs of IFD0 (and those they name), then the thumbnail IFD; the thumbnail
    // IFD's own successor is not followed.
    for (int i = 0; i < m_pendingCount; ++i) {
        u32 ignored = 0;
        if (Visit(m_pendingOffsets[i])) {
            (void)WalkIfd(m_pendingOffsets[i], m_pendingIds[i], ignored);
        }
    }
    if (next != 0 && Visit(next)) {
        u32 ignored = 0;
        (void)WalkIfd(next, kTiffIfdThumbnail, ignored);
    }
    return true;
}

bool cTiffGeneric::WalkIfd(u32 offset, u32 ifd, u32& next)
{
    next = 0;
    u8 countBytes[2];
    if (u64(offset) + 2 > m_size || !m_stream->Seek(offset) || !m_stream->ReadExact(countBytes, 2)) {
        return false;
    }
    u64 count = GetU16(countBytes);
    // Entries that would run past the end of the stream are not there.
    const u64 room = (m_size - offset - 2) / kEntrySize;
    const bool clipped = count > room;
    if (clipped) {
        count = room;
    }
    std::unique_ptr<u8[]> entries(new (std::nothrow) u8[size_t(count * kEntrySize) + 1]);
    if (!entries || !m_stream->ReadExact(entries.get(), u32(count * kEntrySize))) {
        return false;
    }
    if (!clipped) {
        u8 nextBytes[4];
        if (m_stream->ReadExact(nextBytes, 4)) {
            next = GetU32(nextBytes);
        }
    }

    std::unique_ptr<u8[]> value;
    u32 valueCapacity = 0;
    for (u64 i = 0; i < count; ++i) {
        const u8* entry = entries.get() + i * kEntrySize;
        const u16 tag = GetU16(entry);
        const u16 type = GetU16(entry + 2);
        const u64 valueCount = GetU32(entry + 4);
        const u32 size = TiffTypeSize(type);
        if (size == 0) {
            continue;
        }
        const u64 byteCount = valueCount * size;
        const u8* bytes = entry + 8;
        m_valueOffset = offset + 2 + i * kEntrySize + 8;
        if (byteCount > 4) {
            // The field holds an offset; the value must lie inside the stream.
            const u64 valueOffset = GetU32(entry + 8);
            if (byteCount > kMaxValueBytes || valueOffset + byteCount > m_size ||
                byteCount > m_valueBytesLeft) {
                continue;
            }
            m_valueBytesLeft -= byteCount;
            m_valueOffset = valueOffset;
            if (byteCount > valueCapacity) {
                value.reset(new (std::nothrow) u8[size_t(byteCount)]);
                valueCapacity = value ? u32(byteCount) : 0;
                if (!value) {
                    continue;
                }
            }
            if (!m_stream->Seek(valueOffset) || !m_stream->ReadExact(value.get(), u32(byteCount))) {
                continue;
            }
            bytes = value.get();
        }
        OnTag(tag, type, bytes, u32(byteCount), ifd);

        const bool pointerType = (type == kTiffLong || type == kTiffIfd) && valueCount >= 1;
        if (m_walk == eTiffWalk::Structure) {
            if (pointerType) {
                QueueSubIfds(tag, type, bytes, valueCount, ifd);
            }
            continue;
        }
        // Sub-IFD pointers: Exif and GPS from IFD0, interoperability from the Exif IFD.
        const bool subIfd = (ifd == kTiffIfd0 && (tag == kTiffIfdExif || tag == kTiffIfdGps)) ||
                            (ifd == kTiffIfdExif && tag == kTiffIfdInterop);
        if (pointerType && subIfd && m_pendingCount < kMaxIfds) {
            m_pendingOffsets[m_pendingCount] = GetU32(bytes);
            m_pendingIds[m_pendingCount] = tag;
            ++m_pendingCount;
        }
    }
    OnIfdEnd(ifd);
    return true;
}

bool cTiffGeneric::WalkIfdAt(u32 offset, u32 ifd)
{
    u32 next = 0;
    return m_stream != nullptr && Visit(offset) && WalkIfd(offset, ifd, next);
}

void cTiffGeneric::Queue(u32 offset, u32 ifd, bool chain)
{
    if (offset == 0 || m_pendingCount >= kMaxIfds) {
        return;
    }
    m_pendingOffsets[m_pendingCount] = offset;
    m_pendingIds[m_pendingCount] = ifd;
    m_pendingChains[m_pendingCount] = chain;
    ++m_pendingCount;
}

void cTiffGeneric::QueueSubIfds(u16 tag, u16 type, const u8* bytes, u64 valueCount, u32 ifd)
{
    constexpr u16 kSubIfds = 0x014A;
    // More SubIFDs than this in one IFD is not a camera file.
    constexpr u64 kMaxSubIfds = 16;
    if (tag == kSubIfds && valueCount <= kMaxSubIfds) {
        for (u64 i = 0; i < valueCount; ++i) {
            Queue(GetU32(bytes + 4 * i), m_nextOtherId++, true);
        }
    } else if (tag == kTiffIfdExif && ifd == kTiffIfd0) {
        Queue(GetU32(bytes), kTiffIfdExif, false);
    }
}

void cTiffGeneric::WalkQueue()
{
    // The queue grows while it is walked; Visit's cap and loop check end it.
    for (int i = 0; i < m_pendingCount; ++i) {
        u32 offset = m_pendingOffsets[i];
        u32 ifd = m_pendingIds[i];
        while (offset != 0 && Visit(offset)) {
            u32 next = 0;
            if (!WalkIfd(offset, ifd, next) || !m_pendingChains[i]) {
                break;
            }
            offset = next;
            ifd = m_nextOtherId++;
        }
    }
}

int ReadTagRationals(const cTiffGeneric& tiff, const u8* value, u32 byteCount, double* out,
                     int capacity)
{
    if (value == nullptr || out == nullptr) {
        return 0;
    }
    int written = 0;
    for (u32 offset = 0; offset + 8 <= byteCount && written < capacity; offset += 8) {
        const u32 numerator = tiff.GetU32(value + offset);
        const u32 denominator = tiff.GetU32(value + offset + 4);
        out[written++] = denominator == 0 ? 0.0 : double(numerator) / double(denominator);
    }
    return written;
}
