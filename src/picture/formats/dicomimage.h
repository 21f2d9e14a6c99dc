#pragma once
// What the two DICOM readers share (DICOM PS3.5 and PS3.10): the image record collected from
// the Image Pixel attributes (group 0028) and Pixel Data (7FE0,0010) of the data set and of
// every sequence item, the map of records by key with the page operations over it, the
// conversion of uncompressed pixel data, the search for an encapsulated frame and page
// thumbnails. The readers differ only in how they walk the data elements.
//
// Image keys: the top-level data set writes key 0; every sequence item the walk enters
// takes the next value of a running counter, and what is read inside it (at any depth) goes
// to that key. Page n is the n-th record in ascending key order. The map is built by the
// first operation that needs it and lives until the picture goes, even when later calls
// pass another stream.
#include "base/byteorder.h"
#include "base/keytree.h"
#include "picture/core/picture.h"

// All zero when created.
struct sDicomImage
{
    u32 offset = 0; // of the pixel data in the file
    u32 length = 0; // of the pixel data
    u32 samples = 0;
    u32 planar = 0;
    u32 bitsAllocated = 0;
    u32 bitsStored = 0;
    u32 pixelRepresentation = 0; // 1: two's complement samples
    u32 columns = 0;
    u32 rows = 0;
};

// How a reader tells uncompressed data from encapsulated data and where it looks for a
// frame in the latter.
struct sDicomDecodeRules
{
    // Pixel data of twice the expected length are uncompressed (the first half is used).
    bool acceptsTwiceLength;
    // JPEG frames are looked for besides JPEG 2000 ones.
    bool triesJpeg;
    // How many of the fixed frame places are tried when the fragment walk finds nothing:
    // JPEG 2000 at 20 and 24 bytes into the data, JPEG at 16 and 20.
    u32 fixedWindows;
};

// Groups 0x8000 and up are refused except two ordinary ones (0xFFFA digital signatures,
// 0xFFFC data set trailing padding) and 0xFFFE, whose item and delimitation tags end the
// element walk they appear in (PS3.5 7.5).
enum class eDicomGroup
{
    Ordinary,
    EndsWalk,
    Refused,
};

[[nodiscard]] inline eDicomGroup ClassifyDicomGroup(u16 group)
{
    if (group < 0x8000 || group == 0xFFFA || group == 0xFFFC) {
        return eDicomGroup::Ordinary;
    }
    return group == 0xFFFE ? eDicomGroup::EndsWalk : eDicomGroup::Refused;
}

inline constexpr u16 kDicomItemGroup = 0xFFFE;
inline constexpr u16 kDicomItem = 0xE000;
inline constexpr u16 kDicomItemDelimiter = 0xE00D;
inline constexpr u16 kDicomSequenceDelimiter = 0xE0DD;
inline constexpr u32 kDicomUndefinedLength = 0xFFFFFFFF;

// OB, OD, OF, OW, SQ, UN and UT: in explicit VR their length is a u32 after two reserved
// bytes (PS3.5 7.1.2).
[[nodiscard]] bool IsDicomLongFormVR(const char* vr);

// (7FE0,0010) Pixel Data.
[[nodiscard]] inline bool IsDicomPixelData(u16 group, u16 element)
{
    return group == 0x7FE0 && element == 0x0010;
}

// Data elements ascend by tag within a data set (PS3.5 7.1); each walk keeps its own order.
class cDicomTagOrder
{
  public:
    enum class eStep
    {
        Ascends,
        GroupBelow,     // a group below the previous one
        ElementNotAbove // the same group, an element not above the previous one
    };

    eStep Next(u16 group, u16 element)
    {
        const bool first = m_first;
        const u16 previousGroup = m_group;
        const u16 previousElement = m_element;
        m_first = false;
        m_group = group;
        m_element = element;
        if (first || group > previousGroup) {
            return eStep::Ascends;
        }
        if (group < previousGroup) {
            m_group = previousGroup;
            m_element = previousElement;
            return eStep::GroupBelow;
        }
        return element > previousElement ? eStep::Ascends : eStep::ElementNotAbove;
    }
    // The previous tag is (7FE0,0010).
    [[nodiscard]] bool FollowsPixelData() const
    {
        return !m_first && IsDicomPixelData(m_group, m_element);
    }

  private:
    bool m_first = true;
    u16 m_group = 0;
    u16 m_element = 0;
};

// An Image Pixel attribute (0028,eeee) kept in the record.
struct sDicomAttribute
{
    u16 element;
    u32 sDicomImage::*field;
    bool mustBeNonZero; // for the explicit-VR reader
};

// The attribute of (group, element), or null for anything else.
[[nodiscard]] const sDicomAttribute* FindDicomAttribute(u16 group, u16 element);

// A little-endian value of `bytes` (2 or 4) at `offset`.
[[nodiscard]] bool ReadDicomValue(cFileIOTarget* stream, u64 offset, u32 bytes, u32& value);

