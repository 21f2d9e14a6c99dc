// The JPEG picture: pixels against the reference decoder, Exif properties against
// exiftool, the Exif thumbnail as preview and thumbnail, streaming into a partial window,
// and hostile Exif.
#include "picture/factory/thumbnail.h"
#include "picture/formats/jpegpicture.h"
#include "picture/picturesupport.h"

#include <cmath>

namespace {

using namespace picttest;

// A number from exiftool's flat JSON ("Group:Name": value).
double JsonNumber(const std::string& json, const std::string& key)
{
    size_t at = json.find("\"" + key + "\":");
    return at == std::string::npos ? NAN : std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

// The reference decoder's pixels of a JPEG file, top-down.
std::vector<u32> Djpeg(const std::string& path)
{
    return ToolPixels("djpeg -dct int -nosmooth -ppm " + path);
}

class JpegPicture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QEL_REQUIRE(qeltest::HaveTool("cjpeg") && qeltest::HaveTool("djpeg") &&
                        qeltest::HaveTool("exiftool") && qeltest::HaveTool("convert"),
                    "cjpeg, djpeg (libjpeg-turbo-progs), exiftool, convert (imagemagick)");
        ASSERT_TRUE(RunsOk("cd " + m_folder.Path() +
                           " && convert -seed 3 -size 83x61 plasma:fractal src.ppm"
                           " && cjpeg -outfile plain.jpg src.ppm"
                           " && convert -seed 5 -size 16x12 plasma:fractal t.ppm"
                           " && cjpeg -outfile t.jpg t.ppm && cp plain.jpg p.jpg"));
    }
    std::string Path(const std::string& name) const { return m_folder.PathOf(name); }

    void TagWithExif(const std::string& byteOrder)
    {
        ASSERT_TRUE(RunsOk(
            "exiftool -q -overwrite_original -ExifByteOrder=" + byteOrder +
            " -Make=Maker -Model=M1 '-DateTimeOriginal=2021:02:03 04:05:06' -GPSLatitude=48.51"
            " -GPSLatitudeRef=S -GPSLongitude=2.5 -GPSLongitudeRef=W -GPSAltitude=123.4"
            " -ExposureTime=1/250 -FNumber=2.8 -ISO=400 -XResolution=300 -YResolution=300"
            " -ResolutionUnit=inches -Orientation#=6 '-ThumbnailImage<=" + Path("t.jpg") + "' " +
            Path("p.jpg")));
    }

    qeltest::cScratchFolder m_folder;
};

f64 DoubleProperty(cPictBase& picture, i32 id)
{
    cPictProp* property = picture.GetOrCreateProperty(id, false);
    return property != nullptr && property->GetKind() == kPictPropKindDouble
               ? static_cast<cPictPropDouble*>(property)->m_value
               : NAN;
}

i32 IntProperty(cPictBase& picture, i32 id)
{
    cPictPropInt* property = picture.FindIntProperty(id);
    return property != nullptr ? property->m_value : -1;
}

std::u16string StringProperty(cPictBase& picture, i32 id)
{
    cPictPropString* property = picture.FindStringProperty(id);
    return property != nullptr && property->m_value.Get() != nullptr ? property->m_value.Get() : u"";
}

} // namespace

