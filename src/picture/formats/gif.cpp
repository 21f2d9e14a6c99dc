// The GIF reader. Glossary (the GIF89a file format):
//   screen      logical screen descriptor: "GIF8", "7a" or "9a", width, height (u16 each),
//               flags (bit 7 global colour table, bits 0-2 its size n: 2^(n+1) entries),
//               background index, aspect ratio
//   table       colour table of 3-byte R, G, B entries
//   block       0x21 extension (label, sub-blocks), 0x2C image descriptor, 0x3B trailer
//   sub-block   a size byte and that many bytes; a size of 0 ends the chain
//   descriptor  left, top, width, height (u16 each), flags (bit 7 local table, bit 6
//               interlaced, bits 0-2 local table size)
//   control     graphic-control extension (label 0xF9, size 4): flags, delay, transparent
//               index
// A page is found by walking the blocks from the start; its image data are LZW-decoded
// and emitted row by row as the sub-blocks are read.
#include "picture/formats/gif.h"

#include "base/byteorder.h"
#include "base/memio.h"
#include "package/lzw.h"
#include "picture/core/pictfit.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr u8 kExtension = 0x21;
constexpr u8 kImageDescriptor = 0x2C;
constexpr u8 kTrailer = 0x3B;
constexpr u8 kGraphicControl = 0xF9;
constexpr u8 kGraphicControlSize = 4;
constexpr u32 kNoTransparency = 256;
constexpr u32 kTransparentWhite = 0x00FFFFFF;
constexpr u8 kLargestMinimumCodeSize = 11;

// Interlaced rows (GIF89a appendix E): start row and step of the four passes.
constexpr i32 kPassStart[4] = {0, 4, 2, 1};
constexpr i32 kPassStep[4] = {8, 8, 4, 2};

inline u32 TableEntries(u8 flags)
{
    return u32(2) << (flags & 7);
}

// Skips the sub-blocks that start at `position`; `position` ends after the 0 size.
bool SkipSubBlocks(cFileIOTarget* stream, u64& position)
{
    for (;;) {
        u8 size = 0;
        if (!stream->Seek(position) || !stream->ReadExact(&size, 1)) {
            return false;
        }
        position += 1 + u64(size);
        if (size == 0) {
            return true;
        }
    }
}

} // namespace

u64 cPictGIF::GlobalTableEnd() const
{
    return kScreenSize + (m_screen[10] & 0x80 ? 3 * u64(TableEntries(m_screen[10])) : 0);
}

bool cPictGIF::ReadScreen(cFileIOTarget* stream, bool readGlobalTable)
{
    if (stream == nullptr || !stream->Seek(0) || !stream->ReadExact(m_screen, kScreenSize) ||
        std::memcmp(m_screen, "GIF8", 4) != 0 ||
        (std::memcmp(m_screen + 4, "7a", 2) != 0 && std::memcmp(m_screen + 4, "9a", 2) != 0) ||
        LoadLe16(m_screen + 6) == 0 || LoadLe16(m_screen + 8) == 0) {
        return false;
    }
    if (!readGlobalTable) {
        return true;
    }
    m_palette.Free();
    return (m_screen[10] & 0x80) == 0 || ReadColourTable(stream, i32(TableEntries(m_screen[10])));
}

bool cPictGIF::ReadColourTable(cFileIOTarget* stream, i32 count)
{
    u8 bytes[256 * 3];
    if (!m_palette.Alloc(count) || !stream->ReadExact(bytes, u32(count) * 3)) {
        m_palette.Free();
        return false;
    }
    for (i32 i = 0; i < count; ++i) {
        const u8* rgb = bytes + 3 * i;
        m_palette.GetData()[i] = 0xFF000000 | LoadBe24(rgb);
    }
    return true;
}

