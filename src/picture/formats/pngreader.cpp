// The PNG reader. Glossary (ISO/IEC 15948):
//   chunk   length (4 bytes, big-endian), type (4 bytes), data, CRC-32 of type and data
//   IHDR    width, height, bit depth, colour type, compression, filter and interlace method
//   PLTE    palette entries of 3 bytes; tRNS transparency; IDAT zlib image data; IEND end
//   bpp     bytes per complete pixel, at least 1: the distance of the filters' left byte
//   pass    one of the seven Adam7 sub-images of an interlaced image
//
// The parse is one pass over the chunks with a stage: the header must come first and only
// once, the image data follow, and IEND is accepted only once every row has arrived. Image
// data are inflated row by row into two row buffers (the row being filled and the one
// above), unfiltered, converted, and written bottom-up into the picture or streamed into
// the attached render target. Chunks are read and CRC'd in pieces, so that a long chunk
// never needs a buffer of its own size.
#include "picture/formats/pngreader.h"

#include "base/byteorder.h"
#include "package/zdecompress.h"
#include "picture/formats/pngfilters.h"
#include "picture/formats/pngrows.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <utility>
#include <zlib.h>

namespace {

constexpr u8 kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr u32 kPieceSize = 64 * 1024;
constexpr u32 kIhdrLength = 13;
// A PLTE can list at most 2^16 entries (depth 16), 3 bytes each.
constexpr u32 kLargestKeptChunk = 3 * 65536;

constexpr u32 ChunkType(const char (&name)[5])
{
    return u32(u8(name[0])) << 24 | u32(u8(name[1])) << 16 | u32(u8(name[2])) << 8 |
           u32(u8(name[3]));
}

constexpr u32 kIHDR = ChunkType("IHDR");
constexpr u32 kPLTE = ChunkType("PLTE");
constexpr u32 kTRNS = ChunkType("tRNS");
constexpr u32 kIDAT = ChunkType("IDAT");
constexpr u32 kIEND = ChunkType("IEND");

// Adam7 (ISO/IEC 15948 8.2): x start, y start, x step, y step of passes 1 to 7.
struct sAdam7Pass
{
    u32 xStart;
    u32 yStart;
    u32 xStep;
    u32 yStep;
};
constexpr sAdam7Pass kAdam7[7] = {
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2},
};

enum class ePngStage
{
    kExpectHeader,  // nothing but IHDR may come
    kHeaderRead,    // IHDR seen, no image data yet
    kImageData,     // rows arriving
    kImageComplete, // every row arrived; later image data are ignored
};

enum : u8
{
    kInterlaceNone = 0,
    kInterlaceAdam7 = 1,
    // Decoded as not interlaced: files with this value exist and decode that way.
    kInterlaceNoneAlternative = 255,
};

} // namespace

struct sPngContext
{
    explicit sPngContext(cPictPNG& picture) : m_picture(picture) {}

    [[nodiscard]] bool Parse(cFileIOTarget* stream);
    // The size from the header (0 before a valid one).
    i32 HeaderWidth() const { return i32(m_width); }
    i32 HeaderHeight() const { return i32(m_height); }

private:
    void Reset();
    [[nodiscard]] bool ReadChunk(cFileIOTarget* stream, bool& ended);
    [[nodiscard]] bool ChunkLengthAcceptable(u32 type, u32 length) const;
    [[nodiscard]] bool ProcessHeader(const u8* data);
    [[nodiscard]] bool ProcessPalette(const u8* data, u32 length);
    [[nodiscard]] bool ProcessTransparency(const u8* data, u32 length);
    [[nodiscard]] bool ProcessImageData(const u8* data, u32 length);
    [[nodiscard]] bool StartImage();
    [[nodiscard]] bool StartPass();
    [[nodiscard]] bool FinishRow();
    [[nodiscard]] bool EnsurePixels();
    [[nodiscard]] bool OutputRow(const u8* samples);

    cPictPNG& m_picture;
    cZDecompress m_inflater;
    ePngStage m_stage = ePngStage::kExpectHeader;

