// The PCX reader. Glossary (ZSoft PCX File Format Technical Reference Manual, version 5):
//   header          128 bytes, little-endian: manufacturer 0x0A, version, encoding 1
//                   (run-length), bits per pixel per plane, window Xmin, Ymin, Xmax, Ymax,
//                   resolution, 16-colour palette, reserved, planes, bytes per line, palette
//                   interpretation, filler
//   bytes per line  decoded bytes of one plane of one row, an even number by the manual;
//                   the bytes past the width are padding
//   run             a byte with both top bits set: its low 6 bits count how often the next
//                   byte repeats; any other byte stands for itself
//   VGA palette     the marker 0x0C and 256 entries of R, G, B as the last 769 bytes
//
// The header is checked, the palette found (one plane), and the rows decoded one at a
// time: each row is run-length decoded whole, plane after plane, then converted to opaque
// pixels and written (or streamed) as one row. Nothing is written ahead of the rows, so a
// file that declares a large picture and holds little costs the rows that arrived.
#include "picture/formats/pcxreader.h"

#include "base/byteorder.h"
#include "picture/core/bytereader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u32 kHeaderSize = 128;
constexpr u32 kHeaderPaletteOffset = 16;
constexpr u32 kHeaderPaletteEntries = 16;
constexpr u8 kVgaPaletteMarker = 0x0C;
constexpr u32 kVgaPaletteEntries = 256;
constexpr u32 kVgaPaletteSize = 1 + 3 * kVgaPaletteEntries;
constexpr u8 kRunFlags = 0xC0;

} // namespace

struct sPcxContext
{
    sPcxContext(cPictPCX& picture, cFileIOTarget* stream)
        : m_picture(picture), m_stream(stream), m_reader(stream)
    {
    }

    [[nodiscard]] bool ReadHeader();
    [[nodiscard]] bool Decode();
    i32 Width() const { return m_width; }
    i32 Height() const { return m_height; }

  private:
    [[nodiscard]] bool ReadPalette();
    [[nodiscard]] bool DecodeRow(u8* row);
    [[nodiscard]] bool ConvertRow(const u8* row, u32* out) const;

    cPictPCX& m_picture;
    cFileIOTarget* m_stream;
    cPictByteReader m_reader;
    u8 m_header[kHeaderSize] = {};
    i32 m_width = 0;
    i32 m_height = 0;
    u32 m_planes = 0;
    u32 m_bytesPerLine = 0;
    u32 m_palette[kVgaPaletteEntries] = {};
    u32 m_paletteCount = 0;
};

// Files written by common tools carry a resolution of 0 (ImageMagick without -density),
// and a picture one pixel wide or high has Xmax or Ymax 0: neither field is checked. The
// palette interpretation (1 colour, 2 grey) is 0 in most files that DOS-era tools wrote,
// and other decoders read those as colour: so is it read here.
bool sPcxContext::ReadHeader()
{
    const u8* h = m_header;
    if (!m_stream->ReadExact(m_header, kHeaderSize) || h[0] != 0x0A || h[1] != 5 || h[2] != 1 ||
        h[3] != 8 || LoadLe16(h + 4) != 0 || LoadLe16(h + 6) != 0 || h[64] != 0 ||
        (h[65] != 1 && h[65] != 3)) {
        return false;
    }
    const u32 interpretation = LoadLe16(h + 68);
    m_width = i32(LoadLe16(h + 8) + 1);
    m_height = i32(LoadLe16(h + 10) + 1);
    m_planes = h[65];
    m_bytesPerLine = LoadLe16(h + 66);
    return m_bytesPerLine != 0 && m_bytesPerLine >= u32(m_width) && interpretation <= 2;
}

