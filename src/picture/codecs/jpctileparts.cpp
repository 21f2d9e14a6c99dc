// Glossary (T.800 A.5.1, A.4.2): Xsiz/Ysiz the reference grid's extent, XOsiz/YOsiz the
// image area's origin, XTsiz/YTsiz the tile size, XTOsiz/YTOsiz the tile grid's origin,
// XRsiz/YRsiz a component's sub-sampling; Isot a tile-part's tile index, Psot its length
// from the first byte of its SOT marker (0: up to the EOC marker).
#include "picture/codecs/jpctileparts.h"

#include "base/buffers.h"
#include "base/byteorder.h"

#include <cstring>

namespace {

constexpr u16 kSoc = 0xFF4F;
constexpr u16 kSiz = 0xFF51;
constexpr u16 kSot = 0xFF90;
constexpr u16 kSod = 0xFF93;
// OpenJPEG refuses more tiles than this.
constexpr u64 kMaxTiles = 65535;
// Declared samples per byte of tile data (see the header).
constexpr u64 kSamplesPerByte = 32768;

// A window of the stream with big-endian reads.
struct sReader
{
    cFileIOTarget* stream;
    u64 end;

    bool At(u64 position) { return position <= end && stream->Seek(position); }
    u64 Position() { return stream->GetPosition(); }
    bool Bytes(u8* out, u32 count) { return Position() + count <= end && stream->ReadExact(out, count); }
    bool U16(u16& value)
    {
        u8 b[2];
        return Bytes(b, 2) && ((value = LoadBe16(b)), true);
    }
    bool U32(u32& value)
    {
        u8 b[4];
        return Bytes(b, 4) && ((value = LoadBe32(b)), true);
    }
    // Skips a marker segment's body: its length field counts itself.
    bool SkipSegment()
    {
        u16 length = 0;
        return U16(length) && length >= 2 && At(Position() + length - 2);
    }
};

// T.800 I.4: the first top-level box of type jp2c, as [start, end) of the stream.
bool FindCodestreamBox(sReader& reader, u64& start, u64& end)
{
    u64 position = 0;
    while (reader.At(position)) {
        u32 length = 0;
        u8 type[4];
        if (!reader.U32(length) || !reader.Bytes(type, 4)) {
            return false;
        }
        u64 boxEnd = reader.end;
        if (length == 1) {
            u32 high = 0;
            u32 low = 0;
            if (!reader.U32(high) || !reader.U32(low)) {
                return false;
            }
            boxEnd = position + (u64(high) << 32 | low);
        } else if (length != 0) {
            boxEnd = position + length;
        }
        if (boxEnd < reader.Position() || boxEnd > reader.end) {
            return false;
        }
        if (std::memcmp(type, "jp2c", 4) == 0) {
            start = reader.Position();
            end = boxEnd;
            return true;
        }
        position = boxEnd;
    }
    return false;
}

struct sSiz
{
    u32 x1, y1, x0, y0, tileWidth, tileHeight, tileX0, tileY0;
    u64 samples = 0; // all components' samples
    u64 tiles = 0;
};

u64 CeilDiv(u64 a, u64 b)
{
    return (a + b - 1) / b;
}

// T.800 A.5.1; the constraints OpenJPEG also applies, so a refusal here is one there.
bool ReadSiz(sReader& reader, sSiz& siz)
{
    u16 marker = 0;
    u16 length = 0;
    u16 capabilities = 0;
    u16 components = 0;
    if (!reader.U16(marker) || marker != kSoc || !reader.U16(marker) || marker != kSiz ||
        !reader.U16(length) || !reader.U16(capabilities) || !reader.U32(siz.x1) ||
        !reader.U32(siz.y1) || !reader.U32(siz.x0) || !reader.U32(siz.y0) ||
        !reader.U32(siz.tileWidth) || !reader.U32(siz.tileHeight) || !reader.U32(siz.tileX0) ||
        !reader.U32(siz.tileY0) || !reader.U16(components)) {
        return false;
    }
    if (siz.x1 <= siz.x0 || siz.y1 <= siz.y0 || siz.tileWidth == 0 || siz.tileHeight == 0 ||
        siz.tileX0 > siz.x0 || siz.tileY0 > siz.y0 || components == 0 ||
        u64(length) != 38 + 3 * u64(components)) {
        return false;
    }
    for (u16 c = 0; c < components; ++c) {
        u8 component[3];
        if (!reader.Bytes(component, 3) || component[1] == 0 || component[2] == 0) {
            return false;
        }
        // T.800 B.2: ceil(x1 / XRsiz) - ceil(x0 / XRsiz) samples per row, likewise rows.
        const u64 width = CeilDiv(siz.x1, component[1]) - CeilDiv(siz.x0, component[1]);
        const u64 height = CeilDiv(siz.y1, component[2]) - CeilDiv(siz.y0, component[2]);
        siz.samples += width * height;
    }
    // T.800 B.3: the tile grid.
    siz.tiles = CeilDiv(siz.x1 - siz.tileX0, siz.tileWidth) *
                CeilDiv(siz.y1 - siz.tileY0, siz.tileHeight);
    return siz.tiles <= kMaxTiles;
}

// Sums each tile's data (the bytes after SOD) over its tile-parts; false for a tile-part
// that runs past the codestream, as OpenJPEG's strict mode refuses it too.
bool WalkTileParts(sReader& reader, const sSiz& siz, _typebuf<u64>& tileData, u64& total)
{
    u16 marker = 0;
    // The main header's marker segments up to the first SOT.
    while (reader.U16(marker) && marker != kSot) {
        if (!reader.SkipSegment()) {
            return false;
        }
    }
    if (marker != kSot) {
        return false;
    }
    while (marker == kSot) {
        const u64 partStart = reader.Position() - 2;
        u16 length = 0;
        u16 tile = 0;
        u32 partLength = 0;
        u8 partNumbers[2];
        if (!reader.U16(length) || length != 10 || !reader.U16(tile) || !reader.U32(partLength) ||
            !reader.Bytes(partNumbers, 2) || tile >= siz.tiles) {
            return false;
        }
        const u64 partEnd = partLength != 0 ? partStart + partLength : reader.end - 2;
        if (partEnd > reader.end || partEnd < reader.Position()) {
            return false;
        }
        // The tile-part header's marker segments up to SOD.
        while (reader.U16(marker) && marker != kSod) {
            if (!reader.SkipSegment()) {
                return false;
            }
        }
        if (marker != kSod || reader.Position() > partEnd) {
            return false;
        }
        tileData.GetData()[tile] += partEnd - reader.Position();
        total += partEnd - reader.Position();
        // The next tile-part, or the end: EOC, or whatever else a writer left there.
        if (!reader.At(partEnd) || !reader.U16(marker)) {
            break;
        }
    }
    return true;
}

} // namespace

bool CodestreamHoldsItsData(cFileIOTarget* stream, bool jp2File)
{
    const u64 size = stream != nullptr ? stream->GetSize() : kUnknownStreamSize;
    if (size == kUnknownStreamSize) {
        return false;
    }
    sReader reader{stream, size};
    u64 start = 0;
    if (jp2File && !FindCodestreamBox(reader, start, reader.end)) {
        return false;
    }
    sSiz siz;
    _typebuf<u64> tileData;
    u64 total = 0;
    if (!reader.At(start) || !ReadSiz(reader, siz) || !tileData.AllocZeroed(i64(siz.tiles)) ||
        !WalkTileParts(reader, siz, tileData, total)) {
        return false;
    }
    for (u64 tile = 0; tile < siz.tiles; ++tile) {
        if (tileData.GetData()[tile] == 0) {
            return false;
        }
    }
    return total >= siz.samples / kSamplesPerByte;
}
