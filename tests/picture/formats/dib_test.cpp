// The BMP and DIB reader against Pillow and numpy (tools/testdata/bmp_to_pam.py) over BMP
// Suite and ImageMagick/netpbm output, and crafted headers for the hostile cases.
#include "picture/formats/dib.h"
#include "picture/picturesupport.h"

#include <set>

namespace {

using namespace picttest;

// The reference decode of each file by tools/testdata/bmp_to_pam.py, by base name; files
// it refuses are missing.
std::map<std::string, sPnm> References(const std::vector<std::string>& paths,
                                       const qeltest::cScratchFolder& folder)
{
    std::string command = std::string("/usr/bin/python3 ") + QEL_SOURCE_DIR +
                          "/tools/testdata/bmp_to_pam.py " + folder.Path();
    for (const std::string& path : paths) {
        command += " " + path;
    }
    std::map<std::string, sPnm> result;
    for (const std::string& path : RunsOk(command) ? paths : std::vector<std::string>()) {
        const std::string name = BaseName(path).substr(0, BaseName(path).size() - 4);
        if (!ParsePnm(ReadFileBytes(folder.PathOf(name + ".pam")), result[name])) {
            result.erase(name);
        }
    }
    return result;
}

// The factory's decode against the reference (RGB only when asked), its info size, and
// the same decode streamed at scale 1.
void ExpectDecodes(const std::vector<u8>& bytes, const sPnm* reference, bool rgbOnly)
{
    sPictInfo info;
    const tPicture picture = CreatePicture(bytes, nullptr);
    tPicture streamed = CreatePicture(bytes, &info);
    ASSERT_TRUE(picture != nullptr && streamed != nullptr);
    EXPECT_EQ(std::pair(info.width, info.height),
              std::pair(picture->GetWidth(), picture->GetHeight()));
    std::vector<u32> got = TopDown32(*picture);
    std::vector<u32> want = reference != nullptr ? PnmPixels32(*reference) : got;
    for (size_t i = 0; rgbOnly && i < got.size() && i < want.size(); ++i) {
        got[i] |= 0xFF000000;
        want[i] |= 0xFF000000;
    }
    EXPECT_TRUE(SamePixels(got, want, picture->GetWidth()));
    sTargetBuffer target(picture->GetWidth(), picture->GetHeight());
    cBufWrapperIO stream(bytes.data(), bytes.size());
    ASSERT_TRUE(streamed->SetTarget(&target.target));
    EXPECT_TRUE(streamed->Load(&stream));
    EXPECT_EQ(target.pixels, PixelsOf(*picture));
}

// BMP Suite's g/, q/ and b/ sets, and the BMP flavours ImageMagick and netpbm write: RLE8
// with runs over the row padding and an end of bitmap after the last end of line, OS/2
// core headers with the pixels at offset 26 or 32, V5 headers, RGB565, 32-bit with alpha.
TEST(DibReader, BmpSuiteAndToolFilesAgainstReferences)
{
    const std::string root = qeltest::SharedDataPath("bmpsuite/");
    QEL_REQUIRE(qeltest::PathExists(root + "g/pal8.bmp"), "BMP Suite in shared/testdata");
    QEL_REQUIRE(qeltest::HaveTool("convert") && qeltest::HaveTool("ppmtobmp"),
                "imagemagick, netpbm");
    const qeltest::cScratchFolder folder;
    const std::string tools = folder.Path() + "/tools";
    ASSERT_TRUE(RunsOk(
        "mkdir " + tools + " && cd " + tools +
        " && convert rose: -crop 13x9+20+10 +repage s.ppm && "
        "convert s.ppm -colors 2 -type Palette BMP3:pal2.bmp && "
        "convert s.ppm -colors 12 -type Palette BMP3:pal12.bmp && "
        "convert s.ppm -colors 200 -type Palette BMP3:rle8.bmp && "
        "convert s.ppm -colors 200 -type Palette -compress none BMP3:pal8.bmp && "
        "convert s.ppm BMP:v5.bmp && convert s.ppm -define bmp:subtype=RGB565 BMP:rgb565.bmp && "
        "convert s.ppm -alpha set -channel A -fx i/w BMP:alpha.bmp && convert s.ppm BMP2:os2.bmp "
        "&& "
        "convert s.ppm -monochrome BMP2:os2pal1.bmp && "
        "ppmtopgm s.ppm | pgmtopbm | ppmtobmp -os2 -bpp 1 > ppm1os2.bmp && "
        "ppmquant 16 s.ppm | ppmtobmp -windows -bpp 4 > ppm4.bmp && "
        "ppmtobmp -os2 -bpp 8 s.ppm > ppm8os2.bmp && ppmtobmp -windows -bpp 24 s.ppm > ppm24.bmp"));
    const std::set<std::string> kFail = {
        "pal1huffmsb",    "pal8os2-sz",   "pal8os2v2-sz", "pal8os2v2-40sz", "pal8os2-hs",
        "pal1p1",         "pal8os2sp",    "pal2",         "pal2color",      "pal4rlecut",
        "pal8rlecut",     "pal8os2v2-16", "rgba64",       "rgb24rle24",     "badbitcount",
        "badpalettesize", "badplanes",    "badrle",       "badrle4",        "badrle4bis",
        "badrle4ter",     "badrlebis",    "badrleter",    "badwidth",       "pal8badindex",
        "reallybig",      "shortfile"};
    // Files without a reference of their own equal a twin: Pillow's RLE4 is wrong, and it
    // refuses the others. The RLE files with skipped pixels have no reference at all.
    const std::map<std::string, std::string> kTwin = {
        {"pal4rle", "pal4"}, {"pal8oversizepal", "pal8"}, {"badheadersize", "pal1"}};
    size_t decoded = 0;
    std::map<std::string, sPnm> references;
    for (const std::string& dir : {root + "g", root + "q", root + "b", tools}) {
        std::vector<std::string> paths;
        std::istringstream names(qeltest::RunCommand("cd " + dir + " && ls *.bmp"));
        for (std::string name; std::getline(names, name);) {
            paths.push_back(dir + "/" + name);
        }
        // A folder's own references come first; earlier ones stay for the twins in g/.
        std::map<std::string, sPnm> fresh = References(paths, folder);
        fresh.merge(references);
        references.swap(fresh);
        for (const std::string& path : paths) {
            const std::string name = BaseName(path).substr(0, BaseName(path).size() - 4);
            SCOPED_TRACE(path);
            const std::vector<u8> bytes = ReadFileBytes(path);
            ForEachCut(bytes,
                       [](const std::vector<u8>& cut) { (void)CreatePicture(cut, nullptr); });
            if (dir != tools && kFail.count(name) != 0) {
                EXPECT_EQ(CreatePicture(bytes, nullptr), nullptr);
                continue;
            }
            if (dir == tools) {
                // The same bitmap without its file header probes as a plain DIB (whose
                // 8-bit files then fail: a DIB leaves no room for a table).
                EXPECT_TRUE(FactoryAgreesWithFile(path, kPictFormatBMP, "image/bmp"));
                sPictInfo info;
                const tPicture dib = CreatePicture({bytes.begin() + 14, bytes.end()}, &info);
                EXPECT_TRUE(dib != nullptr && dib->GetFormatId() == kPictFormatDIB);
            }
            const std::string source = kTwin.count(name) ? kTwin.at(name) : name;
            const bool unreferenced = name == "pal4rletrns" || name == "pal8rletrns";
            ASSERT_TRUE(unreferenced || references.count(source)) << source;
            ExpectDecodes(bytes, unreferenced ? nullptr : &references.at(source),
                          name == "rgb32fakealpha");
            ++decoded;
        }
    }
    EXPECT_EQ(decoded, 27u + 29u + 7u + 13u);
}

std::vector<u8> Le32(std::initializer_list<u32> values)
{
    std::vector<u8> out;
    for (u32 v : values) {
        out.insert(out.end(), {u8(v), u8(v >> 8), u8(v >> 16), u8(v >> 24)});
    }
    return out;
}

// A 2 x 2 BMP with a 40-byte header, the table (palette or masks) right after it, then the
// pixels; each patch writes a u32 over the result.
std::vector<u8> Crafted(u16 bits, u32 compression, const std::vector<u8>& table,
                        const std::vector<u8>& pixels,
                        std::vector<std::pair<u32, u32>> patches = {})
{
    std::vector<u8> bytes = {'B', 'M'};
    const u32 offset = u32(54 + table.size());
    const std::vector<u8> header =
        Le32({offset + u32(pixels.size()), 0, offset, 40, 2, 2, 1u | u32(bits) << 16, compression,
              0, 0, 0, bits <= 8 ? u32(table.size() / 4) : 0, 0});
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), table.begin(), table.end());
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    for (const auto& [at, value] : patches) {
        std::copy_n(Le32({value}).begin(), 4, bytes.begin() + at);
    }
    return bytes;
}

