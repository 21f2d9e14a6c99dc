// The software canvas through the cCanvas interface, with the fixed-advance test font
// (advance w, cell h, blocks (w-1) x (h-4) at y + 2) so that text pixels are exact.
// Word wrapping is checked against textwrap in tests/platform/textlayout_test.cpp, and
// aligned, cut and justified text in the sample form's golden.
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/picture.h"
#include "platform/drawtesttools.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"
#include "support/testsupport.h"

#include <memory>
#include <string>

namespace {

constexpr u32 kRed = 0x0000FF;   // 0x00BBGGRR
constexpr u32 kGreen = 0x00FF00;
constexpr u32 kBlue = 0xFF0000;
constexpr u32 kWhite = 0xFFFFFF;
constexpr u32 kRedPixel = 0xFFFF0000; // 0xAARRGGBB
constexpr u32 kGreenPixel = 0xFF00FF00;
constexpr u32 kBluePixel = 0xFF0000FF;
constexpr u32 kWhitePixel = 0xFFFFFFFF;

class CanvasTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
        canvas.reset(cSoftCanvas::Create(40, 30));
        ASSERT_NE(canvas, nullptr);
        canvas->FillRect(0, 0, 40, 30, kWhite, kWhite);
    }
    u32 At(i32 x, i32 y) const { return canvas->GetPixels()[y * canvas->GetStride() + x]; }
    i32 Count(u32 pixel) const
    {
        i32 count = 0;
        for (i32 i = 0; i < canvas->GetWidth() * canvas->GetHeight(); ++i) {
            count += canvas->GetPixels()[i] == pixel;
        }
        return count;
    }
    // Columns of row y that hold `pixel`, as a string of '#' and '.'.
    std::string Row(i32 y, u32 pixel) const
    {
        std::string row;
        for (i32 x = 0; x < canvas->GetWidth(); ++x) {
            row += At(x, y) == pixel ? '#' : '.';
        }
        return row;
    }

    std::unique_ptr<cCanvas> canvas;
};

TEST_F(CanvasTest, FillRectOutlineLiesOnTheEdgePixels)
{
    canvas->FillRect(2, 3, 5, 4, kGreen, kRed);
    EXPECT_EQ(Row(3, kRedPixel), "..#####.................................");
    EXPECT_EQ(Row(4, kRedPixel), "..#...#.................................");
    EXPECT_EQ(Row(4, kGreenPixel), "...###..................................");
    EXPECT_EQ(Row(6, kRedPixel), "..#####.................................");
    EXPECT_EQ(Count(kRedPixel), 14);
    EXPECT_EQ(Count(kGreenPixel), 6);
    // 1 x 1 and 2 x 2 are all outline.
    canvas->FillRect(20, 20, 1, 1, kGreen, kBlue);
    canvas->FillRect(30, 20, 2, 2, kGreen, kBlue);
    EXPECT_EQ(Count(kBluePixel), 5);
    EXPECT_EQ(Count(kGreenPixel), 6);
}

TEST_F(CanvasTest, EmptyNegativeAndHugeRectanglesAreSafe)
{
    canvas->FillRect(5, 5, 0, 10, kRed, kRed);
    canvas->FillRect(5, 5, -5, 10, kRed, kRed);
    canvas->FillRect(5, 5, 10, -1, kRed, kRed);
    EXPECT_EQ(Count(kRedPixel), 0);
    // A top of -100 with a height of 0x7FFFFFFF would wrap in 32 bits.
    canvas->FillRect(-100, -100, 0x7FFFFFFF, 0x7FFFFFFF, kGreen, kRed);
    EXPECT_EQ(Count(kGreenPixel), 40 * 30);
    canvas->SetOrigin(0x7FFFFFF0, 0x7FFFFFF0);
    canvas->FillRect(0x7FFFFFF0, 0x7FFFFFF0, 0x7FFFFFFF, 10, kRed, kRed);
    EXPECT_EQ(Count(kRedPixel), 0);
}

