// PictResample and ResizeInto: the area averager against ImageMagick, clipping at the
// picture's edges, memory per output sample, the deep mapping, and the 1-D resize rule on
// worked examples.
#include "picture/core/resample.h"
#include "picture/picturesupport.h"

#include <numeric>
#include <span>

namespace {

using namespace picttest;


// An exactly sized picture (so that a read past it is a heap overflow) of pseudo-random
// opaque colour, or of one value.
void Fill(cPictBase& picture, i32 w, i32 h, u32 seed, bool constant = false)
{
    ASSERT_TRUE(picture.AllocPixels32(w, h));
    for (i64 i = 0; i < i64(w) * h; ++i) {
        seed = constant ? seed : seed * 1103515245 + 12345;
        picture.Pixels32().GetData()[i] = constant ? seed : 0xFF000000 | (seed >> 8 & 0xFFFFFF);
    }
}

// Fit mode by integer factors against ImageMagick's -scale, whose result for whole blocks
// is the truncated block mean: exact for factors 2 and 4 (means of powers of two are exact
// in doubles), within 1 for 3 and 5 (two passes of inexact means). The result is centred
// on the background.
TEST(PictResample, FitMatchesImageMagickScaleOnWholeBlocks)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    const i32 kCases[][6] = {{160, 120, 80, 80, 2, 0}, {160, 120, 40, 40, 4, 0},
                             {150, 120, 50, 50, 3, 1}, {150, 120, 30, 30, 5, 1}};
    for (const auto& [w, h, tw, th, factor, tolerance] : kCases) {
        SCOPED_TRACE(factor);
        cPictDummy picture;
        Fill(picture, w, h, u32(factor));
        const i32 sw = w / factor;
        const i32 sh = h / factor;
        const std::vector<u8> expected = ImageMagickRgb(
            picture, "-scale " + std::to_string(sw) + "x" + std::to_string(sh) + "!");
        ASSERT_EQ(expected.size(), size_t(sw) * sh * 3);
        sTargetBuffer buffer(tw, th);
        ASSERT_TRUE(PictResample(&buffer.target, &picture));
        const i32 left = (tw - sw) / 2;
        const i32 bottom = (th - sh) / 2;
        i32 worst = 0;
        for (i32 y = 0; y < sh; ++y) {
            for (i32 x = 0; x < sw; ++x) {
                const u32 p = buffer.At(left + x, bottom + sh - 1 - y);
                ASSERT_EQ(p >> 24, 0xFFu);
                for (i32 c = 0; c < 3; ++c) {
                    const i32 want = expected[(size_t(y) * sw + x) * 3 + c];
                    worst = std::max(worst, std::abs(i32(p >> (16 - 8 * c) & 0xFF) - want));
                }
            }
        }
        EXPECT_LE(worst, tolerance);
        EXPECT_EQ(buffer.At(0, 0), kTargetBackground);
    }
}

// A fit factor rounded for one axis can reach past the other: 1000 x 999 into 100 x 100
// reduces both axes by 10, and the last row of cells covers source rows 990..999 of
// 0..998. The footprint is clipped and divided by what it covers.
TEST(PictResample, FootprintsPastThePictureAreClipped)
{
    cPictDummy picture;
    Fill(picture, 1000, 999, 0xFF336699, true);
    sTargetBuffer buffer(100, 100);
    ASSERT_TRUE(PictResample(&buffer.target, &picture));
    EXPECT_EQ(buffer.pixels, std::vector<u32>(100 * 100, 0xFF336699u));

    // A zoom pan rounded to the right: 1005 wide at zoom 0.1 is 101 scaled columns, 51 more
    // than the 50 shown, so the pan clamps to trunc(51 / 0.1 + 0.5) = 510 and 500 source
    // columns from there would read to 1009.
    sTargetBuffer zoomed(50, 20);
    zoomed.Zoom(0.1, 100000, 0);
    cPictDummy wide;
    Fill(wide, 1005, 100, 0xFF808080, true);
    ASSERT_TRUE(PictResample(&zoomed.target, &wide));
    EXPECT_EQ(zoomed.target.panX, 510);
    for (i32 x = 0; x < 50; ++x) {
        ASSERT_EQ(zoomed.At(x, 10), 0xFF808080u) << x;
    }
}

