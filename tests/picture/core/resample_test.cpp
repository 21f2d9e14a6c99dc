// PictResample and ResizeInto: copies, the area averager against ImageMagick, clipping at
// the picture's edges, and the 1-D resize rule on worked examples.
#include "picture/core/resample.h"
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr u32 kBackground = 0xFF0A0B0C;

struct sTargetBuffer
{
    std::vector<u32> pixels;
    sPictTarget target;

    sTargetBuffer(i32 width, i32 height) : pixels(size_t(width) * height, 0x5A5A5A5A)
    {
        target.pixels = pixels.data();
        target.width = width;
        target.height = height;
        target.background = kBackground;
    }
    u32 At(i32 x, i32 y) const { return pixels[size_t(y) * target.width + x]; }
};

// An exactly sized picture (so that a read past it is a heap overflow) of pseudo-random
// opaque colour.
void FillRandom(cPictBase& picture, i32 w, i32 h, u32 seed)
{
    ASSERT_TRUE(picture.AllocPixels32(w, h));
    for (i64 i = 0; i < i64(w) * h; ++i) {
        seed = seed * 1103515245 + 12345;
        picture.Pixels32().GetData()[i] = 0xFF000000 | (seed >> 8 & 0xFFFFFF);
    }
}

void FillConstant(cPictBase& picture, i32 w, i32 h, u32 value)
{
    ASSERT_TRUE(picture.AllocPixels32(w, h));
    std::fill(picture.Pixels32().GetData(), picture.Pixels32().GetData() + i64(w) * h, value);
}

// ImageMagick's -scale of the picture to w x h, as top-down RGB bytes.
std::vector<u8> ImageMagickScale(cPictBase& picture, i32 w, i32 h)
{
    const i32 sw = picture.GetWidth();
    const i32 sh = picture.GetHeight();
    std::string ppm = "P6\n" + std::to_string(sw) + " " + std::to_string(sh) + "\n255\n";
    for (i32 y = sh - 1; y >= 0; --y) {
        for (i32 x = 0; x < sw; ++x) {
            const u32 p = picture.Pixels32().GetData()[i64(y) * sw + x];
            ppm.push_back(char(p >> 16 & 0xFF));
            ppm.push_back(char(p >> 8 & 0xFF));
            ppm.push_back(char(p & 0xFF));
        }
    }
    char path[] = "/tmp/scaleXXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0 || ::write(fd, ppm.data(), ppm.size()) != ssize_t(ppm.size())) {
        return {};
    }
    ::close(fd);
    std::vector<u8> out = pngtest::RunCommand(std::string("convert ppm:") + path + " -scale " +
                                              std::to_string(w) + "x" + std::to_string(h) +
                                              "! -depth 8 rgb:-");
    std::remove(path);
    return out;
}

// Fit mode by integer factors against ImageMagick's -scale, whose result for whole blocks
// is the truncated block mean: exact for factors 2 and 4 (means of powers of two are exact
// in doubles), within 1 for 3 and 5 (two passes of inexact means).
TEST(PictResample, FitMatchesImageMagickScaleOnWholeBlocks)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    struct sCase
    {
        i32 w, h, tw, th, factor, tolerance;
    };
    for (const sCase& c : {sCase{160, 120, 80, 80, 2, 0}, sCase{160, 120, 40, 40, 4, 0},
                           sCase{150, 120, 50, 50, 3, 1}, sCase{150, 120, 30, 30, 5, 1}}) {
        SCOPED_TRACE(c.factor);
        cPictDummy picture;
        FillRandom(picture, c.w, c.h, u32(c.factor));
        const i32 sw = c.w / c.factor;
        const i32 sh = c.h / c.factor;
        const std::vector<u8> expected = ImageMagickScale(picture, sw, sh);
        ASSERT_EQ(expected.size(), size_t(sw) * sh * 3);
        sTargetBuffer buffer(c.tw, c.th);
        ASSERT_TRUE(PictResample(&buffer.target, &picture));
        const i32 left = (c.tw - sw) / 2;
        const i32 bottom = (c.th - sh) / 2;
        i32 worst = 0;
        for (i32 y = 0; y < sh; ++y) {
            for (i32 x = 0; x < sw; ++x) {
                const u32 p = buffer.At(left + x, bottom + sh - 1 - y);
                ASSERT_EQ(p >> 24, 0xFFu);
                const u8* want = expected.data() + (size_t(y) * sw + x) * 3;
                for (i32 c3 = 0; c3 < 3; ++c3) {
                    const i32 got = i32(p >> (16 - 8 * c3) & 0xFF);
                    worst = std::max(worst, std::abs(got - i32(want[c3])));
                }
            }
        }
        EXPECT_LE(worst, c.tolerance);
        EXPECT_EQ(buffer.At(0, 0), kBackground);
    }
}