TEST_F(JpegPicture, ExifPropertiesMatchExiftoolInBothByteOrders)
{
    for (const char* order : {"MM", "II"}) {
        SCOPED_TRACE(order);
        ASSERT_TRUE(RunsOk("cp " + Path("plain.jpg") + " " + Path("p.jpg")));
        TagWithExif(order);
        const std::string json = qeltest::RunCommand("exiftool -n -j -a -G1 " + Path("p.jpg"));
        std::vector<u8> file = ReadFileBytes(Path("p.jpg"));
        cBufWrapperIO stream(file.data(), file.size());
        cPictJPEG picture;
        sPictInfo info;
        ASSERT_TRUE(picture.ReadInfo(&stream, &info));
        EXPECT_EQ(std::tuple(info.width, info.height, info.hasEmbeddedPreview), std::tuple(83, 61, 1));
        ASSERT_NE(picture.FindThumbnailProperty(), nullptr);
        EXPECT_EQ(picture.FindThumbnailProperty()->GetPicture(), nullptr)
            << "a header-only read does not decode the thumbnail";

        EXPECT_EQ(StringProperty(picture, 3), u"Maker");
        EXPECT_EQ(StringProperty(picture, 4), u"M1");
        cPictProp* taken = picture.GetOrCreateProperty(1, false);
        ASSERT_NE(taken, nullptr);
        const sDateTime when = static_cast<cPictPropTimestamp*>(taken)->m_value;
        EXPECT_EQ(when.m_year, 2021);
        EXPECT_EQ(when.m_second, 6);
        EXPECT_NEAR(DoubleProperty(picture, 15), JsonNumber(json, "Composite:GPSLatitude"), 1e-9);
        EXPECT_NEAR(DoubleProperty(picture, 16), JsonNumber(json, "Composite:GPSLongitude"), 1e-9);
        EXPECT_NEAR(DoubleProperty(picture, 17), JsonNumber(json, "GPS:GPSAltitude"), 1e-9);
        EXPECT_NEAR(DoubleProperty(picture, 15), -48.51, 1e-9);
        EXPECT_NEAR(DoubleProperty(picture, 5), JsonNumber(json, "ExifIFD:ExposureTime"), 1e-12);
        EXPECT_NEAR(DoubleProperty(picture, 6), JsonNumber(json, "ExifIFD:FNumber"), 1e-12);
        EXPECT_EQ(IntProperty(picture, 7), 400);
        // IFD0's resolution, not the thumbnail IFD's 72.
        EXPECT_EQ(DoubleProperty(picture, 8), JsonNumber(json, "IFD0:XResolution"));
        EXPECT_EQ(DoubleProperty(picture, 8), 300.0);
        EXPECT_EQ(IntProperty(picture, 10), 2);
        EXPECT_EQ(IntProperty(picture, 11), 0);
        EXPECT_EQ(IntProperty(picture, 12), 270);
    }
}

// The Exif thumbnail is the embedded preview, decoded like the reference decodes it alone,
// without the main image. As a thumbnail it is kept as it is where it fits the box and
// resampled where it does not, even without the full decode; the untagged file has none,
// and its main image, fitting the box, streams at scale 1 into the full decode.
TEST_F(JpegPicture, ExifThumbnailServesAsThePreview)
{
    TagWithExif("MM");
    ASSERT_TRUE(RunsOk("exiftool -b -ThumbnailImage " + Path("p.jpg") + " > " + Path("thumb.jpg")));
    const std::vector<u8> tagged = ReadFileBytes(Path("p.jpg"));
    cBufWrapperIO stream(tagged.data(), tagged.size());
    cPictJPEG picture;
    cPictDummy preview;
    ASSERT_TRUE(picture.LoadEmbeddedPreview(&stream, &preview, nullptr, nullptr));
    EXPECT_EQ(preview.GetWidth(), 16);
    EXPECT_TRUE(SamePixels(TopDown32(preview), Djpeg(Path("thumb.jpg")), 16));
    EXPECT_FALSE(picture.HasPixels()) << "the main image is not decoded";
    for (const auto& [box, width, height] : {std::tuple{200, 16, 12}, {10, 10, 8}}) {
        sPictInfo info;
        tPicture created = CreatePicture(tagged, &info);
        ASSERT_NE(created, nullptr);
        cPictDummy out;
        EXPECT_EQ(PictRenderThumbnail(info, created.get(), &stream, &out, box, box, false, 0), kThumbOk);
        EXPECT_EQ(std::pair(out.GetWidth(), out.GetHeight()), std::pair(width, height));
    }

    const std::vector<u8> plain = ReadFileBytes(Path("plain.jpg"));
    cBufWrapperIO plainStream(plain.data(), plain.size());
    sPictInfo info;
    tPicture created = CreatePicture(plain, &info);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(info.hasEmbeddedPreview, 0);
    EXPECT_FALSE(created->LoadEmbeddedPreview(&plainStream, &preview, nullptr, nullptr));
    cPictDummy out;
    EXPECT_EQ(PictRenderThumbnail(info, created.get(), &plainStream, &out, 100, 100, false, 0),
              kThumbNoPreview);
    ASSERT_EQ(PictThumbnailFromStream(&plainStream, &out, 200, 200), kThumbOk);
    cPictJPEG whole;
    ASSERT_TRUE(DecodeBytes(plain, whole));
    EXPECT_EQ(out.GetWidth(), 83);
    EXPECT_EQ(PixelsOf(out), PixelsOf(whole));
}

