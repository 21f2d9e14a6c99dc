// The TGA reader on crafted files: what no tool writes (16-bit values, 16- and 32-bit colour
// maps, all-zero alpha, packets across rows and past the end) and the header rules.
#include "picture/formats/tgareader.h"
#include "picture/rasterformats.h"

namespace {

using rastertest::Grey;

// Header, then image ID, colour map and pixel bytes.
std::vector<u8> Tga(u8 type, u16 width, u16 height, u8 depth, std::vector<u8> data,
                    std::vector<u8> map = {}, u8 entryBits = 0, u8 descriptor = 0, u8 idLength = 0)
{
    const u16 mapLength = entryBits == 0 ? 0 : u16(map.size() * 8 / entryBits);
    std::vector<u8> bytes = {idLength, u8(mapLength != 0), type, 0, 0, u8(mapLength)};
    bytes.insert(bytes.end(), {u8(mapLength >> 8), entryBits, 0, 0, 0, 0, u8(width)});
    bytes.insert(bytes.end(), {u8(width >> 8), u8(height), u8(height >> 8), depth, descriptor});
    bytes.insert(bytes.end(), idLength, 'i');
    bytes.insert(bytes.end(), map.begin(), map.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(TgaReader, CraftedFiles)
{
    // 16-bit values: each 5-bit field c widened to trunc(c * 8.2258); bit 15 is ignored.
    std::vector<u8> every16;
    rastertest::tPixels widened;
    for (u32 c = 0; c < 32; ++c) {
        const u32 value = c | c << 5 | c << 10 | (c & 1) << 15;
        every16.insert(every16.end(), {u8(value), u8(value >> 8)});
        widened.push_back(Grey(u32(c * 8.2258)));
    }
    std::vector<u8> origin = Tga(3, 1, 1, 8, {7});
    origin[10] = 1;
    const u32 c1 = 0xFF102030;
    const std::vector<rastertest::sCraftedCase> cases = {
        {"16-bit", Tga(2, 32, 1, 16, every16), widened},
        {"16-bit map",
         Tga(1, 2, 1, 8, {1, 0}, {0xFF, 0x7F, 0x1F, 0}, 16),
         {0xFF0000FE, widened[31]}},
        // A 32-bit map whose alpha is all 0 is opaque; one alpha not 0 keeps them all.
        {"map alpha 0", Tga(9, 2, 1, 8, {0x81, 0}, {0x30, 0x20, 0x10, 0}, 32), {c1, c1}},
        {"map alpha", Tga(1, 1, 1, 8, {1}, {0, 0, 0, 0, 1, 2, 3, 4}, 32), {0x04030201}},
        {"index = map length", Tga(1, 1, 1, 8, {1}, {1, 2, 3}, 24), {}},
        // The same for 32-bit pixels, with the one alpha in a raw or a run packet.
        {"alpha 0", Tga(2, 1, 1, 32, {0x30, 0x20, 0x10, 0}), {c1}},
        {"raw alpha",
         Tga(10, 2, 1, 32, {1, 0x30, 0x20, 0x10, 0, 1, 2, 3, 9}),
         {c1 & 0xFFFFFF, 0x09030201}},
        {"run alpha",
         Tga(10, 3, 1, 32, {0x81, 1, 2, 3, 5, 0, 0x30, 0x20, 0x10, 0}),
         {0x05030201, 0x05030201, c1 & 0xFFFFFF}},
        {"run over a row end",
         Tga(11, 2, 2, 8, {0x82, 1, 0, 2}),
         {Grey(1), Grey(2), Grey(1), Grey(1)}},
        {"run past the end", Tga(11, 2, 1, 8, {0xFF, 3}), {Grey(3), Grey(3)}},
        {"depth 8 in type 2", Tga(2, 1, 1, 8, {7}), {}},
        {"entry size 15", Tga(1, 1, 1, 8, {0}, {0, 0}, 15), {}},
        {"descriptor bits 6-7", Tga(3, 1, 1, 8, {7}, {}, 0, 0x40), {}},
        {"short image ID", Tga(3, 1, 1, 8, {}, {}, 0, 0, 9), {}},
        // The origin places the picture on a display; the rows are read all the same.
        {"origin not 0", origin, {Grey(7)}},
        // Passes a 32-bit size test but not the pixel cap.
        {"65535 x 65535", Tga(3, 65535, 65535, 8, {}), {}},
    };
    rastertest::ExpectCraftedCases([] { return new cPictTGA; }, cases);
}

} // namespace
