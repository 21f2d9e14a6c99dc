// The DIB and BMP reader. Glossary:
//   header      the information header: 12 bytes (OS/2 core: u16 width, height, planes,
//               bit count) or 40 to 124 bytes (Windows and its V4/V5 extensions), kept in
//               a 124-byte block in the V5 layout
//   data offset where the pixels start, counted from the header's first byte
//   data end    where the bytes available for the pixels end, counted the same way
//   room        data offset - header size: the bytes a colour table may take
//   stride      bytes per stored row, rounded up to 4 (32-bit rows are 4 x width anyway);
//               the padding bytes are ignored, as other decoders do (installers' bitmaps
//               carry non-zero bytes there)
//   bit fields  red, green, blue and alpha masks (header bytes 40-55) that select each
//               channel from a 16-, 24- or 32-bit pixel
//   RLE8/RLE4   run-length encoded 8- and 4-bit indices: (count, index) runs and escapes
//               0 end of line, 1 end of bitmap, 2 delta, >= 3 absolute run
//   AND mask    1 bit per pixel after an icon's colour rows: 1 transparent, 0 opaque
//
// Rows are stored bottom-up for a positive height and top-down for a negative one. A load
// reads the header, the colour table, the gap up to the data offset, then the pixels.
#include "picture/formats/dib.h"

#include "base/byteorder.h"
#include "base/subrange.h"
#include "picture/core/resample.h"
#include "picture/formats/bmpfileheader.h"
#include "picture/formats/jpegpicture.h"
#include "picture/formats/pngreader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr u32 kHeaderBlockSize = 124;
constexpr u32 kCoreHeaderSize = 12;
constexpr u32 kInfoHeaderSize = 40;
constexpr u32 kBmpFileHeaderSize = 14;
constexpr i64 kLargestSide = 65536;
// A plain DIB that gives no image size may use the rest of the stream.
constexpr u64 kUnboundedDataEnd = 0x7FFFFFFF;
// Where the gap after a header that lacks them may supply the masks: three after a
// 40-byte header with bit fields, four with alpha bit fields.
constexpr u32 kBitFieldsEnd = 52;
constexpr u32 kAlphaBitFieldsEnd = 56;
constexpr u32 kMaskOffset = 40;
constexpr u32 kRleReaderSize = 64 * 1024;

enum : u32
{
    kCompressionRgb = 0,
    kCompressionRle8 = 1,
    kCompressionRle4 = 2,
    kCompressionBitFields = 3,
    kCompressionJpeg = 4,
    kCompressionPng = 5,
    kCompressionAlphaBitFields = 6,
    // The OS/2 four-character codes "RGB2", "RLE4", "RLE8" as little-endian words.
    kCompressionRgb2 = 0x32424752,
    kCompressionRle4Code = 0x34454C52,
    kCompressionRle8Code = 0x38454C52,
};

// The standard 16-colour table of a 4-bit bitmap that has none.
constexpr u32 kStandardPalette[16] = {
    0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA, 0xFFAA5500, 0xFFAAAAAA,
    0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF, 0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF,
};

struct sDibHeader
{
    u8 block[kHeaderBlockSize] = {};
    u32 size = 0;
    i32 width = 0;
    i32 height = 0;
    u16 planes = 0;
    u16 bitCount = 0;
    u32 compression = 0;
    u32 imageSize = 0;
    u32 coloursUsed = 0;
    bool core = false;

    u32 Mask(i32 channel) const { return LoadLe32(block + kMaskOffset + 4 * channel); }
    bool CarriesStream() const
    {
        return compression == kCompressionJpeg || compression == kCompressionPng;
    }
};

[[nodiscard]] bool ReadDibHeader(cFileIOTarget* stream, sDibHeader& header)
{
    header = {};
    if (!stream->ReadExact(header.block, 4)) {
        return false;
    }
    header.size = LoadLe32(header.block);
    if (header.size == kCoreHeaderSize) {
        u8 core[8];
        if (!stream->ReadExact(core, sizeof core)) {
            return false;
        }
        header.core = true;
        header.width = LoadLe16(core);
        header.height = LoadLe16(core + 2);
        header.planes = LoadLe16(core + 4);
        header.bitCount = LoadLe16(core + 6);
        return true;
    }
    if (header.size < kInfoHeaderSize || header.size > kHeaderBlockSize ||
        !stream->ReadExact(header.block + 4, header.size - 4)) {
        return false;
    }
    header.width = i32(LoadLe32(header.block + 4));
    header.height = i32(LoadLe32(header.block + 8));
    header.planes = LoadLe16(header.block + 12);
    header.bitCount = LoadLe16(header.block + 14);
    header.compression = LoadLe32(header.block + 16);
    header.imageSize = LoadLe32(header.block + 20);
    header.coloursUsed = LoadLe32(header.block + 32);
    return true;
}

