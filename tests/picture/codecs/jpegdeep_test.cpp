// 12-bit and lossless JPEG against dcmtk: samples made by dcmcjpeg, references from the
// source (lossless) or dcmdjpeg (lossy); see tools/testdata/make_jpeg_deep.py.
#include "jpegtestdecoder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<u8> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectMatchesReference(const std::string& name)
{
    SCOPED_TRACE(name);
    std::vector<u8> file = ReadWholeFile(qeltest::LocalDataPath("jpeg/" + name + ".jpg"));
    std::vector<u8> reference = ReadWholeFile(qeltest::LocalDataPath("jpeg/" + name + ".ref"));
    ASSERT_GE(reference.size(), 8u);
    const u32 width = reference[0] | reference[1] << 8 | reference[2] << 16 | u32(reference[3]) << 24;
    const u32 height = reference[4] | reference[5] << 8 | reference[6] << 16 | u32(reference[7]) << 24;
    ASSERT_EQ(reference.size(), 8 + size_t(width) * height * 2);

    cTestJpegDecoder decoder;
    ASSERT_TRUE(decoder.Decode(file)) << decoder.m_error;
    ASSERT_EQ(u32(decoder.m_width), width);
    ASSERT_EQ(u32(decoder.m_height), height);
    ASSERT_GT(decoder.m_precision, 8);
    const u32 maximum = (1u << decoder.m_precision) - 1;
    int mismatches = 0;
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        const u32 sample = reference[8 + 2 * i] | reference[9 + 2 * i] << 8;
        const u64 lane = maximum == 65535 ? sample : (u64(sample) * 65535 + maximum / 2) / maximum;
        const u64 expected = (u64(0xFFFF) << 48) | (lane << 32) | (lane << 16) | lane;
        mismatches += decoder.m_deepPixels[i] != expected;
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace

TEST(JpegDeep, TwelveBitLossyMatchesDcmtk)
{
    for (const char* name : {"ext12", "prog12", "specsel12"}) {
        ExpectMatchesReference(name);
    }
}

TEST(JpegDeep, LosslessReproducesTheSource)
{
    for (const char* name : {"lossless_p1", "lossless_p7", "lossless_pt2"}) {
        ExpectMatchesReference(name);
    }
}

TEST(JpegDeep, CutLosslessAndTwelveBitFilesFail)
{
    for (const char* name : {"lossless_p7", "prog12"}) {
        std::vector<u8> whole = ReadWholeFile(qeltest::LocalDataPath(std::string("jpeg/") + name + ".jpg"));
        for (int part = 0; part < 32; ++part) {
            std::vector<u8> cut(whole.begin(), whole.begin() + long(whole.size() * part / 32));
            cTestJpegDecoder decoder;
            EXPECT_FALSE(decoder.Decode(cut)) << name << " cut at " << part << "/32";
        }
    }
}