bool cPictGIF::FindFrame(cFileIOTarget* stream, i32& frame, bool readTables)
{
    const i32 wanted = frame;
    frame = -1;
    std::memset(m_control, 0, sizeof m_control);
    if (!ReadScreen(stream, readTables)) {
        return false;
    }
    u64 position = GlobalTableEnd();
    for (i32 index = 0;;) {
        u8 introducer = 0;
        if (!stream->Seek(position) || !stream->ReadExact(&introducer, 1)) {
            return false;
        }
        if (introducer == kExtension) {
            u8 labelAndSize[2];
            if (!stream->ReadExact(labelAndSize, 2)) {
                return false;
            }
            if (readTables && labelAndSize[0] == kGraphicControl &&
                labelAndSize[1] == kGraphicControlSize) {
                if (!stream->ReadExact(m_control, sizeof m_control)) {
                    return false;
                }
                position += 8; // introducer, label, size, 4 bytes, terminator
                continue;
            }
            position += 2;
            if (!SkipSubBlocks(stream, position)) {
                return false;
            }
        } else if (introducer == kImageDescriptor) {
            if (index == wanted) {
                return true;
            }
            ++index;
            u8 descriptor[kDescriptorSize];
            if (!stream->ReadExact(descriptor, kDescriptorSize) || LoadLe16(descriptor + 4) == 0 ||
                LoadLe16(descriptor + 6) == 0) {
                return false;
            }
            position += 1 + kDescriptorSize;
            if (descriptor[8] & 0x80) {
                position += 3 * u64(TableEntries(descriptor[8]));
            }
            position += 1; // the LZW minimum code size
            if (!SkipSubBlocks(stream, position)) {
                return false;
            }
        } else if (introducer == kTrailer) {
            frame = index;
            return false;
        } else {
            return false;
        }
    }
}

namespace {

// The image data's sub-blocks as LZW input, read from the stream one at a time.
struct sSubBlocks
{
    cFileIOTarget* stream;
    u8 block[255] = {};
    bool ended = false;  // the 0 size came
    bool broken = false; // the chain was cut

    static i64 Next(void* context, const u8** data)
    {
        sSubBlocks& self = *static_cast<sSubBlocks*>(context);
        u8 size = 0;
        if (self.ended || self.broken) {
            return 0;
        }
        if (!self.stream->ReadExact(&size, 1) || !self.stream->ReadExact(self.block, size)) {
            self.broken = true;
            return 0;
        }
        self.ended = size == 0;
        *data = self.block;
        return size;
    }
};

} // namespace

bool cPictGIF::DecodeFrame(const u8* descriptor, cFileIOTarget* stream)
{
    if ((descriptor[8] & 0x80) && !ReadColourTable(stream, i32(TableEntries(descriptor[8])))) {
        return false;
    }
    u8 minimumCodeSize = 0;
    // Codes are at most 12 bits wide, so 11 is the largest minimum code size (GIF89a
    // appendix F); 0 and 1 are degenerate but decodable and kept.
    if (!stream->ReadExact(&minimumCodeSize, 1) || minimumCodeSize > kLargestMinimumCodeSize ||
        m_palette.GetCount() == 0) {
        return false;
    }
    // A frame without any data fails before its buffer is made.
    const u64 dataStart = stream->GetPosition();
    u8 firstSize = 0;
    if (!stream->ReadExact(&firstSize, 1) || firstSize == 0 || !stream->Seek(dataStart)) {
        return false;
    }
    const i32 width = i32(LoadLe16(descriptor + 4));
    const i32 height = i32(LoadLe16(descriptor + 6));
    SetImageSize(width, height, false);
    m_streaming = BeginStreamRender();
    // Cleared: rows the data do not reach stay 0, as a stream leaves them.
    _typebuf<u8> indices;
    if (!PixelBufferSizeOk(width, height, 4) || !indices.Alloc(width) ||
        (m_streaming && !m_row.Alloc(width)) || (!m_streaming && !AllocClear32(width, height))) {
        EndStreamRender();
        return false;
    }
    // Row by row: memory stays at one row whatever the frame's size, and nothing past the
    // frame's pixels is decoded (LZW can expand about 2,700-fold).
    cLZWDecompress lzw(kLzwLeastSignificantFirst, minimumCodeSize + 1, 0);
    sSubBlocks data{stream, {}};
    lzw.Start(sSubBlocks::Next, &data);
    const bool interlaced = descriptor[8] & 0x40;
    bool more = true;
    for (i32 pass = interlaced ? 0 : 3; pass < 4 && more; ++pass) {
        const i32 start = interlaced ? kPassStart[pass] : 0;
        const i32 step = interlaced ? kPassStep[pass] : 1;
        for (i32 row = start; row < height && more; row += step) {
            const i32 count = i32(lzw.Read(indices.GetData(), width));
            EmitRow(indices.GetData(), count, height - 1 - row);
            more = count == width;
        }
    }
    // The rest of the chain is read to its end, so that a cut chain fails as it always has.
    const u8* ignored = nullptr;
    while (sSubBlocks::Next(&data, &ignored) != 0) {
    }
    if (m_streaming) {
        EndStreamRender();
    }
    return !data.broken;
}