// |height| in 64 bits: the height of INT_MIN has no 32-bit absolute value.
inline i64 AbsoluteHeight(const sDibHeader& header)
{
    return header.height < 0 ? -i64(header.height) : i64(header.height);
}

[[nodiscard]] bool DibHeaderValid(const sDibHeader& header)
{
    if (header.width <= 0 || header.width > kLargestSide || header.height == 0 ||
        AbsoluteHeight(header) > kLargestSide || header.planes != 1) {
        return false;
    }
    switch (header.compression) {
    case kCompressionRgb:
    case kCompressionRle8:
    case kCompressionRle4:
    case kCompressionBitFields:
    case kCompressionAlphaBitFields:
    case kCompressionRgb2:
    case kCompressionRle4Code:
    case kCompressionRle8Code:
    case kCompressionJpeg:
    case kCompressionPng:
        break;
    default:
        return false;
    }
    switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    case 0:
        // A bitmap carrying a JPEG or PNG stream stores bit count 0: the stream has its own.
        return header.CarriesStream();
    default:
        return false;
    }
}

// The image's rows: in icon mode the header height also counts the AND mask's rows.
inline i64 ImageRows(const sDibHeader& header, eDibMode mode)
{
    const i64 rows = AbsoluteHeight(header);
    return mode != eDibMode::Plain && !header.CarriesStream() ? rows / 2 : rows;
}

// One channel of a bit-field pixel. 8-bit masks (red, green and blue each with exactly 8
// bits set) take the channel unscaled; other masks scale it to 0..255 with a float factor
// rounded to nearest, ties to even. Every channel is clamped, so that a non-contiguous or
// wide mask cannot spill into the next channel.
struct sBitField
{
    u32 mask = 0;
    u32 shift = 0;
    f32 factor = 0.0f;
    bool unscaled = false;
    u32 absent = 0; // the value when the mask is 0: 0 for colours, 255 for alpha

    void Set(u32 fieldMask, bool eightBitMasks, u32 valueWhenAbsent)
    {
        mask = fieldMask;
        shift = mask == 0 ? 0 : u32(std::countr_zero(mask));
        factor = mask == 0 ? 0.0f : 255.0f / f32(mask >> shift);
        unscaled = eightBitMasks;
        absent = valueWhenAbsent;
    }
    u32 Channel(u32 value) const
    {
        if (mask == 0) {
            return absent;
        }
        const u32 field = (value & mask) >> shift;
        if (unscaled) {
            return std::min<u32>(field, 255);
        }
        const f32 scaled = std::nearbyint(f32(field) * factor);
        return scaled >= 255.0f ? 255 : u32(scaled);
    }
};

// The four channels of a bit-field pixel, for 16-bit pixels through one lookup table per
// channel built once per load. When every mask is a whole byte or 0 (what ImageMagick
// writes: ff0000, ff00, ff, ff000000) a 32-bit pixel is a shuffle of its bytes, which
// Channel gives too, without its per-channel branches.
struct sBitFields
{
    sBitField fields[4]; // blue, green, red, alpha: the order of the packed pixel's bytes
    _typebuf<u8> tables[4];
    bool wholeBytes = false;
    u32 byteShift[4] = {}; // where each channel's byte sits in the stored pixel
    u32 byteKeep[4] = {};  // 0xFF, or 0 for a channel without a mask
    u32 absentChannels = 0;

