#include "picture/tiffraw/rawcontainers.h"

#include "base/byteorder.h"
#include "base/subrange.h"

#include <cstring>

namespace {

bool ReadAt(cFileIOTarget* stream, u64 offset, void* out, u32 length)
{
    return offset + length <= stream->GetSize() && stream->Seek(offset) &&
           stream->ReadExact(out, length);
}

// Nested structures (CIFF heaps, BMFF boxes) are followed this deep at most.
constexpr int kMaxDepth = 8;

// ---- MRW ----

// The TTW block's TIFF, whose Minolta maker note (a plain IFD, offsets relative to the
// TIFF) holds PreviewImageStart/Length (0x0088/0x0089) or the preview itself (0x0081).
class cMinoltaNote : public cTiffStructure
{
  public:
    static constexpr u32 kNoteIfd = 0xFFFF;
    sRawContainerInfo* m_info = nullptr;
    u64 m_base = 0;
    u32 m_start = 0;
    u32 m_length = 0;

  protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override
    {
        if (ifd != kNoteIfd) {
            cTiffStructure::OnTag(tag, type, value, byteCount, ifd);
            return;
        }
        if (tag == 0x0081) {
            m_info->AddRange(m_base + GetValueOffset(), byteCount, m_base + GetStreamSize());
        } else if ((tag == 0x0088 || tag == 0x0089) && type == kTiffLong && byteCount >= 4) {
            (tag == 0x0088 ? m_start : m_length) = GetU32(value);
        }
    }
};

bool ReadMrw(cFileIOTarget* stream, sRawContainerInfo& info)
{
    u8 header[8];
    const u64 size = stream->GetSize();
    if (!ReadAt(stream, 0, header, 8) || std::memcmp(header, "\0MRM", 4) != 0 ||
        8 + u64(LoadBe32(header + 4)) > size) {
        return false;
    }
    const u64 end = 8 + u64(LoadBe32(header + 4));
    bool sized = false;
    for (u64 at = 8; at + 8 <= end;) {
        u8 block[8];
        if (!ReadAt(stream, at, block, 8)) {
            return false;
        }
        const u64 length = LoadBe32(block + 4);
        const u64 data = at + 8;
        if (data + length > size) {
            break;
        }
        u8 prd[16];
        if (std::memcmp(block, "\0PRD", 4) == 0 && length >= 16 && ReadAt(stream, data, prd, 16)) {
            info.m_height = LoadBe16(prd + 12);
            info.m_width = LoadBe16(prd + 14);
            sized = true;
        } else if (std::memcmp(block, "\0TTW", 4) == 0) {
            if (info.m_exifTiffCount < 4) {
                info.m_exifTiffs[info.m_exifTiffCount++] = {data, length};
            }
            cFileIOSubRange tiff(stream, data, length);
            cMinoltaNote note;
            note.m_info = &info;
            note.m_base = data;
            if (note.Open(&tiff) && note.GetMakerNote().m_length > 0 &&
                note.WalkIfdAt(u32(note.GetMakerNote().m_offset), cMinoltaNote::kNoteIfd) &&
                note.m_length > 0) {
                info.AddRange(data + note.m_start, note.m_length, data + length);
            }
        }
        at = data + length;
    }
    return sized;
}

// ---- RAF ----

bool ReadRaf(cFileIOTarget* stream, sRawContainerInfo& info)
{
    u8 header[96];
    if (!ReadAt(stream, 0, header, 96) || std::memcmp(header, "FUJIFILMCCD-RAW ", 16) != 0) {
        return false;
    }
    const u64 size = stream->GetSize();
    info.AddRange(LoadBe32(header + 84), LoadBe32(header + 88), size);
    // The directory: u32 count, then {u16 tag, u16 size, data}.
    u64 at = LoadBe32(header + 92);
    u8 countBytes[4];
    if (!ReadAt(stream, at, countBytes, 4)) {
        return true; // no directory: the preview's frame gives the size
    }
    at += 4;
    const u32 count = LoadBe32(countBytes);
    u32 full[2] = {};
    u32 cropped[2] = {};
    for (u32 i = 0; i < count && at + 4 <= size; ++i) {
        u8 entry[8];
        if (!ReadAt(stream, at, entry, 4)) {
            break;
        }
        const u16 tag = LoadBe16(entry);
        const u16 length = LoadBe16(entry + 2);
        if (length >= 4 && (tag == 0x100 || tag == 0x111) && ReadAt(stream, at + 4, entry + 4, 4)) {
            u32* pair = tag == 0x100 ? full : cropped;
            pair[0] = LoadBe16(entry + 6); // width
            pair[1] = LoadBe16(entry + 4); // height
        }
        at += 4 + u64(length);
    }
    const u32* chosen = cropped[0] > 0 && cropped[1] > 0 ? cropped : full;
    info.m_width = chosen[0];
    info.m_height = chosen[1];
    return true;
}

// ---- CRW ----

struct sCiff
{
    cFileIOTarget* stream;
    bool bigEndian;
    sRawContainerInfo* info;
    // Records read in all heaps together: heaps that name themselves again and again would
    // otherwise multiply the work at every level.
    mutable u32 recordsLeft = 1u << 16;

