// The TGA reader. Glossary (the TGA file format):
//   header      18 bytes, little-endian: ID length, colour map type, image type, colour map
//               fields (first entry, length, entry size), image fields
//               (x and y origin, width, height, pixel depth, image descriptor)
//   image ID    ID-length bytes of free text after the header; skipped
//   colour map  length entries of entry-size bits, right after the image ID
//   descriptor  bit 4 set: each row is stored from its right end; bit 5 set: the first
//               stored row is the top row; bits 6-7 must be 0
//   origin      where a display would place the picture; it says nothing about the
//               stored order and is not checked (writers put anything there, the height
//               among them)
//   packet      run-length unit: a header byte, then one value repeated (bit 7 set) or
//               (header & 0x7F) + 1 literal values (bit 7 clear)
//
// The decode runs in stages: the header is checked (all ReadInfo needs), the image ID is
// skipped and the colour map read, then the rows are decoded one at a time, as whole raw
// rows or through run-length packets that may span rows.
#include "picture/formats/tgareader.h"

#include "base/byteorder.h"
#include "picture/core/bytereader.h"

#include <algorithm>
#include <array>

namespace {

constexpr u32 kHeaderSize = 18;

enum : u8
{
    kTypeMapped = 1,
    kTypeTrueColour = 2,
    kTypeGrey = 3,
    kTypeMappedRle = 9,
    kTypeTrueColourRle = 10,
    kTypeGreyRle = 11,
};

constexpr u8 kDescriptorRightFirst = 0x10;
constexpr u8 kDescriptorTopFirst = 0x20;
constexpr u8 kDescriptorReserved = 0xC0;
constexpr u8 kPacketRun = 0x80;

enum class eTgaStage
{
    kNothingRead,
    kHeaderChecked, // enough for ReadInfo
    kMapRead,       // image ID skipped, colour map converted
    kPixelsDecoded,
};

struct sTgaHeader
{
    u8 idLength;
    u8 mapType;
    u8 imageType;
    u16 mapLength;
    u8 entryBits;
    u16 width;
    u16 height;
    u8 depth;
    u8 descriptor;
};

// The 5-bit channels of 16-bit values widened as trunc(c * 8.2258), so that 31 gives 254.
constexpr std::array<u8, 32> kWidened5 = [] {
    std::array<u8, 32> table{};
    for (u32 c = 0; c < 32; ++c) {
        table[c] = u8(c * 82258 / 10000);
    }
    return table;
}();

// Red in bits 10-14, green 5-9, blue 0-4; bit 15 is not alpha here.
inline u32 Pixel16(const u8* p)
{
    const u32 value = LoadLe16(p);
    return 0xFF000000 | u32(kWidened5[value >> 10 & 31]) << 16 |
           u32(kWidened5[value >> 5 & 31]) << 8 | kWidened5[value & 31];
}

inline u32 Pixel24(const u8* p)
{
    return 0xFF000000 | LoadLe24(p);
}

bool ParseHeader(const u8* bytes, sTgaHeader& header)
{
    header = {bytes[0],
              bytes[1],
              bytes[2],
              LoadLe16(bytes + 5),
              bytes[7],
              LoadLe16(bytes + 12),
              LoadLe16(bytes + 14),
              bytes[16],
              bytes[17]};
    switch (header.imageType) {
    case kTypeMapped:
    case kTypeMappedRle:
        if (header.mapType != 1 || header.mapLength == 0 || header.entryBits == 0) {
            return false;
        }
        break;
    case kTypeTrueColour:
    case kTypeGrey:
    case kTypeTrueColourRle:
    case kTypeGreyRle:
        if (header.mapType != 0 || header.mapLength != 0 || header.entryBits != 0) {
            return false;
        }
        break;
    default:
        return false;
    }
    const u8 depth = header.depth;
    return header.width != 0 && header.height != 0 &&
           (depth == 8 || depth == 16 || depth == 24 || depth == 32);
}

} // namespace

struct sTgaContext
{
    sTgaContext(cPictTGA& picture, cFileIOTarget* stream) : m_picture(picture), m_reader(stream) {}

    [[nodiscard]] bool Advance(eTgaStage wanted);
    const sTgaHeader& Header() const { return m_header; }

  private:
    [[nodiscard]] bool CheckHeader();
    [[nodiscard]] bool ReadColourMap();
    [[nodiscard]] bool DecodePixels();
    [[nodiscard]] bool DecodeRows();
    [[nodiscard]] bool ReadRawRow(u32* out);
    [[nodiscard]] bool ReadPacketRow(u32* out);
    [[nodiscard]] bool Convert(const u8* bytes, i32 count, u32* out);
    void MakeOpaque();

