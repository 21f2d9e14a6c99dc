// TIFF pixels through libtiff against tifffile's stored samples (direct path; LZW files
// are first unpacked by tiffcp, as tifffile reads LZW only with a codec library Debian
// lacks) and tiff2rgba (RGBA path), on files made by ImageMagick and tiffcp.
#include "picture/formats/tiffpicture.h"
#include "picture/picturesupport.h"

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

// Multi-strip files through libtiff's RGBA interface, with the directory before the strips
// (ghostscript writes it there; the others are moved there), cut and corrupted: a strip
// that libtiff cannot decode fails the load wherever tiff2rgba, which goes on past it,
// reports the error, on the decode, thumbnail and file properties alike. Every cut into the
// strips fails.
struct sDamagedTiffCase
{
    const char* name;
    const char* make; // writes x.tif
};

const sDamagedTiffCase kDamagedCases[] = {
    {"gs lzw bilevel", "gs -q -dNOPAUSE -dBATCH -sDEVICE=tifflzw -r150 -dMaxStripSize=1024 "
                       "-sOutputFile=x.tif page.ps"},
    {"gs packbits bilevel", "gs -q -dNOPAUSE -dBATCH -sDEVICE=tiffpack -r150 "
                            "-dMaxStripSize=1024 -sOutputFile=x.tif page.ps"},
    {"palette lzw", "$P -type Palette -define tiff:rows-per-strip=16 -compress lzw s.tif"},
    {"cmyk lzw", "$P -colorspace CMYK -depth 8 -define tiff:rows-per-strip=16 -compress lzw s.tif"},
    {"ycbcr jpeg", "$P -depth 8 p.tif && tiffcp -c jpeg -r 16 p.tif s.tif"},
};

const char* const kPage = "%!PS\n<< /PageSize [300 200] >> setpagedevice\n"
                          "0 1 199 { dup 200 div dup 1 exch sub 0.5 setrgbcolor 0 exch 300 1 "
                          "rectfill } for\n/Helvetica findfont 40 scalefont setfont 60 90 moveto "
                          "(qel TIFF) show showpage\n";

// True when tiff2rgba printed an error (not a warning) for the file.
bool ReferenceReportsError(const cScratchFolder& folder)
{
    const std::vector<u8> messages = RunCommand("cd " + folder.Path() +
                                                " && tiff2rgba -c none x.tif r.tif 2>&1 >/dev/null "
                                                "| grep -v Warning || true");
    return !messages.empty();
}

// The decode, the thumbnail and the file properties' picture all succeed, or all fail.
void ExpectEveryRoad(const std::vector<u8>& bytes, bool succeeds)
{
    const sEveryRoad roads = TryEveryRoad(bytes);
    EXPECT_EQ(roads.decoded, succeeds);
    EXPECT_EQ(roads.thumbnail, succeeds);
    EXPECT_EQ(roads.propsPicture, succeeds);
}

TEST(TiffDamaged, FailsWhereTiff2rgbaReportsAStripError)
{
    QEL_REQUIRE(qeltest::HaveTool("gs") && qeltest::HaveTool("tiffcp") &&
                    qeltest::HaveTool("convert"),
                "ghostscript, libtiff-tools, imagemagick");
    for (const sDamagedTiffCase& testCase : kDamagedCases) {
        SCOPED_TRACE(testCase.name);
        cScratchFolder folder;
        WriteFileBytes(folder.PathOf("page.ps"), kPage);
        std::string make = testCase.make;
        if (make.find("$P") != std::string::npos) {
            make.replace(make.find("$P"), 2, kPlasma);
            make += " && /usr/bin/python3 " QEL_SOURCE_DIR "/tools/testdata/tiff_ifd_first.py "
                    "s.tif x.tif";
        }
        ASSERT_TRUE(RunsOk("cd " + folder.Path() + " && " + make));
        const std::vector<u8> whole = ReadFileBytes(folder.PathOf("x.tif"));
        cPictTIFF intact;
        ASSERT_TRUE(DecodeBytes(whole, intact));
        ASSERT_FALSE(ReferenceReportsError(folder));
        for (int percent : {25, 50, 75, 99}) {
            SCOPED_TRACE(testing::Message() << "cut at " << percent << " %");
            const std::vector<u8> cut(whole.begin(), whole.begin() + whole.size() * percent / 100);
            WriteFileBytes(folder.PathOf("x.tif"), std::string(cut.begin(), cut.end()));
            const bool referenceFails = ReferenceReportsError(folder);
            EXPECT_TRUE(referenceFails || percent == 99);
            ExpectEveryRoad(cut, !referenceFails);
        }
        for (int percent : {30, 60}) {
            SCOPED_TRACE(testing::Message() << "corrupt at " << percent << " %");
            std::vector<u8> bad = whole;
            const size_t at = bad.size() * percent / 100;
            for (size_t i = 0; i < 48; ++i) {
                bad[at + i] = u8(bad[at + i] * 7 + 0x5B + i * 13);
            }
            WriteFileBytes(folder.PathOf("x.tif"), std::string(bad.begin(), bad.end()));
            ExpectEveryRoad(bad, !ReferenceReportsError(folder));
        }
    }
}
