// Crafted and hostile PNG files (tools/testdata/make_png.py, folder crafted/): what must
// decode, what gives only a size, and what must fail cleanly.
#include "base/buffers.h"
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string Crafted(const std::string& name)
{
    return qeltest::LocalDataPath("png/crafted/" + name);
}

std::vector<std::string> CraftedNames()
{
    return pngtest::ListPngFiles(Crafted(""));
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::vector<u32> Decode32(const std::string& path)
{
    cPictPNG picture;
    _typebuf<u32> pixels;
    if (!pngtest::DecodeBytes(pngtest::ReadFileBytes(path), picture) ||
        !picture.GetPixels32(pixels)) {
        return {};
    }
    return std::vector<u32>(pixels.GetData(), pixels.GetData() + pixels.GetCount());
}

// The largest allocation the base containers were asked for while the hook was set.
u64 g_largestAllocation = 0;
bool RecordAllocation(u64 bytes)
{
    g_largestAllocation = std::max(g_largestAllocation, bytes);
    return true;
}

TEST(PngCrafted, EveryFailingFileFailsInBothModesWhereTheHeaderIsBad)
{
    const std::vector<std::string> names = CraftedNames();
    ASSERT_GE(names.size(), 40u);
    for (const std::string& name : names) {
        if (StartsWith(name, "ok_") || StartsWith(name, "twin_") || StartsWith(name, "info_")) {
            continue;
        }
        SCOPED_TRACE(name);
        cPictPNG picture;
        EXPECT_FALSE(pngtest::DecodeBytes(pngtest::ReadFileBytes(Crafted(name)), picture));
    }
    // The header checks fail ReadInfo too.
    for (const char* name : {"ihdr_short.png", "ihdr_width_above_2_31.png", "ihdr_interlace_2.png",
                             "ihdr_grey_depth_3.png", "idat_before_ihdr.png",
                             "chunk_before_ihdr.png"}) {
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(Crafted(name));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        EXPECT_FALSE(ProbePNG(&stream, nullptr));
    }
}

TEST(PngCrafted, TolerableOddFilesDecodeLikeTheirTwins)
{
    const std::vector<u32> twin = Decode32(Crafted("twin_rgb8.png"));
    ASSERT_EQ(twin.size(), 48u);
    for (const char* name : {"ok_one_byte_idats.png", "ok_zero_length_idat.png",
                             "ok_unknown_chunk_good_crc.png", "ok_interlace_255.png",
                             "ok_extra_zlib_data.png", "ok_trailing_bytes_after_stream.png",
                             "ok_idat_after_the_last_row.png",
                             "ok_stored_deflate.png"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Decode32(Crafted(name)), twin);
    }
    const std::vector<u32> sub = Decode32(Crafted("twin_sub_first_row.png"));
    ASSERT_EQ(sub.size(), 8u);
    EXPECT_EQ(Decode32(Crafted("ok_paeth_first_row.png")), sub);
}

// PLTE bytes 0..11 are entries (0,1,2), (3,4,5), (6,7,8), (9,10,11); the row uses each once.
TEST(PngCrafted, PaletteTransparencyCoversOnlyItsEntries)
{
    EXPECT_EQ(Decode32(Crafted("ok_palette_empty_trns.png")),
              (std::vector<u32>{0xFF000102, 0xFF030405, 0xFF060708, 0xFF090A0B}));
    EXPECT_EQ(Decode32(Crafted("ok_palette_short_trns.png")),
              (std::vector<u32>{0x10000102, 0x20030405, 0xFF060708, 0xFF090A0B}));
}

// A hook that claims a row leaves it as the cleared buffer had it.
class cHookedPng : public cPictPNG
{
public:
    bool ConvertRowHook32(u32* row, i32 width) override
    {
        ++m_calls;
        return row == Pixels32().GetData(); // the bottom row
    }
    i32 m_calls = 0;
};

TEST(PngCrafted, RowHooksAreAskedBeforeEachRow)
{
    cHookedPng picture;
    ASSERT_TRUE(pngtest::DecodeBytes(pngtest::ReadFileBytes(Crafted("twin_rgb8.png")), picture));
    EXPECT_EQ(picture.m_calls, 6);
    const std::vector<u32> plain = Decode32(Crafted("twin_rgb8.png"));
    for (i32 i = 0; i < 48; ++i) {
        EXPECT_EQ(picture.Pixels32().GetData()[i], i < 8 ? 0u : plain[size_t(i)]) << i;
    }
}

TEST(PngCrafted, ReadInfoAndLoadStartFromTheBeginning)
{
    const std::vector<u8> bytes = pngtest::ReadFileBytes(Crafted("twin_rgb8.png"));
    cBufWrapperIO stream(bytes.data(), bytes.size());
    ASSERT_TRUE(stream.Seek(bytes.size()));
    sPictInfo info;
    cPictPNG picture;
    ASSERT_TRUE(picture.ReadInfo(&stream, &info));
    EXPECT_EQ(info.height, 6);
    ASSERT_TRUE(stream.Seek(17));
    EXPECT_TRUE(picture.Load(&stream));
    // ParseStream itself reads on from where the stream is.
    ASSERT_TRUE(stream.Seek(1));
    EXPECT_FALSE(picture.ParseStream(&stream));
}

// The rows after a second palette use it; the first one is gone (a converter still reading
// it would read freed memory).
TEST(PngCrafted, PaletteBetweenImageDataChunksReplacesTheFirst)
{
    const std::vector<u32> pixels = Decode32(Crafted("ok_plte_between_idats.png"));
    ASSERT_EQ(pixels.size(), 256u);
    // The top row (last in the buffer) may have been converted with either palette; the
    // bottom row only with the second: entries (100,101,102) .. (109,110,111).
    EXPECT_EQ(pixels[0], 0xFF646566u);
    EXPECT_EQ(pixels[3], 0xFF6D6E6Fu);
}

TEST(PngCrafted, FilterTypeAboveFourLeavesTheRowAsItIs)
{
    // Both files carry the same row bytes; the twin marks them unfiltered (type 0).
    const std::vector<u8> bytes = pngtest::ReadFileBytes(Crafted("ok_filter_type_7.png"));
    cPictPNG picture;
    ASSERT_TRUE(pngtest::DecodeBytes(bytes, picture));
    pngtest::sPam reference;
    QEL_REQUIRE(qeltest::HaveTool("pngtopam"), "pngtopam (netpbm)");
    ASSERT_TRUE(pngtest::PngToPamDecode(Crafted("twin_rgb8.png"), reference));
    EXPECT_TRUE(pngtest::MatchesReference(picture, reference));
}

TEST(PngCrafted, HeaderOnlyFilesGiveTheirSizeButDoNotLoad)
{
    struct sCase
    {
        const char* name;
        i32 width;
        i32 height;
    };
    for (const sCase& item : {sCase{"info_ihdr_then_garbage.png", 8, 6},
                              sCase{"info_ihdr_65535x65535.png", 65535, 65535},
                              sCase{"info_ihdr_2147483647x1.png", 2147483647, 1},
                              sCase{"info_filter_method_1.png", 8, 6}}) {
        SCOPED_TRACE(item.name);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(Crafted(item.name));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        sPictInfo info;
        ASSERT_TRUE(ProbePNG(&stream, &info));
        EXPECT_EQ(info.width, item.width);
        EXPECT_EQ(info.height, item.height);
        g_largestAllocation = 0;
        SetAllocationHook(RecordAllocation);
        cPictPNG picture;
        const bool loaded = pngtest::DecodeBytes(bytes, picture);
        SetAllocationHook(nullptr);
        EXPECT_FALSE(loaded);
        // Refused before any pixel or row buffer of the claimed size.
        EXPECT_LT(g_largestAllocation, u64(1) << 20);
    }
}

TEST(PngCrafted, ReadInfoAfterLoadDiscardsThePixels)
{
    const std::vector<u8> bytes = pngtest::ReadFileBytes(Crafted("twin_rgb8.png"));
    cPictPNG picture;
    ASSERT_TRUE(pngtest::DecodeBytes(bytes, picture));
    ASSERT_TRUE(picture.HasPixels());
    cBufWrapperIO stream(bytes.data(), bytes.size());
    sPictInfo info;
    ASSERT_TRUE(picture.ReadInfo(&stream, &info));
    EXPECT_EQ(info.width, 8);
    EXPECT_FALSE(picture.HasPixels());
    EXPECT_EQ(picture.Pixels32().GetData(), nullptr);
    // And the same object decodes again.
    ASSERT_TRUE(pngtest::DecodeBytes(bytes, picture));
    EXPECT_TRUE(picture.HasPixels());
}

// Every prefix of a valid file at 1/32 steps (and every prefix of a small one) fails
// cleanly, without touching memory it does not own.
TEST(PngCrafted, TruncatedFilesFail)
{
    for (const char* path : {"png/crafted/twin_rgb8.png", "png/corpus/t6_d16_33x17_adam7.png",
                             "png/corpus/t3_d04_33x17_plain.png"}) {
        SCOPED_TRACE(path);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(qeltest::LocalDataPath(path));
        ASSERT_FALSE(bytes.empty());
        for (size_t cut = 0; cut < bytes.size(); cut += std::max<size_t>(1, bytes.size() / 64)) {
            // Copied so that a read past the cut is a heap overflow ASan sees.
            std::vector<u8> prefix(bytes.begin(), bytes.begin() + i64(cut));
            cPictPNG picture;
            EXPECT_FALSE(pngtest::DecodeBytes(prefix, picture)) << "cut at " << cut;
        }
    }
}

TEST(PngCrafted, NullAndClosedStreamsFail)
{
    cPictPNG picture;
    EXPECT_FALSE(picture.Load(nullptr));
    EXPECT_FALSE(picture.ReadInfo(nullptr, nullptr));
    EXPECT_FALSE(picture.ParseStream(nullptr));
    cFileIOTarget closed; // the interface's defaults: not open
    EXPECT_FALSE(picture.Load(&closed));
}

} // namespace