    // IHDR.
    u32 m_width = 0;
    u32 m_height = 0;
    u8 m_depth = 0;
    u8 m_colourType = 0;
    u8 m_compression = 0; // never checked
    u8 m_filterMethod = 0;
    u8 m_interlace = 0;
    i32 m_channels = 0;

    _typebuf<u32> m_palette;
    sPngRowFormat m_format = {};

    // Decoding position: image row of the row being filled, and the Adam7 pass (-1 when
    // not interlaced or before the first pass).
    u32 m_y = 0;
    i32 m_pass = -1;
    u32 m_passWidth = 0;
    i32 m_bpp = 1;
    // The filter-type byte followed by the row's bytes; sized for a full image row and
    // used as a prefix of m_rowSize bytes by the passes.
    _typebuf<u8> m_previousRow;
    _typebuf<u8> m_currentRow;
    u32 m_rowSize = 0;
    u32 m_fill = 0;
    bool m_streaming = false;
    // One converted row when streaming.
    _typebuf<u32> m_line32;
    _typebuf<u64> m_line64;

    // The first bytes of a chunk that its handler needs, and the pieces of the rest.
    _typebuf<u8> m_chunk;
    _typebuf<u8> m_piece;
};

void sPngContext::Reset()
{
    m_picture.ClearPixels();
    m_stage = ePngStage::kExpectHeader;
    m_width = m_height = 0;
    m_depth = m_colourType = m_compression = m_filterMethod = m_interlace = 0;
    m_channels = 0;
    m_palette.Free();
    m_format = {};
    m_format.key8 = 0xFFFFFFFF;
    m_format.key16 = ~u64(0);
    m_y = 0;
    m_pass = -1;
    m_passWidth = 0;
    m_bpp = 1;
    m_previousRow.Free();
    m_currentRow.Free();
    m_rowSize = 0;
    m_fill = 0;
    m_streaming = false;
}

bool sPngContext::Parse(cFileIOTarget* stream)
{
    Reset();
    // The inflate stream is set up once per object and restarted for every parse.
    if (!m_inflater.ResetInflateStream()) {
        u32 none = 0;
        u32 nothing = 0;
        if (!m_inflater.InflateStep(nullptr, none, nullptr, nothing) ||
            !m_inflater.ResetInflateStream()) {
            return false;
        }
    }
    bool ok = m_piece.Alloc(kPieceSize);
    u8 signature[8];
    ok = ok && stream->ReadExact(signature, 8) && std::memcmp(signature, kSignature, 8) == 0;
    bool ended = false;
    while (ok && !ended) {
        ok = ReadChunk(stream, ended);
    }
    if (m_streaming) {
        m_picture.EndStreamRender();
        m_streaming = false;
    }
    m_chunk.Free();
    m_piece.Free();
    m_previousRow.Free();
    m_currentRow.Free();
    m_line32.Free();
    m_line64.Free();
    return ok;
}

// Whether a chunk of this type may have this length, decided before its data are read.
bool sPngContext::ChunkLengthAcceptable(u32 type, u32 length) const
{
    switch (type) {
    case kIHDR:
        return length >= kIhdrLength;
    case kPLTE:
        return length != 0 && length % 3 == 0 && length / 3 <= (u32(1) << m_depth);
    case kTRNS:
        switch (m_colourType) {
        case kPngGrey:
            return length == 2;
        case kPngRgb:
            return length == 6;
        case kPngPalette:
            return length <= u32(m_palette.GetCount());
        default:
            return false;
        }
    case kIEND:
        return length == 0;
    default:
        return true;
    }
}

