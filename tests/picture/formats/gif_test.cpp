// The GIF reader: every frame of files made by gifbuild, ImageMagick and Pillow against the
// index grids of `gifbuild -d` and against netpbm's giftopnm, and one table of edge cases
// on patched and hand-made files.
#include "picture/formats/gif.h"
#include "picture/picturesupport.h"
#include "support/lzwcodes.h"

#include <sstream>

namespace {

using namespace picttest;

constexpr u32 kTransparent = 0x00FFFFFF;

// Frame `page` by giftopnm: transparent pixels 0x00FFFFFF, the rest opaque.
std::vector<u32> GifToPnm(const std::string& path, i32 page, const std::string& alphaPath)
{
    const std::string image = " -image=" + std::to_string(page + 1) + " ";
    std::vector<u32> pixels = ToolPixels("giftopnm" + image + path);
    // The alpha mask comes as a bitmap (black transparent), made grey for the parser.
    const std::vector<u32> alpha =
        ToolPixels("rm -f " + alphaPath + " && giftopnm -alphaout=" + alphaPath + image + path +
                   " >/dev/null && pnmdepth 255 " + alphaPath);
    for (size_t i = 0; i < pixels.size() && alpha.size() == pixels.size(); ++i) {
        pixels[i] = (alpha[i] & 0xFF) == 0 ? kTransparent : pixels[i];
    }
    return pixels;
}

// Every image of `gifbuild -d`'s dump: its de-interlaced index grid (keys of the table, or
// hex indices) through its colour map (the local one, else the screen's), with the
// transparent index of the last control block dumped before it (-1 when it has none).
std::vector<std::vector<u32>> GifbuildFrames(const std::string& path)
{
    const std::vector<u8> dumped = RunCommand("gifbuild -d " + path);
    std::istringstream dump(std::string(dumped.begin(), dumped.end()));
    std::vector<std::pair<std::string, u32>> screen, local;
    auto* map = &screen;
    i32 transparent = -1;
    std::vector<std::vector<u32>> frames;
    std::string line;
    while (std::getline(dump, line)) {
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;
        if (first == "image" && second == "#") {
            local.clear();
        } else if (second == "map") {
            map = first == "screen" ? &screen : &local;
        } else if (first == "rgb") {
            u32 rgb[3] = {};
            std::string key;
            std::istringstream(line) >> first >> rgb[0] >> rgb[1] >> rgb[2] >> second >> key;
            map->push_back({key, 0xFF000000 | rgb[0] << 16 | rgb[1] << 8 | rgb[2]});
        } else if (first == "transparent") {
            words >> transparent;
        } else if (first == "image" && second == "bits") {
            i32 width = 0, height = 0;
            std::string by, mode;
            words >> width >> by >> height >> mode;
            const auto& colours = local.empty() ? screen : local;
            const size_t keyLength = mode == "hex" ? 2 : 1;
            frames.emplace_back();
            for (i32 y = 0; y < height && std::getline(dump, line); ++y) {
                for (size_t x = 0; x + keyLength <= line.size(); x += keyLength) {
                    // Hex rasters give indices; the others give the table's keys.
                    const std::string key = line.substr(x, keyLength);
                    const i64 index = keyLength == 2 ? std::stol(key, nullptr, 16)
                                                     : std::find_if(colours.begin(), colours.end(),
                                                                    [&](auto& entry) { return entry.first == key; }) -
                                                           colours.begin();
                    const bool shown = index < i64(colours.size()) && index != transparent;
                    frames.back().push_back(shown ? colours[size_t(index)].second : kTransparent);
                }
            }
        }
    }
    return frames;
}

constexpr const char* kControlIndex1 =
    "graphics control\n\tdisposal mode 0\n\tuser input flag off\n\tdelay 0\n"
    "\ttransparent index 1\nend";
// The same fields in a block of size 5, which readers skip.
constexpr const char* kControlOfSize5 = "extension f9\n\\001\\000\\000\\001\\000\nend";

// tests/data/gif/built.txt with `control` for CONTROL, compiled by gifbuild.
std::vector<u8> Gifbuild(const std::string& folder, const std::string& name, const char* control)
{
    const std::vector<u8> text = ReadFileBytes(qeltest::LocalDataPath("gif/built.txt"));
    std::string description(text.begin(), text.end());
    description.replace(description.find("CONTROL"), 7, control);
    WriteFileBytes(folder + name + ".txt", description);
    return RunCommand("cd " + folder + " && gifbuild " + name + ".txt | tee " + name + ".gif");
}

TEST(GifReader, EveryFrameAgainstGifbuildDumpAndGifToPnm)
{
    QEL_REQUIRE(qeltest::HaveTool("giftopnm") && qeltest::HaveTool("convert") &&
                    qeltest::HaveTool("gifbuild"),
                "netpbm, imagemagick, giflib-tools");
    const qeltest::cScratchFolder folder;
    const std::string dir = folder.Path() + "/";
    std::string make = "cd DIR && convert rose: -resize 10x10! f1.png && "
                       "convert f1.png -fill red -draw 'rectangle 5,6 9,9' f2.png && "
                       "convert -delay 10 f1.png f2.png -layers Optimize anim.gif && "
                       "/usr/bin/python3 -c \"from PIL import Image; f=[Image.open('f1.png')."
                       "quantize(c) for c in (4, 64, 200)]; f[0].save('pil.gif', save_all=True, "
                       "append_images=f[1:], transparency=1, interlace=True)\"";
    for (const char* colours : {"2", "4", "16", "256"}) {
        make += std::string(" && convert rose: -colors ") + colours + " c" + colours + ".gif";
        make += std::string(" && convert rose: -interlace GIF -colors ") + colours + " i" +
                colours + ".gif";
    }
    make.replace(make.find("DIR"), 3, dir);
    ASSERT_TRUE(RunsOk(make));
    ASSERT_FALSE(Gifbuild(dir, "built", kControlIndex1).empty());
    for (const char* name : {"c2", "c4", "c16", "c256", "i2", "i4", "i16", "i256", "anim", "pil",
                             "built"}) {
        SCOPED_TRACE(name);
        const std::string path = dir + name + ".gif";
        const std::vector<u8> bytes = ReadFileBytes(path);
        const std::vector<std::vector<u32>> frames = GifbuildFrames(path);
        EXPECT_TRUE(FactoryAgreesWithFile(path, kPictFormatGIF, "image/gif"));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictGIF gif;
        ASSERT_EQ(gif.GetPageCount(&stream), i32(frames.size()));
        for (i32 page = 0; page < i32(frames.size()); ++page) {
            ASSERT_TRUE(gif.LoadPage(&stream, page));
            EXPECT_TRUE(SamePixels(TopDown32(gif), frames[size_t(page)], gif.GetWidth()));
            // giftopnm keeps an earlier transparent index through a later block that sets none.
            if (std::string(name) != "built") {
                EXPECT_TRUE(SamePixels(TopDown32(gif), GifToPnm(path, page, dir + "alpha.pgm"),
                                       gif.GetWidth()));
            }
        }
        ForEachCut(bytes, [](const std::vector<u8>& cut) { (void)CreatePicture(cut, nullptr); });
    }
    // The second frame of the optimised animation, smaller than the screen, matched at its
    // own size above; the info has the screen's.
    sPictInfo info;
    ASSERT_NE(CreatePicture(ReadFileBytes(dir + "anim.gif"), &info), nullptr);
    EXPECT_EQ(info.width, 10);
    cPictGIF gif;
    // A thumbnail streams the frame into the fitted size.
    const std::vector<u8> rose = ReadFileBytes(dir + "c256.gif");
    cBufWrapperIO roseStream(rose.data(), rose.size());
    cPictDummy thumb;
    ASSERT_TRUE(gif.RenderPageThumbnail(&roseStream, &thumb, 35, 35, 0, false, 0));
    EXPECT_EQ(thumb.GetWidth(), 35);
    EXPECT_EQ(thumb.GetHeight(), 23);
}

// A one-frame file with the given frame size, LZW minimum code size and data (split into
// sub-blocks); its global table has 2 entries, black and white, or 256 of the colour
// (i, 255 - i, 7i mod 256).
enum class eTable
{
    BlackWhite,
    Full,
};
std::vector<u8> HandMadeGif(u8 width, u8 height, u8 codeSize, const std::vector<u8>& data,
                            eTable table = eTable::BlackWhite)
{
    std::vector<u8> file = {'G', 'I', 'F', '8', '9', 'a', width, 0, height, 0, 0x80, 0, 0};
    if (table == eTable::Full) {
        file[10] = 0x87;
        for (i32 i = 0; i < 256; ++i) {
            file.insert(file.end(), {u8(i), u8(255 - i), u8(7 * i)});
        }
    } else {
        file.insert(file.end(), {0, 0, 0, 0xFF, 0xFF, 0xFF});
    }
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, width, 0, height, 0, 0, codeSize});
    qeltest::AppendGifImageData(file, data);
    return file;
}

