// The JBIG2 picture: files from the test encoder decoded against jbig2dec (the reference
// decoder, run as a program), the scan rules on broken files, thumbnails and the probe.
#include "picture/codecs/jbig2encoder.h"
#include "picture/formats/jbig2picture.h"
#include "picture/picturesupport.h"

namespace {

using namespace picttest;
using namespace jbig2test;
using qeltest::cScratchFolder;
using qeltest::HaveTool;

using sPage = sBitmap;

sPage PageOf(cPictBase& picture)
{
    sPage page{picture.GetWidth(), picture.GetHeight(), {}};
    for (u32 pixel : TopDown32(picture)) {
        EXPECT_TRUE(pixel == 0xFF000000 || pixel == 0xFFFFFFFF);
        page.pixels.push_back(pixel == 0xFF000000);
    }
    return page;
}

// Every page through our reader; empty when the page count is 0 or a page fails.
std::vector<sPage> OurPages(const std::string& file)
{
    cBufWrapperIO stream(file.data(), file.size());
    cPictJBIG2 picture;
    std::vector<sPage> pages;
    const i32 count = picture.GetPageCount(&stream);
    for (i32 page = 0; page < count; ++page) {
        if (!picture.LoadPage(&stream, page)) {
            return {};
        }
        pages.push_back(PageOf(picture));
    }
    return pages;
}

std::vector<sSegment> Join(std::vector<std::vector<sSegment>> parts)
{
    std::vector<sSegment> out;
    for (auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    out.push_back(MakeSegment(51, 0, ""));
    return out;
}

TEST(Jbig2Picture, EncoderFilesDecodeAsJbig2decDecodesThem)
{
    ASSERT_TRUE(HaveTool("jbig2dec"));
    cScratchFolder scratch;
    // 300 pages after a comment extension on page 0, cycling through the templates with
    // nominal and moved AT pixels and TPGDON off and on: 4-byte page associations, 2-byte
    // referred-to numbers and a long-form referred-to list.
    std::vector<std::vector<sSegment>> many{
        {MakeSegment(62, 0, std::string("\x20\0\0\0Title\0qel\0\0", 14))}};
    for (u32 page = 1; page <= 300; ++page) {
        const i32 t = i32(page % 4);
        const sBitmap bitmap = RandomBitmap(19 + i32(page % 50), 9 + i32(page % 30), page);
        many.push_back(PageSegments(page, u32(bitmap.width), u32(bitmap.height),
                                    {GenericRegion(bitmap, 0, 0, t, page / 4 % 2 == 1,
                                                   page / 8 % 2 == 1 ? kMovedAt[t] : nullptr)}));
    }
    // jbig2dec counts floor((n + 1) / 8) long-form retention bytes where T.88 7.2.4 has
    // ceil; with 7 referred-to segments both give one byte.
    many[200][1].referred = {1, 2, 3, 4, 5, 6, 7};
    const sBitmap a = RandomBitmap(120, 90, 11), b = RandomBitmap(80, 70, 12);
    const auto overlap =
        PageSegments(1, 150, 100, {GenericRegion(a), GenericRegion(b, 50, 40, 1, false)});
    const auto twoSizes =
        Join({overlap, PageSegments(2, 90, 300, {GenericRegion(a, 3, 5, 3, true)})});
    const struct
    {
        std::string file;
        bool bare;
        size_t pages;
    } kFiles[] = {
        {WriteFile(Join(many), eLayout::Sequential, -1), false, 300},
        {WriteFile(twoSizes, eLayout::RandomAccess, 2), false, 2},
        {WriteFile(overlap, eLayout::Bare, 0), true, 1},
    };
    for (const auto& sample : kFiles) {
        const std::string path = scratch.MakeFile("x.jb2", sample.file);
        const std::vector<sPage> reference = ParsePbm(RunCommand(
            std::string("jbig2dec -q -t pbm -o /dev/stdout ") + (sample.bare ? "-e " : "") + path));
        EXPECT_EQ(reference.size(), sample.pages);
        const std::vector<sPage> ours = OurPages(sample.file);
        ASSERT_EQ(ours.size(), reference.size()) << sample.pages;
        for (size_t i = 0; i < ours.size(); ++i) {
            EXPECT_TRUE(ours[i].width == reference[i].width &&
                        ours[i].pixels == reference[i].pixels)
                << sample.pages << " page " << i;
        }
    }
}

// Pages of default pixel 1 and 0, regions combined with every operator (overlapping, and two
// XOR regions that cancel), the page's default operator without the override bit, and
// pages without regions: each equal to jbig2dec's.
TEST(Jbig2Picture, DefaultPixelsAndCombinationOperatorsAsJbig2dec)
{
    ASSERT_TRUE(HaveTool("jbig2dec"));
    cScratchFolder scratch;
    const sBitmap a = RandomBitmap(61, 40, 21), b = RandomBitmap(50, 45, 22);
    constexpr u8 kOverride = 0x40, kDefaultBlack = 0x04;
    const auto region = [&](const sBitmap& bitmap, u32 x, u32 y, u8 operation) {
        return GenericRegion(bitmap, x, y, 0, true, nullptr, operation);
    };
    std::vector<std::vector<sSegment>> pages;
    for (u8 operation = 0; operation <= 4; ++operation) {
        for (u8 flags : {kOverride, u8(kOverride | kDefaultBlack)}) {
            // Each operator over the page's default pixel and over a region beneath.
            pages.push_back(PageSegments(u32(pages.size() + 1), 90, 70,
                                         {region(a, 3, 2, 4), region(b, 37, 21, operation)},
                                         flags));
        }
    }
    for (u8 operation = 0; operation <= 3; ++operation) {
        // The page's default operator rules every region that carries it.
        const u8 flags = u8(kDefaultBlack | operation << 3);
        pages.push_back(PageSegments(u32(pages.size() + 1), 90, 70,
                                     {region(a, 0, 0, operation), region(b, 5, 11, operation)},
                                     flags));
    }
    pages.push_back(PageSegments(u32(pages.size() + 1), 90, 70,
                                 {region(b, 7, 3, 4), region(a, 20, 9, 2), region(a, 20, 9, 2)}));
    pages.push_back(PageSegments(u32(pages.size() + 1), 33, 17, {}, kDefaultBlack));
    pages.push_back(PageSegments(u32(pages.size() + 1), 33, 17, {}));
    const std::string file = WriteFile(Join(pages), eLayout::Sequential, i64(pages.size()));
    const std::vector<sPage> reference = ParsePbm(RunCommand(
        "jbig2dec -q -t pbm -o /dev/stdout " + scratch.MakeFile("ops.jb2", file)));
    ASSERT_EQ(reference.size(), pages.size());
    const std::vector<sPage> ours = OurPages(file);
    ASSERT_EQ(ours.size(), reference.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        EXPECT_TRUE(ours[i].width == reference[i].width && ours[i].pixels == reference[i].pixels)
            << "page " << i;
    }
}

// Broken files: the page count we give (0 = the scan fails) and whether page 0 comes out
// all white (its region is skipped).
TEST(Jbig2Picture, BrokenFilesFailOrLeaveTheRegionWhite)
{
    const sBitmap bitmap = RandomBitmap(40, 30, 3);
    const auto page = [&](std::string region, u32 width = 40, u32 height = 30) {
        return PageSegments(1, width, height, {region});
    };
    const auto one = [&](std::vector<sSegment> segments, i64 count = 1) {
        return WriteFile(Join({segments}), eLayout::Sequential, count);
    };
    auto unknownLength = page(GenericRegion(bitmap)), pastTheEnd = unknownLength;
    unknownLength[1].length = 0xFFFFFFFF;
    pastTheEnd[1].length = 1 << 20; // the window is clipped to the stream's end
    std::string hugeRegion = GenericRegion(bitmap);
    hugeRegion.replace(0, 8, std::string("\0\1\x11\x70\0\1\x11\x70", 8)); // 70000 x 70000
    const struct
    {
        const char* name;
        std::string file;
        i32 pages;
        bool white;
    } kCases[] = {
        {"height 0xFFFFFFFF", one(page(GenericRegion(bitmap), 40, 0xFFFFFFFF)), 0, false},
        {"70000 x 70000 page", one(page(GenericRegion(bitmap), 70000, 70000)), 0, false},
        {"region length 0xFFFFFFFF", one(unknownLength), 0, false},
        {"page count 2^32-1", one(page(GenericRegion(bitmap)), 0xFFFFFFFF), 0, false},
        {"random access without end of file",
         WriteFile(page(GenericRegion(bitmap)), eLayout::RandomAccess, 1), 0, false},
        {"region past the stream end", WriteFile(pastTheEnd, eLayout::Sequential, 1), 1, false},
        {"70000 x 70000 region", one(page(hugeRegion)), 1, true},
    };
    for (const auto& sample : kCases) {
        cBufWrapperIO stream(sample.file.data(), sample.file.size());
        cPictJBIG2 picture;
        EXPECT_EQ(picture.GetPageCount(&stream), sample.pages) << sample.name;
        if (sample.pages == 0 || !picture.Load(&stream)) {
            EXPECT_EQ(sample.pages, 0) << sample.name;
            continue;
        }
        const std::vector<u8> pixels = PageOf(picture).pixels;
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 1) == 0, sample.white) << sample.name;
    }
}

