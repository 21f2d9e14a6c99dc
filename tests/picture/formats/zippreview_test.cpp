// The ZIP-based preview formats through the factory, on archives made by Python's zipfile,
// Info-ZIP and 7-Zip (tools/testdata/make_zip_previews.sh): ids and sizes, pixels equal to
// the preview PNG's own decode for every method, the order of the three formats, and
// archives that must not be taken as pictures.
#include "picture/formats/zippreview.h"
#include "picture/picturesupport.h"

namespace {

using namespace picttest;

tPicture CreateFromSample(const std::string& name, sPictInfo* info)
{
    const std::vector<u8> bytes = ReadFileBytes(PreviewSample(name));
    EXPECT_FALSE(bytes.empty()) << name;
    return CreatePicture(bytes, info);
}

// The preview as the PNG reader decodes it on its own.
std::vector<u32> PreviewPixels()
{
    cPictPNG png;
    EXPECT_TRUE(DecodeBytes(ReadFileBytes(PreviewSample("thumb.png")), png));
    return PixelsOf(png);
}

struct sPreviewCase
{
    const char* archive;
    i32 formatId;
};

void PrintTo(const sPreviewCase& item, std::ostream* out)
{
    *out << item.archive;
}

class ZipPreviewArchive : public ::testing::TestWithParam<sPreviewCase>
{
};

TEST_P(ZipPreviewArchive, ProbesAndDecodesThePreviewMember)
{
    const sPreviewCase& sample = GetParam();
    sPictInfo info;
    tPicture probed = CreateFromSample(sample.archive, &info);
    ASSERT_NE(probed, nullptr);
    EXPECT_EQ(probed->GetFormatId(), sample.formatId);
    EXPECT_EQ(std::tuple(info.width, info.height, info.hasEmbeddedPreview), std::tuple(256, 256, 0));
    EXPECT_EQ(probed->GetWidth(), 0);
    EXPECT_FALSE(probed->RendersWhileDecoding());

    tPicture loaded = CreateFromSample(sample.archive, nullptr);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetFormatId(), sample.formatId);
    EXPECT_EQ(PixelsOf(*loaded), PreviewPixels());

    // The object the factory returned unloaded loads the same pixels itself.
    const std::vector<u8> bytes = ReadFileBytes(PreviewSample(sample.archive));
    cBufWrapperIO stream(bytes.data(), bytes.size());
    ASSERT_TRUE(probed->Load(&stream));
    EXPECT_EQ(PixelsOf(*probed), PreviewPixels());
}

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipPreviewArchive,
    ::testing::Values(sPreviewCase{"3mf_stored.zip", kPictFormat3MF},
                      sPreviewCase{"3mf_deflated.zip", kPictFormat3MF},
                      sPreviewCase{"3mf_bzip2.zip", kPictFormat3MF},
                      sPreviewCase{"3mf_lzma.zip", kPictFormat3MF},
                      sPreviewCase{"3mf_descriptors.zip", kPictFormat3MF},
                      sPreviewCase{"hwpx_stored.zip", kPictFormatHWPX},
                      sPreviewCase{"hwpx_deflated.zip", kPictFormatHWPX},
                      sPreviewCase{"f3d_infozip.zip", kPictFormatF3D},
                      sPreviewCase{"all_three.zip", kPictFormat3MF},
                      sPreviewCase{"f3d_and_hwpx.zip", kPictFormatF3D}),
    [](const ::testing::TestParamInfo<sPreviewCase>& info) {
        std::string name = info.param.archive;
        return name.substr(0, name.size() - 4);
    });

// A JPEG under the PNG name, a name without its brackets, the name as a folder, a member
// in Deflate64 (not read) and an archive of texts: not pictures. Nor is the PNG itself,
// or no stream at all.
TEST(ZipPreview, ArchivesWithoutAUsablePreviewAreRefused)
{
    for (const char* name : {"jpeg_as_png.zip", "f3d_no_brackets.zip", "preview_folder.zip",
                             "3mf_deflate64.zip", "text_only.zip"}) {
        sPictInfo info;
        EXPECT_EQ(CreateFromSample(name, &info), nullptr) << name;
        EXPECT_EQ(CreateFromSample(name, nullptr), nullptr) << name;
    }
    cPict3MF picture;
    sPictInfo info;
    EXPECT_FALSE(picture.ReadInfo(nullptr, &info));
    EXPECT_FALSE(picture.Load(nullptr));
    EXPECT_FALSE(Probe3MFPreview(nullptr, nullptr, &info));
    const std::vector<u8> png = ReadFileBytes(PreviewSample("thumb.png"));
    cBufWrapperIO stream(png.data(), png.size());
    EXPECT_FALSE(picture.ReadInfo(&stream, &info));
    EXPECT_FALSE(picture.Load(&stream));
}

} // namespace