TEST(JpegPictureHostile, NestedExifThumbnailsDecodeOneLevelOnly)
{
    // A 1x1 grey baseline JPEG, the innermost level: quantisation table of ones, one DC
    // and one AC code of length 1 for symbol 0, and a scan of one zero byte.
    std::vector<u8> tiny = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    tiny.insert(tiny.end(), 64, 1);
    const u8 rest[] = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00,
                       0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0,    0,    0,    0,    0,    0,
                       0,    0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0xFF, 0xC4,
                       0x00, 0x14, 0x10, 0x01, 0,    0,    0,    0,    0,    0,    0,    0,
                       0,    0,    0,    0,    0,    0,    0,    0x00, 0xFF, 0xDA, 0x00, 0x08,
                       0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x00, 0xFF, 0xD9};
    tiny.insert(tiny.end(), std::begin(rest), std::end(rest));
    // Each level: SOI, an APP1 whose IFD1 points at the previous level, the tiny tail.
    std::vector<u8> level = tiny;
    for (int depth = 0; depth < 300; ++depth) {
        std::vector<u8> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 14, 0, 0, 0, // IFD0: none, next 14
                                2, 0,                                           // IFD1: 2 entries
                                0x01, 0x02, 4, 0, 1, 0, 0, 0, 0, 0, 0, 0,       // 0x0201 offset
                                0x02, 0x02, 4, 0, 1, 0, 0, 0, 0, 0, 0, 0,       // 0x0202 length
                                0, 0, 0, 0};
        const u32 offset = u32(tiff.size());
        const u32 length = u32(level.size());
        for (int i = 0; i < 4; ++i) {
            tiff[24 + i] = u8(offset >> (8 * i));
            tiff[36 + i] = u8(length >> (8 * i));
        }
        tiff.insert(tiff.end(), level.begin(), level.end());
        const u32 segment = u32(tiff.size()) + 8;
        ASSERT_LT(segment, 65536u);
        std::vector<u8> next = {0xFF, 0xD8, 0xFF, 0xE1, u8(segment >> 8), u8(segment), 'E', 'x', 'i', 'f', 0, 0};
        next.insert(next.end(), tiff.begin(), tiff.end());
        next.insert(next.end(), tiny.begin() + 2, tiny.end());
        level = next;
    }
    cBufWrapperIO stream(level.data(), level.size());
    cPictJPEG picture;
    ASSERT_TRUE(picture.Load(&stream));
    cPictPropImage* thumbnail = picture.FindThumbnailProperty();
    ASSERT_NE(thumbnail, nullptr);
    ASSERT_NE(thumbnail->GetPicture(), nullptr);
    cPictPropImage* nested = thumbnail->GetPicture()->FindThumbnailProperty();
    ASSERT_NE(nested, nullptr) << "the nested thumbnail is seen";
    EXPECT_EQ(nested->GetPicture(), nullptr) << "but not decoded";
}

TEST(JpegPictureHostile, HugeFrameReportsItsSizeButDoesNotAllocate)
{
    // SOI, SOF0 65535 x 65535 one component, EOI.
    const std::vector<u8> file = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0xFF, 0xFF, 0xFF,
                                  0xFF, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
    cBufWrapperIO stream(file.data(), file.size());
    cPictJPEG picture;
    sPictInfo info;
    ASSERT_TRUE(picture.ReadInfo(&stream, &info));
    EXPECT_EQ(info.width, 65535);
    EXPECT_FALSE(picture.Load(&stream));
    EXPECT_FALSE(picture.HasPixels());
}