// The bytes of one frame: bits allocated / 8 x samples x rows x columns, saturated at
// UINT64_MAX when the product does not fit.
[[nodiscard]] u64 DicomFrameBytes(const sDicomImage& image);

class cPictDICOMBase : public cPictBase
{
  public:
    // The columns and rows of page 0; preview flag 0.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    bool Load(cFileIOTarget* stream) override { return LoadPage(stream, 0); }
    bool RendersWhileDecoding() override { return true; }
    bool HasPages() override { return true; }
    // The number of records; 0 when the parse fails.
    i32 GetPageCount(cFileIOTarget* stream) override;
    bool GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height) override;
    // Decodes into the buffer (32-bit for 8-bit data, deep for 16-bit data) or the attached
    // target. A failed decode may leave the size set and a partly filled buffer.
    bool LoadPage(cFileIOTarget* stream, i32 page) override;
    // A page larger than the box streams into `out` at the fitted size over `background`;
    // one that fits is decoded, mapped to 32 bits and moved into `out`.
    bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH, i32 page,
                             bool allowFullDecode, u32 background) override;

  protected:
    // Sequence items nest at most this deep; a deeper one fails the parse (each level costs
    // a stack frame, and a small file can nest tens of thousands of levels).
    static constexpr i32 kMaxItemDepth = 32;

    // Walks the stream and fills the map; true when it holds a record afterwards.
    [[nodiscard]] virtual bool ParseFile(cFileIOTarget* stream) = 0;
    [[nodiscard]] virtual bool DecodeImage(cFileIOTarget* stream, const sDicomImage& image) = 0;

    // One sequence item of `length` whose header ends at `position`: takes the next key and
    // has walk(position in/out, end) walk its content (to the sequence's `end` for an
    // undefined length); `position` moves past the item (for an undefined length, to where
    // the walk stopped).
    template <class tWalk>
    [[nodiscard]] bool WalkItem(u64& position, u32 length, u64 end, i32& counter, i32 depth,
                                tWalk walk)
    {
        if (depth >= kMaxItemDepth || counter == INT32_MAX) {
            return false;
        }
        ++counter;
        const bool undefined = length == kDicomUndefinedLength;
        const u64 itemEnd = undefined ? end : position + length;
        u64 inner = position;
        if (itemEnd > end || !walk(inner, itemEnd)) {
            return false;
        }
        position = undefined ? inner : itemEnd;
        return true;
    }
    // The items of a sequence from `position` to `end`, each through WalkItem with `walk`:
    // empty items and item delimiters are passed over, a sequence delimiter ends the walk,
    // and any other element there fails it. `position` ends past the delimiter, or at `end`.
    template <class tWalk>
    [[nodiscard]] bool WalkSequence(cFileIOTarget* stream, u64& position, u64 end, i32& counter,
                                    i32 depth, tWalk walk)
    {
        while (position < end) {
            u8 header[8];
            if (!stream->Seek(position) || !stream->ReadExact(header, 8) ||
                LoadLe16(header) != kDicomItemGroup) {
                return false;
            }
            const u16 tag = LoadLe16(header + 2);
            const u32 length = LoadLe32(header + 4);
            position += 8;
            if (tag == kDicomSequenceDelimiter) {
                return true;
            }
            if (tag == kDicomItemDelimiter || (tag == kDicomItem && length == 0)) {
                continue;
            }
            if (tag != kDicomItem || !WalkItem(position, length, end, counter, depth, walk)) {
                return false;
            }
        }
        return true;
    }
    // The record of `key`, created zeroed on first use; null when memory is short.
    [[nodiscard]] sDicomImage* RecordOf(i32 key);
    // Where the Pixel Data value of `key` lies.
    [[nodiscard]] bool StorePixelData(i32 key, u32 offset, u32 length);
    // An attribute's value into the record of `key`.
    [[nodiscard]] bool StoreAttribute(i32 key, const sDicomAttribute& attribute, u32 value);
    // The shared decode: uncompressed data are converted here, encapsulated frames go to
    // the JPEG 2000 and JPEG pictures.
    [[nodiscard]] bool DecodeWithRules(cFileIOTarget* stream, const sDicomImage& image,
                                       const sDicomDecodeRules& rules);

    using tImageMap = _keytree<i32, sDicomImage>;
    tImageMap m_images{kDefaultKeyTreeDepthLimit};
    // The stream of the parse in progress, for the element handlers; never read after it.
    cFileIOTarget* m_stream = nullptr;

  private:
    [[nodiscard]] bool EnsureParsed(cFileIOTarget* stream);
    [[nodiscard]] const sDicomImage* FindPage(cFileIOTarget* stream, i32 page);
    [[nodiscard]] bool DecodeUncompressed(cFileIOTarget* stream, const sDicomImage& image);
    [[nodiscard]] bool DecodeEncapsulated(cFileIOTarget* stream, const sDicomImage& image,
                                          const sDicomDecodeRules& rules);
    // Deep pixels become 32-bit ones in place (deep flag cleared).
    [[nodiscard]] bool MapTo32Bits();
};