    void Set(u32 red, u32 green, u32 blue, u32 alpha)
    {
        const bool eightBit =
            std::popcount(red) == 8 && std::popcount(green) == 8 && std::popcount(blue) == 8;
        fields[0].Set(blue, eightBit, 0);
        fields[1].Set(green, eightBit, 0);
        fields[2].Set(red, eightBit, 0);
        fields[3].Set(alpha, eightBit, 255);
        wholeBytes = true;
        absentChannels = 0;
        for (i32 c = 0; c < 4; ++c) {
            const sBitField& field = fields[c];
            wholeBytes = wholeBytes && (field.mask == 0 || field.mask == 0xFFu << field.shift) &&
                         field.shift % 8 == 0;
            byteShift[c] = field.shift;
            byteKeep[c] = field.mask == 0 ? 0 : 0xFF;
            absentChannels |= field.mask == 0 ? field.absent << (8 * c) : 0;
        }
    }
    // `count` 32-bit pixels of whole-byte masks.
    void ShuffleBytes(const u8* bytes, i32 count, u32* out) const
    {
        const u32 b = byteShift[0], g = byteShift[1], r = byteShift[2], a = byteShift[3];
        const u32 keepB = byteKeep[0], keepG = byteKeep[1], keepR = byteKeep[2],
                  keepA = byteKeep[3];
        for (i32 x = 0; x < count; ++x) {
            const u32 value = LoadLe32(bytes + 4 * x);
            out[x] = (value >> b & keepB) | (value >> g & keepG) << 8 | (value >> r & keepR) << 16 |
                     (value >> a & keepA) << 24 | absentChannels;
        }
    }
    u32 Pixel(u32 value) const
    {
        return fields[0].Channel(value) | fields[1].Channel(value) << 8 |
               fields[2].Channel(value) << 16 | fields[3].Channel(value) << 24;
    }
    [[nodiscard]] bool BuildTables16()
    {
        for (i32 c = 0; c < 4; ++c) {
            const sBitField& field = fields[c];
            const u32 largest = (field.mask & 0xFFFF) >> field.shift;
            if (!tables[c].Alloc(i64(largest) + 1)) {
                return false;
            }
            for (u32 v = 0; v <= largest; ++v) {
                tables[c].GetData()[v] = u8(field.Channel(v << field.shift));
            }
        }
        return true;
    }
    u32 Pixel16(u32 word) const
    {
        u32 pixel = 0;
        for (i32 c = 0; c < 4; ++c) {
            const sBitField& field = fields[c];
            const u32 channel = field.mask == 0
                                    ? field.absent
                                    : tables[c].GetData()[(word & field.mask) >> field.shift];
            pixel |= channel << (8 * c);
        }
        return pixel;
    }
};

// A 64 KB window over the stream for the two-byte steps of RLE data.
class cRleReader
{
  public:
    explicit cRleReader(cFileIOTarget* stream) : m_stream(stream) {}

    [[nodiscard]] bool Take(u8* out, u32 count)
    {
        for (u32 i = 0; i < count; ++i) {
            if (m_next == m_filled) {
                if (!m_buffer.GetData() && !m_buffer.Alloc(kRleReaderSize)) {
                    return false;
                }
                m_filled = m_stream->Read(m_buffer.GetData(), kRleReaderSize);
                m_next = 0;
                if (m_filled == 0) {
                    return false;
                }
            }
            out[i] = m_buffer.GetData()[m_next++];
        }
        return true;
    }

  private:
    cFileIOTarget* m_stream;
    _typebuf<u8> m_buffer;
    u32 m_next = 0;
    u32 m_filled = 0;
};

} // namespace

// One load of a bitmap: header, colour table, gap, pixels.
struct sDibContext
{
    sDibContext(cPictDIB& picture, eDibMode mode) : m_picture(picture), m_mode(mode) {}

    [[nodiscard]] bool Load(cFileIOTarget* stream, u64 dataOffset, u64 dataEnd, bool hasFileHeader);

  private:
    [[nodiscard]] bool ReadColourTable(cFileIOTarget* stream);
    [[nodiscard]] bool ReadEntries(cFileIOTarget* stream, u64 count);
    [[nodiscard]] bool ReadGap(cFileIOTarget* stream);
    [[nodiscard]] bool Decode(cFileIOTarget* stream);
    [[nodiscard]] bool DecodeCarriedStream(cFileIOTarget* stream);
    [[nodiscard]] bool StartPixels(u64 rows);
    [[nodiscard]] bool ConvertPixels(cFileIOTarget* stream, bool bitFields);
    [[nodiscard]] bool ConvertRow(const u8* bytes, u32* out);
    [[nodiscard]] bool AlphaBytesAllZero(cFileIOTarget* stream, u64 stride, bool& allZero);
    [[nodiscard]] bool DecodeRLE(cFileIOTarget* stream, u32 bitsPerIndex);
    [[nodiscard]] bool EmitIndexRow();
    [[nodiscard]] bool ApplyIconMask(cFileIOTarget* stream);
    void OutputRow(i64 fileRow, const u32* pixels);
    u32* BufferRow(i64 fileRow);

