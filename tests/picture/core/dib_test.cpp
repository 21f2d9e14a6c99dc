// The BMP and DIB reader against Pillow and numpy (tools/testdata/bmp_to_pam.py) over BMP
// Suite and ImageMagick/netpbm output, and crafted headers for the hostile cases.
#include "picture/core/dib.h"
#include "picture/core/picturesupport.h"

#include <set>

namespace {

using namespace picttest;

// Decodes every file the tool decodes to `folder`, by base name without ".bmp".
std::map<std::string, sPnm> References(const std::vector<std::string>& paths,
                                       const qeltest::cScratchFolder& folder)
{
    std::string command = std::string("/usr/bin/python3 '") + QEL_SOURCE_DIR +
                          "/tools/testdata/bmp_to_pam.py' " + folder.Path();
    for (const std::string& path : paths) {
        command += " " + qeltest::ShellQuote(path);
    }
    std::map<std::string, sPnm> result;
    if (RunsOk(command)) {
        for (const std::string& path : paths) {
            const std::string name = BaseName(path).substr(0, BaseName(path).size() - 4);
            if (ParsePnm(ReadFileBytes(folder.PathOf(name + ".pam")), result[name])) {
                continue;
            }
            result.erase(name);
        }
    }
    return result;
}

// The factory's picture, its info size, and the same decode streamed at scale 1.
void ExpectDecodes(const std::vector<u8>& bytes, const sPnm* reference, bool rgbOnly = false)
{
    sPictInfo info;
    ASSERT_NE(CreatePicture(bytes, &info), nullptr);
    const tPicture picture = CreatePicture(bytes, nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(info.width, picture->GetWidth());
    EXPECT_EQ(info.height, picture->GetHeight());
    const i32 w = picture->GetWidth();
    const i32 h = picture->GetHeight();
    if (reference != nullptr) {
        std::vector<u32> want = PnmPixels32(*reference);
        std::vector<u32> got = TopDown32(*picture);
        for (size_t i = 0; rgbOnly && i < got.size() && i < want.size(); ++i) {
            got[i] |= 0xFF000000;
            want[i] |= 0xFF000000;
        }
        EXPECT_TRUE(SamePixels(got, want, w));
    }
    tPicture streamed = CreatePicture(bytes, &info);
    sTargetBuffer target(w, h);
    cBufWrapperIO stream(bytes.data(), bytes.size());
    ASSERT_TRUE(streamed->SetTarget(&target.target));
    EXPECT_TRUE(streamed->Load(&stream));
    EXPECT_EQ(target.pixels, PixelsOf(*picture));
}

TEST(DibReader, BmpSuiteAgainstReferences)
{
    const std::string root = qeltest::SharedDataPath("bmpsuite/");
    QEL_REQUIRE(qeltest::PathExists(root + "g/pal8.bmp"), "BMP Suite in shared/testdata");
    const std::set<std::string> kFail = {
        "pal1huffmsb",    "pal8os2-sz",   "pal8os2v2-sz", "pal8os2v2-40sz", "pal8os2-hs",
        "pal1p1",         "pal8os2sp",    "pal2",         "pal2color",      "pal4rlecut",
        "pal8rlecut",     "pal8os2v2-16", "rgba64",       "rgb24rle24",     "badbitcount",
        "badpalettesize", "badplanes",    "badrle",       "badrle4",        "badrle4bis",
        "badrle4ter",     "badrlebis",    "badrleter",    "badwidth",       "pal8badindex",
        "reallybig",      "shortfile"};
    // Files with no reference of their own equal a twin: Pillow's RLE4 is wrong, and it
    // refuses the others. The RLE files with skipped pixels have no reference at all.
    const std::map<std::string, std::string> kTwin = {
        {"pal4rle", "pal4"}, {"pal8oversizepal", "pal8"}, {"badheadersize", "pal1"}};
    const std::set<std::string> kNoReference = {"pal4rletrns", "pal8rletrns"};
    const qeltest::cScratchFolder folder;
    size_t decoded = 0;
    std::map<std::string, sPnm> references;
    for (const std::string set : {"g", "q", "b"}) {
        std::vector<std::string> paths;
        std::istringstream names(qeltest::RunCommand("ls " + root + set));
        for (std::string name; std::getline(names, name);) {
            paths.push_back(root + set + "/" + name);
        }
        references.merge(References(paths, folder));
        for (const std::string& path : paths) {
            const std::string name = BaseName(path).substr(0, BaseName(path).size() - 4);
            SCOPED_TRACE(path);
            const std::vector<u8> bytes = ReadFileBytes(path);
            ForEachCut(bytes,
                       [](const std::vector<u8>& cut) { (void)CreatePicture(cut, nullptr); });
            if (kFail.count(name) != 0) {
                EXPECT_EQ(CreatePicture(bytes, nullptr), nullptr);
                continue;
            }
            const std::string source = kTwin.count(name) ? kTwin.at(name) : name;
            const bool referenced = references.count(source) != 0 && !kNoReference.count(name);
            EXPECT_TRUE(referenced || kNoReference.count(name));
            ExpectDecodes(bytes, referenced ? &references.at(source) : nullptr,
                          name == "rgb32fakealpha");
            ++decoded;
        }
    }
    EXPECT_EQ(decoded, 27u + 29u + 7u);
}

// ImageMagick's and netpbm's default BMP flavours: RLE8 with runs over the row padding
// and an end of bitmap after the last end of line, OS/2 core headers with the pixels at
// offset 26 or 32, V5 headers, RGB565 and 32-bit with alpha.
TEST(DibReader, ImageMagickAndNetpbmFiles)
{
    QEL_REQUIRE(qeltest::HaveTool("convert") && qeltest::HaveTool("ppmtobmp"),
                "imagemagick, netpbm");
    const qeltest::cScratchFolder folder;
    const std::string source = folder.PathOf("src.ppm");
    ASSERT_TRUE(RunsOk("convert rose: -crop 13x9+20+10 +repage " + source));
    const std::vector<std::pair<std::string, std::string>> kMakers = {
        {"pal2", "convert SRC -colors 2 -type Palette BMP3:OUT"},
        {"pal12", "convert SRC -colors 12 -type Palette BMP3:OUT"},
        {"rle8", "convert SRC -colors 200 -type Palette BMP3:OUT"},
        {"pal8", "convert SRC -colors 200 -type Palette -compress none BMP3:OUT"},
        {"v5", "convert SRC BMP:OUT"},
        {"rgb565", "convert SRC -define bmp:subtype=RGB565 BMP:OUT"},
        {"alpha", "convert SRC -alpha set -channel A -fx 'i/w' BMP:OUT"},
        {"os2", "convert SRC BMP2:OUT"},
        {"os2pal1", "convert SRC -monochrome BMP2:OUT"},
        {"ppm1os2", "ppmtopgm SRC | pgmtopbm | ppmtobmp -os2 -bpp 1 > OUT"},
        {"ppm4", "ppmquant 16 SRC | ppmtobmp -windows -bpp 4 > OUT"},
        {"ppm8os2", "ppmtobmp -os2 -bpp 8 SRC > OUT"},
        {"ppm24", "ppmtobmp -windows -bpp 24 SRC > OUT"},
    };
    std::vector<std::string> paths;
    for (const auto& [name, recipe] : kMakers) {
        std::string command = recipe;
        command.replace(command.find("SRC"), 3, source);
        paths.push_back(folder.PathOf(name + ".bmp"));
        command.replace(command.find("OUT"), 3, paths.back());
        ASSERT_TRUE(RunsOk(command)) << command;
    }
    const std::map<std::string, sPnm> references = References(paths, folder);
    for (const auto& [name, recipe] : kMakers) {
        SCOPED_TRACE(recipe);
        ASSERT_EQ(references.count(name), 1u);
        ExpectDecodes(ReadFileBytes(folder.PathOf(name + ".bmp")), &references.at(name));
    }
}

// A BMP file with a 40-byte header (or a 12-byte core header) and the given fields.
struct sBmp
{
    u32 headerSize = 40;
    i32 width = 2;
    i32 height = 2;
    u16 bits = 24;
    u32 compression = 0;
    u32 imageSize = 0;
    u32 coloursUsed = 0;
    std::vector<u8> table; // masks or palette, right after the header
    std::vector<u8> pixels;
    u32 dataOffset = 0; // 0: right after the table

    std::vector<u8> Bytes() const
    {
        std::vector<u8> out = {'B', 'M'};
        const auto put = [&out](u64 value, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                out.push_back(u8(value >> (8 * i)));
            }
        };
        const u32 offset = dataOffset ? dataOffset : u32(14 + headerSize + table.size());
        put(offset + pixels.size(), 4);
        put(0, 4);
        put(offset, 4);
        put(headerSize, 4);
        if (headerSize == 12) {
            put(u32(width), 2), put(u32(height), 2), put(1, 2), put(bits, 2);
        } else {
            put(u32(width), 4), put(u32(height), 4), put(1, 2), put(bits, 2);
            put(compression, 4), put(imageSize, 4), put(0, 8), put(coloursUsed, 4), put(0, 4);
        }
        out.insert(out.end(), table.begin(), table.end());
        out.resize(offset, 0);
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

std::vector<u8> Le32(std::initializer_list<u32> values)
{
    std::vector<u8> out;
    for (u32 v : values) {
        out.insert(out.end(), {u8(v), u8(v >> 8), u8(v >> 16), u8(v >> 24)});
    }
    return out;
}

// One row per decided fault fix and per hostile field: the outcome, and the top-left
// pixel of those that decode.
TEST(DibReader, CraftedHeaders)
{
    const std::vector<u8> rgb2x2 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    const std::vector<u8> pal2 = Le32({0xFF0000, 0x00FF00});
    struct sCase
    {
        const char* what;
        sBmp bmp;
        bool ok;
        u32 topLeft;
    };
    const sCase kCases[] = {
        {"24-bit", {.pixels = rgb2x2}, true, 0xFF090807},
        {"core header, offset 26", {.headerSize = 12, .pixels = rgb2x2}, true, 0xFF090807},
        {"offset 53", {.pixels = rgb2x2, .dataOffset = 53}, false},
        {"offset inside a 40-byte header", {.pixels = rgb2x2, .dataOffset = 26}, false},
        {"height INT_MIN", {.height = INT32_MIN, .pixels = rgb2x2}, false},
        {"65536 x 65536", {.width = 65536, .height = 65536, .pixels = rgb2x2}, false},
        {"24-bit padding not zero", {.height = 1, .pixels = {1, 2, 3, 4, 5, 6, 0, 1}}, false},
        {"colours used 2^32-1 with room",
         {.bits = 8, .coloursUsed = 0xFFFFFFFF, .table = pal2, .pixels = {0, 1, 0, 0, 1, 0, 0, 0}},
         false},
        {"a non-contiguous 8-bit mask is clamped",
         {.height = 1,
          .bits = 32,
          .compression = 3,
          .table = Le32({0x807F0000, 0xFF00, 0xFF}),
          .pixels = Le32({0xFFFFFFFF, 0})},
         true,
         0xFFFFFFFF},
        {"32-bit fourth bytes all 0 are opaque",
         {.height = 1, .bits = 32, .pixels = Le32({0x123456, 0})},
         true,
         0xFF123456},
        {"RLE8 rows, end of bitmap after the last end of line",
         {.bits = 8,
          .compression = 1,
          .coloursUsed = 2,
          .table = pal2,
          .pixels = {2, 1, 0, 0, 2, 0, 0, 0, 0, 1}},
         true,
         0xFFFF0000},
        {"RLE8 runs past the row end are clipped",
         {.bits = 8,
          .compression = 1,
          .coloursUsed = 2,
          .table = pal2,
          .pixels = {5, 1, 0, 0, 3, 0, 0, 1}},
         true,
         0xFFFF0000},
        {"RLE8 end of line at row == rows",
         {.bits = 8,
          .compression = 1,
          .coloursUsed = 2,
          .table = pal2,
          .pixels = {2, 1, 0, 0, 2, 0, 0, 0, 0, 0}},
         false},
        {"RLE8 delta past the last row",
         {.bits = 8,
          .compression = 1,
          .coloursUsed = 2,
          .table = pal2,
          .pixels = {0, 2, 0, 2, 0, 1}},
         false},
        {"RLE8 row ended early",
         {.bits = 8, .compression = 1, .coloursUsed = 2, .table = pal2, .pixels = {1, 1, 0, 0}},
         false},
        {"RLE8 absolute run past the last row",
         {.bits = 8,
          .compression = 1,
          .coloursUsed = 2,
          .table = pal2,
          .pixels = {2, 1, 0, 0, 2, 0, 0, 0, 0, 3, 1, 1, 1, 0}},
         false},
    };
    for (const sCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const tPicture picture = CreatePicture(c.bmp.Bytes(), nullptr);
        ASSERT_EQ(picture != nullptr, c.ok);
        if (c.ok) {
            EXPECT_EQ(TopDown32(*picture)[0], c.topLeft);
        }
    }
}

// A plain DIB whose header size + image size passes 2^32 is bounded at 2^31 - 1.
TEST(DibReader, PlainDibImageSizeOverflow)
{
    sBmp bmp{.height = 1, .imageSize = 0xFFFFFFF0, .pixels = {1, 2, 3, 4, 5, 6, 0, 0}};
    const std::vector<u8> file = bmp.Bytes();
    const std::vector<u8> dib(file.begin() + 14, file.end());
    cPictDIB picture;
    ASSERT_TRUE(DecodeBytes(dib, picture));
    EXPECT_EQ(TopDown32(picture)[1], 0xFF060504u);
}

} // namespace