// The 256-colour palette when the file ends with one, else the header's 16 colours. The
// palette is looked for only where it cannot overlap the header.
bool sPcxContext::ReadPalette()
{
    const u64 size = m_stream->GetSize();
    u8 vga[kVgaPaletteSize];
    const u8* entries = m_header + kHeaderPaletteOffset;
    m_paletteCount = kHeaderPaletteEntries;
    if (size != kUnknownStreamSize && size >= kHeaderSize + kVgaPaletteSize &&
        m_stream->Seek(size - kVgaPaletteSize) && m_stream->ReadExact(vga, kVgaPaletteSize) &&
        vga[0] == kVgaPaletteMarker) {
        entries = vga + 1;
        m_paletteCount = kVgaPaletteEntries;
    } else if (std::all_of(entries, entries + 3 * kHeaderPaletteEntries,
                           [](u8 byte) { return byte == 0; })) {
        return false;
    }
    for (u32 i = 0; i < m_paletteCount; ++i, entries += 3) {
        m_palette[i] = 0xFF000000 | LoadBe24(entries);
    }
    return true;
}

bool sPcxContext::Decode()
{
    if ((m_planes == 1 && !ReadPalette()) || !m_stream->Seek(kHeaderSize)) {
        return false;
    }
    // Up to 65536 x 65536: the product can pass the pixel cap.
    if (!PixelBufferSizeOk(m_width, m_height, 4)) {
        return false;
    }
    m_picture.SetImageSize(m_width, m_height, false);
    const bool streaming = m_picture.BeginStreamRender();
    _typebuf<u8> row;
    _typebuf<u32> line;
    bool ok = row.Alloc(i64(m_planes) * m_bytesPerLine) &&
              (streaming ? line.Alloc(m_width) : m_picture.AllocClear32(m_width, m_height));
    for (i32 r = 0; ok && r < m_height; ++r) {
        const i32 y = m_height - 1 - r;
        u32* out = streaming ? line.GetData() : m_picture.Pixels32().GetData() + i64(y) * m_width;
        ok = DecodeRow(row.GetData()) && ConvertRow(row.GetData(), out);
        if (ok && streaming) {
            (void)m_picture.StreamRow(0, y, out, m_width);
        }
    }
    if (streaming) {
        m_picture.EndStreamRender();
    }
    return ok;
}

// Every row starts afresh: a run still open at its end is dropped, while a run may carry
// on from one plane into the next within the row.
bool sPcxContext::DecodeRow(u8* row)
{
    const u32 total = m_planes * m_bytesPerLine;
    for (u32 filled = 0; filled < total;) {
        u8 byte;
        if (!m_reader.Next(byte)) {
            return false;
        }
        if ((byte & kRunFlags) != kRunFlags) {
            row[filled++] = byte;
            continue;
        }
        u8 value;
        if (!m_reader.Next(value)) {
            return false;
        }
        // A count of 0 is taken as 1.
        const u32 count = std::min(std::max(byte & ~kRunFlags & 0xFFu, 1u), total - filled);
        std::memset(row + filled, value, count);
        filled += count;
    }
    return true;
}

// Palette indices or the red, green and blue planes of a decoded row to opaque pixels;
// false for an index past the palette.
bool sPcxContext::ConvertRow(const u8* row, u32* out) const
{
    if (m_planes == 3) {
        const u8* red = row;
        const u8* green = row + m_bytesPerLine;
        const u8* blue = green + m_bytesPerLine;
        for (i32 x = 0; x < m_width; ++x) {
            out[x] = 0xFF000000 | u32(red[x]) << 16 | u32(green[x]) << 8 | blue[x];
        }
        return true;
    }
    for (i32 x = 0; x < m_width; ++x) {
        if (row[x] >= m_paletteCount) {
            return false;
        }
        out[x] = m_palette[row[x]];
    }
    return true;
}

bool cPictPCX::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (stream == nullptr) {
        return false;
    }
    (void)stream->Seek(0);
    sPcxContext context(*this, stream);
    if (!context.ReadHeader()) {
        return false;
    }
    if (info != nullptr) {
        *info = {context.Width(), context.Height(), 0};
    }
    return true;
}

bool cPictPCX::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    ClearPixels();
    (void)stream->Seek(0);
    sPcxContext context(*this, stream);
    return context.ReadHeader() && context.Decode();
}

bool ProbePCX(cFileIOTarget* stream, sPictInfo* info)
{
    cPictPCX reader;
    return reader.ReadInfo(stream, info);
}
