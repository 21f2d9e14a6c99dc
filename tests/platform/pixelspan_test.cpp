// The vector spans against the plain formulas with division, over every tail length.
#include "platform/pixelspan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

u32 Mix(u32 source, u32 destination, u32 alpha)
{
    u32 out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const u32 s = shift == 24 ? 255 : (source >> shift) & 0xFF;
        const u32 d = (destination >> shift) & 0xFF;
        out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

struct sRandom
{
    u32 state = 0x12345678;
    u32 Next() { return state = state * 1664525u + 1013904223u; }
};

TEST(PixelSpan, BlendsAgreeWithTheFormulaAtEveryLength)
{
    sRandom random;
    for (size_t count = 0; count < 23; ++count) {
        std::vector<u32> source(count), destination(count);
        std::vector<u8> coverage(count);
        for (size_t i = 0; i < count; ++i) {
            source[i] = random.Next();
            destination[i] = random.Next();
            coverage[i] = u8(random.Next() >> 24);
        }
        if (count > 2) { // the extremes of alpha and coverage
            source[0] |= 0xFF000000u;
            source[1] &= 0x00FFFFFFu;
            coverage[0] = 255;
            coverage[1] = 0;
        }
        std::vector<u32> blended = destination;
        BlendSpan(blended.data(), source.data(), count);
        const u32 text = random.Next();
        std::vector<u32> masked = destination;
        BlendMaskSpan(masked.data(), coverage.data(), count, text);
        for (size_t i = 0; i < count; ++i) {
            ASSERT_EQ(blended[i], Mix(source[i], destination[i], source[i] >> 24)) << count << " " << i;
            ASSERT_EQ(masked[i], Mix(text, destination[i], coverage[i])) << count << " " << i;
        }
    }
}

TEST(PixelSpan, FillsExactlyTheSpanAtAnyAlignment)
{
    std::vector<u32> row(40, 7);
    for (size_t start = 0; start < 5; ++start) {
        for (size_t count = 0; count < 30; ++count) {
            std::fill(row.begin(), row.end(), 7u);
            FillSpan(row.data() + start, count, 0xAABBCCDD);
            for (size_t i = 0; i < row.size(); ++i) {
                ASSERT_EQ(row[i], i >= start && i < start + count ? 0xAABBCCDDu : 7u) << start << " " << count;
            }
        }
    }
}

} // namespace
