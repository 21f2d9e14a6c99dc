// 12-bit and lossless JPEG against dcmtk: samples made by dcmcjpeg, references from the
// source (lossless) or dcmdjpeg (lossy); see tools/testdata/make_jpeg_deep.py. Cut files
// fail.
#include "jpegtestdecoder.h"

namespace {

using picttest::ReadFileBytes;

std::vector<u8> Sample(const std::string& name)
{
    return ReadFileBytes(qeltest::LocalDataPath("jpeg/" + name));
}

TEST(JpegDeep, TwelveBitLossyAndLosslessMatchDcmtk)
{
    for (const char* name : {"ext12", "prog12", "specsel12", "lossless_p1", "lossless_p7",
                             "lossless_pt2"}) {
        SCOPED_TRACE(name);
        // The reference: width and height (32-bit little-endian), then 16-bit samples.
        const std::vector<u8> reference = Sample(std::string(name) + ".ref");
        ASSERT_GE(reference.size(), 8u);
        const auto u32At = [&](size_t at) {
            return reference[at] | reference[at + 1] << 8 | reference[at + 2] << 16 |
                   u32(reference[at + 3]) << 24;
        };
        const u32 width = u32At(0);
        const u32 height = u32At(4);
        ASSERT_EQ(reference.size(), 8 + size_t(width) * height * 2);
        cTestJpegDecoder decoder;
        ASSERT_TRUE(decoder.Decode(Sample(std::string(name) + ".jpg"))) << decoder.m_error;
        ASSERT_EQ(std::pair(u32(decoder.m_width), u32(decoder.m_height)), std::pair(width, height));
        ASSERT_GT(decoder.m_precision, 8);
        const u32 maximum = (1u << decoder.m_precision) - 1;
        std::vector<u64> expected;
        for (size_t i = 0; i < size_t(width) * height; ++i) {
            const u32 sample = reference[8 + 2 * i] | reference[9 + 2 * i] << 8;
            const u64 lane = maximum == 65535 ? sample : (u64(sample) * 65535 + maximum / 2) / maximum;
            expected.push_back(u64(0xFFFF) << 48 | lane << 32 | lane << 16 | lane);
        }
        EXPECT_TRUE(picttest::SamePixels(decoder.m_deepPixels, expected, i32(width)));
    }
    for (const char* name : {"lossless_p7.jpg", "prog12.jpg"}) {
        SCOPED_TRACE(name);
        picttest::ForEachCut(Sample(name), [](const std::vector<u8>& cut) {
            cTestJpegDecoder decoder;
            EXPECT_FALSE(decoder.Decode(cut));
        });
    }
}

} // namespace
