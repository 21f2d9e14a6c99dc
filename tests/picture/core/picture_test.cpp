// The picture object: defaults, pixel ownership moves, the deep mapping, levels stretch and
// properties.
#include "base/memio.h"
#include "picture/core/pngreader.h"
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A picture whose size a test sets directly, as readers do.
class cTestPicture : public cPictDummy
{
public:
    using cPictBase::SetImageSize;
};

u64 Deep(u32 blue, u32 green, u32 red, u32 alpha)
{
    return u64(alpha) << 48 | u64(red) << 32 | u64(green) << 16 | blue;
}

TEST(Picture, NewPictureIsEmpty)
{
    cPictDummy picture;
    EXPECT_EQ(picture.GetWidth(), 0);
    EXPECT_EQ(picture.GetHeight(), 0);
    EXPECT_FALSE(picture.IsDeep());
    EXPECT_EQ(picture.GetPageCount(nullptr), 1);
    EXPECT_FALSE(picture.HasPages());
    EXPECT_FALSE(picture.RendersWhileDecoding());
    EXPECT_FALSE(picture.LoadEmbeddedPreview(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(picture.GetFormatId(), 0);
    EXPECT_EQ(picture.GetDeepDivisor(), 256.0);
    EXPECT_EQ(picture.GetDeepOffset(), 0);
    EXPECT_EQ(picture.m_pixelOption, 1);
    EXPECT_EQ(picture.m_decodeOption, 1);
    EXPECT_FALSE(picture.HasPixels());
    _typebuf<u32> out;
    EXPECT_FALSE(picture.GetPixels32(out));
    EXPECT_FALSE(picture.FlipRows());
}

TEST(Picture, PagesBeyondTheFirstAreRefused)
{
    const std::vector<u8> bytes =
        pngtest::ReadFileBytes(qeltest::LocalDataPath("png/crafted/twin_rgb8.png"));
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictPNG picture;
    i32 w = 0;
    i32 h = 0;
    EXPECT_FALSE(picture.GetPageSize(&stream, 1, &w, &h));
    EXPECT_FALSE(picture.LoadPage(&stream, 1));
    ASSERT_TRUE(picture.GetPageSize(&stream, 0, &w, &h));
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 6);
    ASSERT_TRUE(picture.LoadPage(&stream, 0));
    EXPECT_TRUE(picture.HasPixels());
}

TEST(Picture, DeepPixelsMapThroughTheReciprocal)
{
    cTestPicture picture;
    ASSERT_TRUE(picture.AllocClear64(3, 1));
    u64* deep = picture.Pixels64().GetData();
    deep[0] = Deep(0x0100, 0xFFFF, 0x00FF, 0xFFFF);
    // 49 * (1.0 / 49.0) is 0.9999999999999999 in doubles, 49 / 49.0 is 1: the reciprocal
    // truncates to 0.
    deep[1] = Deep(49, 98, 0, 0xFFFF);
    deep[2] = Deep(0, 10, 300, 65535);
    _typebuf<u32> out;
    ASSERT_TRUE(picture.GetPixels32(out));
    EXPECT_EQ(out.GetData()[0], 0xFF00FF01u);

    picture.SetDeepMapping(49.0, 0);
    ASSERT_TRUE(picture.GetPixels32(out));
    EXPECT_EQ(out.GetData()[1], 0xFF000100u);
    // A negative offset clamps at 0, a large result at 255.
    picture.SetDeepMapping(1.0, -20);
    ASSERT_TRUE(picture.GetPixels32(out));
    EXPECT_EQ(out.GetData()[2], 0xFFFF0000u);
}

TEST(Picture, ReleaseAndTakeMovePixelsWithoutCopying)
{
    cPictDummy source;
    ASSERT_TRUE(source.AllocClear32(4, 3));
    u32* pixels = source.Pixels32().GetData();
    pixels[5] = 0x12345678;
    source.m_pixelOption = 7;
    source.m_decodeOption = 9;
    source.SetDeepMapping(100.0, 3);

    cPictDummy taker;
    taker.TakePixels(&source);
    EXPECT_EQ(taker.GetWidth(), 4);
    EXPECT_EQ(taker.GetHeight(), 3);
    EXPECT_EQ(taker.Pixels32().GetData(), pixels);
    EXPECT_EQ(taker.m_pixelOption, 7);
    EXPECT_EQ(taker.m_decodeOption, 1);
    // The mapping moves only with deep pixels.
    EXPECT_EQ(taker.GetDeepDivisor(), 256.0);
    EXPECT_EQ(source.Pixels32().GetData(), nullptr);
    EXPECT_EQ(source.Pixels64().GetData(), nullptr);

    taker.TakePixels(&taker);
    taker.TakePixels(nullptr);
    EXPECT_EQ(taker.Pixels32().GetData(), pixels);

    _typebuf<u32> out;
    ASSERT_TRUE(taker.ReleasePixels32(out));
    EXPECT_EQ(out.GetData(), pixels);
    EXPECT_EQ(out.GetData()[5], 0x12345678u);
    EXPECT_EQ(taker.GetWidth(), 0);
    EXPECT_EQ(taker.Pixels32().GetData(), nullptr);
    EXPECT_FALSE(taker.ReleasePixels32(out));
    EXPECT_EQ(out.GetData(), pixels);
}

TEST(Picture, DeepPixelsMoveWithTheirMapping)
{
    cPictDummy source;
    ASSERT_TRUE(source.AllocClear64(2, 2));
    source.Pixels64().GetData()[0] = Deep(512, 512, 512, 65535);
    source.SetDeepMapping(512.0, 0);
    cPictDummy taker;
    ASSERT_TRUE(taker.AllocClear32(9, 9));
    taker.TakePixels(&source);
    EXPECT_TRUE(taker.IsDeep());
    EXPECT_EQ(taker.GetDeepDivisor(), 512.0);
    EXPECT_EQ(taker.Pixels32().GetData(), nullptr);
    EXPECT_TRUE(taker.HasPixels());

    _typebuf<u32> out;
    ASSERT_TRUE(taker.ReleasePixels32(out));
    EXPECT_EQ(out.GetCount(), 4);
    EXPECT_EQ(out.GetData()[0], 0x7F010101u); // alpha too: 65535 / 512
    EXPECT_EQ(taker.Pixels64().GetData(), nullptr);
}

TEST(Picture, AllocationKeepsAMatchingBufferAndHonoursThePixelCap)
{
    cPictDummy picture;
    ASSERT_TRUE(picture.AllocClear64(2, 3));
    ASSERT_TRUE(picture.AllocPixels32(2, 3));
    EXPECT_FALSE(picture.IsDeep());
    EXPECT_EQ(picture.Pixels64().GetData(), nullptr);
    const u32* kept = picture.Pixels32().GetData();
    ASSERT_TRUE(picture.AllocPixels32(3, 2));
    EXPECT_EQ(picture.Pixels32().GetData(), kept);
    EXPECT_EQ(picture.GetWidth(), 3);

    EXPECT_FALSE(picture.AllocPixels32(0, 5));
    EXPECT_EQ(picture.Pixels32().GetData(), nullptr);
    EXPECT_FALSE(picture.AllocClear32(16385, 16384));
    EXPECT_FALSE(picture.AllocClear64(-1, 4));
    // 2^28 deep pixels are 2^31 bytes: past the byte cap, though not the pixel cap.
    EXPECT_FALSE(picture.AllocClear64(16384, 16384));
}

TEST(Picture, FlipRowsKeepsTheMiddleRow)
{
    cPictDummy picture;
    ASSERT_TRUE(picture.AllocPixels32(2, 3));
    u32* p = picture.Pixels32().GetData();
    for (u32 i = 0; i < 6; ++i) {
        p[i] = i;
    }
    ASSERT_TRUE(picture.FlipRows());
    EXPECT_EQ(std::vector<u32>(p, p + 6), (std::vector<u32>{4, 5, 2, 3, 0, 1}));

    ASSERT_TRUE(picture.AllocClear64(1, 2));
    picture.Pixels64().GetData()[1] = 99;
    ASSERT_TRUE(picture.FlipRows());
    EXPECT_EQ(picture.Pixels64().GetData()[0], 99u);
}

TEST(Picture, LevelsStretchKeepsFlatImagesAndMakesAlphaOpaque)
{
    cPictDummy flat;
    ASSERT_TRUE(flat.AllocPixels32(3, 2));
    std::fill(flat.Pixels32().GetData(), flat.Pixels32().GetData() + 6, 0x20070707u);
    cPictDummy result;
    ASSERT_TRUE(result.CopyNormalized(&flat));
    EXPECT_EQ(result.Pixels32().GetData()[4], 0xFF070707u);
    cPictDummy empty;
    EXPECT_FALSE(result.CopyNormalized(&empty));
    EXPECT_FALSE(result.CopyNormalized(nullptr));

    // In place, deep: the range 1000..3000 becomes 0..65535 with one shared factor.
    cPictDummy deep;
    ASSERT_TRUE(deep.AllocClear64(2, 1));
    deep.Pixels64().GetData()[0] = Deep(1000, 2000, 3000, 5);
    deep.Pixels64().GetData()[1] = Deep(3000, 1000, 1500, 5);
    ASSERT_TRUE(deep.CopyNormalized(&deep));
    // In doubles, as the stretch computes: (v - min) * factor can land just below a whole
    // number, and truncation keeps it there.
    const f64 factor = 65535.0 / 2000.0;
    const auto level = [factor](f64 v) { return u32((v - 1000) * factor); };
    EXPECT_EQ(deep.Pixels64().GetData()[0], Deep(0, level(2000), level(3000), 65535));
    EXPECT_EQ(deep.Pixels64().GetData()[1], Deep(level(3000), 0, level(1500), 65535));
}

// Against ImageMagick's -auto-level, which stretches R, G and B with one shared minimum and
// maximum, on an opaque image.
TEST(Picture, LevelsStretchMatchesImageMagick)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    const i32 w = 23;
    const i32 h = 11;
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    cPictDummy source;
    ASSERT_TRUE(source.AllocPixels32(w, h));
    u32 seed = 12345;
    for (i32 y = 0; y < h; ++y) {
        for (i32 x = 0; x < w; ++x) {
            u8 rgb[3];
            for (u8& c : rgb) {
                seed = seed * 1103515245 + 12345;
                c = u8(40 + (seed >> 16) % 150);
            }
            ppm.append(reinterpret_cast<const char*>(rgb), 3);
            // PPM rows run top-down, picture rows bottom-up.
            source.Pixels32().GetData()[i64(h - 1 - y) * w + x] =
                0xFF000000 | u32(rgb[0]) << 16 | u32(rgb[1]) << 8 | rgb[2];
        }
    }
    char path[] = "/tmp/levelsXXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, ppm.data(), ppm.size()), ssize_t(ppm.size()));
    ::close(fd);
    const std::vector<u8> expected =
        pngtest::RunCommand(std::string("convert ppm:") + path + " -auto-level -depth 8 rgb:-");
    std::remove(path);
    ASSERT_EQ(expected.size(), size_t(w) * h * 3);

    cPictDummy result;
    ASSERT_TRUE(result.CopyNormalized(&source));
    for (i32 y = 0; y < h; ++y) {
        for (i32 x = 0; x < w; ++x) {
            const u32 p = result.Pixels32().GetData()[i64(h - 1 - y) * w + x];
            const u8* want = expected.data() + (i64(y) * w + x) * 3;
            EXPECT_NEAR(i32(p >> 16 & 0xFF), want[0], 1);
            EXPECT_NEAR(i32(p >> 8 & 0xFF), want[1], 1);
            EXPECT_NEAR(i32(p & 0xFF), want[2], 1);
        }
    }
}

