// The ICO and CUR reader: every entry of files made by icotool, ImageMagick and netpbm
// against netpbm's winicontopam, and struct-made directories for the entry rules.
#include "picture/core/resample.h"
#include "picture/formats/ico.h"
#include "picture/picturesupport.h"

#include <zlib.h>

namespace {

using namespace picttest;

// A directory of entries over the given images, each at its own offset.
std::vector<u8> Directory(u8 reserved, u8 type, const std::vector<std::vector<u8>>& images)
{
    std::vector<u8> out = {reserved, 0, type, 0, u8(images.size()), 0};
    u32 offset = u32(6 + 16 * images.size());
    for (const std::vector<u8>& image : images) {
        const u32 size = u32(image.size());
        out.insert(out.end(), {0, 0, 0, 0, 0, 0, 0, 0, u8(size), u8(size >> 8), u8(size >> 16), 0,
                               u8(offset), u8(offset >> 8), u8(offset >> 16), 0});
        offset += size;
    }
    for (const std::vector<u8>& image : images) {
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}

TEST(IcoReader, EveryEntryAgainstWinIconToPam)
{
    QEL_REQUIRE(qeltest::HaveTool("icotool") && qeltest::HaveTool("winicontopam"),
                "icoutils, netpbm");
    const qeltest::cScratchFolder folder;
    const std::string dir = folder.Path() + "/";
    const char* kMake =
        "cd DIR && convert rose: -resize 16x16! -colors 2 m16.png && "
        "convert rose: -resize 16x16! -colors 16 c16.png && "
        "convert rose: -resize 16x16! -colors 200 a16.png && convert rose: -resize 32x32! a32.png "
        "&& "
        "convert rose: -resize 48x48! -alpha set -channel A -fx i/w a48.png && "
        "convert rose: -resize 256x256! -alpha set -channel A -fx j/h b256.png && "
        "icotool -c -o x.ico -b 1 m16.png -b 4 c16.png -b 8 a16.png -b 24 a32.png -b 32 a48.png "
        "--raw=b256.png && icotool -c --cursor -X 3 -Y 4 -o x.cur a32.png && "
        "convert b256.png -define icon:auto-resize=16,32,48,256 im.ico && "
        "convert a16.png -colors 16 ICO:im4.ico && pngtopam -alphapam a48.png | pamtowinicon > "
        "pw.ico";
    std::string command = kMake;
    command.replace(command.find("DIR"), 3, dir);
    ASSERT_TRUE(RunsOk(command));
    for (const char* name : {"x.ico", "x.cur", "im.ico", "im4.ico", "pw.ico"}) {
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = ReadFileBytes(dir + name);
        const bool cursor = bytes[2] == 2;
        EXPECT_TRUE(FactoryAgreesWithFile(dir + name, kPictFormatICO,
                                          cursor ? "image/x-win-bitmap" : "image/vnd.microsoft.icon"));
        // winicontopam reads icons only: the cursor's reference is read as an icon.
        WriteFileBytes(dir + "asicon", std::string(bytes.begin(), bytes.end()).replace(2, 1, "\1"));
        sPictInfo info;
        tPicture picture = CreatePicture(bytes, &info);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        ASSERT_NE(picture, nullptr);
        const i32 pages = picture->GetPageCount(&stream);
        EXPECT_TRUE(WinIconToPam(dir + "asicon", pages).empty());
        for (i32 page = 0; page < pages; ++page) {
            ASSERT_TRUE(picture->LoadPage(&stream, page));
            EXPECT_TRUE(SamePixels(TopDown32(*picture), WinIconToPam(dir + "asicon", page),
                                   picture->GetWidth()));
        }
        EXPECT_FALSE(picture->LoadPage(&stream, pages) || picture->LoadPage(&stream, -1));
        ForEachCut(bytes, [](const std::vector<u8>& cut) { (void)CreatePicture(cut, nullptr); });
    }
    // Sizes 16, 32, 48 and 256: the largest entry for the info, the largest that fits the
    // box for the preview.
    const std::vector<u8> bytes = ReadFileBytes(dir + "im.ico");
    sPictInfo info;
    tPicture picture = CreatePicture(bytes, &info);
    EXPECT_EQ(info.width, 256);
    EXPECT_EQ(info.hasEmbeddedPreview, 1);
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictDummy preview;
    i32 limits[2] = {48, 15};
    ASSERT_TRUE(picture->LoadEmbeddedPreview(&stream, &preview, &limits[0], &limits[0]));
    EXPECT_EQ(preview.GetWidth(), 48);
    EXPECT_FALSE(picture->LoadEmbeddedPreview(&stream, &preview, &limits[1], &limits[1]));
    // A masked bitmap entry streamed into a target equals its own decode resampled there,
    // mask included.
    const std::vector<u8> fourBit = ReadFileBytes(dir + "im4.ico");
    cPictICO decoded;
    ASSERT_TRUE(DecodeBytes(fourBit, decoded));
    sTargetBuffer target(40, 20);
    sTargetBuffer expected(40, 20);
    ASSERT_TRUE(PictResample(&expected.target, &decoded));
    cBufWrapperIO iconStream(fourBit.data(), fourBit.size());
    ASSERT_TRUE(decoded.SetTarget(&target.target));
    ASSERT_TRUE(decoded.Load(&iconStream));
    EXPECT_FALSE(decoded.HasTarget());
    EXPECT_EQ(target.pixels, expected.pixels);
}

// A PNG that holds only its header, which is all the entry probe reads.
std::vector<u8> PngHeader(u32 width, u32 height)
{
    std::vector<u8> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (u32 v : {width, height, 0x08060000u, 0u}) {
        png.insert(png.end(), {u8(v >> 24), u8(v >> 16), u8(v >> 8), u8(v)});
    }
    png.resize(29);
    const u32 crc = u32(crc32(0, png.data() + 12, 17));
    png.insert(png.end(), {u8(crc >> 24), u8(crc >> 16), u8(crc >> 8), u8(crc)});
    return png;
}

// Directories made byte by byte: header fields, an invalid entry, equal areas, an area
// past 2^31 (65536 x 65536), an entry past the end of the file.
TEST(IcoReader, DirectoryRules)
{
    const std::vector<u8> small = PngHeader(16, 16);
    std::vector<u8> pastEnd = Directory(0, 1, {small});
    pastEnd[18] = 0xFF;
    struct sCase
    {
        const char* what;
        std::vector<u8> file;
        bool infoOk;
        i32 width, height, pages;
    };
    const sCase kCases[] = {
        {"type 3", Directory(0, 3, {small}), false, 0, 0, 1},
        {"reserved 1", Directory(1, 1, {small}), false, 0, 0, 0},
        {"count 0", Directory(0, 1, {}), false, 0, 0, 0},
        {"a garbage entry", Directory(0, 1, {std::vector<u8>(40, 7), small}), false, 0, 0, 2},
        {"equal areas", Directory(0, 2, {PngHeader(65536, 1), PngHeader(1, 65536)}), true, 65536, 1,
         2},
        {"area past 2^31", Directory(0, 1, {small, PngHeader(65536, 65536)}), true, 65536, 65536,
         2},
        {"an entry past the end", pastEnd, false, 0, 0, 1},
    };
    for (const sCase& c : kCases) {
        SCOPED_TRACE(c.what);
        cBufWrapperIO stream(c.file.data(), c.file.size());
        cPictICO icon;
        sPictInfo info;
        EXPECT_EQ(icon.ReadInfo(&stream, &info), c.infoOk);
        EXPECT_EQ(icon.GetPageCount(&stream), c.pages);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
    }
}

} // namespace