    cPictTGA& m_picture;
    cPictByteReader m_reader;
    eTgaStage m_stage = eTgaStage::kNothingRead;
    sTgaHeader m_header = {};
    bool m_runLength = false;
    u32 m_bytesPerPixel = 0;
    _typebuf<u32> m_map;
    // Every alpha byte of a 32-bit true-colour image ORed together.
    u32 m_alphaSeen = 0;
    bool m_streaming = false;
    _typebuf<u8> m_rowBytes;
    _typebuf<u32> m_line;
    // The packet in progress, which may continue on the next row.
    u32 m_packetLeft = 0;
    bool m_packetIsRun = false;
    u32 m_runPixel = 0;
};

bool sTgaContext::Advance(eTgaStage wanted)
{
    bool ok = true;
    while (ok && m_stage < wanted) {
        switch (m_stage) {
        case eTgaStage::kNothingRead:
            ok = CheckHeader();
            break;
        case eTgaStage::kHeaderChecked:
            ok = ReadColourMap();
            break;
        case eTgaStage::kMapRead:
            ok = DecodePixels();
            break;
        case eTgaStage::kPixelsDecoded:
            break;
        }
        m_stage = eTgaStage(i32(m_stage) + 1);
    }
    return ok;
}

bool sTgaContext::CheckHeader()
{
    u8 bytes[kHeaderSize];
    return m_reader.ReadExact(bytes, kHeaderSize) && ParseHeader(bytes, m_header);
}

bool sTgaContext::ReadColourMap()
{
    const sTgaHeader& h = m_header;
    if ((h.descriptor & kDescriptorReserved) != 0 || !m_reader.Skip(h.idLength)) {
        return false;
    }
    const bool mapped = h.imageType == kTypeMapped || h.imageType == kTypeMappedRle;
    const bool grey = h.imageType == kTypeGrey || h.imageType == kTypeGreyRle;
    if ((mapped || grey) != (h.depth == 8)) {
        return false;
    }
    m_runLength = h.imageType >= kTypeMappedRle;
    m_bytesPerPixel = h.depth / 8;
    if (!mapped) {
        return true;
    }
    const u32 entryBytes = h.entryBits / 8u;
    if ((h.entryBits != 16 && h.entryBits != 24 && h.entryBits != 32) ||
        !m_rowBytes.Alloc(i64(h.mapLength) * entryBytes) || !m_map.Alloc(h.mapLength) ||
        !m_reader.ReadExact(m_rowBytes.GetData(), u64(h.mapLength) * entryBytes)) {
        return false;
    }
    const u8* entry = m_rowBytes.GetData();
    u32* map = m_map.GetData();
    u32 alpha = 0;
    for (u32 i = 0; i < h.mapLength; ++i, entry += entryBytes) {
        map[i] = entryBytes == 2   ? Pixel16(entry)
                 : entryBytes == 3 ? Pixel24(entry)
                                   : LoadLe32(entry);
        alpha |= map[i] >> 24;
    }
    // A 32-bit map whose alpha is all 0 was written by a tool that leaves alpha unused.
    if (alpha == 0) {
        for (u32 i = 0; i < h.mapLength; ++i) {
            map[i] |= 0xFF000000;
        }
    }
    return true;
}

bool sTgaContext::DecodePixels()
{
    const i32 w = m_header.width;
    const i32 h = m_header.height;
    // Both are below 2^16, but their product can pass the pixel cap.
    if (!PixelBufferSizeOk(w, h, 4) || !m_rowBytes.Alloc(i64(w) * m_bytesPerPixel)) {
        return false;
    }
    m_picture.SetImageSize(w, h, false);
    m_streaming = m_picture.BeginStreamRender();
    const bool ok = m_streaming ? m_line.Alloc(w) && DecodeRows()
                                : m_picture.AllocClear32(w, h) && DecodeRows();
    if (ok && m_header.depth == 32 && m_alphaSeen == 0) {
        MakeOpaque();
    }
    if (m_streaming) {
        m_picture.EndStreamRender();
    }
    m_rowBytes.Free();
    m_line.Free();
    m_map.Free();
    return ok;
}