    // A heap [start, start + length): its directory's offset is the heap's last u32.
    void ReadHeap(u64 start, u64 length, int depth) const
    {
        u8 bytes[10];
        if (depth > kMaxDepth || length < 4 || !ReadAt(stream, start + length - 4, bytes, 4)) {
            return;
        }
        const u64 directory = start + LoadU32(bytes, bigEndian);
        if (directory + 2 > start + length || !ReadAt(stream, directory, bytes, 2)) {
            return;
        }
        const u32 count = LoadU16(bytes, bigEndian);
        for (u32 i = 0; i < count && recordsLeft > 0; ++i, --recordsLeft) {
            const u64 at = directory + 2 + u64(i) * 10;
            if (at + 10 > start + length || !ReadAt(stream, at, bytes, 10)) {
                return;
            }
            const u16 tag = LoadU16(bytes, bigEndian);
            const u64 size = LoadU32(bytes + 2, bigEndian);
            const u64 offset = start + LoadU32(bytes + 6, bigEndian);
            if ((tag & 0x8000) != 0 || (tag & 0x4000) != 0) {
                continue; // corrupt, or a value inside the entry
            }
            if (offset + size > start + length) {
                continue;
            }
            const u32 storage = (tag >> 8) & 0x38;
            const u16 type = tag & 0x3FFF;
            if (storage == 0x28 || storage == 0x30) {
                ReadHeap(offset, size, depth + 1);
            } else if (type == 0x2007 || type == 0x2008) { // JpgFromRaw, ThumbnailImage
                info->AddRange(offset, size, stream->GetSize());
            } else if (type == 0x1810 && size >= 8 &&
                       ReadAt(stream, offset, bytes, 8)) { // ImageInfo
                info->m_width = LoadU32(bytes, bigEndian);
                info->m_height = LoadU32(bytes + 4, bigEndian);
            }
        }
    }
};

bool ReadCrw(cFileIOTarget* stream, sRawContainerInfo& info)
{
    u8 header[14];
    if (!ReadAt(stream, 0, header, 14) || std::memcmp(header + 6, "HEAPCCDR", 8) != 0 ||
        !(std::memcmp(header, "II", 2) == 0 || std::memcmp(header, "MM", 2) == 0)) {
        return false;
    }
    const sCiff ciff{stream, header[0] == 'M', &info};
    const u64 headerLength = LoadU32(header + 2, ciff.bigEndian);
    const u64 size = stream->GetSize();
    if (headerLength > size) {
        return false;
    }
    ciff.ReadHeap(headerLength, size - headerLength, 0);
    return true;
}

// ---- CR3 ----

constexpr u8 kCanonPreviewUuid[16] = {0xEA, 0xF4, 0x2B, 0x5E, 0x1C, 0x98, 0x4B, 0x88,
                                      0xB9, 0xFB, 0xB7, 0xDC, 0x40, 0x6E, 0x4D, 0x16};
constexpr u8 kCanonMetadataUuid[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                       0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};

struct sBox
{
    u64 start; // of the payload
    u64 end;
    char type[4];
};

// The box at `at` inside [at, limit): size 1 = a u64 size follows, 0 = to the limit.
bool ReadBox(cFileIOTarget* stream, u64 at, u64 limit, sBox& box)
{
    u8 header[16];
    if (at + 8 > limit || !ReadAt(stream, at, header, 8)) {
        return false;
    }
    u64 size = LoadBe32(header);
    u64 headerLength = 8;
    if (size == 1) {
        if (at + 16 > limit || !ReadAt(stream, at + 8, header + 8, 8)) {
            return false;
        }
        size = LoadBe64(header + 8);
        headerLength = 16;
    } else if (size == 0) {
        size = limit - at;
    }
    if (size < headerLength || size > limit - at) {
        return false;
    }
    box = {at + headerLength, at + size, {}};
    std::memcpy(box.type, header + 4, 4);
    return true;
}

struct sCr3
{
    cFileIOTarget* stream;
    sRawContainerInfo* info;

