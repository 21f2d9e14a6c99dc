// Scans that repeat work already done: a progressive scan whose coefficients were already
// coded at that bit position, or a sequential scan of a component that had its scan. Each
// would cost a pass over every block for nothing; files made of thousands of them must
// neither change the picture nor take long.
#include "jpegtestdecoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

void Segment(std::vector<u8>& file, u8 marker, const std::vector<u8>& body)
{
    file.insert(file.end(), {0xFF, marker, u8((body.size() + 2) >> 8), u8(body.size() + 2)});
    file.insert(file.end(), body.begin(), body.end());
}

// SOI, DQT (all ones), a frame of `components` components with 1x1 sampling, and one DC
// table holding a single 1-bit code '0' for `dcSymbol` (the size of the DC difference).
std::vector<u8> Header(u8 frameMarker, int width, int height, int components, u8 dcSymbol)
{
    std::vector<u8> file = {0xFF, 0xD8};
    std::vector<u8> quant(65, 1);
    quant[0] = 0x00; // Pq 0, Tq 0
    Segment(file, 0xDB, quant);
    std::vector<u8> frame = {8, u8(height >> 8), u8(height), u8(width >> 8), u8(width),
                             u8(components)};
    for (int c = 1; c <= components; ++c) {
        frame.insert(frame.end(), {u8(c), 0x11, 0x00});
    }
    Segment(file, frameMarker, frame);
    std::vector<u8> table = {0x00, 1}; // Tc 0, Th 0; one code of length 1
    table.insert(table.end(), 15, 0);
    table.push_back(dcSymbol);
    Segment(file, 0xC4, table);
    // A sequential frame also needs an AC table: one 1-bit code for EOB.
    std::vector<u8> acTable = {0x10, 1};
    acTable.insert(acTable.end(), 15, 0);
    acTable.push_back(0x00);
    Segment(file, 0xC4, acTable);
    return file;
}

// A scan of one component: Ss, Se, Ah/Al, then its entropy-coded bytes.
void Scan(std::vector<u8>& file, int component, u8 ss, u8 se, u8 ahAl, const std::vector<u8>& data)
{
    Segment(file, 0xDA, {1, u8(component), 0x00, ss, se, ahAl});
    file.insert(file.end(), data.begin(), data.end());
}

void End(std::vector<u8>& file)
{
    file.insert(file.end(), {0xFF, 0xD9});
}

// One 8x8 block: DC code '0', four bits of the difference, then 1-bits of padding.
// 0x7F: difference 1111 = 15; 0x47: difference 1000 = 8.
constexpr u8 kDcFifteen = 0x7F;
constexpr u8 kDcEight = 0x47;

std::vector<u32> DecodeOrFail(const std::vector<u8>& file)
{
    cTestJpegDecoder decoder;
    EXPECT_TRUE(decoder.Decode(file)) << decoder.m_error;
    return decoder.m_pixels;
}

} // namespace

TEST(JpegProgression, RepeatedFirstDcScanLeavesThePictureOfTheFirst)
{
    std::vector<u8> once = Header(0xC2, 8, 8, 1, 4);
    Scan(once, 1, 0, 0, 0x00, {kDcFifteen});
    std::vector<u8> twice = once;
    End(once);
    Scan(twice, 1, 0, 0, 0x00, {kDcEight});
    End(twice);
    std::vector<u8> other = Header(0xC2, 8, 8, 1, 4);
    Scan(other, 1, 0, 0, 0x00, {kDcEight});
    End(other);

    const std::vector<u32> expected = DecodeOrFail(once);
    ASSERT_EQ(expected.size(), 64u);
    EXPECT_NE(expected, DecodeOrFail(other)); // the two differences give two pictures
    EXPECT_EQ(DecodeOrFail(twice), expected);
}

TEST(JpegProgression, RefinementMustFollowThePreviousBitPosition)
{
    // DC first at Al 4 (15 << 4 = 240), then the refinement Ah 4 / Al 3 with bit 1: DC
    // 248, one grey level up (a DC step of 8 is one level).
    std::vector<u8> refined = Header(0xC2, 8, 8, 1, 4);
    Scan(refined, 1, 0, 0, 0x04, {kDcFifteen});
    Scan(refined, 1, 0, 0, 0x43, {0x80});
    End(refined);
    std::vector<u8> unrefined = Header(0xC2, 8, 8, 1, 4);
    Scan(unrefined, 1, 0, 0, 0x04, {kDcFifteen});
    End(unrefined);
    EXPECT_NE(DecodeOrFail(refined), DecodeOrFail(unrefined)); // the refinement applies

    // After a first scan at Al 5, a refinement claiming Ah 4 skips a bit position: it is
    // out of order and leaves the picture of the first scan alone.
    std::vector<u8> skipping = Header(0xC2, 8, 8, 1, 4);
    Scan(skipping, 1, 0, 0, 0x05, {kDcFifteen});
    std::vector<u8> first = skipping;
    End(first);
    Scan(skipping, 1, 0, 0, 0x43, {0x80});
    End(skipping);
    EXPECT_EQ(DecodeOrFail(skipping), DecodeOrFail(first));
}

TEST(JpegProgression, SequentialComponentScannedTwiceKeepsItsFirstScan)
{
    // Three components in three scans (the image store), then component 1 again.
    auto build = [](bool repeat) {
        std::vector<u8> file = Header(0xC0, 8, 8, 3, 4);
        // DC '0' + 4 bits, AC EOB '0', padded: 0 1111 0 11 = 0x7B; 0 1000 0 11 = 0x43.
        Scan(file, 1, 0, 63, 0x00, {0x7B});
        Scan(file, 2, 0, 63, 0x00, {0x43});
        Scan(file, 3, 0, 63, 0x00, {0x7B});
        if (repeat) {
            Scan(file, 1, 0, 63, 0x00, {0x43});
        }
        End(file);
        return file;
    };
    EXPECT_EQ(DecodeOrFail(build(true)), DecodeOrFail(build(false)));
}

TEST(JpegProgression, ThousandsOfRepeatedScansDecodeQuickly)
{
    // 2048 x 2048 is 65536 blocks; 5000 repeated DC scans of one zero byte each would be
    // 330 million block decodes if every scan were walked.
    std::vector<u8> file = Header(0xC2, 2048, 2048, 1, 0);
    for (int i = 0; i < 5000; ++i) {
        Scan(file, 1, 0, 0, 0x00, {0x00});
    }
    End(file);
    cTestJpegDecoder decoder;
    decoder.m_skipBandsFromRow = 0; // time the scans, not the transforms
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(decoder.Decode(file)) << decoder.m_error;
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0);
}