TEST_F(CanvasTest, ClipStackIntersectsExcludesAndNeverUnderflows)
{
    canvas->SetOrigin(5, 5);
    canvas->AddClip(sRect{0, 0, 10, 10});
    canvas->AddClip(sRect{5, 5, 20, 20}); // intersect: canvas (10..14, 10..14)
    canvas->FillRect(-5, -5, 40, 40, kRed, kRed);
    EXPECT_EQ(Count(kRedPixel), 25);
    EXPECT_EQ(At(10, 10), kRedPixel);
    EXPECT_EQ(At(15, 15), kWhitePixel);
    canvas->ApplyClip();
    canvas->ApplyClip();
    canvas->ApplyClip(); // one more than pushed: the base clip stays
    canvas->ApplyClip();
    canvas->FillRect(-5, -5, 40, 40, kGreen, kGreen);
    EXPECT_EQ(Count(kGreenPixel), 40 * 30);

    // The base clip bounds every later push and pop.
    canvas->SetBaseClip(sRect{10, 10, 10, 5});
    canvas->ApplyClip();
    canvas->AddClip(sRect{-100, -100, 1000, 1000});
    canvas->FillRect(-5, -5, 40, 40, kBlue, kBlue);
    EXPECT_EQ(Count(kBluePixel), 50);

    // A hole: everything but the excluded cells is painted, the cells keep their colour.
    canvas->ResetDrawingState();
    canvas->FillRect(0, 0, 40, 30, kWhite, kWhite);
    canvas->ExcludeClip(sRect{2, 2, 3, 3});
    canvas->ExcludeClip(sRect{10, 0, 5, 30});
    canvas->FillRect(0, 0, 40, 30, kRed, kRed);
    EXPECT_EQ(Count(kWhitePixel), 9 + 5 * 30);
    EXPECT_EQ(At(3, 3), kWhitePixel);
    EXPECT_EQ(At(12, 29), kWhitePixel);
    for (const sRect& a : canvas->GetClipRects()) {
        for (const sRect& b : canvas->GetClipRects()) {
            EXPECT_TRUE(&a == &b || IntersectRects(a, b).IsEmpty()) << "overlapping clip rectangles";
        }
    }
    canvas->ApplyClip(); // one pop restores the base after excluding on an empty stack
    canvas->FillRect(0, 0, 40, 30, kRed, kRed);
    EXPECT_EQ(Count(kRedPixel), 40 * 30);
}

TEST_F(CanvasTest, TextInRectCutsWithEllipsis)
{
    canvas->SetColors(kRed, kWhite);
    // Room 30 = w 34 - margins 2 + 2: "abc" + "..." fill exactly 30.
    EXPECT_EQ(canvas->DrawTextInRectW(0, 0, 34, 13, kAlignLeft, false, 2, 2, u"abcdefghij", -1), 2);
    EXPECT_EQ(Row(4, kRedPixel), "..####.####.####.####.####.####.........");
    // Whole code points only: the pair does not split to make room.
    // Room 25: "a" + the pair (15) + "..." would be 30, so only "a..." is drawn.
    EXPECT_EQ(canvas->DrawTextInRectW(0, 15, 25, 13, kAlignLeft, false, 0, 0, u"a\U0001F600bcdef", -1), 0);
    EXPECT_EQ(Row(19, kRedPixel).substr(0, 25), "####.####.####.####......");
}

