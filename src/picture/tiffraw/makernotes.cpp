#include "picture/tiffraw/makernotes.h"

#include "base/subrange.h"

#include <cstring>

namespace {

constexpr u32 kPreviewIfd = 0xFFFF;

// Keeps the first value of the wanted numeric tags of IFD0 and of the preview IFD.
class cNoteWalker : public cTiffGeneric
{
  public:
    u32 Get(u32 ifd, u16 tag) const
    {
        for (i32 i = 0; i < m_count; ++i) {
            if (m_ifds[i] == ifd && m_tags[i] == tag) {
                return m_values[i];
            }
        }
        return 0;
    }

  protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override
    {
        const bool number = ((type == kTiffLong || type == kTiffIfd) && byteCount >= 4) ||
                            (type == kTiffShort && byteCount >= 2);
        if (!number || m_count >= kCapacity || (ifd != kTiffIfd0 && ifd != kPreviewIfd)) {
            return;
        }
        m_ifds[m_count] = ifd;
        m_tags[m_count] = tag;
        m_values[m_count] = type == kTiffShort ? GetU16(value) : GetU32(value);
        ++m_count;
    }

  private:
    static constexpr i32 kCapacity = 256;
    u32 m_ifds[kCapacity] = {};
    u16 m_tags[kCapacity] = {};
    u32 m_values[kCapacity] = {};
    i32 m_count = 0;
};

// The byte order named by two bytes, else the file's.
bool BigEndianAt(const u8* bytes, bool fallback)
{
    return bytes[0] == 'M' && bytes[1] == 'M'   ? true
           : bytes[0] == 'I' && bytes[1] == 'I' ? false
                                                : fallback;
}

} // namespace

i32 AddMakerNotePreview(cFileIOTarget* stream, const cTiffStructure& tiff, sTiffRange* out,
                        i32 count, i32 capacity)
{
    const sTiffRange note = tiff.GetMakerNote();
    u8 header[16];
    if (note.m_length < 16 || count >= capacity || !stream->Seek(note.m_offset) ||
        !stream->ReadExact(header, 16)) {
        return count;
    }
    const u64 size = stream->GetSize();
    cNoteWalker walker;
    u64 base = 0;
    u32 start = 0;
    u32 length = 0;
    if (std::memcmp(header, "Nikon\0\x02", 7) == 0) {
        base = note.m_offset + 10;
        cFileIOSubRange range(stream, base, note.m_length - 10);
        const u32 previewIfd =
            walker.OpenTiff(&range, eTiffWalk::Structure) ? walker.Get(kTiffIfd0, 0x0011) : 0;
        if (previewIfd != 0 && walker.WalkIfdAt(previewIfd, kPreviewIfd)) {
            start = walker.Get(kPreviewIfd, 0x0201);
            length = walker.Get(kPreviewIfd, 0x0202);
        }
    } else if (std::memcmp(header, "AOC\0", 4) == 0) {
        if (walker.OpenIfd(stream, BigEndianAt(header + 4, tiff.IsBigEndian()),
                           u32(note.m_offset + 6))) {
            start = walker.Get(kTiffIfd0, 0x0004);
            length = walker.Get(kTiffIfd0, 0x0003);
        }
    } else {
        const bool olympus = std::memcmp(header, "OLYMPUS\0", 8) == 0;
        const bool omSystem = std::memcmp(header, "OM SYSTEM\0", 10) == 0;
        if (!olympus && !omSystem) {
            return count;
        }
        base = note.m_offset;
        const u32 ifd = olympus ? 12 : 16;
        cFileIOSubRange range(stream, base, note.m_length);
        const bool bigEndian = BigEndianAt(header + (olympus ? 8 : 12), tiff.IsBigEndian());
        const u32 settings =
            walker.OpenIfd(&range, bigEndian, ifd) ? walker.Get(kTiffIfd0, 0x2020) : 0;
        if (settings != 0 && walker.WalkIfdAt(settings, kPreviewIfd)) {
            start = walker.Get(kPreviewIfd, 0x0101);
            length = walker.Get(kPreviewIfd, 0x0102);
        }
    }
    const u64 offset = base + start;
    if (start == 0 || length < 2 || offset > size || length > size - offset) {
        return count;
    }
    for (i32 i = 0; i < count; ++i) {
        if (out[i].m_offset == offset) {
            return count;
        }
    }
    out[count] = {offset, length};
    return count + 1;
}
