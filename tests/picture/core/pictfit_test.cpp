// The fitted size on worked examples: pictures are never enlarged, and a side that rounds
// to 0 either refuses the fit or, when the caller asks, becomes one pixel.
#include "picture/core/pictfit.h"

#include <gtest/gtest.h>

namespace {

struct sFitCase
{
    i32 width, height, maxW, maxH;
    bool fits;          // with thin sides refused
    i32 fittedW, fittedH;
    bool fitsOnePixel;  // with thin sides kept at one pixel
    i32 onePixelW, onePixelH;
};

// 1000 x 750 in 160: s = 0.16; 1000 x 3 in 100: s = 0.1, 0.3 rounds to 0; 3 x 1000 in 64:
// s = 0.064, 0.192 rounds to 0. Failures leave the outputs at -7.
const sFitCase kFitCases[] = {
    {1000, 750, 160, 160, true, 160, 120, true, 160, 120},
    {50, 40, 100, 100, true, 50, 40, true, 50, 40},
    {1, 1, 1, 1, true, 1, 1, true, 1, 1},
    {1000, 3, 100, 100, false, -7, -7, true, 100, 1},
    {3, 1000, 64, 64, false, -7, -7, true, 1, 64},
    {0, 10, 64, 64, false, -7, -7, false, -7, -7},
    {10, 10, 0, 64, false, -7, -7, false, -7, -7},
    {10, 10, 64, -1, false, -7, -7, false, -7, -7},
};

TEST(PictFitSize, WorkedExamples)
{
    for (const sFitCase& c : kFitCases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " in " +
                     std::to_string(c.maxW) + "x" + std::to_string(c.maxH));
        i32 w = -7;
        i32 h = -7;
        EXPECT_EQ(PictFitSize(c.width, c.height, c.maxW, c.maxH, &w, &h), c.fits);
        EXPECT_EQ(std::tuple(w, h), std::tuple(c.fittedW, c.fittedH));
        w = h = -7;
        EXPECT_EQ(PictFitSize(c.width, c.height, c.maxW, c.maxH, &w, &h, eFitThinSide::OnePixel),
                  c.fitsOnePixel);
        EXPECT_EQ(std::tuple(w, h), std::tuple(c.onePixelW, c.onePixelH));
    }
}

} // namespace
