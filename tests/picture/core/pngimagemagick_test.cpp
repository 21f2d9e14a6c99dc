// PNG files written by ImageMagick at test time: every output format it offers, Adam7,
// each filter type forced, stored deflate. ImageMagick adds gAMA, cHRM, bKGD, tIME and
// tEXt chunks, which the decode must ignore. References: pypng and libpng (pngtopam).
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <string>
#include <vector>

namespace {

struct sMade
{
    const char* name;
    const char* options; // between the source picture and the output
};

constexpr sMade kFiles[] = {
    {"rgb48_adam7.png", "-interlace PNG PNG48:"},
    {"rgb48.png", "PNG48:"},
    {"rgb24.png", "PNG24:"},
    {"rgba32.png", "PNG32:"},
    {"rgba64_adam7.png", "-interlace PNG PNG64:"},
    {"palette200.png", "-colors 200 PNG8:"},
    {"filter0.png", "-define png:compression-filter=0 PNG24:"},
    {"filter1.png", "-define png:compression-filter=1 PNG24:"},
    {"filter2.png", "-define png:compression-filter=2 PNG24:"},
    {"filter3.png", "-define png:compression-filter=3 PNG32:"},
    {"filter4.png", "-define png:compression-filter=4 PNG64:"},
    {"stored.png", "-define png:compression-level=0 PNG24:"},
};

TEST(PngImageMagick, EveryOutputFormatMatchesReferenceDecoders)
{
    QEL_REQUIRE(qeltest::HaveTool("convert"), "ImageMagick convert");
    QEL_REQUIRE(qeltest::HaveTool("pngtopam"), "pngtopam (netpbm)");
    const qeltest::cScratchFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    // A red-to-blue gradient with an alpha ramp across it.
    const std::string source = "-size 67x45 gradient:red-blue -alpha set -channel A "
                               "-fx '(i*3+j*2)/300' +channel";
    std::vector<std::string> paths;
    for (const sMade& file : kFiles) {
        const std::string path = folder.PathOf(file.name);
        const std::string command = "convert " + source + " " + file.options + "'" + path +
                                    "' && echo made";
        ASSERT_FALSE(pngtest::RunCommand(command).empty()) << command;
        paths.push_back(path);
    }
    const std::map<std::string, pngtest::sPam> pypng = pngtest::PypngDecode(paths);
    for (const std::string& path : paths) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        SCOPED_TRACE(name);
        cPictPNG picture;
        ASSERT_TRUE(pngtest::DecodeBytes(pngtest::ReadFileBytes(path), picture));
        EXPECT_EQ(picture.GetWidth(), 67);
        ASSERT_EQ(pypng.count(name), 1u);
        EXPECT_TRUE(pngtest::MatchesReference(picture, pypng.at(name)));
        pngtest::sPam libpng;
        ASSERT_TRUE(pngtest::PngToPamDecode(path, libpng));
        EXPECT_TRUE(pngtest::MatchesReference(picture, libpng));
    }
}

} // namespace