TEST(GifReader, EdgeCases)
{
    QEL_REQUIRE(qeltest::HaveTool("gifbuild"), "giflib-tools");
    const qeltest::cScratchFolder folder;
    const std::vector<u8> built = Gifbuild(folder.Path() + "/", "built", kControlIndex1);
    const std::vector<u8> size5 = Gifbuild(folder.Path() + "/", "size5", kControlOfSize5);
    ASSERT_FALSE(built.empty() || size5.empty());
    auto patched = [&](size_t at, std::vector<u8> bytes) {
        std::vector<u8> file = built;
        std::copy(bytes.begin(), bytes.end(), file.begin() + i64(at));
        return file;
    };
    constexpr size_t kFirstDescriptor = 13 + 3 * 4 + 8;
    constexpr u32 kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;
    constexpr u32 kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
    // Code size 8 gives 9-bit codes: clear 256, 0, 1, end 257.
    const std::vector<u8> nineBitCodes = {0x00, 0x01, 0x04, 0x08, 0x08};
    // 9-bit codes 256, 0 and 32,000 times 4095: the table fills with runs of zeros up to
    // 3,839 long (KwKwK), and 4095 repeats the longest: about 130 MB for a 10 x 10 frame.
    std::vector<i32> bomb = {256, 0};
    for (i32 code = 258; code < 4096; ++code) {
        bomb.push_back(code);
    }
    bomb.insert(bomb.end(), 32000, 4095);
    struct sCase
    {
        const char* name;
        std::vector<u8> file;
        i32 pages;                 // GetPageCount
        bool loads;                // LoadPage(0)
        std::vector<u32> firstRow; // the leading pixels of frame 0's top row
    };
    const sCase kCases[] = {
        {"as built", built, 3, true, {kRed, kTransparent, kBlue}},
        {"GIF87a", patched(4, {'7'}), 3, true, {kRed, kTransparent, kBlue}},
        {"GIF88a", patched(4, {'8'}), -1, false, {}},
        {"no trailer", {built.begin(), built.end() - 1}, -1, true, {kRed, kTransparent, kBlue}},
        {"control block of size 5", size5, 3, true, {kRed, kGreen, kBlue}},
        {"zero width", patched(kFirstDescriptor + 5, {0, 0}), -1, false, {}},
        {"zero height", patched(kFirstDescriptor + 7, {0, 0}), -1, false, {}},
        // Code sizes 0 and 1 are degenerate but decodable: clear 1 / end 2 (codes 1, 0, 0, 2
        // of 1, 1, 1, 2 bits) and clear 2 / end 3 (codes 2, 0, 1 of 2 bits, 3 of 3).
        {"code size 0", HandMadeGif(2, 1, 0, {0x11}), 1, true, {kBlack, kBlack}},
        {"code size 1", HandMadeGif(2, 1, 1, {0xD2, 0x00}), 1, true, {kBlack, kWhite}},
        {"code size 8", HandMadeGif(2, 1, 8, nineBitCodes), 1, true, {kBlack, kWhite}},
        // Codes are at most 12 bits wide: larger minimum code sizes fail, as Pillow's do.
        {"code size 12", HandMadeGif(2, 1, 12, nineBitCodes), 1, false, {}},
        {"code size 255", HandMadeGif(2, 1, 255, nineBitCodes), 1, false, {}},
        // Code size 2 (clear 4, end 5): codes 4, 3, 0, 5; index 3 is past the table.
        {"index past the table", HandMadeGif(2, 1, 2, {0x1C, 0x0A}), 1, true, {kTransparent, kBlack}},
        {"LZW bomb", HandMadeGif(10, 10, 8, qeltest::PackLzwCodes(bomb, 9)), 1, true,
         std::vector<u32>(10, kBlack)},
    };
    for (const sCase& edge : kCases) {
        SCOPED_TRACE(edge.name);
        cBufWrapperIO stream(edge.file.data(), edge.file.size());
        cPictGIF gif;
        EXPECT_EQ(gif.GetPageCount(&stream), edge.pages);
        bool loaded = false;
        EXPECT_LT(PeakResidentGrowth([&] { loaded = gif.LoadPage(&stream, 0); }), 16 << 20);
        ASSERT_EQ(loaded, edge.loads);
        const std::vector<u32> pixels = TopDown32(gif);
        ASSERT_GE(pixels.size(), edge.firstRow.size());
        EXPECT_EQ(std::vector<u32>(pixels.begin(), pixels.begin() + i64(edge.firstRow.size())),
                  edge.firstRow);
    }
}