bool sTgaContext::DecodeRows()
{
    const i32 w = m_header.width;
    const i32 h = m_header.height;
    const bool topFirst = (m_header.descriptor & kDescriptorTopFirst) != 0;
    const bool rightFirst = (m_header.descriptor & kDescriptorRightFirst) != 0;
    for (i32 r = 0; r < h; ++r) {
        const i32 y = topFirst ? h - 1 - r : r;
        u32* out = m_streaming ? m_line.GetData() : m_picture.Pixels32().GetData() + i64(y) * w;
        if (!(m_runLength ? ReadPacketRow(out) : ReadRawRow(out))) {
            return false;
        }
        // Packets run in stored order, across rows too: a row is turned round once whole.
        if (rightFirst) {
            std::reverse(out, out + w);
        }
        if (m_streaming) {
            (void)m_picture.StreamRow(0, y, out, w);
        }
    }
    return true;
}

bool sTgaContext::ReadRawRow(u32* out)
{
    const i32 w = m_header.width;
    return m_reader.ReadExact(m_rowBytes.GetData(), u64(w) * m_bytesPerPixel) &&
           Convert(m_rowBytes.GetData(), w, out);
}

// Packets continue across row ends; a packet that runs past the last pixel is cut there.
bool sTgaContext::ReadPacketRow(u32* out)
{
    u8* value = m_rowBytes.GetData();
    for (i32 x = 0; x < m_header.width;) {
        if (m_packetLeft == 0) {
            u8 packet;
            if (!m_reader.Next(packet)) {
                return false;
            }
            m_packetLeft = (packet & 0x7F) + 1u;
            m_packetIsRun = (packet & kPacketRun) != 0;
            if (m_packetIsRun &&
                (!m_reader.ReadExact(value, m_bytesPerPixel) || !Convert(value, 1, &m_runPixel))) {
                return false;
            }
        }
        const i32 count = i32(std::min<u32>(m_packetLeft, u32(m_header.width - x)));
        if (m_packetIsRun) {
            std::fill(out + x, out + x + count, m_runPixel);
        } else if (!m_reader.ReadExact(value, u64(count) * m_bytesPerPixel) ||
                   !Convert(value, count, out + x)) {
            return false;
        }
        x += count;
        m_packetLeft -= u32(count);
    }
    return true;
}

// `count` stored values to pixels; false for a colour index outside the map.
bool sTgaContext::Convert(const u8* bytes, i32 count, u32* out)
{
    switch (m_bytesPerPixel) {
    case 1:
        if (m_map.GetData() == nullptr) {
            for (i32 i = 0; i < count; ++i) {
                out[i] = 0xFF000000 | bytes[i] * 0x010101u;
            }
            return true;
        }
        for (i32 i = 0; i < count; ++i) {
            if (bytes[i] >= m_map.GetCount()) {
                return false;
            }
            out[i] = m_map.GetData()[bytes[i]];
        }
        return true;
    case 2:
        for (i32 i = 0; i < count; ++i, bytes += 2) {
            out[i] = Pixel16(bytes);
        }
        return true;
    case 3:
        for (i32 i = 0; i < count; ++i, bytes += 3) {
            out[i] = Pixel24(bytes);
        }
        return true;
    default: {
        u32 alpha = 0;
        for (i32 i = 0; i < count; ++i, bytes += 4) {
            out[i] = LoadLe32(bytes);
            alpha |= bytes[3];
        }
        m_alphaSeen |= alpha;
        return true;
    }
    }
}

// 32-bit images whose alpha is 0 everywhere come from writers that leave alpha unused.
void sTgaContext::MakeOpaque()
{
    if (m_streaming) {
        m_picture.MakeStreamedOpaque();
        return;
    }
    u32* pixels = m_picture.Pixels32().GetData();
    for (i64 i = 0, n = i64(m_header.width) * m_header.height; i < n; ++i) {
        pixels[i] |= 0xFF000000;
    }
}

bool cPictTGA::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (stream == nullptr) {
        return false;
    }
    (void)stream->Seek(0);
    sTgaContext context(*this, stream);
    if (!context.Advance(eTgaStage::kHeaderChecked)) {
        return false;
    }
    if (info != nullptr) {
        *info = {context.Header().width, context.Header().height, 0};
    }
    return true;
}

bool cPictTGA::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    ClearPixels();
    (void)stream->Seek(0);
    sTgaContext context(*this, stream);
    return context.Advance(eTgaStage::kPixelsDecoded);
}

bool ProbeTGA(cFileIOTarget* stream, sPictInfo* info)
{
    cPictTGA reader;
    return reader.ReadInfo(stream, info);
}