    // A JPEG after `skip` bytes of a PRVW or THMB payload, its length at `lengthAt`.
    void AddJpeg(const sBox& box, u64 lengthAt, u64 skip) const
    {
        u8 length[4];
        if (ReadAt(stream, box.start + lengthAt, length, 4)) {
            info->AddRange(box.start + skip, LoadBe32(length), box.end);
        }
    }

    // CMT1: a TIFF structure whose IFD0 gives the size.
    void ReadSize(const sBox& box) const
    {
        cFileIOSubRange range(stream, box.start, box.end - box.start);
        cTiffStructure tiff;
        if (tiff.Open(&range)) {
            info->m_width = tiff.GetIfd0().m_width;
            info->m_height = tiff.GetIfd0().m_height;
        }
    }

    void ReadBoxes(u64 at, u64 end, int depth) const
    {
        sBox box;
        for (int count = 0; depth <= kMaxDepth && count < 1024 && ReadBox(stream, at, end, box);
             ++count) {
            u8 uuid[16];
            const bool isUuid = std::memcmp(box.type, "uuid", 4) == 0 &&
                                box.start + 16 <= box.end && ReadAt(stream, box.start, uuid, 16);
            if (isUuid && std::memcmp(uuid, kCanonPreviewUuid, 16) == 0) {
                sBox preview;
                if (ReadBox(stream, box.start + 24, box.end, preview) &&
                    std::memcmp(preview.type, "PRVW", 4) == 0) {
                    AddJpeg(preview, 12, 16);
                }
            } else if (isUuid && std::memcmp(uuid, kCanonMetadataUuid, 16) == 0) {
                ReadBoxes(box.start + 16, box.end, depth + 1);
            } else if (std::memcmp(box.type, "moov", 4) == 0) {
                ReadBoxes(box.start, box.end, depth + 1);
            } else if (std::memcmp(box.type, "THMB", 4) == 0) {
                AddJpeg(box, 8, 16);
            } else if (std::memcmp(box.type, "CMT1", 4) == 0) {
                ReadSize(box);
            }
            const bool exif = std::memcmp(box.type, "CMT1", 4) == 0 ||
                              std::memcmp(box.type, "CMT2", 4) == 0 ||
                              std::memcmp(box.type, "CMT4", 4) == 0;
            if (exif && info->m_exifTiffCount < 4) {
                info->m_exifTiffs[info->m_exifTiffCount++] = {box.start, box.end - box.start};
            }
            at = box.end;
        }
    }
};

bool ReadCr3(cFileIOTarget* stream, sRawContainerInfo& info)
{
    u8 header[12];
    if (!ReadAt(stream, 0, header, 12) || std::memcmp(header + 4, "ftypcrx ", 8) != 0) {
        return false;
    }
    const sCr3 cr3{stream, &info};
    cr3.ReadBoxes(0, stream->GetSize(), 0);
    return true;
}

// ---- X3F ----

bool ReadX3f(cFileIOTarget* stream, sRawContainerInfo& info)
{
    u8 header[48];
    const u64 size = stream->GetSize();
    if (!ReadAt(stream, 0, header, 48) || std::memcmp(header, "FOVb", 4) != 0) {
        return false;
    }
    const u32 version = LoadLe32(header + 4);
    const int sizeAt = version < 0x00040000 ? 28 : 40;
    info.m_width = LoadLe32(header + sizeAt);
    info.m_height = LoadLe32(header + sizeAt + 4);
    u8 bytes[28];
    if (!ReadAt(stream, size - 4, bytes, 4)) {
        return true;
    }
    const u64 directory = LoadLe32(bytes);
    constexpr u32 kMaxSections = 64;
    if (!ReadAt(stream, directory, bytes, 12) || std::memcmp(bytes, "SECd", 4) != 0 ||
        LoadLe32(bytes + 8) > kMaxSections) {
        return true;
    }
    const u32 count = LoadLe32(bytes + 8);
    for (u32 i = 0; i < count; ++i) {
        if (!ReadAt(stream, directory + 12 + u64(i) * 12, bytes, 12)) {
            break;
        }
        const u64 offset = LoadLe32(bytes);
        const u64 length = LoadLe32(bytes + 4);
        const bool image =
            std::memcmp(bytes + 8, "IMA2", 4) == 0 || std::memcmp(bytes + 8, "IMAG", 4) == 0;
        // SECi header: "SECi", version, type, format, columns, rows, row size.
        if (image && length > 28 && ReadAt(stream, offset, bytes, 28) &&
            std::memcmp(bytes, "SECi", 4) == 0 && LoadLe32(bytes + 8) == 2 &&
            LoadLe32(bytes + 12) == 18) {
            info.AddRange(offset + 28, length - 28, size);
        }
    }
    return true;
}

// ---- RWL and ORF ----

bool ReadTiffVariant(cFileIOTarget* stream, eRawContainer kind, sRawContainerInfo& info)
{
    cTiffStructure tiff;
    if (!tiff.Open(stream)) {
        return false;
    }
    const u16 id = tiff.GetIdentifier();
    const u64 size = stream->GetSize();
    if (kind == eRawContainer::RWL) {
        if (id != kTiffIdPanasonic) {
            return false;
        }
        // Borders: top, left, bottom, right.
        const u32 top = tiff.GetLowTag(4);
        const u32 left = tiff.GetLowTag(5);
        const u32 bottom = tiff.GetLowTag(6);
        const u32 right = tiff.GetLowTag(7);
        const bool bordered = right > left && bottom > top;
        info.m_width = bordered ? right - left : tiff.GetLowTag(2);
        info.m_height = bordered ? bottom - top : tiff.GetLowTag(3);
        info.AddRange(tiff.GetPanasonicJpeg().m_offset, tiff.GetPanasonicJpeg().m_length, size);
        return true;
    }
    if (id != kTiffIdOlympusRO && id != kTiffIdOlympusRS) {
        return false;
    }
    (void)tiff.GetGenericSize(info.m_width, info.m_height);
    sTiffRange ranges[sRawContainerInfo::kMaxRanges];
    const i32 count = tiff.ListJpegRanges(ranges, sRawContainerInfo::kMaxRanges);
    for (i32 i = 0; i < count; ++i) {
        info.AddRange(ranges[i].m_offset, ranges[i].m_length, size);
    }
    return true;
}

} // namespace

void sRawContainerInfo::AddRange(u64 offset, u64 length, u64 size)
{
    if (m_rangeCount >= kMaxRanges || length < 2 || offset > size || length > size - offset) {
        return;
    }
    for (i32 i = 0; i < m_rangeCount; ++i) {
        if (m_ranges[i].m_offset == offset) {
            return;
        }
    }
    m_ranges[m_rangeCount++] = {offset, length};
}

bool ReadRawContainer(cFileIOTarget* stream, eRawContainer kind, sRawContainerInfo& info)
{
    info = {};
    if (stream == nullptr) {
        return false;
    }
    switch (kind) {
    case eRawContainer::MRW:
        return ReadMrw(stream, info);
    case eRawContainer::RAF:
        return ReadRaf(stream, info);
    case eRawContainer::CRW:
        return ReadCrw(stream, info);
    case eRawContainer::CR3:
        return ReadCr3(stream, info);
    case eRawContainer::X3F:
        return ReadX3f(stream, info);
    default:
        return ReadTiffVariant(stream, kind, info);
    }
}