    cPictDIB& m_picture;
    eDibMode m_mode;
    sDibHeader m_header;
    u64 m_headerStart = 0; // stream position of the header's first byte
    u64 m_dataOffset = 0;
    u64 m_dataEnd = 0;
    u64 m_consumed = 0; // bytes read since the header's first byte
    _typebuf<u32> m_palette;
    i32 m_width = 0;
    i32 m_rows = 0;
    bool m_streaming = false;
    bool m_forceOpaque = false;
    sBitFields m_fields;
    _typebuf<u32> m_line;
    // RLE state: the row's indices, the next column and the rows emitted so far.
    _typebuf<u8> m_indices;
    i32 m_column = 0;
    i32 m_rowNumber = 0;
};

bool sDibContext::Load(cFileIOTarget* stream, u64 dataOffset, u64 dataEnd, bool hasFileHeader)
{
    m_headerStart = stream->GetPosition();
    if (!ReadDibHeader(stream, m_header) || !DibHeaderValid(m_header)) {
        return false;
    }
    m_consumed = m_header.size;
    if (hasFileHeader) {
        // A data offset inside the header would give a negative room.
        if (dataOffset < m_header.size) {
            return false;
        }
        m_dataOffset = dataOffset;
        m_dataEnd = dataEnd;
    } else {
        m_dataOffset = m_header.size;
        m_dataEnd = m_header.imageSize == 0
                        ? kUnboundedDataEnd
                        : std::min<u64>(u64(m_header.size) + m_header.imageSize, kUnboundedDataEnd);
    }
    return ReadColourTable(stream) && ReadGap(stream) && Decode(stream);
}

bool sDibContext::ReadColourTable(cFileIOTarget* stream)
{
    const u32 bits = m_header.bitCount;
    if (bits == 0 || bits > 8) {
        return true;
    }
    const u64 entrySize = m_header.core ? 3 : 4;
    u64 count = m_header.coloursUsed != 0 ? m_header.coloursUsed : u64(1) << bits;
    const u64 room = m_dataOffset - m_header.size;
    if (room == 0) {
        if (m_mode != eDibMode::IconWithTable) {
            if (bits == 1) {
                return m_palette.Alloc(2) && (m_palette.GetData()[0] = 0xFF000000,
                                              m_palette.GetData()[1] = 0xFFFFFFFF, true);
            }
            if (bits == 4) {
                return m_palette.Alloc(16) &&
                       (std::memcpy(m_palette.GetData(), kStandardPalette, sizeof kStandardPalette),
                        true);
            }
            return false;
        }
        // The table follows the header with no room given for it: the pixels move past it.
        if (!ReadEntries(stream, count)) {
            return false;
        }
        m_dataOffset += count * entrySize;
        m_dataEnd += count * entrySize;
        return true;
    }
    if (bits == 1) {
        count = 2;
    }
    return room >= count * entrySize && ReadEntries(stream, count);
}

// Reads `count` table entries; the palette keeps at most 2^bitcount of them and the rest
// are skipped, so that a hostile count costs no memory.
bool sDibContext::ReadEntries(cFileIOTarget* stream, u64 count)
{
    const u32 entrySize = m_header.core ? 3 : 4;
    const u64 kept = std::min<u64>(count, u64(1) << m_header.bitCount);
    u8 bytes[256 * 4];
    if (!m_palette.Alloc(i64(kept)) || !stream->ReadExact(bytes, u32(kept) * entrySize)) {
        return false;
    }
    for (u64 i = 0; i < kept; ++i) {
        const u8* entry = bytes + i * entrySize;
        m_palette.GetData()[i] = m_header.core ? 0xFF000000 | LoadLe24(entry) : LoadLe32(entry);
    }
    m_consumed += count * entrySize;
    // count < 2^32, so the skipped bytes stay far below 2^64.
    return count == kept || stream->Seek(m_headerStart + m_consumed);
}

