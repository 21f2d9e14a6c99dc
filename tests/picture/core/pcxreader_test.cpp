// The PCX reader against netpbm's pcxtoppm on files from netpbm and ImageMagick, and on
// crafted files for the header palette and the run-length edges.
#include "picture/core/pcxreader.h"
#include "rasterformats.h"

namespace {

using rastertest::tPixels;

cPictBase* NewPcx()
{
    return new cPictPCX;
}

TEST(PcxReader, ToolFilesMatchPcxtoppm)
{
    const rastertest::sSources sources;
    QEL_REQUIRE(sources.made && qeltest::HaveTool("pcxtoppm"), "ImageMagick 6, netpbm");
    const std::string im = "/usr/bin/convert src.ppm ";
    const std::pair<const char*, std::string> files[] = {
        {"n8.pcx", "pnmquant 200 src.ppm | ppmtopcx -8bit >"},
        {"n24.pcx", "ppmtopcx -24bit src.ppm >"},
        {"n24odd.pcx", "ppmtopcx -24bit s13x7.ppm >"},
        {"rgb.pcx", im + "PCX:"},
        {"palette.pcx", im + "-colors 200 -type Palette PCX:"},
        {"rgb72.pcx", im + "-density 72 -units PixelsPerInch PCX:"},
        {"palette72.pcx", im + "-colors 200 -type Palette -density 72 -units PixelsPerInch PCX:"},
        {"1x9.pcx", "/usr/bin/convert s1x9.ppm PCX:"},
        {"9x1.pcx", "ppmtopcx -24bit s9x1.ppm >"},
    };
    for (const auto& [name, command] : files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(sources.Run(command + (command.back() == ':' ? "" : " ") + name));
        const std::string path = sources.PathOf(name);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(path);
        const tPixels want = rastertest::NetpbmPixels("pcxtoppm '" + path + "'");
        ASSERT_FALSE(want.empty());
        EXPECT_EQ(rastertest::Decode(NewPcx, bytes), want);
        rastertest::CheckStreamingAndCuts(NewPcx, bytes, true);
    }
    // Few colours make plain ppmtopcx write 4 planes of 1 bit.
    ASSERT_TRUE(sources.Run("pnmquant 12 src.ppm | ppmtopcx > planar.pcx"));
    const std::vector<u8> planar = pngtest::ReadFileBytes(sources.PathOf("planar.pcx"));
    cBufWrapperIO stream(planar.data(), planar.size());
    EXPECT_FALSE(ProbePCX(&stream, nullptr));
}

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
    const struct
    {
        const char* what;
        std::vector<u8> bytes;
        tPixels want; // empty: Load fails
    } cases[] = {
        {"odd bytes per line past the width", Pcx(3, 1, 1, 5, {0, 1, 15, 7, 7}), {Entry(0), Entry(1), Entry(15)}},
        {"run byte 0xC0 gives its value once", Pcx(2, 1, 1, 2, {0xC0, 5, 1}), {Entry(5), Entry(1)}},
        {"index 16 with the header palette", Pcx(1, 1, 1, 1, {0x10}), {}},
        {"all-zero header palette", Pcx(1, 1, 1, 1, {0}, std::vector<u8>(48, 0)), {}},
        {"run from red into green", Pcx(2, 1, 3, 2, {0xC3, 10, 20, 0xC2, 30}), {0xFF0A0A1E, 0xFF0A141E}},
        {"run dropped at the row end", Pcx(2, 2, 1, 2, {0xC3, 1, 2, 3}), {Entry(1), Entry(1), Entry(2), Entry(3)}},
        {"256-colour palette", vga, {0xFFFA0507}},
        {"marker inside the header", marker, {0xFF010C03}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rastertest::Decode(NewPcx, c.bytes), c.want) << c.what;
    }
    // Header fields that are refused: version 3, 4 bits per pixel, Xmin and Ymin not 0.
    for (const auto& [offset, value] : {std::pair{1, 3}, {3, 4}, {4, 1}, {6, 1}}) {
        std::vector<u8> bytes = Pcx(1, 1, 1, 1, {0});
        bytes[offset] = u8(value);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        EXPECT_FALSE(ProbePCX(&stream, nullptr)) << offset;
    }
}

} // namespace
