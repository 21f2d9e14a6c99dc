// Thumbnails of small valid files that declare a 16384 x 16384 picture and hold the data for
// all of it: the thumbnail costs its output and a few rows, not the declared picture.
#include "picture/codecs/jbig2encoder.h"
#include "picture/formats/gif.h"
#include "picture/formats/jbig2picture.h"
#include "picture/picturesupport.h"
#include "support/lzwcodes.h"

namespace {

using namespace picttest;

constexpr i32 kSide = 16384;
constexpr i64 kBound = 64 << 20;

// The thumbnail of `file` fitted into 256 x 256, after checking its peak resident growth.
std::vector<u32> SmallThumbnail(cPictBase& reader, const std::vector<u8>& file)
{
    cBufWrapperIO stream(file.data(), file.size());
    cPictDummy thumb;
    bool rendered = false;
    EXPECT_LT(PeakResidentGrowth([&] {
                  rendered = reader.RenderPageThumbnail(&stream, &thumb, 256, 256, 0, false, 0);
              }),
              kBound);
    EXPECT_TRUE(rendered && thumb.GetWidth() == 256 && thumb.GetHeight() == 256);
    return TopDown32(thumb);
}

// A GIF frame of 2^28 black pixels in 108 KB: 9-bit codes clear, 0 and every KwKwK code up
// to 4095 (runs of zeros up to 3,839 long), then 4095 until the frame is full.
TEST(ThumbnailMemory, GifFrameStreamsRowByRow)
{
    std::vector<i32> codes = {256, 0};
    i64 pixels = 1;
    for (i32 code = 258; code < 4096; ++code) {
        codes.push_back(code);
        pixels += code - 256;
    }
    for (; pixels < i64(kSide) * kSide; pixels += 3839) {
        codes.push_back(4095);
    }
    codes.push_back(257);
    const std::vector<u8> data = qeltest::PackLzwCodes(codes, 9);
    std::vector<u8> file = {'G', 'I', 'F', '8', '9', 'a', 0, 0x40, 0, 0x40, 0x80, 0, 0,
                            0, 0, 0, 0xFF, 0xFF, 0xFF, // black and white
                            0x2C, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 0, 8};
    qeltest::AppendGifImageData(file, data);
    cPictGIF gif;
    const std::vector<u32> thumbnail = SmallThumbnail(gif, file);
    EXPECT_EQ(std::count(thumbnail.begin(), thumbnail.end(), 0xFF000000), 256 * 256);
}

// A JBIG2 page of 16384 x 16384 with one region of its size, in 90 bytes: the region's
// code is that of a 1 x 1 bitmap, and the decoder reads on past it (bytes past a segment
// read as 0xFF) through all 2^28 pixels.
TEST(ThumbnailMemory, Jbig2PageSizedRegionStreamsRowByRow)
{
    using namespace jbig2test;
    std::string region = GenericRegion(RandomBitmap(1, 1, 1));
    region.replace(0, 8, std::string("\0\0\x40\0\0\0\x40\0", 8));
    const std::string file =
        WriteFile(PageSegments(1, kSide, kSide, {region}), eLayout::Bare, 0);
    EXPECT_LE(file.size(), 90u);
    cPictJBIG2 jbig2;
    (void)SmallThumbnail(jbig2, std::vector<u8>(file.begin(), file.end()));
}

} // namespace
