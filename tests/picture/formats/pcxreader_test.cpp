// The PCX reader on crafted files: the header palette, the run-length edges and the header
// rules.
#include "picture/formats/pcxreader.h"
#include "picture/rasterformats.h"

namespace {

// The 128-byte header (palette entry i is i, 2i, 3i unless `palette` is given), then `data`.
std::vector<u8> Pcx(u16 width, u16 height, u8 planes, u16 bytesPerLine, std::vector<u8> data,
                    std::vector<u8> palette = {})
{
    std::vector<u8> bytes = {0x0A, 5, 1, 8, 0, 0, 0, 0, u8(width - 1), 0, u8(height - 1)};
    bytes.resize(128);
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
    // Header fields that are refused: version 3, 4 bits per pixel, Xmin or Ymin not 0.
    std::vector<std::vector<u8>> refused(4, Pcx(1, 1, 1, 1, {0}));
    refused[0][1] = 3;
    refused[1][3] = 4;
    refused[2][4] = refused[3][6] = 1;
    const std::vector<rastertest::sCraftedCase> cases = {
        {"bytes per line odd, past the width",
         Pcx(3, 1, 1, 5, {0, 1, 15, 7, 7}),
         {Entry(0), Entry(1), Entry(15)}},
        {"0xC0 gives the value once", Pcx(2, 1, 1, 2, {0xC0, 5, 1}), {Entry(5), Entry(1)}},
        {"index 16, header palette", Pcx(1, 1, 1, 1, {0x10}), {}},
        {"header palette all 0", Pcx(1, 1, 1, 1, {0}, std::vector<u8>(48, 0)), {}},
        {"run from red into green",
         Pcx(2, 1, 3, 2, {0xC3, 10, 20, 0xC2, 30}),
         {0xFF0A0A1E, 0xFF0A141E}},
        {"run cut at the row end",
         Pcx(2, 2, 1, 2, {0xC3, 1, 2, 3}),
         {Entry(1), Entry(1), Entry(2), Entry(3)}},
        {"256-colour palette", vga, {0xFFFA0507}},
        {"marker inside the header", marker, {0xFF010C03}},
        {"version 3", refused[0], {}, false},
        {"4 bits", refused[1], {}, false},
        {"Xmin 1", refused[2], {}, false},
        {"Ymin 1", refused[3], {}, false},
    };
    rastertest::ExpectCraftedCases([] { return new cPictPCX; }, cases);
}

} // namespace
