// The streaming renderer: the three scale paths by pixels and by planes, and pixel order
// below scale 0.5 (placement on the background is checked against ImageMagick in the
// resample tests).
#include "picture/picturesupport.h"

namespace {

using namespace picttest;

constexpr u32 kColour = 0xC8649632;

// A picture that streams as a reader does.
class cStreamer : public cPictDummy
{
public:
    using cPictBase::SetImageSize;
};

// Gives the picture a w x h image and begins streaming it into the buffer's target.
bool BeginStream(cStreamer& picture, i32 w, i32 h, sTargetBuffer& buffer)
{
    picture.SetImageSize(w, h, false);
    return picture.SetTarget(&buffer.target) && picture.BeginStreamRender();
}

// Streams a w x h image whose pixel (x, y) is `pixel(x, y)` into `buffer`.
template <class Pixel>
bool StreamImage(i32 w, i32 h, sTargetBuffer& buffer, Pixel pixel)
{
    cStreamer picture;
    if (!BeginStream(picture, w, h, buffer)) {
        return false;
    }
    for (i32 y = 0; y < h; ++y) {
        for (i32 x = 0; x < w; ++x) {
            EXPECT_TRUE(picture.StreamPixel(x, y, pixel(x, y)));
        }
    }
    picture.EndStreamRender();
    return !picture.HasTarget();
}

// A constant image stays constant at every scale path: nearest (below 0.5), split (0.5 to
// 1) and direct (1), by pixels, by planes and by rows made opaque afterwards.
TEST(StreamRender, ConstantImageStaysConstantOnEveryPath)
{
    for (const i32 size : {200, 130, 80, 64}) {
        SCOPED_TRACE(size);
        sTargetBuffer pixels(64, 64);
        ASSERT_TRUE(StreamImage(size, size, pixels, [](i32, i32) { return kColour; }));
        EXPECT_EQ(pixels.pixels, std::vector<u32>(64 * 64, kColour));
        sTargetBuffer planes(64, 64, 0);
        cStreamer picture;
        ASSERT_TRUE(BeginStream(picture, size, size, planes));
        for (i32 channel = 0; channel < 4; ++channel) {
            for (i32 y = 0; y < size; ++y) {
                for (i32 x = 0; x < size; ++x) {
                    picture.StreamChannel(x, y, u8(kColour >> (8 * channel)), channel);
                }
            }
        }
        picture.EndStreamRender();
        EXPECT_EQ(planes.pixels, std::vector<u32>(64 * 64, kColour));
        // Alpha 0 made opaque after the last row, as a reader does that learns late that
        // the alpha is unused.
        sTargetBuffer late(64, 64, 0);
        cStreamer opaque;
        ASSERT_TRUE(BeginStream(opaque, size, size, late));
        for (i32 y = 0; y < size; ++y) {
            opaque.StreamRow(0, y, std::vector<u32>(size, kColour & 0xFFFFFF).data(), size);
        }
        opaque.MakeStreamedOpaque();
        opaque.EndStreamRender();
        EXPECT_EQ(late.pixels, std::vector<u32>(64 * 64, kColour | 0xFF000000));
    }
}

// Below scale 0.5 every pixel streams once and f32 sums of small integers are exact, so the
// order of the pixels does not matter: an Adam7 file and its plain twin give the same
// thumbnail.
TEST(StreamRender, InterlacedAndPlainTwinsStreamTheSameThumbnail)
{
    for (const char* stem : {"t6_d08_33x17", "t2_d16_33x17", "t3_d04_33x17", "t0_d02_33x17"}) {
        std::vector<u32> thumbnails[2];
        for (i32 i = 0; i < 2; ++i) {
            sTargetBuffer buffer(10, 10);
            cPictPNG picture;
            ASSERT_TRUE(picture.SetTarget(&buffer.target));
            ASSERT_TRUE(DecodeBytes(ReadFileBytes(qeltest::LocalDataPath("png/corpus/") + stem +
                                                  (i == 0 ? "_adam7.png" : "_plain.png")),
                                    picture));
            thumbnails[i] = buffer.pixels;
        }
        EXPECT_EQ(thumbnails[0], thumbnails[1]) << stem;
    }
}

// Rows streamed whole (in two pieces each) give what their pixels streamed one by one give:
// on the nearest path with runs summed at once and below the scale where it goes pixel by
// pixel, split, direct, fitted, and zoomed with a pan. The pixels vary in every channel.
TEST(StreamRender, RowsStreamAsTheirPixels)
{
    const auto pixel = [](i32 x, i32 y) { return u32(x * 2654435761u ^ y * 40503u) * 2246822519u; };
    for (const auto& [w, h, zoom] : {std::tuple(5000, 300, 0.0), std::tuple(9000, 200, 0.0),
                                    std::tuple(200, 150, 0.0), std::tuple(130, 90, 0.0),
                                    std::tuple(64, 64, 0.0), std::tuple(50, 7, 0.0),
                                    std::tuple(700, 500, 0.3), std::tuple(90, 40, 1.0)}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        sTargetBuffer byPixels(64, 64);
        sTargetBuffer byRows(64, 64);
        if (zoom > 0.0) {
            byPixels.Zoom(zoom, 7, 3);
            byRows.Zoom(zoom, 7, 3);
        }
        ASSERT_TRUE(StreamImage(w, h, byPixels, pixel));
        cStreamer picture;
        ASSERT_TRUE(BeginStream(picture, w, h, byRows));
        std::vector<u32> row(static_cast<size_t>(w));
        for (i32 y = 0; y < h; ++y) {
            for (i32 x = 0; x < w; ++x) {
                row[size_t(x)] = pixel(x, y);
            }
            const i32 split = w / 3 + 1;
            EXPECT_TRUE(picture.StreamRow(0, y, row.data(), split));
            EXPECT_TRUE(picture.StreamRow(split, y, row.data() + split, w - split));
        }
        picture.EndStreamRender();
        EXPECT_EQ(byRows.pixels, byPixels.pixels);
    }
}

// Zoom is capped at 1 and must be positive; the pan is clamped to the scaled excess.
TEST(StreamRender, ZoomAndPanAreClamped)
{
    sTargetBuffer buffer(10, 10);
    buffer.Zoom(2.0, 5, -3);
    cStreamer picture;
    ASSERT_TRUE(BeginStream(picture, 30, 20, buffer));
    EXPECT_EQ(buffer.target.zoom, 1.0);
    EXPECT_EQ(std::pair(buffer.target.panX, buffer.target.panY), std::pair(5, 0));
    // At scale 1 the pan moves the image: source (5, 0) lands on the first column.
    EXPECT_TRUE(picture.StreamPixel(5, 0, 0xFFABCDEF));
    EXPECT_EQ(buffer.At(0, 0), 0xFFABCDEFu);
    picture.EndStreamRender();

    buffer.Zoom(0.5, 1000, 3);
    ASSERT_TRUE(BeginStream(picture, 40, 12, buffer));
    EXPECT_EQ(buffer.target.panX, 10); // 20 scaled columns - 10 shown
    EXPECT_EQ(buffer.target.panY, 0);  // 6 scaled rows fit
    picture.EndStreamRender();

    buffer.target.zoom = 0.0;
    ASSERT_TRUE(picture.SetTarget(&buffer.target));
    EXPECT_FALSE(picture.BeginStreamRender());
    EXPECT_FALSE(picture.StreamPixel(0, 0, 1));
    EXPECT_FALSE(picture.HasTarget());
}

} // namespace