TEST_F(CanvasTest, MultilineHeightAdvanceAndBreaks)
{
    canvas->SetColors(kRed, kWhite);
    i32 height = -1;
    // Width 20 = 4 units: "aa bb" breaks into "aa" and "bb"; "\n\n" adds an empty line;
    // CR is ignored; a final LF opens nothing.
    ASSERT_TRUE(canvas->DrawMultilineTextW(0, 0, 20, 0, kAlignLeft, 1.5, u"aa bb\r\n\ncc\n", -1, &height));
    EXPECT_EQ(height, 4 * 19); // trunc(13 x 1.5) = 19
    EXPECT_EQ(Count(kRedPixel), 0); // height 0 measures only
    // h = 32 holds two whole lines (19..32 the second); the third is an empty one.
    ASSERT_TRUE(canvas->DrawMultilineTextW(0, 0, 20, 32, kAlignLeft, 1.5, u"aa bb\r\n\ncc\n", -1, &height));
    EXPECT_EQ(Row(4, kRedPixel).substr(0, 12), "####.####...");
    EXPECT_EQ(Row(23, kRedPixel).substr(0, 12), "####.####.##"); // "bb..."
    // h = 31 holds one whole line (the second would span 19..32): nothing of the second
    // shows, and the first ends with "..." in its 4 units ("aa..." would need 5).
    canvas->FillRect(0, 0, 40, 30, kWhite, kWhite);
    ASSERT_TRUE(canvas->DrawMultilineTextW(0, 0, 20, 31, kAlignLeft, 1.5, u"aa bb\r\n\ncc\n", -1, &height));
    EXPECT_EQ(Row(4, kRedPixel).substr(0, 20), "####.####.####.####.");
    EXPECT_EQ(Row(23, kRedPixel).substr(0, 20), std::string(20, '.'));
    EXPECT_FALSE(canvas->DrawMultilineTextW(0, 0, 0, 30, kAlignLeft, 1.0, u"a", -1, &height));
    // A centred line shares its spare width out evenly.
    canvas->FillRect(0, 0, 40, 30, kWhite, kWhite);
    canvas->DrawMultilineTextW(0, 0, 40, 13, kAlignCentre, 1.0, u"ab", -1, nullptr);
    EXPECT_EQ(Row(4, kRedPixel), std::string(15, '.') + "####.####." + std::string(15, '.'));
    ASSERT_TRUE(canvas->DrawMultilineTextW(0, 0, 20, 0, kAlignLeft, 1.0, u"", -1, &height));
    EXPECT_EQ(height, 0);
}

// Stretching must pick the same source pixels as ImageMagick's -sample.
TEST_F(CanvasTest, StretchMatchesImageMagickSample)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    cPicture picture;
    ASSERT_TRUE(picture.Allocate(13, 7));
    for (i32 i = 0; i < 13 * 7; ++i) {
        picture.GetPixels()[i] = 0xFF000000u | u32(i * 2654435761u >> 8);
    }
    qeltest::cScratchFolder folder;
    ASSERT_TRUE(drawtest::WriteNetpbm(folder.PathOf("in.ppm"), picture.GetPixels(), 13, 7, false));
    for (const sSize size : {sSize{37, 23}, sSize{5, 3}, sSize{13, 20}}) {
        const std::string command = "convert '" + folder.PathOf("in.ppm") + "' -sample " + std::to_string(size.width) +
                                    "x" + std::to_string(size.height) + "! ppm:-";
        const drawtest::sRgbImage reference = drawtest::ReadPpm(drawtest::RunCommand(command));
        ASSERT_EQ(reference.width, size.width);
        std::unique_ptr<cCanvas> target(cSoftCanvas::Create(size.width + 4, size.height + 4));
        target->DrawPicture(2, 2, &picture, size.width, size.height);
        for (i32 y = 0; y < size.height; ++y) {
            for (i32 x = 0; x < size.width; ++x) {
                ASSERT_EQ(target->GetPixels()[(y + 2) * target->GetStride() + x + 2],
                          0xFF000000u | reference.pixels[y * size.width + x])
                    << size.width << "x" << size.height << " at " << x << "," << y;
            }
        }
        EXPECT_EQ(target->GetPixels()[0], 0u); // nothing outside the target
    }
}

