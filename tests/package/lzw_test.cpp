// The LZW decoder against libtiff's encoder (TIFF strips from tiffcp) and a test encoder's
// corner cases: KwKwK at every width boundary, a full table with deferred clear, codes
// past the table, missing end codes, the output limit.
#include "package/lzw.h"
#include "support/lzwcodes.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

using qeltest::PackLzwCodes;

std::vector<u8> Decode(const std::vector<u8>& input, i32 order, i32 initial, i32 early,
                       bool expectOk, i64 limit = INT32_MAX)
{
    sMemBlock block{static_cast<u8*>(std::malloc(input.size() + 1)), i32(input.size())};
    std::memcpy(block.m_data, input.data(), input.size());
    EXPECT_EQ(cLZWDecompress(order, initial, early).Decompress(block, block, limit), expectOk);
    std::vector<u8> out(block.m_data, block.m_data + block.m_count);
    std::free(block.m_data);
    return out;
}

TEST(LzwDecompress, TestEncoderCornerCases)
{
    using tBytes = std::vector<u8>;
    // Initial size 3: clear 4, end 5, first free 6.
    EXPECT_EQ(Decode(PackLzwCodes({4, 1, 6, 5}, 3), 0, 3, 0, true), (tBytes{1, 1, 1}));
    EXPECT_EQ(Decode(PackLzwCodes({4, 1, 7, 5}, 3), 0, 3, 0, false), (tBytes{1}));
    // No end code: the last byte's 7 padding bits read as two codes 0 before the input ends.
    EXPECT_EQ(Decode(PackLzwCodes({4, 1, 2}, 3), 0, 3, 0, false), (tBytes{1, 2, 0, 0}));
    EXPECT_EQ(Decode(PackLzwCodes({4, 1, 5, 2, 3}, 3), 0, 3, 0, true), (tBytes{1}));
    // Initial size 1: clear 1, end 2, one root code; the width reaches 3 by the end code.
    EXPECT_EQ(Decode(PackLzwCodes({1, 0, 0, 3, 2}, 1), 0, 1, 0, true), (tBytes{0, 0, 0, 0}));
    // Initial size 13, read as 9: KwKwK codes only, so every width boundary is
    // crossed by one; then the full table keeps decoding 12-bit codes until a clear.
    std::vector<i32> codes = {256, 7};
    size_t expected = 1;
    for (i32 code = 258; code < 4096; ++code) {
        codes.push_back(code);
        expected += size_t(code - 256);
    }
    codes.insert(codes.end(), {4095, 4095, 256, 7, 257});
    expected += 2 * 3839 + 1;
    const std::vector<u8> packed = PackLzwCodes(codes, 9);
    const std::vector<u8> out = Decode(packed, 0, 13, 0, true);
    EXPECT_EQ(out, std::vector<u8>(expected, 7));
    EXPECT_EQ(Decode(packed, 0, 9, 0, true, 1000).size(), 1000u);
}

// Piecewise: input one byte a piece and output 7 bytes a read still decode strings of up
// to 3,839 bytes (handed out over many reads) in full; a stream cut before its end code
// stops as broken.
i64 OneByte(void* context, const u8** data)
{
    auto& rest = *static_cast<std::pair<const u8*, const u8*>*>(context);
    *data = rest.first;
    return rest.first < rest.second ? (++rest.first, 1) : 0;
}

TEST(LzwDecompress, PiecewiseReads)
{
    std::vector<i32> codes = {256, 7};
    size_t expected = 1;
    for (i32 code = 258; code < 4096; ++code) {
        codes.push_back(code);
        expected += size_t(code - 256);
    }
    codes.push_back(257);
    const std::vector<u8> packed = PackLzwCodes(codes, 9);
    for (const size_t cut : {packed.size(), packed.size() / 2}) {
        std::pair<const u8*, const u8*> rest{packed.data(), packed.data() + cut};
        cLZWDecompress lzw(kLzwLeastSignificantFirst, 9, 0);
        lzw.Start(OneByte, &rest);
        std::vector<u8> out;
        u8 chunk[7];
        for (i64 got = 7; got == 7;) {
            got = lzw.Read(chunk, 7);
            out.insert(out.end(), chunk, chunk + got);
        }
        const bool whole = cut == packed.size();
        EXPECT_EQ(lzw.Stopped(), whole ? cLZWDecompress::eStop::EndCode
                                       : cLZWDecompress::eStop::Broken);
        EXPECT_EQ(out.size() == expected, whole);
        EXPECT_EQ(out, std::vector<u8>(out.size(), 7));
    }
}

// Strips that libtiff wrote (most significant bit first, early change) decode to the
// uncompressed pixels.
TEST(LzwDecompress, LibtiffStrips)
{
    QEL_REQUIRE(qeltest::HaveTool("tiffcp") && qeltest::HaveTool("convert"), "libtiff-tools");
    const qeltest::cScratchFolder folder;
    const std::string plain = folder.PathOf("plain.tif");
    const std::string lzw = folder.PathOf("lzw.tif");
    int status = 0;
    (void)qeltest::RunCommand("convert rose: -compress none " + plain +
                                  " && tiffcp -c lzw -r 1000 " + plain + " " + lzw,
                              &status);
    ASSERT_EQ(status, 0);
    // libtiff writes the one strip right after the 8-byte file header; the end code stops
    // the decode before the directory that follows.
    const std::string file = qeltest::RunCommand("cat " + lzw, &status);
    const std::string strip = file.substr(8);
    const std::string pixels = qeltest::RunCommand("convert rose: -depth 8 rgb:-", &status);
    const std::vector<u8> out = Decode({strip.begin(), strip.end()}, 1, 9, 1, true);
    EXPECT_EQ(std::string(out.begin(), out.end()), pixels);
}

} // namespace