// The bytes between the table and the pixels. After a header too short to hold the masks
// the gap holds them; the rest of a gap is skipped. Only a bit-field image without a table
// reads masks there, so that palette or profile bytes never become masks.
bool sDibContext::ReadGap(cFileIOTarget* stream)
{
    if (m_consumed >= m_dataOffset) {
        return true;
    }
    u64 maskEnd = m_consumed;
    if (m_header.bitCount >= 16 && m_header.compression == kCompressionBitFields) {
        maskEnd = kBitFieldsEnd;
    } else if (m_header.bitCount >= 16 && m_header.compression == kCompressionAlphaBitFields) {
        maskEnd = kAlphaBitFieldsEnd;
    }
    if (m_consumed < maskEnd) {
        const u32 count = u32(std::min(maskEnd - m_consumed, m_dataOffset - m_consumed));
        if (!stream->ReadExact(m_header.block + m_consumed, count)) {
            return false;
        }
    }
    m_consumed = m_dataOffset;
    return stream->Seek(m_headerStart + m_dataOffset);
}

bool sDibContext::Decode(cFileIOTarget* stream)
{
    if (m_header.CarriesStream()) {
        return DecodeCarriedStream(stream);
    }
    m_width = m_header.width;
    const i64 rows = ImageRows(m_header, m_mode);
    if (rows == 0 || !PixelBufferSizeOk(m_width, rows, 4)) {
        return false;
    }
    m_rows = i32(rows);
    m_picture.SetImageSize(m_width, m_rows, false);
    const bool icon = m_mode != eDibMode::Plain;
    const bool masked = icon && m_header.bitCount < 32;
    // A masked icon needs its own buffer for the mask: it is resampled into the target
    // afterwards.
    sPictTarget* target = m_picture.GetTarget();
    m_streaming = !masked && m_picture.BeginStreamRender();

    bool ok = false;
    switch (m_header.compression) {
    case kCompressionRgb:
    case kCompressionRgb2:
        ok = ConvertPixels(stream, false);
        break;
    case kCompressionBitFields:
    case kCompressionAlphaBitFields:
        ok = ConvertPixels(stream, true);
        break;
    case kCompressionRle8:
    case kCompressionRle8Code:
        ok = !icon && DecodeRLE(stream, 8);
        break;
    default: // RLE4
        ok = !icon && DecodeRLE(stream, 4);
        break;
    }
    if (ok && masked) {
        ok = ApplyIconMask(stream);
        if (ok && target != nullptr) {
            ok = PictResample(target, &m_picture);
        }
    }
    m_picture.EndStreamRender();
    return ok;
}

// JPEG (4) or PNG (5) data: a nested reader decodes them; with a target attached the
// result goes there and this picture starts no render of its own.
bool sDibContext::DecodeCarriedStream(cFileIOTarget* stream)
{
    sPictTarget* target = m_picture.GetTarget();
    bool ok = false;
    if (m_header.compression == kCompressionJpeg) {
        const u64 start = stream->GetPosition();
        const u64 size = stream->GetSize();
        cFileIOSubRange range(stream, start, size > start ? size - start : 0);
        cPictJPEG jpeg;
        if (target != nullptr) {
            ok = jpeg.SetTarget(target) && jpeg.Load(&range);
        } else if ((ok = jpeg.Load(&range))) {
            m_picture.TakePixels(&jpeg);
        }
    } else {
        cFileIOSubRange range(stream, stream->GetPosition(), m_header.imageSize);
        cPictPNG png;
        ok = png.Load(&range);
        if (ok && target != nullptr) {
            ok = PictResample(target, &png);
        } else if (ok) {
            m_picture.TakePixels(&png);
        }
    }
    m_picture.EndStreamRender();
    return ok;
}

bool sDibContext::StartPixels(u64 rows)
{
    if (m_streaming) {
        return m_line.Alloc(m_width);
    }
    return m_picture.AllocClear32(m_width, i32(rows));
}

u32* sDibContext::BufferRow(i64 fileRow)
{
    const i64 row = m_header.height > 0 ? fileRow : m_rows - 1 - fileRow;
    return m_picture.Pixels32().GetData() + row * m_width;
}

void sDibContext::OutputRow(i64 fileRow, const u32* pixels)
{
    const i32 y = i32(m_header.height > 0 ? fileRow : m_rows - 1 - fileRow);
    if (!m_picture.IsInStreamWindow(0, y, y)) {
        return;
    }
    (void)m_picture.StreamRow(0, y, pixels, m_width);
}

