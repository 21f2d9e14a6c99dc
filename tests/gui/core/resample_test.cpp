// Area-averaging resampling against netpbm's pamscale (exact pixel mixing) on the
// progress bar's gradient column; references made by tools/testdata/make_resample_refs.py.
#include "gui/core/resample.h"
#include "platform/drawtesttools.h"
#include "support/testsupport.h"

#include <cstdlib>
#include <vector>

namespace {

std::vector<u32> ReadColumn(const std::string& name)
{
    const drawtest::sRgbImage image = drawtest::ReadPpm(drawtest::ReadFileBytes(qeltest::LocalDataPath("resample/" + name)));
    return image.width == 1 ? image.pixels : std::vector<u32>{};
}

TEST(ResamplePixelRows, MatchesPamscaleUpAndDown)
{
    const std::vector<u32> column = ReadColumn("col.ppm");
    ASSERT_EQ(column.size(), 20u);
    for (const int height : {4, 16, 18, 30, 64}) {
        const std::vector<u32> reference = ReadColumn("col_" + std::to_string(height) + ".ppm");
        ASSERT_EQ(reference.size(), size_t(height));
        std::vector<u32> ours(height);
        ASSERT_TRUE(ResamplePixelRows(column.data(), 20, ours.data(), height));
        for (int i = 0; i < height; ++i) {
            for (int shift = 0; shift < 24; shift += 8) {
                const int difference = int((ours[i] >> shift) & 0xFF) - int((reference[i] >> shift) & 0xFF);
                EXPECT_LE(std::abs(difference), 1) << "height " << height << " row " << i;
            }
            EXPECT_EQ(ours[i] >> 24, 0u); // the column has alpha 0, and so has the mix
        }
    }
}

TEST(ResamplePixelRows, AveragesAlphaLikeTheColours)
{
    // Alpha mixes by the same weights: with alpha = red everywhere, it stays equal.
    const u32 source[5] = {0x10100000, 0x80800000, 0xFFFF0000, 0x00000000, 0x40400000};
    for (const int count : {1, 2, 3, 7, 11}) {
        std::vector<u32> out(count);
        ASSERT_TRUE(ResamplePixelRows(source, 5, out.data(), count));
        for (const u32 pixel : out) {
            EXPECT_EQ(pixel >> 24, (pixel >> 16) & 0xFF) << count;
        }
    }
}

} // namespace