TEST(PictResample, DeepPicturesMapOrAverageOverTwoHundredFiftySix)
{
    // Small enough to copy centred: with the picture's mapping, (v - 256) >> 8 per channel,
    // negative sums clamped to 0.
    cPictDummy deep;
    ASSERT_TRUE(deep.AllocClear64(2, 1));
    deep.Pixels64().GetData()[0] = 0xFFFF'1234'0100'00FF;
    deep.Pixels64().GetData()[1] = 0xFFFF'0000'0000'0000;
    deep.SetDeepMapping(256.0, -256);
    sTargetBuffer copied(4, 3);
    ASSERT_TRUE(PictResample(&copied.target, &deep));
    EXPECT_EQ(std::vector<u32>(copied.pixels.begin() + 4, copied.pixels.begin() + 8),
              (std::vector<u32>{kTargetBackground, 0xFE110000u, 0xFE000000u, kTargetBackground}));
    EXPECT_EQ(copied.At(1, 0), kTargetBackground);

    // 4 x h into 2 x 2: factor 2, one destination row; the mapping does not apply. Blue:
    // (0x80 + 0x1080) / 2 / 256 = 8.5 and (0x2080 + 0x3080) / 2 / 256 = 40.5. Over an
    // unchanged height (h = 1) the means are rounded, else truncated.
    for (const i32 h : {1, 2}) {
        ASSERT_TRUE(deep.AllocClear64(4, h));
        for (i32 i = 0; i < 4 * h; ++i) {
            deep.Pixels64().GetData()[i] = 0xFFFF'0000'0000'0000 | u64(i % 4 * 0x1000 + 0x80);
        }
        deep.SetDeepMapping(1024.0, 5000);
        sTargetBuffer buffer(2, 2);
        ASSERT_TRUE(PictResample(&buffer.target, &deep));
        EXPECT_EQ(buffer.pixels, (std::vector<u32>{0xFF000000u | (h == 1 ? 9 : 8),
                                                   0xFF000000u | (h == 1 ? 41 : 40), kTargetBackground,
                                                   kTargetBackground}))
            << h;
    }
}

// ---- ResizeInto ----

// Worked by hand from the rule, on the blue channel:
// enlarging 2 -> 4 takes p = 0, 0.5, 1, 1.5: src[0] (k = 0), src[0] (f = 0.5),
// src[1]*0.5 + src[0]*0.5, src[1] (f = 0.5); columns start from buffer row 0 (the bottom);
// reducing 3 -> 2 (step 1.5): [0, 1.5) = (s0 + 0.5 s1) / 1.5, [1.5, 3) = (0.5 s1 + s2) / 1.5,
// and a width-only change resamples each row alone.
TEST(ResizeInto, WorkedExamplesOfTheOneDimensionalRule)
{
    struct sCase
    {
        i32 w, h;
        std::vector<u32> blues;
        i32 toW, toH;
        std::vector<u32> expected;
    };
    const sCase kCases[] = {
        {2, 1, {10, 30}, 4, 1, {10, 10, 20, 30}},
        {1, 2, {10, 30}, 1, 4, {10, 10, 20, 30}},
        {3, 1, {0, 30, 90}, 2, 1, {10, 70}},
        {3, 2, {0, 30, 90, 90, 30, 0}, 2, 2, {10, 70, 70, 10}},
    };
    for (const sCase& c : kCases) {
        cPictDummy picture;
        ASSERT_TRUE(picture.AllocPixels32(c.w, c.h));
        for (size_t i = 0; i < c.blues.size(); ++i) {
            picture.Pixels32().GetData()[i] = 0xFF000000 | c.blues[i];
        }
        cPictDummy out;
        ASSERT_TRUE(picture.ResizeInto(c.toW, c.toH, &out));
        std::vector<u32> expected;
        for (u32 blue : c.expected) {
            expected.push_back(0xFF000000 | blue);
        }
        EXPECT_EQ(PixelsOf(out), expected) << c.w << "x" << c.h << " to " << c.toW << "x" << c.toH;
    }
    // Positions are sums of repeated additions: with 3 -> 10 the sum reaches 1.5 exactly at
    // the sixth sample (0.3 added five times), where f = 0.5 takes src[1] as it is.
    cPictDummy picture;
    ASSERT_TRUE(picture.AllocPixels32(3, 1));
    std::copy_n(std::begin({0xFF000000u, 0xFF000064u, 0xFF0000C8u}), 3, picture.Pixels32().GetData());
    cPictDummy wider;
    ASSERT_TRUE(picture.ResizeInto(10, 1, &wider));
    EXPECT_EQ(PixelsOf(wider)[5], 0xFF000064u);
}

} // namespace
