// TIFF pixels through libtiff against tifffile's stored samples (direct path; LZW files
// are first unpacked by tiffcp, as tifffile reads LZW only with a codec library Debian
// lacks) and tiff2rgba (RGBA path), on files made by ImageMagick and tiffcp.
#include "picture/core/picturesupport.h"
#include "picture/core/tiffpicture.h"

namespace {

using namespace picttest;
using qeltest::cScratchFolder;

const std::string kPlasma = "/usr/bin/convert -seed 9 -size 301x203 plasma:fractal ";
const std::string kToPam = "/usr/bin/python3 " QEL_SOURCE_DIR "/tools/testdata/tiff_to_pam.py ";

const char* const kRgba = "tiff2rgba -c none x.tif r.tif";
const char* const kUnpacked = "tiffcp -c none x.tif r.tif";

struct sTiffCase
{
    const char* name;
    const char* make;      // shell commands writing x.tif in the folder from the plasma source
    const char* reference; // a command making r.tif from x.tif; null: x.tif itself
};

const sTiffCase kCases[] = {
    {"rgb8 none", "$P -depth 8 s.tif && tiffcp -c none s.tif x.tif", nullptr},
    {"rgb8 lzw predictor strips", "$P -depth 8 s.tif && tiffcp -c lzw:2 -r 16 s.tif x.tif",
     kUnpacked},
    {"rgb8 deflate tiles", "$P -depth 8 s.tif && tiffcp -c zip:2 -t -w 64 -l 64 s.tif x.tif",
     nullptr},
    {"rgb8 packbits separate", "$P -depth 8 s.tif && tiffcp -c packbits -p separate s.tif x.tif",
     nullptr},
    {"rgb16 deflate separate tiles",
     "$P -depth 16 -interlace plane s.tif && tiffcp -c zip:2 -t s.tif x.tif", nullptr},
    {"grey16 deflate", "$P -colorspace Gray -depth 16 s.tif && tiffcp -c zip:2 s.tif x.tif",
     nullptr},
    {"grey8 none", "$P -colorspace Gray -depth 8 x.tif", nullptr},
    {"rgba8 unassociated",
     "$P \\( -size 301x203 gradient: \\) -alpha off -compose copy_opacity -composite "
     "-define tiff:alpha=unassociated -depth 8 x.tif",
     nullptr},
    {"palette", "$P -type Palette x.tif", kRgba},
    {"cmyk", "$P -colorspace CMYK -depth 8 x.tif", kRgba},
    {"bilevel g4", "$P -monochrome -depth 1 s.tif && tiffcp -c g4 s.tif x.tif", kRgba},
    {"jpeg ycbcr", "$P -depth 8 s.tif && tiffcp -c jpeg -r 16 s.tif x.tif", kRgba},
};

class TiffPicture : public ::testing::TestWithParam<sTiffCase>
{
  protected:
    // Makes x.tif and decodes it; false when a tool failed.
    bool Make(const cScratchFolder& folder, const std::string& recipe)
    {
        std::string command = recipe;
        command.replace(command.find("$P"), 2, kPlasma);
        return RunsOk("cd " + folder.Path() + " && " + command);
    }
};

TEST_P(TiffPicture, DecodesLikeItsReference)
{
    QEL_REQUIRE(qeltest::HaveTool("tiffcp") && qeltest::HaveTool("convert"),
                "libtiff-tools, imagemagick");
    cScratchFolder folder;
    ASSERT_TRUE(Make(folder, GetParam().make));
    const std::string file = folder.PathOf("x.tif");
    const char* referenceMake = GetParam().reference;
    if (referenceMake != nullptr) {
        ASSERT_TRUE(RunsOk("cd " + folder.Path() + " && " + referenceMake));
    }
    sPnm reference;
    ASSERT_TRUE(
        ParsePnm(RunCommand(kToPam + folder.PathOf(referenceMake ? "r.tif" : "x.tif")), reference));
    cPictTIFF picture;
    ASSERT_TRUE(DecodeBytes(ReadFileBytes(file), picture));
    EXPECT_TRUE(MatchesReference(picture, reference));
}

INSTANTIATE_TEST_SUITE_P(Corpus, TiffPicture, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return CamelCaseName(info.param.name); });

// libtiff's RGBA interface would turn the rows for orientations 2-8 while the orientation
// also becomes properties 11/12: pixels stay in stored order on both paths.
TEST_F(TiffPicture, OrientationOnlyBecomesProperties)
{
    QEL_REQUIRE(qeltest::HaveTool("tiffset"), "libtiff-tools");
    for (const char* recipe : {kCases[0].make, kCases[8].make}) {
        cScratchFolder folder;
        ASSERT_TRUE(Make(folder, recipe));
        cPictTIFF stored;
        ASSERT_TRUE(DecodeBytes(ReadFileBytes(folder.PathOf("x.tif")), stored));
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(testing::Message() << recipe << ", orientation " << orientation);
            ASSERT_TRUE(RunsOk("tiffset -s 274 " + std::to_string(orientation) + " " +
                               folder.PathOf("x.tif")));
            cPictTIFF turned;
            ASSERT_TRUE(DecodeBytes(ReadFileBytes(folder.PathOf("x.tif")), turned));
            EXPECT_EQ(PixelsOf(turned), PixelsOf(stored));
            const bool turnedOrMirrored = turned.FindIntProperty(kPictPropMirroring) != nullptr &&
                                          turned.FindIntProperty(kPictPropRotation) != nullptr;
            EXPECT_EQ(turnedOrMirrored, orientation >= 2);
        }
    }
}

} // namespace