// A fit factor rounded for one axis can reach past the other: 1000 x 999 into 100 x 100
// reduces both axes by 10, and the last row of cells covers source rows 990..999 of
// 0..998. The footprint is clipped and divided by what it covers.
TEST(PictResample, FootprintsPastThePictureAreClipped)
{
    cPictDummy picture;
    FillConstant(picture, 1000, 999, 0xFF336699);
    sTargetBuffer buffer(100, 100);
    ASSERT_TRUE(PictResample(&buffer.target, &picture));
    for (u32 p : buffer.pixels) {
        ASSERT_EQ(p, 0xFF336699u);
    }

    // A zoom pan rounded to the right: 1005 wide at zoom 0.1 is 101 scaled columns, 51 more
    // than the 50 shown, so the pan clamps to trunc(51 / 0.1 + 0.5) = 510 and 500 source
    // columns from there would read to 1009.
    sTargetBuffer zoomed(50, 20);
    zoomed.target.mode = kPictTargetZoom;
    zoomed.target.zoom = 0.1;
    zoomed.target.panX = 100000;
    cPictDummy wide;
    FillConstant(wide, 1005, 100, 0xFF808080);
    ASSERT_TRUE(PictResample(&zoomed.target, &wide));
    EXPECT_EQ(zoomed.target.panX, 510);
    for (i32 x = 0; x < 50; ++x) {
        ASSERT_EQ(zoomed.At(x, 10), 0xFF808080u) << x;
    }
}

u64 g_largestAllocation = 0;
bool RecordAllocation(u64 bytes)
{
    g_largestAllocation = std::max(g_largestAllocation, bytes);
    return true;
}

// Reducing a long line takes memory per output sample, not per source sample.
TEST(PictResample, LongLinesNeedNoTablePerSourceSample)
{
    const i32 length = 1 << 22;
    cPictDummy picture;
    FillConstant(picture, 1, length, 0xFF123456);
    sTargetBuffer buffer(3, 3);
    g_largestAllocation = 0;
    SetAllocationHook(RecordAllocation);
    const bool resampled = PictResample(&buffer.target, &picture);
    cPictDummy resized;
    const bool resizedOk = picture.ResizeInto(1, 3, &resized);
    SetAllocationHook(nullptr);
    ASSERT_TRUE(resampled);
    ASSERT_TRUE(resizedOk);
    EXPECT_LT(g_largestAllocation, u64(1) << 16);
    EXPECT_EQ(buffer.At(1, 1), 0xFF123456u);
    EXPECT_EQ(resized.Pixels32().GetData()[2], 0xFF123456u);
}