bool sPngContext::ReadChunk(cFileIOTarget* stream, bool& ended)
{
    u8 header[8];
    if (!stream->ReadExact(header, 8)) {
        return false;
    }
    const u32 length = LoadBe32(header);
    const u32 type = LoadBe32(header + 4);
    // The PNG limit is 2^31 - 1; a length beyond what the stream still holds cannot be
    // real, so nothing is allocated or read for it.
    if (length > u32(INT32_MAX)) {
        return false;
    }
    const u64 size = stream->GetSize();
    if (size != kUnknownStreamSize) {
        const u64 position = stream->GetPosition();
        if (position > size || length > size - position) {
            return false;
        }
    }
    // The header comes first and only once: a second one would resize a decode that has
    // already sized its buffers.
    if ((m_stage == ePngStage::kExpectHeader) != (type == kIHDR)) {
        return false;
    }
    if (!ChunkLengthAcceptable(type, length)) {
        return false;
    }

    u32 kept = 0;
    if (type == kIHDR) {
        kept = kIhdrLength;
    } else if (type == kPLTE || type == kTRNS) {
        kept = std::min(length, kLargestKeptChunk);
    }
    uLong crc = crc32(0L, header + 4, 4);
    if (kept > 0) {
        if (m_chunk.GetCount() < i64(kept) && !m_chunk.Alloc(kept)) {
            return false;
        }
        if (!stream->ReadExact(m_chunk.GetData(), kept)) {
            return false;
        }
        crc = crc32(crc, m_chunk.GetData(), kept);
    }
    for (u32 left = length - kept; left > 0;) {
        const u32 piece = std::min(left, kPieceSize);
        if (!stream->ReadExact(m_piece.GetData(), piece)) {
            return false;
        }
        crc = crc32(crc, m_piece.GetData(), piece);
        if (type == kIDAT && !ProcessImageData(m_piece.GetData(), piece)) {
            return false;
        }
        left -= piece;
    }

    bool processed = true;
    if (type == kIHDR) {
        processed = ProcessHeader(m_chunk.GetData());
    } else if (type == kPLTE) {
        processed = ProcessPalette(m_chunk.GetData(), length);
    } else if (type == kTRNS) {
        processed = ProcessTransparency(m_chunk.GetData(), length);
    } else if (type == kIEND) {
        // Rows that never arrived would otherwise be reported as a decoded image.
        processed = m_stage == ePngStage::kImageComplete;
    }
    u8 stored[4];
    if (!processed || !stream->ReadExact(stored, 4) || LoadBe32(stored) != u32(crc)) {
        return false;
    }
    ended = type == kIEND || (m_picture.m_headerOnly && m_width != 0);
    return true;
}

bool sPngContext::ProcessHeader(const u8* data)
{
    const u32 width = LoadBe32(data);
    const u32 height = LoadBe32(data + 4);
    const u8 depth = data[8];
    const u8 colourType = data[9];
    // ISO/IEC 15948 11.2.2: each dimension is 1 to 2^31 - 1.
    if (width == 0 || height == 0 || width > u32(INT32_MAX) || height > u32(INT32_MAX)) {
        return false;
    }
    switch (colourType) {
    case kPngGrey:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) {
            return false;
        }
        break;
    case kPngPalette:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
            return false;
        }
        break;
    case kPngRgb:
    case kPngGreyAlpha:
    case kPngRgba:
        if (depth != 8 && depth != 16) {
            return false;
        }
        break;
    default:
        return false;
    }
    const u8 interlace = data[12];
    if (interlace != kInterlaceNone && interlace != kInterlaceAdam7 &&
        interlace != kInterlaceNoneAlternative) {
        return false;
    }
    m_width = width;
    m_height = height;
    m_depth = depth;
    m_colourType = colourType;
    m_compression = data[10];
    m_filterMethod = data[11];
    m_interlace = interlace;
    m_channels = PngChannels(colourType);
    m_stage = ePngStage::kHeaderRead;
    return true;
}

bool sPngContext::ProcessPalette(const u8* data, u32 length)
{
    const u32 count = length / 3;
    if (!m_palette.Alloc(count)) {
        return false;
    }
    u32* entries = m_palette.GetData();
    for (u32 i = 0; i < count; ++i, data += 3) {
        entries[i] = 0xFF000000 | LoadBe24(data);
    }
    // A palette may come again between image data chunks: the rows after it use it.
    m_format.palette = entries;
    m_format.paletteCount = i32(count);
    return true;
}

