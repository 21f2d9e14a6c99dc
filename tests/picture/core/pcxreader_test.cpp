// The PCX reader on crafted files: the header palette, the run-length edges and the header
// rules.
#include "picture/core/pcxreader.h"
#include "rasterformats.h"

namespace {

// The 128-byte header (palette entry i is i, 2i, 3i unless `palette` is given), then `data`.
std::vector<u8> Pcx(u16 width, u16 height, u8 planes, u16 bytesPerLine, std::vector<u8> data,
                    std::vector<u8> palette = {})
{
    std::vector<u8> bytes(128, 0);
    bytes[0] = 0x0A;
    bytes[1] = 5;
    bytes[2] = 1;
    bytes[3] = 8;
    bytes[8] = u8(width - 1);
    bytes[10] = u8(height - 1);
    for (u32 i = 0; i < 16; ++i) {
        bytes[16 + 3 * i] = u8(i);
        bytes[17 + 3 * i] = u8(2 * i);
        bytes[18 + 3 * i] = u8(3 * i);
    }
    std::copy(palette.begin(), palette.end(), bytes.begin() + 16);
    bytes[65] = planes;
    bytes[66] = u8(bytesPerLine);
    bytes[68] = 1;
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

u32 Entry(u32 i)
{
    return 0xFF000000 | i << 16 | 2 * i << 8 | 3 * i;
}

std::vector<u8> WithByte(std::vector<u8> bytes, size_t offset, u8 value)
{
    bytes[offset] = value;
    return bytes;
}

TEST(PcxReader, CraftedFiles)
{
    // The last 769 bytes begin inside the header's palette, with the marker at offset 20:
    // still the header palette.
    std::vector<u8> marker = Pcx(1, 1, 1, 1, {0x01}, {0, 0, 0, 1, 0x0C, 3});
    marker.resize(128 + 769 - 108);
    std::vector<u8> vga = Pcx(1, 1, 1, 1, {0x05}, std::vector<u8>(48, 0));
    vga.push_back(0x0C);
    for (u32 i = 0; i < 256; ++i) {
        vga.insert(vga.end(), {u8(255 - i), u8(i), 7});
    }
    const std::vector<u8> good = Pcx(1, 1, 1, 1, {0});
    rastertest::ExpectCraftedCases(
        [] { return new cPictPCX; },
        {
            {"odd bytes per line past the width",
             Pcx(3, 1, 1, 5, {0, 1, 15, 7, 7}),
             true,
             {Entry(0), Entry(1), Entry(15)}},
            {"run byte 0xC0 gives its value once",
             Pcx(2, 1, 1, 2, {0xC0, 5, 1}),
             true,
             {Entry(5), Entry(1)}},
            {"index 16 with the header palette", Pcx(1, 1, 1, 1, {0x10}), true, {}},
            {"all-zero header palette", Pcx(1, 1, 1, 1, {0}, std::vector<u8>(48, 0)), true, {}},
            {"run from red into green",
             Pcx(2, 1, 3, 2, {0xC3, 10, 20, 0xC2, 30}),
             true,
             {0xFF0A0A1E, 0xFF0A141E}},
            {"run dropped at the row end",
             Pcx(2, 2, 1, 2, {0xC3, 1, 2, 3}),
             true,
             {Entry(1), Entry(1), Entry(2), Entry(3)}},
            {"256-colour palette", vga, true, {0xFFFA0507}},
            {"marker inside the header", marker, true, {0xFF010C03}},
            {"version 3", WithByte(good, 1, 3), false, {}},
            {"4 bits per pixel", WithByte(good, 3, 4), false, {}},
            {"Xmin 1", WithByte(good, 4, 1), false, {}},
            {"Ymin 1", WithByte(good, 6, 1), false, {}},
        });
}

} // namespace