// Alpha blending must agree with ImageMagick's "over" of a straight-alpha source.
TEST_F(CanvasTest, BlendMatchesImageMagickOver)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    const i32 size = 64;
    cPicture source;
    ASSERT_TRUE(source.Allocate(size, size));
    std::unique_ptr<cCanvas> target(cSoftCanvas::Create(size, size));
    u32 seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (i32 i = 0; i < size * size; ++i) {
        source.GetPixels()[i] = next();
        target->GetPixels()[i] = 0xFF000000u | (next() >> 8);
    }
    source.GetPixels()[0] = 0x00FFFFFF; // fully transparent and fully opaque corners
    source.GetPixels()[1] = 0xFF123456;
    qeltest::cScratchFolder folder;
    ASSERT_TRUE(drawtest::WriteNetpbm(folder.PathOf("dst.ppm"), target->GetPixels(), size, size, false));
    ASSERT_TRUE(drawtest::WriteNetpbm(folder.PathOf("src.pam"), source.GetPixels(), size, size, true));
    const drawtest::sRgbImage reference = drawtest::ReadPpm(drawtest::RunCommand(
        "convert '" + folder.PathOf("dst.ppm") + "' '" + folder.PathOf("src.pam") + "' -compose over -composite ppm:-"));
    ASSERT_EQ(reference.width, size);
    target->DrawPictureBlended(0, 0, &source);
    for (i32 i = 0; i < size * size; ++i) {
        const u32 ours = target->GetPixels()[i];
        for (int shift = 0; shift < 24; shift += 8) {
            const int difference = int((ours >> shift) & 0xFF) - int((reference.pixels[i] >> shift) & 0xFF);
            ASSERT_LE(std::abs(difference), 1) << "pixel " << i;
        }
    }
    EXPECT_EQ(target->GetPixels()[1], 0xFF123456u);
}

TEST_F(CanvasTest, CopyFromClipsToBothCanvasesAndScrollsInPlace)
{
    std::unique_ptr<cCanvas> source(canvas->CreateOffscreenCanvas(10, 10));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetPixels()[0], 0u);
    source->FillRect(0, 0, 10, 10, kRed, kBlue);
    // -1 = the rest of the source from (2, 2): 8 x 8, of which 3 x 3 land left of x 0.
    canvas->CopyFrom(-3, -3, source.get(), 2, 2);
    EXPECT_EQ(Count(kRedPixel) + Count(kBluePixel), 5 * 5);
    EXPECT_EQ(At(4, 4), kBluePixel);
    EXPECT_EQ(At(3, 3), kRedPixel);
    // A source rectangle that starts outside the source copies only what exists.
    canvas->FillRect(0, 0, 40, 30, kWhite, kWhite);
    canvas->CopyFrom(20, 20, source.get(), -5, -5, 8, 8);
    EXPECT_EQ(Count(kBluePixel), 5);
    EXPECT_EQ(At(25, 25), kBluePixel);
    // Within one canvas, overlapping: rows move down without smearing.
    canvas->FillRect(0, 0, 40, 30, kWhite, kWhite);
    for (i32 y = 0; y < 10; ++y) {
        canvas->FillRect(0, y, 40, 1, u32(y), u32(y));
    }
    canvas->CopyFrom(0, 3, canvas.get(), 0, 0, 40, 10);
    for (i32 y = 3; y < 13; ++y) {
        EXPECT_EQ(At(7, y), PixelFromColour(u32(y - 3))) << y;
    }
}

TEST_F(CanvasTest, OffscreenCanvasSizesAreCapped)
{
    EXPECT_EQ(canvas->CreateOffscreenCanvas(0, 10), nullptr);
    EXPECT_EQ(canvas->CreateOffscreenCanvas(10, -1), nullptr);
    EXPECT_EQ(canvas->CreateOffscreenCanvas(1 << 15, 1 << 14), nullptr); // 2^29 pixels
    EXPECT_EQ(canvas->CreateOffscreenCanvas(0x7FFFFFFF, 0x7FFFFFFF), nullptr);
    EXPECT_EQ(CreateMemoryCanvas(1 << 15, 1 << 14), nullptr);
}

} // namespace