bool sDibContext::ConvertPixels(cFileIOTarget* stream, bool bitFields)
{
    const u32 bits = m_header.bitCount;
    const u64 width = u64(m_width);
    u64 stride = (width * bits + 31) / 32 * 4;
    const u64 rows = u64(m_rows);
    // The row bytes are bounded by the bytes the header or the file grants them.
    if (stride > m_dataEnd || stride * rows > m_dataEnd ||
        m_dataOffset + stride * rows > m_dataEnd) {
        return false;
    }
    // ... and by the bytes the stream still holds, before anything is allocated.
    const u64 size = stream->GetSize();
    const u64 position = stream->GetPosition();
    if (size != kUnknownStreamSize && (position > size || stride * rows > size - position)) {
        return false;
    }
    if (bits == 1 && m_palette.GetCount() != 2) {
        return false;
    }
    if (bits >= 16) {
        if (bitFields) {
            const u32 masks[4] = {m_header.Mask(0), m_header.Mask(1), m_header.Mask(2),
                                  m_header.Mask(3)};
            if (bits == 32 && (masks[0] | masks[1] | masks[2] | masks[3]) == 0) {
                return false;
            }
            m_fields.Set(masks[0], masks[1], masks[2], masks[3]);
        } else {
            m_fields.Set(0x7C00, 0x03E0, 0x001F, 0);
        }
        if (bits == 16 && !m_fields.BuildTables16()) {
            return false;
        }
    }
    // 32-bit pixels without bit fields keep their fourth byte as alpha, but most writers
    // leave it 0 throughout: such an image is opaque, not invisible. Icons keep theirs.
    const bool storedAlpha = bits == 32 && !bitFields;
    bool allZero = false;
    if (storedAlpha && m_mode == eDibMode::Plain && m_streaming &&
        !AlphaBytesAllZero(stream, stride, allZero)) {
        return false;
    }
    m_forceOpaque = allZero;
    _typebuf<u8> rowBytes;
    if (!rowBytes.Alloc(i64(stride)) || !StartPixels(rows)) {
        return false;
    }
    u32 alphaSeen = 0;
    for (u64 r = 0; r < rows; ++r) {
        if (!stream->ReadExact(rowBytes.GetData(), u32(stride))) {
            return false;
        }
        u32* out = m_streaming ? m_line.GetData() : BufferRow(i64(r));
        if (!ConvertRow(rowBytes.GetData(), out)) {
            return false;
        }
        if (storedAlpha) {
            for (i32 x = 0; x < m_width; ++x) {
                alphaSeen |= out[x];
            }
        }
        if (m_streaming) {
            OutputRow(i64(r), out);
        }
    }
    if (storedAlpha && m_mode == eDibMode::Plain && !m_streaming && alphaSeen >> 24 == 0) {
        u32* pixels = m_picture.Pixels32().GetData();
        for (i64 i = 0; i < m_picture.Pixels32().GetCount(); ++i) {
            pixels[i] |= 0xFF000000;
        }
    }
    return true;
}

// Whether every fourth byte of the 32-bit rows is 0; the stream returns to the pixels.
bool sDibContext::AlphaBytesAllZero(cFileIOTarget* stream, u64 stride, bool& allZero)
{
    _typebuf<u8> rowBytes;
    if (!rowBytes.Alloc(i64(stride))) {
        return false;
    }
    allZero = true;
    for (i32 r = 0; r < m_rows && allZero; ++r) {
        if (!stream->ReadExact(rowBytes.GetData(), u32(stride))) {
            return false;
        }
        for (u64 i = 3; i < stride; i += 4) {
            allZero = allZero && rowBytes.GetData()[i] == 0;
        }
    }
    return stream->Seek(m_headerStart + m_dataOffset);
}