TEST(Picture, PropertiesHaveOneClassPerId)
{
    cPictDummy picture;
    EXPECT_EQ(picture.GetOrCreateProperty(22, true), nullptr);
    EXPECT_EQ(picture.GetOrCreateProperty(-1, true), nullptr);
    EXPECT_EQ(picture.GetOrCreateProperty(3, false), nullptr);
    const i32 kinds[22] = {3, 2, 2, 3, 3, 1, 1, 0, 1, 1, 0, 0, 0, 4, 4, 1, 1, 1, 0, 0, 0, 5};
    for (i32 id = 0; id < 22; ++id) {
        cPictProp* property = picture.GetOrCreateProperty(id, true);
        ASSERT_NE(property, nullptr) << id;
        EXPECT_EQ(property->GetKind(), kinds[id]) << id;
        EXPECT_EQ(picture.GetOrCreateProperty(id, true), property) << id;
    }
    EXPECT_EQ(picture.FindIntProperty(5), nullptr); // a Double
    EXPECT_NE(picture.FindIntProperty(7), nullptr);
    EXPECT_EQ(picture.FindStringProperty(7), nullptr);
    EXPECT_NE(picture.FindStringProperty(4), nullptr);
    // An image property without a picture still counts.
    ASSERT_NE(picture.FindThumbnailProperty(), nullptr);
    EXPECT_EQ(picture.FindThumbnailProperty()->GetPicture(), nullptr);
    picture.RemoveProperty(13);
    EXPECT_EQ(picture.FindThumbnailProperty(), nullptr);
}