// Frames whose minimum code size is 9, 10 or 11 (codes of 10 to 12 bits from the start),
// coded by the test encoder with runs and noise so that the table fills and clears,
// decode as Pillow decodes them.
TEST(GifReader, WideMinimumCodeSizesAgainstPillow)
{
    QEL_REQUIRE(RunsOk("/usr/bin/python3 -c 'import PIL'"), "python3-pil");
    const qeltest::cScratchFolder folder;
    constexpr u8 kWidth = 97, kHeight = 61;
    std::vector<u8> indices;
    u32 seed = 1;
    for (i32 i = 0; i < kWidth * kHeight; ++i) {
        seed = seed * 1103515245 + 12345;
        indices.push_back(i % 700 < 300 ? u8(i / 700) : u8(seed >> 16));
    }
    for (u8 codeSize : {9, 10, 11}) {
        SCOPED_TRACE(int(codeSize));
        const std::vector<u8> codes = qeltest::PackLzwCodes(
            qeltest::LzwEncode(indices, codeSize + 1), codeSize + 1);
        const std::vector<u8> file = HandMadeGif(kWidth, kHeight, codeSize, codes, eTable::Full);
        const std::string path = folder.PathOf("wide.gif");
        WriteFileBytes(path, std::string(file.begin(), file.end()));
        const std::vector<u32> pillow =
            ToolPixels("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                       "Image.open(sys.argv[1]).convert('RGB').save(sys.stdout.buffer, 'PPM')\" " +
                       path);
        ASSERT_EQ(pillow.size(), indices.size());
        cPictGIF gif;
        ASSERT_TRUE(DecodeBytes(file, gif));
        EXPECT_TRUE(SamePixels(TopDown32(gif), pillow, kWidth));
    }
}

} // namespace