bool sDibContext::ConvertRow(const u8* bytes, u32* out)
{
    const u32* palette = m_palette.GetData();
    const u32 count = u32(m_palette.GetCount());
    const i32 width = m_width;
    switch (m_header.bitCount) {
    case 1:
        for (i32 x = 0; x < width; ++x) {
            out[x] = palette[bytes[x >> 3] >> (7 - (x & 7)) & 1] | 0xFF000000;
        }
        return true;
    case 4:
        for (i32 x = 0; x < width; ++x) {
            const u32 index = x & 1 ? bytes[x >> 1] & 0x0F : bytes[x >> 1] >> 4;
            if (index >= count) {
                return false;
            }
            out[x] = palette[index] | 0xFF000000;
        }
        return true;
    case 8:
        for (i32 x = 0; x < width; ++x) {
            if (bytes[x] >= count) {
                return false;
            }
            out[x] = palette[bytes[x]] | 0xFF000000;
        }
        return true;
    case 16: {
        for (i32 x = 0; x < width; ++x) {
            out[x] = m_fields.Pixel16(LoadLe16(bytes + 2 * x));
        }
        return true;
    }
    case 24: {
        const bool bitFields = m_header.compression == kCompressionBitFields ||
                               m_header.compression == kCompressionAlphaBitFields;
        for (i32 x = 0; x < width; ++x) {
            const u8* p = bytes + 3 * x;
            const u32 value = LoadLe24(p);
            out[x] = bitFields ? m_fields.Pixel(value) : 0xFF000000 | value;
        }
        return true;
    }
    default: { // 32
        const bool bitFields = m_header.compression == kCompressionBitFields ||
                               m_header.compression == kCompressionAlphaBitFields;
        if (bitFields && m_fields.wholeBytes) {
            m_fields.ShuffleBytes(bytes, width, out);
            return true;
        }
        const u32 opaque = m_forceOpaque ? 0xFF000000 : 0;
        for (i32 x = 0; x < width; ++x) {
            const u32 value = LoadLe32(bytes + 4 * x);
            out[x] = bitFields ? m_fields.Pixel(value) : value | opaque;
        }
        return true;
    }
    }
}

// RLE8 and RLE4. Writers differ from the letter of the format in two ways that are
// accepted: runs that pass the row's end (ImageMagick covers the row padding with them;
// the extra indices are dropped) and an end of bitmap after the last row's end of line.
bool sDibContext::DecodeRLE(cFileIOTarget* stream, u32 bitsPerIndex)
{
    if (m_header.bitCount != bitsPerIndex || !StartPixels(u64(m_rows)) ||
        !m_indices.Alloc(m_width)) {
        return false;
    }
    std::memset(m_indices.GetData(), 0, size_t(m_width));
    u8* indices = m_indices.GetData();
    cRleReader reader(stream);
    m_column = 0;
    m_rowNumber = 0;
    const auto put = [&](u8 index) {
        if (m_column < m_width) {
            indices[m_column] = index;
        }
        ++m_column;
    };
    u8 absolute[256];
    for (;;) {
        u8 pair[2];
        if (!reader.Take(pair, 2)) {
            return false;
        }
        if (pair[0] != 0) { // encoded run
            if (m_rowNumber >= m_rows) {
                return false;
            }
            for (u32 i = 0; i < pair[0]; ++i) {
                put(bitsPerIndex == 8 ? pair[1] : i & 1 ? pair[1] & 0x0F : pair[1] >> 4);
            }
            m_column = std::min(m_column, m_width);
            continue;
        }
        switch (pair[1]) {
        case 0: // end of line: a row ended early fails
            if (m_rowNumber >= m_rows || m_column != m_width || !EmitIndexRow()) {
                return false;
            }
            continue;
        case 1: // end of bitmap
            if (m_rowNumber == m_rows && m_column == 0) {
                return true;
            }
            return m_rowNumber + 1 == m_rows && m_column == m_width && EmitIndexRow();
        case 2: { // delta
            u8 delta[2];
            if (!reader.Take(delta, 2) || m_rowNumber >= m_rows ||
                i64(m_rowNumber) + delta[1] >= m_rows || delta[0] > m_width - m_column) {
                return false;
            }
            for (u32 i = 0; i < delta[0]; ++i) {
                put(0);
            }
            const i32 column = m_column;
            for (u32 i = 0; i < delta[1]; ++i) {
                std::memset(indices + m_column, 0, size_t(m_width - m_column));
                m_column = m_width;
                if (!EmitIndexRow()) {
                    return false;
                }
                std::memset(indices, 0, size_t(column));
                m_column = column;
            }
            continue;
        }
        default: { // absolute run of pair[1] indices, padded to a 16-bit boundary
            const u32 count = pair[1];
            u32 bytes = bitsPerIndex == 8 ? count : (count + 1) / 2;
            bytes += bytes & 1;
            if (m_rowNumber >= m_rows || !reader.Take(absolute, bytes)) {
                return false;
            }
            for (u32 i = 0; i < count; ++i) {
                put(bitsPerIndex == 8 ? absolute[i]
                    : i & 1           ? absolute[i / 2] & 0x0F
                                      : absolute[i / 2] >> 4);
            }
            m_column = std::min(m_column, m_width);
            continue;
        }
        }
    }
}