// One row per decided fault fix and hostile field not in the suites: the outcome, and the
// top-left pixel of those that decode.
TEST(DibReader, CraftedFiles)
{
    const std::vector<u8> rgb = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    const std::vector<u8> pal = Le32({0xFF0000, 0x00FF00});
    struct sCase
    {
        const char* what;
        std::vector<u8> file;
        bool ok;
        u32 topLeft = 0;
    };
    const sCase kCases[] = {
        {"offset 53", Crafted(24, 0, {}, rgb, {{10, 53}}), false},
        {"offset inside the header", Crafted(24, 0, {}, rgb, {{10, 26}}), false},
        {"height INT_MIN", Crafted(24, 0, {}, rgb, {{22, 0x80000000}}), false},
        {"colours used 2^32 - 1", Crafted(8, 0, pal, {0, 1, 0, 0, 1, 0, 0, 0}, {{46, ~0u}}), false},
        {"8-bit masks clamped",
         Crafted(32, 3, Le32({0x807F0000, 0xFF00, 0xFF}), Le32({0, 0, ~0u, 0})), true, 0xFFFFFFFF},
        // Padding is ignored (the 24-bit case is checked against Pillow with the TGA and PCX
        // files): a 1-pixel-wide RGB555 picture, rows of 2 bytes and 2 of padding.
        {"16-bit padding not 0",
         Crafted(16, 0, {}, {0x1F, 0, 0xFF, 0xFF, 0, 0x7C, 0xA5, 0xA5}, {{18, 1}}), true,
         0xFFFF0000},
        {"RLE8 end of bitmap after the last end of line",
         Crafted(8, 1, pal, {2, 1, 0, 0, 2, 0, 0, 0, 0, 1}), true, 0xFFFF0000},
        {"RLE8 runs clipped at the row end", Crafted(8, 1, pal, {5, 1, 0, 0, 3, 0, 0, 1}), true,
         0xFFFF0000},
        {"RLE8 third end of line", Crafted(8, 1, pal, {2, 1, 0, 0, 2, 0, 0, 0, 0, 0}), false},
        {"RLE8 delta past the last row", Crafted(8, 1, pal, {0, 2, 0, 2, 0, 1}), false},
    };
    for (const sCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const tPicture picture = CreatePicture(c.file, nullptr);
        ASSERT_EQ(picture != nullptr, c.ok);
        EXPECT_EQ(c.ok ? TopDown32(*picture)[0] : 0, c.topLeft);
    }
    // A plain DIB whose header size + image size passes 2^32 is bounded at 2^31 - 1.
    const std::vector<u8> file = Crafted(24, 0, {}, rgb, {{34, 0xFFFFFFF0}});
    cPictDIB dib;
    ASSERT_TRUE(DecodeBytes({file.begin() + 14, file.end()}, dib));
    EXPECT_EQ(TopDown32(dib)[0], 0xFF090807u);
}

} // namespace
