// The TGA reader against Pillow and netpbm's tgatoppm on files from ImageMagick, netpbm
// and Pillow, and on crafted files for what no tool writes.
#include "picture/core/tgareader.h"
#include "rasterformats.h"

namespace {

using rastertest::tPixels;

cPictBase* NewTga()
{
    return new cPictTGA;
}

TEST(TgaReader, ToolFilesMatchPillowAndTgatoppm)
{
    const rastertest::sSources sources;
    QEL_REQUIRE(sources.made && qeltest::HaveTool("tgatoppm"), "ImageMagick 6, netpbm");
    const std::string im = "/usr/bin/convert src.ppm ";
    const std::string pillow = "/usr/bin/python3 -c \"import sys; from PIL import Image; ";
    const std::pair<const char*, std::string> files[] = {
        {"t2.tga", im + "-type TrueColor -compress None"},
        {"t10.tga", im + "-type TrueColor -compress RLE"},
        {"t11.tga", im + "-type Grayscale -compress RLE"},
        {"t3.tga", im + "-type Grayscale -compress None"},
        {"t1.tga", im + "-colors 12 -type Palette"},
        {"t9.tga", im + "-colors 12 -type Palette -compress RLE"},
        {"t32.tga", im + "-alpha set -channel A -evaluate set 50%"},
        {"t1x9.tga", "/usr/bin/convert s1x9.ppm -compress RLE"},
        {"nrgb.tga", "pamtotga -norle -rgb s13x7.ppm >"},
        {"t9x1.tga", "/usr/bin/convert s9x1.ppm"},
        {"ncmap.tga", "pnmquant 12 src.ppm | pamtotga -norle -cmap >"},
        {"nmono.tga", "ppmtopgm src.ppm | pamtotga -norle -mono >"},
        {"tl.tga", pillow + "Image.open('src.ppm').save(sys.argv[1], rle=True, orientation=1)\""},
        {"a.tga", pillow + "Image.open('src.ppm').convert('RGBA').save(sys.argv[1])\""},
    };
    for (const auto& [name, command] : files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(sources.Run(command + " " + name));
        const std::string path = sources.PathOf(name);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(path);
        const tPixels ours = rastertest::Decode(NewTga, bytes);
        EXPECT_EQ(ours, rastertest::PillowPixels(path));
        tPixels rgb = rastertest::NetpbmPixels("tgatoppm '" + path + "'");
        ASSERT_EQ(rgb.size(), ours.size());
        for (size_t i = 0; i < rgb.size(); ++i) {
            EXPECT_EQ(rgb[i] & 0xFFFFFF, ours[i] & 0xFFFFFF) << i;
        }
        rastertest::CheckStreamingAndCuts(NewTga, bytes, true);
    }
}

// Header, then image ID, colour map and pixel bytes.
std::vector<u8> Tga(u8 type, u16 width, u16 height, u8 depth, std::vector<u8> data,
                    std::vector<u8> map = {}, u8 entryBits = 0, u8 descriptor = 0,
                    u8 idLength = 0)
{
    const u16 mapLength = entryBits == 0 ? 0 : u16(map.size() * 8 / entryBits);
    std::vector<u8> bytes = {idLength, u8(mapLength != 0), type, 0, 0,
                             u8(mapLength), u8(mapLength >> 8), entryBits, 0, 0, 0, 0,
                             u8(width), u8(width >> 8), u8(height), u8(height >> 8), depth,
                             descriptor};
    bytes.insert(bytes.end(), idLength, 'i');
    bytes.insert(bytes.end(), map.begin(), map.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

u32 Grey(u32 v)
{
    return 0xFF000000 | v * 0x010101;
}

TEST(TgaReader, CraftedFiles)
{
    // 16-bit values: each 5-bit field c widened to trunc(c * 8.2258); bit 15 is ignored.
    std::vector<u8> every16;
    tPixels widened;
    for (u32 c = 0; c < 32; ++c) {
        const u32 value = c | c << 5 | c << 10 | (c & 1) << 15;
        every16.insert(every16.end(), {u8(value), u8(value >> 8)});
        widened.push_back(Grey(u32(c * 8.2258)));
    }
    struct sCase
    {
        const char* what;
        std::vector<u8> bytes;
        tPixels want; // empty: Load fails
    } cases[] = {
        {"16-bit pixels", Tga(2, 32, 1, 16, every16), widened},
        {"16-bit map", Tga(1, 2, 1, 8, {1, 0}, {0xFF, 0x7F, 0x1F, 0}, 16), {0xFF0000FE, widened[31]}},
        {"32-bit map, alpha all 0", Tga(9, 2, 1, 8, {0x81, 0}, {0x30, 0x20, 0x10, 0}, 32),
         {0xFF102030, 0xFF102030}},
        {"32-bit map, alpha kept", Tga(1, 1, 1, 8, {1}, {0, 0, 0, 0, 1, 2, 3, 4}, 32), {0x04030201}},
        {"index equal to the map length", Tga(1, 1, 1, 8, {1}, {1, 2, 3}, 24), {}},
        {"32-bit, alpha all 0", Tga(2, 1, 1, 32, {0x30, 0x20, 0x10, 0}), {0xFF102030}},
        {"32-bit, one alpha in a raw packet", Tga(10, 2, 1, 32, {0x01, 0x30, 0x20, 0x10, 0, 1, 2, 3, 9}),
         {0x00102030, 0x09030201}},
        {"32-bit, one alpha in a run", Tga(10, 3, 1, 32, {0x81, 1, 2, 3, 5, 0x00, 0x30, 0x20, 0x10, 0}),
         {0x05030201, 0x05030201, 0x00102030}},
        {"run crossing a row end", Tga(11, 2, 2, 8, {0x82, 1, 0x00, 2}), {Grey(1), Grey(2), Grey(1), Grey(1)}},
        {"run past the last pixel", Tga(11, 2, 1, 8, {0xFF, 3}), {Grey(3), Grey(3)}},
        {"top-left", Tga(3, 2, 2, 8, {1, 2, 3, 4}, {}, 0, 0x20), {Grey(1), Grey(2), Grey(3), Grey(4)}},
        {"bottom-up twin", Tga(3, 2, 2, 8, {3, 4, 1, 2}), {Grey(1), Grey(2), Grey(3), Grey(4)}},
        {"image ID skipped", Tga(3, 1, 1, 8, {7}, {}, 0, 0, 3), {Grey(7)}},
        {"depth 8 in type 2", Tga(2, 1, 1, 8, {7}), {}},
        {"entry size 15", Tga(1, 1, 1, 8, {0}, {0, 0}, 15), {}},
        {"descriptor bits 6-7", Tga(3, 1, 1, 8, {7}, {}, 0, 0x40), {}},
        {"short image ID", Tga(3, 1, 1, 8, {}, {}, 0, 0, 9), {}},
        // Passes a 32-bit size test but not the pixel cap: the header is fine, Load fails.
        {"65535 x 65535", Tga(3, 65535, 65535, 8, {}), {}},
    };
    for (const sCase& c : cases) {
        cBufWrapperIO stream(c.bytes.data(), c.bytes.size());
        sPictInfo info;
        EXPECT_TRUE(ProbeTGA(&stream, &info)) << c.what;
        EXPECT_EQ(rastertest::Decode(NewTga, c.bytes), c.want) << c.what;
        if (!c.want.empty()) {
            rastertest::CheckStreamingAndCuts(NewTga, c.bytes, true);
        }
    }
    std::vector<u8> origin = Tga(3, 1, 1, 8, {7});
    origin[10] = 1;
    cBufWrapperIO stream(origin.data(), origin.size());
    EXPECT_FALSE(ProbeTGA(&stream, nullptr));
}

} // namespace