TEST(Picture, PropertyCreationFailureLeavesNoValueBehind)
{
    cPictDummy picture;
    SetAllocationHook([](u64) { return false; });
    cPictProp* property = picture.GetOrCreateProperty(7, true);
    SetAllocationHook(nullptr);
    // The map node could not be made; the value made for it is freed (the leak checker
    // would see it otherwise).
    EXPECT_EQ(property, nullptr);
    EXPECT_EQ(picture.GetOrCreateProperty(7, false), nullptr);
}

// Counts how many of its instances were destroyed.
class cCountedPicture : public cPictDummy
{
public:
    explicit cCountedPicture(i32& destroyed) : m_destroyed(destroyed) {}
    ~cCountedPicture() override { ++m_destroyed; }

private:
    i32& m_destroyed;
};

class cCountedAttachment : public cPictAttachment
{
public:
    explicit cCountedAttachment(i32& destroyed) : m_destroyed(destroyed) {}
    ~cCountedAttachment() override { ++m_destroyed; }

private:
    i32& m_destroyed;
};

TEST(Picture, ImagePropertiesAndAttachmentsOwnWhatTheyHold)
{
    i32 destroyed = 0;
    {
        cPictDummy picture;
        auto* image = static_cast<cPictPropImage*>(picture.GetOrCreateProperty(13, true));
        ASSERT_NE(image, nullptr);
        auto* first = new cCountedPicture(destroyed);
        image->SetPicture(first);
        image->SetPicture(first); // the same picture again: kept, not deleted
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(image->GetPicture(), first);
        image->SetPicture(new cCountedPicture(destroyed));
        EXPECT_EQ(destroyed, 1);
        picture.SetAttachment(new cCountedAttachment(destroyed));
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(Picture, RawPropertyBlocksAreOwnedCopies)
{
    cPictDummy picture;
    auto* raw = static_cast<cPictPropRaw*>(picture.GetOrCreateProperty(21, true));
    ASSERT_NE(raw, nullptr);
    std::vector<u8> payload = {1, 2, 3, 4};
    ASSERT_TRUE(raw->SetBlock(0, payload.data(), 4));
    ASSERT_TRUE(raw->SetBlock(1, payload.data() + 1, 2));
    payload.assign(4, 0); // the caller's buffer changes or dies; the property keeps its copy
    u32 size = 0;
    const u8* second = raw->GetBlock(1, &size);
    ASSERT_EQ(size, 2u);
    EXPECT_EQ(second[0], 2);
    EXPECT_EQ(raw->GetBlock(0, &size)[3], 4);
    // A block set from its own bytes.
    ASSERT_TRUE(raw->SetBlock(0, raw->GetBlock(0, nullptr) + 2, 2));
    EXPECT_EQ(raw->GetBlock(0, &size)[0], 3);
    EXPECT_FALSE(raw->SetBlock(2, payload.data(), 1));
}

} // namespace