void cPictGIF::EmitRow(const u8* indices, i32 count, i32 y)
{
    const u32 transparent = m_control[0] & 1 ? m_control[3] : kNoTransparency;
    const u32* palette = m_palette.GetData();
    const u32 entries = u32(m_palette.GetCount());
    u32* row = m_streaming ? m_row.GetData() : Pixels32().GetData() + i64(y) * GetWidth();
    for (i32 x = 0; x < count; ++x) {
        const u32 index = indices[x];
        row[x] = index < entries && index != transparent ? palette[index] : kTransparentWhite;
    }
    if (m_streaming) {
        StreamRow(0, y, row, count);
    }
}

bool cPictGIF::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    u8 introducer = 0;
    if (!ReadScreen(stream, false) || !stream->Seek(GlobalTableEnd()) ||
        !stream->ReadExact(&introducer, 1) ||
        (introducer != kExtension && introducer != kImageDescriptor)) {
        return false;
    }
    if (info != nullptr) {
        *info = {i32(LoadLe16(m_screen + 6)), i32(LoadLe16(m_screen + 8)), 0};
    }
    return true;
}

bool cPictGIF::Load(cFileIOTarget* stream)
{
    return LoadPage(stream, 0);
}

i32 cPictGIF::GetPageCount(cFileIOTarget* stream)
{
    i32 frame = INT32_MAX;
    (void)FindFrame(stream, frame, false);
    return frame;
}

bool cPictGIF::GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height)
{
    u8 descriptor[kDescriptorSize];
    i32 frame = page;
    if (!FindFrame(stream, frame, false) || !stream->ReadExact(descriptor, kDescriptorSize)) {
        return false;
    }
    *width = i32(LoadLe16(descriptor + 4));
    *height = i32(LoadLe16(descriptor + 6));
    return *width != 0 && *height != 0;
}

bool cPictGIF::LoadPage(cFileIOTarget* stream, i32 page)
{
    ClearPixels();
    u8 descriptor[kDescriptorSize];
    i32 frame = page;
    if (!FindFrame(stream, frame, true) || !stream->ReadExact(descriptor, kDescriptorSize) ||
        !DecodeFrame(descriptor, stream)) {
        EndStreamRender();
        ClearPixels();
        return false;
    }
    return true;
}

bool cPictGIF::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH,
                                   i32 page, bool allowFullDecode, u32 background)
{
    u8 descriptor[kDescriptorSize];
    i32 frame = page;
    if (out == nullptr || !FindFrame(stream, frame, true) ||
        !stream->ReadExact(descriptor, kDescriptorSize)) {
        return false;
    }
    i32 fittedWidth = 0;
    i32 fittedHeight = 0;
    if (!PictFitSize(i32(LoadLe16(descriptor + 4)), i32(LoadLe16(descriptor + 6)), maxW, maxH,
                     &fittedWidth, &fittedHeight) ||
        !out->AllocClear32(fittedWidth, fittedHeight)) {
        return false;
    }
    sPictTarget target = PictTargetFromPicture(out);
    const bool ok = SetTarget(&target) && DecodeFrame(descriptor, stream);
    EndStreamRender();
    return ok;
}

bool ProbeGIF(cFileIOTarget* stream, sPictInfo* info)
{
    cPictGIF reader;
    return reader.ReadInfo(stream, info);
}
