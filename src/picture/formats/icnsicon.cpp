// Classic (1-, 4- and 8-bit) and 24-bit icon elements of Apple icon files into pixels. The
// mask of an element is the element after it when that has a mask type of the element's
// kind, else the first element of such a type anywhere in the file; "ICN#" carries its own. 24-bit data are raw when they hold exactly
// width x height x 3 bytes, else run-length planes: red, then green, then blue, each a
// sequence of control bytes c: c < 0x80 is followed by c + 1 literal values, c >= 0x80 by one
// value repeated c - 125 times.
#include "picture/formats/icns.h"

#include "base/byteorder.h"
#include "picture/formats/icnselements.h"

#include <array>

namespace {

constexpr u32 kHeaderSize = 8;

constexpr u32 kPalette16[16] = {
    0xFFFFFF, 0xFCF305, 0xFF6402, 0xDD0806, 0xF20884, 0x4600A5, 0x0000D4, 0x02ABEA,
    0x1FB714, 0x006411, 0x562C05, 0x90713A, 0xC0C0C0, 0x808080, 0x404040, 0x000000,
};

// The system's 256-colour table: a 6 x 6 x 6 cube (red slowest), ten shades each of red,
// green, blue and grey, then black.
constexpr std::array<u32, 256> MakePalette256()
{
    constexpr u32 cube[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
    constexpr u32 ramp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
    std::array<u32, 256> palette{};
    for (u32 i = 0; i < 215; ++i) {
        palette[i] = cube[i / 36] << 16 | cube[i / 6 % 6] << 8 | cube[i % 6];
    }
    for (u32 i = 0; i < 10; ++i) {
        palette[215 + i] = ramp[i] << 16;
        palette[225 + i] = ramp[i] << 8;
        palette[235 + i] = ramp[i];
        palette[245 + i] = ramp[i] * 0x010101;
    }
    palette[255] = 0;
    return palette;
}
constexpr std::array<u32, 256> kPalette256 = MakePalette256();

// Expands run-length planes into `out` (cleared, w x h x 3 bytes). The end of the data ends
// the expansion early; values past a plane's count are dropped.
void ExpandRuns(const u8* data, u64 length, u8* out, u32 pixels)
{
    u64 at = 0;
    for (u32 channel = 0; channel < 3; ++channel) {
        u64 filled = 0;
        while (filled < pixels && at < length) {
            const u32 control = data[at++];
            if (control >= 0x80) {
                if (at == length) {
                    return;
                }
                const u8 value = data[at++];
                for (u32 i = 0; i < control - 125 && filled < pixels; ++i) {
                    out[filled++ * 3 + channel] = value;
                }
                continue;
            }
            for (u32 i = 0; i <= control && at < length; ++i, ++at) {
                if (filled < pixels) {
                    out[filled++ * 3 + channel] = data[at];
                }
            }
        }
    }
}

struct sMaskBits
{
    _typebuf<u8> bytes;
    u32 skip = 0;
    u8 bits = 0; // 0: opaque
};

// The offset of the first element of mask type `wanted` in the container, wherever it
// stands (real files store masks after other elements, not only after their icon); 0 when
// there is none before the end or a broken element.
u64 FindElement(cFileIOTarget* stream, const char* wanted)
{
    u8 header[kHeaderSize];
    if (!stream->Seek(0) || !stream->ReadExact(header, kHeaderSize)) {
        return 0;
    }
    const u64 total = LoadBe32(header + 4);
    for (u64 offset = kHeaderSize; offset + kHeaderSize <= total;) {
        if (!stream->Seek(offset) || !stream->ReadExact(header, kHeaderSize) ||
            LoadBe32(header + 4) < kHeaderSize) {
            return 0;
        }
        if (IcnsTypeIs(header, wanted)) {
            return offset;
        }
        offset += LoadBe32(header + 4);
    }
    return 0;
}

// Reads the mask element of type `candidate` at `offset` into `mask`; false when short.
bool ReadMask(cFileIOTarget* stream, u64 offset, const sIcnsMask& candidate, sMaskBits& mask)
{
    if (stream->Seek(offset + kHeaderSize) && mask.bytes.Alloc(i32(candidate.length)) &&
        stream->ReadExact(mask.bytes.GetData(), candidate.length)) {
        mask.skip = candidate.skip;
        mask.bits = candidate.bits;
        return true;
    }
    mask.bytes.Free();
    return false;
}

// The mask of the icon: the element right after it when that is of a mask type of its
// kind, else the first of its kind's mask types (in the table's order) that the file holds
// anywhere. A short mask element is no mask.
void FindMask(cFileIOTarget* stream, const cPictICNS::sElement& element, const sIcnsType& type,
              sMaskBits& mask)
{
    const u64 following = element.offset + element.length;
    u8 header[kHeaderSize];
    const bool read = stream->Seek(following) && stream->ReadExact(header, kHeaderSize);
    for (const sIcnsMask& candidate : type.masks) {
        if (read && candidate.bits != 0 && IcnsTypeIs(header, candidate.type)) {
            (void)ReadMask(stream, following, candidate, mask);
            return;
        }
    }
    for (const sIcnsMask& candidate : type.masks) {
        const u64 offset = candidate.bits != 0 ? FindElement(stream, candidate.type) : 0;
        if (offset != 0) {
            (void)ReadMask(stream, offset, candidate, mask);
            return;
        }
    }
}

u32 ColourAt(const u8* data, u32 bits, u32 index)
{
    switch (bits) {
    case 1:
        // QuickDraw's 1-bit icons: a set bit is black, a clear bit white.
        return (data[index / 8] >> (7 - index % 8) & 1) != 0 ? 0 : 0xFFFFFF;
    case 4:
        return kPalette16[index % 2 == 0 ? data[index / 2] >> 4 : data[index / 2] & 0x0F];
    case 8:
        return kPalette256[data[index]];
    default:
        return LoadBe24(data + u64(index) * 3);
    }
}

u32 AlphaAt(const sMaskBits& mask, u32 index)
{
    const u8* bits = mask.bytes.GetData() + mask.skip;
    if (mask.bits == 1) {
        return (bits[index / 8] >> (7 - index % 8) & 1) != 0 ? 0xFF : 0;
    }
    return mask.bits == 8 ? bits[index] : 0xFF;
}

} // namespace

bool cPictICNS::DecodeIcon(cFileIOTarget* stream, const sElement& element)
{
    const sIcnsType& type = kIcnsTypes[element.kind];
    const u32 dataLength = element.length - kHeaderSize;
    const u32 size = u32(type.size);
    const u32 pixels = size * size;
    if ((type.dataLength != 0 && dataLength != type.dataLength) || !FitsI32(dataLength)) {
        return false;
    }
    _typebuf<u8> data;
    if (!data.Alloc(i32(dataLength == 0 ? 1 : dataLength)) || !stream->Seek(element.offset + kHeaderSize) ||
        !stream->ReadExact(data.GetData(), dataLength)) {
        return false;
    }
    const u8* colours = data.GetData();
    _typebuf<u8> expanded;
    if (type.bits == 24 && dataLength != pixels * 3) {
        // "it32" data may start with four zero bytes that are not part of the runs.
        const bool padded = std::strcmp(type.type, "it32") == 0 && dataLength >= 4 &&
                            std::memcmp(colours, "\0\0\0\0", 4) == 0;
        if (!expanded.Alloc(i32(pixels * 3))) {
            return false;
        }
        std::memset(expanded.GetData(), 0, pixels * 3);
        ExpandRuns(colours + (padded ? 4 : 0), dataLength - (padded ? 4 : 0), expanded.GetData(),
                   pixels);
        colours = expanded.GetData();
    }
    sMaskBits mask;
    if (std::strcmp(type.type, "ICN#") == 0) {
        mask.skip = 128;
        mask.bits = 1;
        if (!mask.bytes.Alloc(i32(dataLength))) {
            return false;
        }
        std::memcpy(mask.bytes.GetData(), colours, dataLength);
    } else {
        FindMask(stream, element, type, mask);
    }

    SetImageSize(i32(size), i32(size), false);
    const bool streaming = BeginStreamRender();
    if (!streaming && !AllocPixels32(i32(size), i32(size))) {
        return false;
    }
    for (u32 y = 0; y < size; ++y) {
        const i32 row = i32(size - 1 - y);
        for (u32 x = 0; x < size; ++x) {
            const u32 index = y * size + x;
            const u32 pixel = AlphaAt(mask, index) << 24 | ColourAt(colours, type.bits, index);
            if (streaming) {
                StreamPixel(i32(x), row, pixel);
            } else {
                Pixels32().GetData()[i64(row) * size + x] = pixel;
            }
        }
    }
    return true;
}