TEST(PictResample, ConstantPicturesStayConstant)
{
    for (const i32 w : {7, 13, 64, 301}) {
        for (const i32 h : {5, 29, 200}) {
            cPictDummy picture;
            FillConstant(picture, w, h, 0x80C0FFEE);
            sTargetBuffer buffer(6, 6);
            ASSERT_TRUE(PictResample(&buffer.target, &picture));
            const f64 s = std::min(6.0 / w, 6.0 / h);
            const i32 sw = w <= 6 && h <= 6 ? w : std::max(1, i32(w * s + 0.5));
            const i32 sh = w <= 6 && h <= 6 ? h : std::max(1, i32(h * s + 0.5));
            for (i32 y = 0; y < 6; ++y) {
                for (i32 x = 0; x < 6; ++x) {
                    const bool inside = x >= (6 - sw) / 2 && x < (6 - sw) / 2 + sw &&
                                        y >= (6 - sh) / 2 && y < (6 - sh) / 2 + sh;
                    ASSERT_EQ(buffer.At(x, y), inside ? 0x80C0FFEEu : kBackground)
                        << w << "x" << h << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(PictResample, SmallPicturesAreCopiedCentredWithTheDeepMapping)
{
    cPictDummy deep;
    ASSERT_TRUE(deep.AllocClear64(2, 1));
    deep.Pixels64().GetData()[0] = 0xFFFF'1234'0100'00FF;
    deep.Pixels64().GetData()[1] = 0xFFFF'0000'0000'0000;
    deep.SetDeepMapping(256.0, -256);
    sTargetBuffer buffer(4, 3);
    ASSERT_TRUE(PictResample(&buffer.target, &deep));
    // (v - 256) >> 8 per channel, negative sums clamped to 0.
    EXPECT_EQ(buffer.At(1, 1), 0xFE110000u);
    EXPECT_EQ(buffer.At(2, 1), 0xFE000000u);
    EXPECT_EQ(buffer.At(0, 1), kBackground);
    EXPECT_EQ(buffer.At(3, 1), kBackground);
    EXPECT_EQ(buffer.At(1, 0), kBackground);
}

TEST(PictResample, AreaAveragerReadsDeepChannelsOverTwoHundredFiftySix)
{
    // 4 x h into 2 x 2: factor 2, one destination row. The divisor and offset do not apply.
    for (const i32 h : {1, 2}) {
        SCOPED_TRACE(h);
        cPictDummy deep;
        ASSERT_TRUE(deep.AllocClear64(4, h));
        for (i32 i = 0; i < 4 * h; ++i) {
            deep.Pixels64().GetData()[i] = 0xFFFF'0000'0000'0000 | u64(i % 4 * 0x1000 + 0x80);
        }
        deep.SetDeepMapping(1024.0, 5000);
        sTargetBuffer buffer(2, 2);
        ASSERT_TRUE(PictResample(&buffer.target, &deep));
        // Blue: (0x80 + 0x1080) / 2 / 256 = 8.5 and (0x2080 + 0x3080) / 2 / 256 = 40.5. Over
        // an unchanged height (h = 1) the means are rounded, else truncated.
        EXPECT_EQ(buffer.At(0, 0), 0xFF000000u | (h == 1 ? 9 : 8));
        EXPECT_EQ(buffer.At(1, 0), 0xFF000000u | (h == 1 ? 41 : 40));
        EXPECT_EQ(buffer.At(0, 1), kBackground);
    }
}

TEST(PictResample, ZoomCopiesAtOneAndRefusesBadArguments)
{
    cPictDummy picture;
    ASSERT_TRUE(picture.AllocPixels32(20, 10));
    for (i32 i = 0; i < 200; ++i) {
        picture.Pixels32().GetData()[i] = u32(i);
    }
    sTargetBuffer buffer(5, 4);
    buffer.target.mode = kPictTargetZoom;
    buffer.target.zoom = 3.0;
    buffer.target.panX = 7;
    buffer.target.panY = 100;
    ASSERT_TRUE(PictResample(&buffer.target, &picture));
    EXPECT_EQ(buffer.target.zoom, 1.0);
    EXPECT_EQ(buffer.target.panY, 6); // clamped to the excess 10 - 4
    EXPECT_EQ(buffer.At(0, 0), u32(6 * 20 + 7));
    EXPECT_EQ(buffer.At(4, 3), u32(9 * 20 + 11));

    buffer.target.zoom = 0.0;
    EXPECT_FALSE(PictResample(&buffer.target, &picture));
    buffer.target.zoom = 1.0;
    buffer.target.mode = 2;
    EXPECT_FALSE(PictResample(&buffer.target, &picture));
    buffer.target.mode = kPictTargetFit;
    cPictDummy empty;
    EXPECT_FALSE(PictResample(&buffer.target, &empty));
    buffer.target.width = 0;
    EXPECT_FALSE(PictResample(&buffer.target, &picture));
}

// ---- ResizeInto ----

std::vector<u32> Blues(cPictBase& picture)
{
    std::vector<u32> values;
    for (i32 i = 0; i < picture.Pixels32().GetCount(); ++i) {
        values.push_back(picture.Pixels32().GetData()[i] & 0xFF);
    }
    return values;
}

void SetBlues(cPictBase& picture, i32 w, i32 h, const std::vector<u32>& values)
{
    ASSERT_TRUE(picture.AllocPixels32(w, h));
    for (size_t i = 0; i < values.size(); ++i) {
        picture.Pixels32().GetData()[i] = 0xFF000000 | values[i];
    }
}

// Worked by hand from the rule: enlarging 2 -> 4 takes p = 0, 0.5, 1, 1.5: src[0] (k = 0),
// src[0] (f = 0.5), src[1]*0.5 + src[0]*0.5, src[1] (f = 0.5).
// Reducing 3 -> 2 (step 1.5): [0, 1.5) = (s0 + 0.5 s1) / 1.5, [1.5, 3) = (0.5 s1 + s2) / 1.5.
TEST(ResizeInto, RowsFollowTheOneDimensionalRule)
{
    cPictDummy picture;
    SetBlues(picture, 2, 1, {10, 30});
    cPictDummy wider;
    ASSERT_TRUE(picture.ResizeInto(4, 1, &wider));
    EXPECT_EQ(Blues(wider), (std::vector<u32>{10, 10, 20, 30}));

    SetBlues(picture, 3, 1, {0, 30, 90});
    ASSERT_TRUE(picture.ResizeInto(2, 1, &wider));
    EXPECT_EQ(Blues(wider), (std::vector<u32>{10, 70}));
    EXPECT_EQ(wider.GetWidth(), 2);
    EXPECT_EQ(wider.Pixels32().GetData()[0] >> 24, 0xFFu);
}

// The columns are resampled from buffer row 0, the bottom row of the image.
TEST(ResizeInto, ColumnsStartFromTheBottomRow)
{
    cPictDummy picture;
    SetBlues(picture, 1, 2, {10, 30}); // buffer rows: bottom 10, top 30
    cPictDummy taller;
    ASSERT_TRUE(picture.ResizeInto(1, 4, &taller));
    EXPECT_EQ(Blues(taller), (std::vector<u32>{10, 10, 20, 30}));
}

// Positions are sums of repeated additions: with 3 -> 10 the sum reaches 1.5 exactly at
// the sixth sample (0.3 added five times), where f = 0.5 takes src[1] as it is.
TEST(ResizeInto, EnlargingUsesTheRunningPosition)
{
    cPictDummy picture;
    SetBlues(picture, 3, 1, {0, 100, 200});
    cPictDummy wider;
    ASSERT_TRUE(picture.ResizeInto(10, 1, &wider));
    EXPECT_EQ(Blues(wider)[5], 100u);
}

TEST(ResizeInto, WidthOnlyChangesResampleEachRowAlone)
{
    cPictDummy picture;
    SetBlues(picture, 3, 2, {0, 30, 90, 90, 30, 0});
    cPictDummy narrower;
    ASSERT_TRUE(picture.ResizeInto(2, 2, &narrower));
    EXPECT_EQ(Blues(narrower), (std::vector<u32>{10, 70, 70, 10}));
}

TEST(ResizeInto, SameSizeCopiesAndBadSizesFail)
{
    cPictDummy picture;
    FillRandom(picture, 5, 4, 9);
    cPictDummy copy;
    ASSERT_TRUE(picture.ResizeInto(5, 4, &copy));
    EXPECT_EQ(Blues(copy), Blues(picture));
    EXPECT_NE(copy.Pixels32().GetData(), picture.Pixels32().GetData());
    EXPECT_FALSE(picture.ResizeInto(0, 4, &copy));
    EXPECT_FALSE(picture.ResizeInto(5, -1, &copy));
    EXPECT_FALSE(picture.ResizeInto(5, 4, nullptr));
    cPictDummy empty;
    EXPECT_FALSE(empty.ResizeInto(5, 4, &copy));
}

TEST(ResizeInto, ConstantPicturesStayConstantInBothDirections)
{
    for (const i32 to : {1, 2, 3, 7, 10, 33}) {
        cPictDummy picture;
        FillConstant(picture, 7, 10, 0xC8649632);
        // Into itself.
        ASSERT_TRUE(picture.ResizeInto(to, 11 - to % 11, &picture));
        for (i32 i = 0; i < picture.Pixels32().GetCount(); ++i) {
            ASSERT_EQ(picture.Pixels32().GetData()[i], 0xC8649632u) << to;
        }
    }
    cPictDummy deep;
    ASSERT_TRUE(deep.AllocClear64(5, 3));
    std::fill(deep.Pixels64().GetData(), deep.Pixels64().GetData() + 15, 0xFFFF'1234'5678'9ABC);
    cPictDummy resized;
    ASSERT_TRUE(deep.ResizeInto(3, 8, &resized));
    ASSERT_EQ(resized.Pixels64().GetCount(), 24);
    EXPECT_EQ(resized.Pixels64().GetData()[23], 0xFFFF'1234'5678'9ABCu);
    EXPECT_EQ(resized.Pixels32().GetData(), nullptr);
}

} // namespace
