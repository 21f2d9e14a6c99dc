// Crafted and hostile PNG files (tools/testdata/make_png.py, folder crafted/): what must
// decode and how, what gives only a size, and what must fail cleanly.
#include "base/buffers.h"
#include "picture/picturesupport.h"
#include "testhooks/basehooks.h"

namespace {

using namespace picttest;

std::string Crafted(const std::string& name)
{
    return qeltest::LocalDataPath("png/crafted/" + name);
}

std::vector<u32> Decode32(const std::string& name)
{
    cPictPNG picture;
    return DecodeBytes(ReadFileBytes(Crafted(name)), picture) ? PixelsOf(picture)
                                                                : std::vector<u32>();
}

// The largest allocation the base containers were asked for while the hook was set.
u64 g_largestAllocation = 0;
bool RecordAllocation(u64 bytes)
{
    g_largestAllocation = std::max(g_largestAllocation, bytes);
    return true;
}

TEST(PngCrafted, HostileFilesFailAndBadHeadersFailTheProbeToo)
{
    size_t hostile = 0;
    for (const std::string& path : ListPngFiles(Crafted(""))) {
        const std::string name = BaseName(path);
        if (name.compare(0, 3, "ok_") != 0 && name.compare(0, 5, "twin_") != 0 &&
            name.compare(0, 5, "info_") != 0) {
            cPictPNG picture;
            EXPECT_FALSE(DecodeBytes(ReadFileBytes(path), picture)) << name;
            ++hostile;
        }
    }
    EXPECT_GE(hostile, 24u);
    for (const char* name : {"ihdr_short.png", "ihdr_width_above_2_31.png", "ihdr_interlace_2.png",
                             "ihdr_grey_depth_3.png", "idat_before_ihdr.png",
                             "chunk_before_ihdr.png"}) {
        const std::vector<u8> bytes = ReadFileBytes(Crafted(name));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        EXPECT_FALSE(ProbePNG(&stream, nullptr)) << name;
    }
}

// Odd but tolerable files decode like their twin; the twin itself like libpng. A filter
// type above 4 leaves the row as it is (the twin has the same bytes under type 0).
TEST(PngCrafted, TolerableOddFilesDecodeLikeTheirTwins)
{
    QEL_REQUIRE(qeltest::HaveTool("pngtopam"), "pngtopam (netpbm)");
    sPnm libpng;
    ASSERT_TRUE(PngToPamDecode(Crafted("twin_rgb8.png"), libpng));
    cPictPNG twinPicture;
    ASSERT_TRUE(DecodeBytes(ReadFileBytes(Crafted("twin_rgb8.png")), twinPicture));
    EXPECT_TRUE(MatchesReference(twinPicture, libpng));
    const std::vector<u32> twin = PixelsOf(twinPicture);
    for (const char* name : {"ok_one_byte_idats.png", "ok_zero_length_idat.png",
                             "ok_unknown_chunk_good_crc.png", "ok_interlace_255.png",
                             "ok_extra_zlib_data.png", "ok_trailing_bytes_after_stream.png",
                             "ok_idat_after_the_last_row.png", "ok_stored_deflate.png",
                             "ok_filter_type_7.png"}) {
        EXPECT_EQ(Decode32(name), twin) << name;
    }
    EXPECT_EQ(Decode32("ok_paeth_first_row.png"), Decode32("twin_sub_first_row.png"));
}

// The first four pixels of the bottom row. PLTE bytes 0..11 are entries (0,1,2) .. (9,10,11)
// and the row uses each once: tRNS covers only its entries. Rows after a second PLTE use it
// (entries (100,101,102) ..): the first one is gone, and a converter still reading it would
// read freed memory.
TEST(PngCrafted, PaletteRulesOnTheBottomRow)
{
    const std::pair<const char*, std::vector<u32>> kCases[] = {
        {"ok_palette_empty_trns.png", {0xFF000102, 0xFF030405, 0xFF060708, 0xFF090A0B}},
        {"ok_palette_short_trns.png", {0x10000102, 0x20030405, 0xFF060708, 0xFF090A0B}},
        {"ok_plte_between_idats.png", {0xFF646566, 0xFF676869, 0xFF6A6B6C, 0xFF6D6E6F}},
    };
    for (const auto& [name, expected] : kCases) {
        std::vector<u32> pixels = Decode32(name);
        pixels.resize(4);
        EXPECT_EQ(pixels, expected) << name;
    }
}

// Refused before any pixel or row buffer of the claimed size is asked for.
TEST(PngCrafted, HeaderOnlyFilesGiveTheirSizeButDoNotLoad)
{
    const std::tuple<const char*, i32, i32> kCases[] = {
        {"info_ihdr_then_garbage.png", 8, 6},
        {"info_ihdr_65535x65535.png", 65535, 65535},
        {"info_ihdr_2147483647x1.png", 2147483647, 1},
        {"info_filter_method_1.png", 8, 6},
    };
    for (const auto& [name, width, height] : kCases) {
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = ReadFileBytes(Crafted(name));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        sPictInfo info;
        ASSERT_TRUE(ProbePNG(&stream, &info));
        EXPECT_EQ(info.width, width);
        EXPECT_EQ(info.height, height);
        g_largestAllocation = 0;
        SetAllocationHook(RecordAllocation);
        cPictPNG picture;
        const bool loaded = DecodeBytes(bytes, picture);
        SetAllocationHook(nullptr);
        EXPECT_FALSE(loaded);
        EXPECT_LT(g_largestAllocation, u64(1) << 20);
    }
}

} // namespace