bool sDibContext::EmitIndexRow()
{
    const u32* palette = m_palette.GetData();
    const i32 count = i32(m_palette.GetCount());
    u32* out = m_streaming ? m_line.GetData() : BufferRow(m_rowNumber);
    const u8* indices = m_indices.GetData();
    for (i32 x = 0; x < m_width; ++x) {
        if (indices[x] >= count) {
            return false;
        }
        out[x] = palette[indices[x]] | 0xFF000000;
    }
    if (m_streaming) {
        OutputRow(m_rowNumber, out);
    }
    ++m_rowNumber;
    m_column = 0;
    return true;
}

// The AND mask after the colour rows. A mask cut short leaves the pixels as converted.
bool sDibContext::ApplyIconMask(cFileIOTarget* stream)
{
    const u64 stride = (u64(m_width) + 31) / 32 * 4;
    const u64 size = stream->GetSize();
    const u64 position = stream->GetPosition();
    if (size != kUnknownStreamSize && (position > size || stride * m_rows > size - position)) {
        return true;
    }
    _typebuf<u8> maskRow;
    if (!maskRow.Alloc(i64(stride))) {
        return false;
    }
    for (i32 r = 0; r < m_rows; ++r) {
        if (!stream->ReadExact(maskRow.GetData(), u32(stride))) {
            return true;
        }
        u32* row = m_picture.Pixels32().GetData() + i64(r) * m_width;
        for (i32 x = 0; x < m_width; ++x) {
            const bool transparent = maskRow.GetData()[x >> 3] >> (7 - (x & 7)) & 1;
            row[x] = (row[x] & 0x00FFFFFF) | (transparent ? 0 : 0xFF000000);
        }
    }
    return true;
}

bool cPictDIB::LoadBitmap(cFileIOTarget* stream, u64 dataOffset, u64 dataEnd, bool hasFileHeader)
{
    ClearPixels();
    sDibContext context(*this, m_mode);
    if (!context.Load(stream, dataOffset, dataEnd, hasFileHeader)) {
        EndStreamRender();
        ClearPixels();
        return false;
    }
    return true;
}

bool cPictDIB::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    return stream != nullptr && stream->Seek(0) && ProbeDIBHeader(stream, info, eDibMode::Plain);
}

bool cPictDIB::Load(cFileIOTarget* stream)
{
    return stream != nullptr && stream->Seek(0) && LoadBitmap(stream, 0, 0, false);
}

bool cPictBMP::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    return ProbeBMP(stream, info);
}

bool cPictBMP::Load(cFileIOTarget* stream)
{
    u32 fileSize = 0;
    u32 dataOffset = 0;
    if (!ReadBmpFileHeader(stream, &fileSize, &dataOffset)) {
        return false;
    }
    // The file-size field bounds the pixel data.
    return LoadBitmap(stream, dataOffset - kBmpFileHeaderSize, fileSize - kBmpFileHeaderSize, true);
}

bool ProbeDIBHeader(cFileIOTarget* stream, sPictInfo* info, eDibMode mode)
{
    sDibHeader header;
    if (stream == nullptr || !ReadDibHeader(stream, header) || !DibHeaderValid(header)) {
        return false;
    }
    const i64 rows = ImageRows(header, mode);
    if (rows == 0) {
        return false;
    }
    if (info != nullptr) {
        *info = {header.width, i32(rows), 0};
    }
    return true;
}

bool ProbeBMP(cFileIOTarget* stream, sPictInfo* info)
{
    return BmpFileHeaderOk(stream) && ProbeDIBHeader(stream, info, eDibMode::Plain);
}

bool ProbeDIB(cFileIOTarget* stream, sPictInfo* info)
{
    return stream != nullptr && stream->Seek(0) && ProbeDIBHeader(stream, info, eDibMode::Plain);
}
