// The ICO and CUR reader: every entry of files made by icotool, ImageMagick and netpbm
// against netpbm's winicontopam, and struct-made directories for the entry rules.
#include "picture/core/ico.h"
#include "picture/core/picturesupport.h"
#include "picture/core/resample.h"

namespace {

using namespace picttest;

// Every image of winicontopam -allimages -andmasks, top-down: the AND mask applied below
// 32 bits; 32-bit entries carry it as a fifth plane, which is dropped.
std::vector<std::vector<u32>> WinIconToPam(const std::string& path)
{
    const std::vector<u8> all = RunCommand("winicontopam -allimages -andmasks " + path);
    std::vector<std::vector<u32>> images;
    sPnm pnm;
    for (size_t at = 0; at < all.size() && ParsePnm({all.begin() + i64(at), all.end()}, pnm);) {
        const std::string text(all.begin() + i64(at), all.end());
        at += text.find("ENDHDR\n") + 7 + pnm.samples.size();
        for (size_t i = 0; pnm.depth == 5 && i < pnm.samples.size() / 5; ++i) {
            std::copy_n(pnm.samples.begin() + i64(i * 5), 4, pnm.samples.begin() + i64(i * 4));
        }
        pnm.depth = std::min(pnm.depth, 4);
        images.push_back(PnmPixels32(pnm));
    }
    return images;
}

// A directory of entries over the given images, each at its own offset.
std::vector<u8> Directory(u16 reserved, u16 type, const std::vector<std::vector<u8>>& images)
{
    std::vector<u8> out;
    const auto put = [&out](u32 value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(u8(value >> (8 * i)));
        }
    };
    put(reserved, 2), put(type, 2), put(u32(images.size()), 2);
    u32 offset = u32(6 + 16 * images.size());
    for (const std::vector<u8>& image : images) {
        put(0, 8), put(u32(image.size()), 4), put(offset, 4);
        offset += u32(image.size());
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
        // winicontopam reads icons only: the cursor's reference is read as an icon.
        WriteFileBytes(dir + "asicon", std::string(bytes.begin(), bytes.end()).replace(2, 1, "\1"));
        const std::vector<std::vector<u32>> references = WinIconToPam(dir + "asicon");
        sPictInfo info;
        tPicture picture = CreatePicture(bytes, &info);
        ASSERT_NE(picture, nullptr);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        ASSERT_EQ(picture->GetPageCount(&stream), i32(references.size()));
        for (i32 page = 0; page < i32(references.size()); ++page) {
            ASSERT_TRUE(picture->LoadPage(&stream, page));
            EXPECT_TRUE(SamePixels(TopDown32(*picture), references[page], picture->GetWidth()));
        }
        EXPECT_FALSE(picture->LoadPage(&stream, i32(references.size())));
        EXPECT_FALSE(picture->LoadPage(&stream, -1));
        ForEachCut(bytes, [](const std::vector<u8>& cut) {
            cBufWrapperIO part(cut.data(), cut.size());
            cPictICO icon;
            for (i32 page = 0; page < 6; ++page) {
                (void)icon.LoadPage(&part, page);
            }
        });
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
    i32 limit = 48;
    ASSERT_TRUE(picture->LoadEmbeddedPreview(&stream, &preview, &limit, &limit));
    EXPECT_EQ(preview.GetWidth(), 48);
    limit = 15;
    EXPECT_FALSE(picture->LoadEmbeddedPreview(&stream, &preview, &limit, &limit));
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

// Directories made byte by byte: header fields, invalid and equal entries, a 65536-wide
// PNG entry (its area passes 2^31), and entries that point past the file.
TEST(IcoReader, DirectoryRules)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "imagemagick");
    const qeltest::cScratchFolder folder;
    ASSERT_TRUE(RunsOk("convert -size 16x16 xc:red " + folder.PathOf("a.png") +
                       " && pbmmake 65536 1 | pnmtopng > " + folder.PathOf("wide.png") +
                       " && pbmmake 1 65536 | pnmtopng > " + folder.PathOf("tall.png")));
    const std::vector<u8> a = ReadFileBytes(folder.PathOf("a.png"));
    const std::vector<u8> wide = ReadFileBytes(folder.PathOf("wide.png"));
    const std::vector<u8> tall = ReadFileBytes(folder.PathOf("tall.png"));
    const std::vector<u8> garbage(40, 7);
    struct sCase
    {
        const char* what;
        std::vector<u8> file;
        bool infoOk;
        i32 width, height, pages;
    };
    std::vector<u8> pastEnd = Directory(0, 1, {a});
    pastEnd[18] = 0xFF; // image offset 0xFF000000-ish
    const sCase kCases[] = {
        {"icon", Directory(0, 1, {a}), true, 16, 16, 1},
        {"cursor", Directory(0, 2, {a}), true, 16, 16, 1},
        {"type 3", Directory(0, 3, {a}), false, 0, 0, 1},
        {"reserved 1", Directory(1, 1, {a}), false, 0, 0, 0},
        {"count 0", Directory(0, 1, {}), false, 0, 0, 0},
        {"a garbage entry", Directory(0, 1, {garbage, a}), false, 0, 0, 2},
        {"equal areas: the first", Directory(0, 1, {wide, tall}), true, 65536, 1, 2},
        {"an area past 2^31", Directory(0, 1, {a, wide, wide}), true, 65536, 1, 3},
        {"an entry past the end", pastEnd, false, 0, 0, 1},
    };
    for (const sCase& c : kCases) {
        SCOPED_TRACE(c.what);
        cBufWrapperIO stream(c.file.data(), c.file.size());
        cPictICO icon;
        sPictInfo info;
        ASSERT_EQ(icon.ReadInfo(&stream, &info), c.infoOk);
        EXPECT_EQ(icon.GetPageCount(&stream), c.pages);
        EXPECT_EQ(icon.Load(&stream), c.infoOk);
        if (c.infoOk) {
            EXPECT_EQ(info.width, c.width);
            EXPECT_EQ(info.height, c.height);
        }
    }
}

} // namespace
