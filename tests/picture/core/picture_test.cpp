// The picture object: pixel ownership moves, the pixel cap, the deep mapping, levels
// stretch against ImageMagick, pages, and properties that own what they hold.
#include "picture/picturesupport.h"
#include "testhooks/basehooks.h"

#include <numeric>

namespace {

using namespace picttest;

u64 Deep(u32 blue, u32 green, u32 red, u32 alpha)
{
    return u64(alpha) << 48 | u64(red) << 32 | u64(green) << 16 | blue;
}

// Against ImageMagick's -auto-level, which stretches R, G and B with one shared minimum and
// maximum, on an opaque image. A flat image (no range to stretch) keeps its colour and
// becomes opaque.
TEST(Picture, LevelsStretchMatchesImageMagick)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    cPictDummy source;
    ASSERT_TRUE(source.AllocPixels32(23, 11));
    u32 seed = 12345;
    for (i32 i = 0; i < 23 * 11; ++i) {
        u32 rgb = 0;
        for (i32 c = 0; c < 3; ++c) {
            seed = seed * 1103515245 + 12345;
            rgb = rgb << 8 | (40 + (seed >> 16) % 150);
        }
        source.Pixels32().GetData()[i] = 0xFF000000 | rgb;
    }
    const std::vector<u8> expected = ImageMagickRgb(source, "-auto-level");
    ASSERT_EQ(expected.size(), 23u * 11 * 3);
    cPictDummy result;
    ASSERT_TRUE(result.CopyNormalized(&source));
    const std::vector<u32> got = TopDown32(result);
    for (size_t i = 0; i < got.size(); ++i) {
        for (i32 c = 0; c < 3; ++c) {
            EXPECT_NEAR(i32(got[i] >> (16 - 8 * c) & 0xFF), expected[i * 3 + c], 1) << i;
        }
    }

    cPictDummy flat;
    ASSERT_TRUE(flat.AllocPixels32(3, 2));
    std::fill_n(flat.Pixels32().GetData(), 6, 0x20070707u);
    ASSERT_TRUE(result.CopyNormalized(&flat));
    EXPECT_EQ(PixelsOf(result), std::vector<u32>(6, 0xFF070707u));
    cPictDummy empty;
    EXPECT_FALSE(result.CopyNormalized(&empty));
    EXPECT_FALSE(result.CopyNormalized(nullptr));

    // Deep, in place: the shared range 1000..3000 becomes 0..65535, alpha opaque.
    cPictDummy deep;
    ASSERT_TRUE(deep.AllocClear64(2, 1));
    deep.Pixels64().GetData()[0] = Deep(1000, 2000, 3000, 5);
    deep.Pixels64().GetData()[1] = Deep(3000, 1000, 1500, 5);
    ASSERT_TRUE(deep.CopyNormalized(&deep));
    EXPECT_EQ(deep.Pixels64().GetData()[0] & 0xFFFF'FFFF'0000'FFFF, Deep(0, 0, 65535, 65535));
    EXPECT_EQ(deep.Pixels64().GetData()[1] & 0xFFFF'0000'FFFF'FFFF, Deep(65535, 0, 0, 65535));
    EXPECT_EQ(deep.Pixels32().GetData(), nullptr);
}

TEST(Picture, PropertiesAreMadeOncePerValidId)
{
    cPictDummy picture;
    for (i32 id : {22, -1}) {
        EXPECT_EQ(picture.GetOrCreateProperty(id, true), nullptr) << id;
    }
    EXPECT_EQ(picture.GetOrCreateProperty(3, false), nullptr);
    cPictProp* property = picture.GetOrCreateProperty(7, true);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(picture.GetOrCreateProperty(7, true), property);
    EXPECT_EQ(picture.FindIntProperty(7), property);
    EXPECT_EQ(picture.FindStringProperty(7), nullptr);
    // An image property without a picture still counts.
    ASSERT_NE(picture.GetOrCreateProperty(13, true), nullptr);
    ASSERT_NE(picture.FindThumbnailProperty(), nullptr);
    picture.RemoveProperty(13);
    EXPECT_EQ(picture.FindThumbnailProperty(), nullptr);

    // When the map node cannot be made, the value made for it is freed (the leak checker
    // would see it otherwise).
    SetAllocationHook([](u64) { return false; });
    property = picture.GetOrCreateProperty(8, true);
    SetAllocationHook(nullptr);
    EXPECT_EQ(property, nullptr);
    EXPECT_EQ(picture.GetOrCreateProperty(8, false), nullptr);
}

// Counts how many of its instances were destroyed.
template <class Base>
class cCounted : public Base
{
public:
    explicit cCounted(i32& destroyed) : m_destroyed(destroyed) {}
    ~cCounted() override { ++m_destroyed; }

private:
    i32& m_destroyed;
};

TEST(Picture, ReleaseAndTakeMovePixelsWithoutCopying)
{
    cPictDummy source;
    ASSERT_TRUE(source.AllocClear32(4, 3));
    u32* pixels = source.Pixels32().GetData();
    pixels[5] = 0x12345678;
    source.m_pixelOption = 7;
    source.SetDeepMapping(100.0, 3);
    cPictDummy taker;
    taker.TakePixels(&source);
    EXPECT_EQ(std::pair(taker.GetWidth(), taker.GetHeight()), std::pair(4, 3));
    EXPECT_EQ(taker.Pixels32().GetData(), pixels);
    EXPECT_EQ(taker.m_pixelOption, 7);
    EXPECT_EQ(taker.GetDeepDivisor(), 256.0) << "the mapping moves only with deep pixels";
    EXPECT_EQ(source.Pixels32().GetData(), nullptr);
    taker.TakePixels(&taker);
    taker.TakePixels(nullptr);
    _typebuf<u32> out;
    ASSERT_TRUE(taker.ReleasePixels32(out));
    EXPECT_EQ(out.GetData(), pixels);
    EXPECT_EQ(taker.GetWidth(), 0);
    EXPECT_FALSE(taker.ReleasePixels32(out));
    EXPECT_EQ(out.GetData(), pixels);

    // Deep pixels move with their mapping and replace a 32-bit buffer; released as 32 bits
    // they are mapped, alpha too (65535 / 512).
    ASSERT_TRUE(source.AllocClear64(2, 2));
    source.Pixels64().GetData()[0] = Deep(512, 512, 512, 65535);
    source.SetDeepMapping(512.0, 0);
    ASSERT_TRUE(taker.AllocClear32(9, 9));
    taker.TakePixels(&source);
    EXPECT_TRUE(taker.IsDeep());
    EXPECT_EQ(taker.Pixels32().GetData(), nullptr);
    ASSERT_TRUE(taker.ReleasePixels32(out));
    EXPECT_EQ(out.GetCount(), 4);
    EXPECT_EQ(out.GetData()[0], 0x7F010101u);
    EXPECT_EQ(taker.Pixels64().GetData(), nullptr);
}

} // namespace
