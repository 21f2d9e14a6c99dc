// The snapshot PNG writer, checked by pngcheck and decoded back by ImageMagick.
#include "platform/drawtesttools.h"
#include "platform/pngwrite.h"
#include "support/testsupport.h"

#include <vector>

namespace {

TEST(PngWrite, PassesPngcheckAndDecodesToTheSamePixels)
{
    QEL_REQUIRE(qeltest::HaveTool("pngcheck"), "pngcheck");
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    // 37 x 11 pixels inside rows of 40: the padding must not leak into the file.
    const i32 width = 37, height = 11, stride = 40;
    std::vector<u32> pixels(size_t(stride) * height, 0xFFABCDEF);
    for (i32 y = 0; y < height; ++y) {
        for (i32 x = 0; x < width; ++x) {
            pixels[y * stride + x] = u32(x * 7) << 16 | u32(y * 23) << 8 | u32((x * y) & 0xFF) | (u32(x) << 24);
        }
    }
    qeltest::cScratchFolder folder;
    const std::string path = folder.PathOf("out.png");
    ASSERT_TRUE(SavePng(path, pixels.data(), width, height, stride));
    int exitCode = -1;
    const std::string report = drawtest::RunCommand("pngcheck -q '" + path + "' 2>&1", &exitCode);
    EXPECT_EQ(exitCode, 0) << report;
    const drawtest::sRgbImage decoded = drawtest::ReadPpm(drawtest::RunCommand("convert '" + path + "' ppm:-"));
    ASSERT_EQ(decoded.width, width);
    ASSERT_EQ(decoded.height, height);
    for (i32 y = 0; y < height; ++y) {
        for (i32 x = 0; x < width; ++x) {
            ASSERT_EQ(decoded.pixels[y * width + x], pixels[y * stride + x] & 0xFFFFFF) << x << "," << y;
        }
    }
}

TEST(PngWrite, RefusesBadSizesAndUnwritablePaths)
{
    std::vector<u8> bytes;
    const u32 pixel = 0;
    EXPECT_FALSE(EncodePngRgb(nullptr, 1, 1, 1, bytes));
    EXPECT_FALSE(EncodePngRgb(&pixel, 0, 1, 1, bytes));
    EXPECT_FALSE(EncodePngRgb(&pixel, 2, 1, 1, bytes)); // stride shorter than a row
    EXPECT_FALSE(EncodePngRgb(&pixel, 1 << 20, 1 << 20, 1 << 20, bytes));
    EXPECT_TRUE(bytes.empty());
    ASSERT_TRUE(EncodePngRgb(&pixel, 1, 1, 1, bytes));
    EXPECT_EQ(bytes[1], 'P');
    EXPECT_FALSE(SavePng("/nonexistent-folder/x.png", &pixel, 1, 1, 1));
}

} // namespace
