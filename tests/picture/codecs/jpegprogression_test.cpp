// Scans that repeat work already done: a progressive scan whose coefficients were already
// coded at that bit position, or a sequential scan of a component that had its scan. Each
// would cost a pass over every block for nothing, and must not change the picture.
#include "jpegtestdecoder.h"

#include <gtest/gtest.h>

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
    std::vector<u8> table(18, 0); // Tc 0, Th 0; one code of length 1
    table[1] = 1;
    table[17] = dcSymbol;
    Segment(file, 0xC4, table);
    // A sequential frame also needs an AC table (Tc 1): one 1-bit code for EOB.
    table[0] = 0x10;
    table[17] = 0x00;
    Segment(file, 0xC4, table);
    return file;
}

// A scan of one component: Ss, Se, Ah/Al, then its entropy-coded bytes.
struct sScan
{
    u8 component, ss, se, ahAl;
    std::vector<u8> data;
};

void Scan(std::vector<u8>& file, const sScan& scan)
{
    Segment(file, 0xDA, {1, scan.component, 0x00, scan.ss, scan.se, scan.ahAl});
    file.insert(file.end(), scan.data.begin(), scan.data.end());
}

// An 8 x 8 file of the given frame and scans.
std::vector<u32> Decode(u8 frameMarker, const std::vector<sScan>& scans)
{
    std::vector<u8> file = Header(frameMarker, 8, 8, frameMarker == 0xC0 ? 3 : 1, 4);
    for (const sScan& scan : scans) {
        Scan(file, scan);
    }
    file.insert(file.end(), {0xFF, 0xD9});
    cTestJpegDecoder decoder;
    EXPECT_TRUE(decoder.Decode(file)) << decoder.m_error;
    return decoder.m_pixels;
}

// One 8x8 block: DC code '0', four bits of the difference, then 1-bits of padding.
// 0x7F: difference 1111 = 15; 0x47: difference 1000 = 8. In a sequential scan the AC EOB
// '0' follows: 0 1111 0 11 = 0x7B; 0 1000 0 11 = 0x43.
const sScan kDcFifteen{1, 0, 0, 0x00, {0x7F}};
const sScan kDcEight{1, 0, 0, 0x00, {0x47}};
const sScan kDcFifteenAl4{1, 0, 0, 0x04, {0x7F}};
const sScan kDcFifteenAl5{1, 0, 0, 0x05, {0x7F}};
// Refinement Ah 4 / Al 3 with bit 1: after Al 4 (15 << 4 = 240), DC 248, one grey level up.
const sScan kRefineAh4Al3{1, 0, 0, 0x43, {0x80}};
const std::vector<sScan> kThreeComponents = {
    {1, 0, 63, 0, {0x7B}}, {2, 0, 63, 0, {0x43}}, {3, 0, 63, 0, {0x7B}}};

// A repeated first DC scan, a refinement that skips a bit position (after Al 5, Ah 4 is
// out of order) and a sequential component scanned twice leave the picture of the scans
// before them. The differing pairs show the checks can see a change.
TEST(JpegProgression, RepeatedOrOutOfOrderScansLeaveThePicture)
{
    std::vector<sScan> sequentialTwice = kThreeComponents;
    sequentialTwice.push_back({1, 0, 63, 0, {0x43}});
    const std::vector<u32> once = Decode(0xC2, {kDcFifteen});
    ASSERT_EQ(once.size(), 64u);
    EXPECT_NE(Decode(0xC2, {kDcEight}), once);
    EXPECT_EQ(Decode(0xC2, {kDcFifteen, kDcEight}), once);
    EXPECT_NE(Decode(0xC2, {kDcFifteenAl4, kRefineAh4Al3}), Decode(0xC2, {kDcFifteenAl4}));
    EXPECT_EQ(Decode(0xC2, {kDcFifteenAl5, kRefineAh4Al3}), Decode(0xC2, {kDcFifteenAl5}));
    EXPECT_EQ(Decode(0xC0, sequentialTwice), Decode(0xC0, kThreeComponents));
}

} // namespace