// Fault fix: the page is composed first, so a scaled thumbnail covers every pixel once
// (no transparent holes where no region lies, no double weight under overlaps).
TEST(Jbig2Picture, ScaledThumbnailIsOpaqueAndFitsTheBox)
{
    const sBitmap black{64, 64, std::vector<u8>(64 * 64, 1)};
    const std::string file = WriteFile(
        Join({PageSegments(1, 2000, 1000, {GenericRegion(black), GenericRegion(black, 20, 20)})}),
        eLayout::Sequential, 1);
    cBufWrapperIO stream(file.data(), file.size());
    cPictJBIG2 picture;
    cPictDummy thumbnail;
    ASSERT_TRUE(picture.RenderPageThumbnail(&stream, &thumbnail, 100, 100, 0, true, 0x00123456));
    ASSERT_EQ(thumbnail.GetWidth(), 100);
    ASSERT_EQ(thumbnail.GetHeight(), 50);
    const std::vector<u32> pixels = TopDown32(thumbnail);
    EXPECT_EQ(pixels[0], 0xFF000000);             // the regions' corner, black
    EXPECT_EQ(pixels[99 + 49 * 100], 0xFFFFFFFF); // no region: white page
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](u32 p) { return p >> 24 == 0xFF; }));
}

TEST(Jbig2Picture, ReadInfoReadsOnlySegmentHeaders)
{
    auto pages = Join({PageSegments(1, 300, 200, {GenericRegion(RandomBitmap(30, 20, 1))}),
                       PageSegments(2, 300, 200, {GenericRegion(RandomBitmap(30, 20, 2))})});
    pages[1].data.resize(20 << 20, '\x55');
    const std::string file = WriteFile(pages, eLayout::Sequential, 2);
    cBufWrapperIO inner(file.data(), file.size());
    cCountingStream stream(&inner);
    sPictInfo info;
    ASSERT_TRUE(ProbeJBIG2(&stream, &info));
    EXPECT_EQ(info.width, 300);
    EXPECT_EQ(info.height, 200);
    EXPECT_LT(stream.m_bytesRead, 1024u);
}

TEST(Jbig2Picture, FactoryTakesJbig2OnlyAtItsStep)
{
    const std::string file = WriteFile(
        PageSegments(1, 30, 20, {GenericRegion(RandomBitmap(30, 20, 1))}), eLayout::Bare, 0);
    tPicture picture = CreatePicture(std::vector<u8>(file.begin(), file.end()), nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetFormatId(), kPictFormatJBIG2);
    EXPECT_EQ(picture->GetWidth(), 30);
    for (const char* other : {"/bin/true", "/usr/share/common-licenses/GPL-3"}) {
        const std::vector<u8> bytes = ReadFileBytes(other);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        sPictInfo info;
        EXPECT_FALSE(ProbeJBIG2(&stream, &info)) << other;
    }
}

} // namespace