bool sPngContext::ProcessTransparency(const u8* data, u32 length)
{
    switch (m_colourType) {
    case kPngGrey: {
        const u32 value = LoadBe16(data);
        if (m_depth == 16) {
            m_format.key16 = u64(value) * 0x0000'0001'0001'0001;
        } else {
            const u32 levels = (u32(1) << m_depth) - 1;
            if (value > levels) {
                return false;
            }
            m_format.key8 = value * 255 / levels * 0x010101u;
        }
        break;
    }
    case kPngRgb: {
        const u32 red = LoadBe16(data);
        const u32 green = LoadBe16(data + 2);
        const u32 blue = LoadBe16(data + 4);
        if (m_depth == 16) {
            m_format.key16 = u64(red) << 32 | u64(green) << 16 | blue;
        } else {
            if (red > 255 || green > 255 || blue > 255) {
                return false;
            }
            m_format.key8 = red << 16 | green << 8 | blue;
        }
        break;
    }
    case kPngPalette: {
        u32* entries = m_palette.GetData();
        for (u32 i = 0; i < length; ++i) {
            entries[i] = (entries[i] & 0x00FFFFFF) | u32(data[i]) << 24;
        }
        return true;
    }
    default:
        return false;
    }
    m_format.hasKey = true;
    return true;
}

bool sPngContext::StartImage()
{
    const bool deep = m_depth == 16;
    // The pixel cap, before any row or pixel buffer exists.
    if (!PixelBufferSizeOk(m_width, m_height, deep ? 8 : 4)) {
        return false;
    }
    const u64 rowBits = u64(m_depth) * m_width * u64(m_channels);
    const u64 rowSize = ((rowBits + 7) >> 3) + 1;
    // The filters touch a few bytes past the row; those bytes are never part of a row.
    const u64 rowBuffer = rowSize + kPngRowPadding;
    if (!FitsI32(rowBuffer) || !m_previousRow.AllocZeroed(i64(rowBuffer)) ||
        !m_currentRow.AllocZeroed(i64(rowBuffer))) {
        return false;
    }
    m_bpp = std::max<i32>(1, i32((u32(m_depth) * u32(m_channels) + 7) >> 3));
    m_format.colourType = m_colourType;
    m_format.depth = m_depth;

    m_picture.SetImageSize(i32(m_width), i32(m_height), deep);
    m_streaming = m_picture.BeginStreamRender();
    // The pixel buffer waits for the first row (EnsurePixels).
    if (m_streaming && (deep ? !m_line64.Alloc(m_width) : !m_line32.Alloc(m_width))) {
        return false;
    }
    m_stage = ePngStage::kImageData;
    if (m_interlace == kInterlaceAdam7) {
        return StartPass();
    }
    m_passWidth = m_width;
    m_rowSize = u32(rowSize);
    return true;
}

// The pixel buffer, allocated when the first row is complete so that a file that declares
// a large picture but holds no rows costs no memory. It reads as cleared, so that a failed
// decode never shows what the memory held before, and its pages become resident only as
// rows are written.
bool sPngContext::EnsurePixels()
{
    if (m_streaming || m_picture.HasPixels()) {
        return true;
    }
    return m_depth == 16 ? m_picture.AllocClear64(i32(m_width), i32(m_height))
                         : m_picture.AllocClear32(i32(m_width), i32(m_height));
}

// Moves to the next Adam7 pass that has pixels. A pass can be empty in either direction:
// a 1-pixel-wide image has nothing in passes 2, 4 and 6, a 1-pixel-high one nothing in
// passes 3, 5 and 7.
bool sPngContext::StartPass()
{
    for (++m_pass; m_pass < 7; ++m_pass) {
        const sAdam7Pass& pass = kAdam7[m_pass];
        if (pass.xStart >= m_width || pass.yStart >= m_height) {
            continue;
        }
        m_passWidth = u32((u64(pass.xStep) - pass.xStart - 1 + m_width) / pass.xStep);
        const u64 rowBits = u64(m_depth) * m_passWidth * u64(m_channels);
        m_rowSize = u32(((rowBits + 7) >> 3) + 1);
        m_y = pass.yStart;
        m_fill = 0;
        std::memset(m_previousRow.GetData(), 0, m_rowSize);
        return true;
    }
    m_stage = ePngStage::kImageComplete;
    return true;
}

