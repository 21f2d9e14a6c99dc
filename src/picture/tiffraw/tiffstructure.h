#pragma once
// The TIFF structure of a camera RAW or TIFF file, summarised: the structure walk of
// cTiffGeneric, with each IFD reduced to the fields the picture classes decide by (size,
// compression, photometric interpretation, strips, JPEG pointers) and IFD0's identity tags
// (Make, DNGVersion, TIFF/EP standard, Leaf data).
#include "base/buffers.h"
#include "picture/tiffraw/tiffgeneric.h"

struct sTiffIfd
{
    u32 m_id = 0;
    u32 m_width = 0;
    u32 m_height = 0;
    u32 m_bits = 0; // the first BitsPerSample value
    u32 m_compression = 1;
    u32 m_photometric = 0xFFFFFFFF; // absent
    u32 m_samples = 1;
    u32 m_newSubfileType = 0;
    u32 m_jpegOffset = 0; // JPEGInterchangeFormat / Length; 0 when absent
    u32 m_jpegLength = 0;
    u32 m_cropWidth = 0; // DNG DefaultCropSize, rounded down; 0 when absent
    u32 m_cropHeight = 0;
    // StripOffsets and StripByteCounts, at most kMaxStrips each.
    _typebuf<u32> m_stripOffsets;
    _typebuf<u32> m_stripCounts;
};

// A byte range of the file.
struct sTiffRange
{
    u64 m_offset;
    u64 m_length;
};

class cTiffStructure : public cTiffGeneric
{
  public:
    static constexpr i32 kMaxStrips = 65536;
    static constexpr i32 kMaxMakeLength = 63;

    // Walks the structure at the stream's start (every header identifier); false when the
    // header or IFD0 cannot be read.
    [[nodiscard]] bool Open(cFileIOTarget* stream);

    [[nodiscard]] i32 GetIfdCount() const { return m_ifdCount; }
    [[nodiscard]] const sTiffIfd& GetIfd(i32 index) const { return m_ifds[index]; }
    // IFD0 (walked first; Open fails without it).
    [[nodiscard]] const sTiffIfd& GetIfd0() const { return m_ifds[0]; }

    // IFD0's Make, NUL-terminated (empty when absent).
    [[nodiscard]] const char* GetMake() const { return m_make; }
    // True when IFD0's Make begins with `prefix`.
    [[nodiscard]] bool MakeStartsWith(const char* prefix) const;
    [[nodiscard]] bool HasDngVersion() const { return m_hasDngVersion; }
    [[nodiscard]] bool HasTiffEpStandard() const { return m_hasTiffEpStandard; }
    [[nodiscard]] bool HasLeafData() const { return m_hasLeafData; }
    // The maker note (0x927C of the Exif IFD or IFD0) as a range of the stream; length 0
    // when absent.
    [[nodiscard]] const sTiffRange& GetMakerNote() const { return m_makerNote; }
    // IFD0's JpgFromRaw (0x002E) of Panasonic and Leica files; length 0 when absent.
    [[nodiscard]] const sTiffRange& GetPanasonicJpeg() const { return m_panasonicJpeg; }
    // IFD0's Orientation (1-8; 1 when absent or out of range).
    [[nodiscard]] u32 GetOrientation() const { return m_orientation; }
    // The first value of IFD0's tag 1..7 (Panasonic sensor size and borders); 0 when absent.
    [[nodiscard]] u32 GetLowTag(u16 tag) const { return tag >= 1 && tag <= 7 ? m_lowTags[tag] : 0; }

    // A raw IFD holds sensor data: CFA or LinearRaw photometric interpretation, or a
    // compression outside TIFF's own set (vendor codes).
    [[nodiscard]] static bool IsRawIfd(const sTiffIfd& ifd);
    [[nodiscard]] const sTiffIfd* FindRawIfd() const;
    // Exif PixelXDimension x PixelYDimension when both > 0, else the largest raw IFD, else
    // the largest IFD; false when all of them are 0.
    [[nodiscard]] bool GetGenericSize(u32& width, u32& height) const;
    // The ranges that may hold a JPEG preview, without duplicates, each inside the stream:
    // every IFD's JPEGInterchangeFormat pair, and the strips of every IFD that is not raw,
    // is JPEG-compressed (6 or 7) and stores one contiguous strip range, and the maker
    // note's preview (makernotes.h). The caller checks the bytes. Returns the count
    // written (at most `capacity`). Reads the stream the structure was walked over.
    [[nodiscard]] i32 ListJpegRanges(sTiffRange* out, i32 capacity) const;
    // The strips of `ifd` as one range, when they are contiguous and inside the stream.
    [[nodiscard]] bool GetContiguousStrips(const sTiffIfd& ifd, sTiffRange& range) const;

  protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override;

  private:
    sTiffIfd* IfdFor(u32 id);
    void ReadArray(u16 type, const u8* value, u32 byteCount, _typebuf<u32>& out);

    sTiffIfd m_ifds[kMaxIfds];
    i32 m_ifdCount = 0;
    char m_make[kMaxMakeLength + 1] = {};
    bool m_hasDngVersion = false;
    bool m_hasTiffEpStandard = false;
    bool m_hasLeafData = false;
    sTiffRange m_makerNote{};
    sTiffRange m_panasonicJpeg{};
    u32 m_lowTags[8] = {};
    u32 m_orientation = 1;
    u32 m_exifWidth = 0;
    u32 m_exifHeight = 0;
};