bool sPngContext::ProcessImageData(const u8* data, u32 length)
{
    if (m_stage == ePngStage::kImageComplete) {
        return true;
    }
    if (m_stage == ePngStage::kHeaderRead && !StartImage()) {
        return false;
    }
    while (length > 0 && m_stage == ePngStage::kImageData) {
        u32 consumed = length;
        u32 produced = m_rowSize - m_fill;
        if (!m_inflater.InflateStep(data, consumed, m_currentRow.GetData() + m_fill, produced)) {
            return false;
        }
        data += consumed;
        length -= consumed;
        // Nothing produced: the input ran out, or the zlib stream ended before it (data
        // after the end of the stream are ignored).
        if (produced == 0) {
            break;
        }
        m_fill += produced;
        if (m_fill == m_rowSize && !FinishRow()) {
            return false;
        }
    }
    return true;
}

bool sPngContext::FinishRow()
{
    if (m_filterMethod != 0) {
        return false;
    }
    u8* row = m_currentRow.GetData();
    UnfilterPngRow(row[0], row + 1, m_previousRow.GetData() + 1, i64(m_rowSize) - 1, m_bpp);
    if (!EnsurePixels() || !OutputRow(row + 1)) {
        return false;
    }
    std::swap(m_currentRow, m_previousRow);
    m_fill = 0;
    if (m_pass < 0) {
        if (++m_y == m_height) {
            m_stage = ePngStage::kImageComplete;
        }
        return true;
    }
    m_y += kAdam7[m_pass].yStep;
    return m_y < m_height || StartPass();
}

bool sPngContext::OutputRow(const u8* samples)
{
    const u32 xStart = m_pass < 0 ? 0 : kAdam7[m_pass].xStart;
    const u32 xStep = m_pass < 0 ? 1 : kAdam7[m_pass].xStep;
    const i32 bufferRow = i32(m_height - 1 - m_y);
    const i32 count = i32(m_passWidth);
    if (m_depth == 16) {
        u64* row = m_streaming ? nullptr
                               : m_picture.Pixels64().GetData() + i64(bufferRow) * m_width;
        if (m_picture.ConvertRowHook64(row, i32(m_width))) {
            return true;
        }
        if (!m_streaming) {
            ConvertPngRow64(m_format, samples, count, row + xStart, i32(xStep));
            return true;
        }
        ConvertPngRow64(m_format, samples, count, m_line64.GetData(), 1);
        for (i32 i = 0; i < count; ++i) {
            m_picture.StreamPixel64(i32(xStart + u32(i) * xStep), bufferRow,
                                    m_line64.GetData()[i]);
        }
        return true;
    }
    u32* row = m_streaming ? nullptr : m_picture.Pixels32().GetData() + i64(bufferRow) * m_width;
    if (m_picture.ConvertRowHook32(row, i32(m_width))) {
        return true;
    }
    if (!m_streaming) {
        return ConvertPngRow32(m_format, samples, count, row + xStart, i32(xStep));
    }
    if (!ConvertPngRow32(m_format, samples, count, m_line32.GetData(), 1)) {
        return false;
    }
    if (xStep == 1) {
        (void)m_picture.StreamRow(i32(xStart), bufferRow, m_line32.GetData(), count);
        return true;
    }
    for (i32 i = 0; i < count; ++i) {
        m_picture.StreamPixel(i32(xStart + u32(i) * xStep), bufferRow, m_line32.GetData()[i]);
    }
    return true;
}

cPictPNG::cPictPNG() = default;

cPictPNG::~cPictPNG() = default;

bool cPictPNG::ParseStream(cFileIOTarget* stream)
{
    if (stream == nullptr || !stream->IsOpen()) {
        return false;
    }
    if (!m_context) {
        m_context.reset(new (std::nothrow) sPngContext(*this));
        if (!m_context) {
            return false;
        }
    }
    return m_context->Parse(stream);
}

bool cPictPNG::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (stream == nullptr) {
        return false;
    }
    m_headerOnly = true;
    (void)stream->Seek(0);
    if (!ParseStream(stream)) {
        return false;
    }
    if (info != nullptr) {
        *info = {m_context->HeaderWidth(), m_context->HeaderHeight(), 0};
    }
    return true;
}

bool cPictPNG::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    m_headerOnly = false;
    (void)stream->Seek(0);
    return ParseStream(stream);
}

bool ProbePNG(cFileIOTarget* stream, sPictInfo* info)
{
    cPictPNG reader;
    return reader.ReadInfo(stream, info);
}
