// The generated corpus (tools/testdata/make_png.py): every colour type and depth,
// interlaced and not, with tRNS keys and palette alpha, against pypng and libpng.
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> CorpusFiles()
{
    const std::string folder = qeltest::LocalDataPath("png/corpus/");
    std::vector<std::string> paths;
    for (const std::string& name : pngtest::ListPngFiles(folder)) {
        paths.push_back(folder + name);
    }
    return paths;
}

TEST(PngCorpus, EveryColourTypeAndDepthMatchesReferenceDecoders)
{
    const std::vector<std::string> paths = CorpusFiles();
    ASSERT_EQ(paths.size(), 164u);
    const std::map<std::string, pngtest::sPam> pypng = pngtest::PypngDecode(paths);
    QEL_REQUIRE(pypng.size() == paths.size(), "pypng (python3-png)");
    QEL_REQUIRE(qeltest::HaveTool("pngtopam"), "pngtopam (netpbm)");
    for (const std::string& path : paths) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        SCOPED_TRACE(name);
        cPictPNG picture;
        ASSERT_TRUE(pngtest::DecodeBytes(pngtest::ReadFileBytes(path), picture));
        EXPECT_TRUE(pngtest::MatchesReference(picture, pypng.at(name)));
        // pngtopam leaves RGB key colours opaque; it is the libpng check of all the rest.
        if (name.compare(0, 7, "key_rgb") != 0) {
            pngtest::sPam libpng;
            ASSERT_TRUE(pngtest::PngToPamDecode(path, libpng));
            EXPECT_TRUE(pngtest::MatchesReference(picture, libpng));
        }
    }
}

// The key files place key pixels on purpose: some pixels must come out transparent, and
// their neighbours one sample off must stay opaque.
TEST(PngCorpus, ColourKeysMakeOnlyExactMatchesTransparent)
{
    for (const std::string& path : CorpusFiles()) {
        if (path.find("/key_") == std::string::npos) {
            continue;
        }
        SCOPED_TRACE(path);
        cPictPNG picture;
        ASSERT_TRUE(pngtest::DecodeBytes(pngtest::ReadFileBytes(path), picture));
        _typebuf<u32> pixels;
        ASSERT_TRUE(picture.GetPixels32(pixels));
        const i32 w = picture.GetWidth();
        const i32 h = picture.GetHeight();
        // Row y (from the top) has the key at x = y % w and a near miss at x + 1.
        for (i32 y = 0; y < h; ++y) {
            const i32 x = y % w;
            const u32* row = pixels.GetData() + i64(h - 1 - y) * w;
            EXPECT_EQ(row[x] >> 24, 0u) << "key pixel at " << x << "," << y;
            if (x + 1 < w) {
                EXPECT_EQ(row[x + 1] >> 24, 255u) << "near miss at " << x + 1 << "," << y;
            }
        }
    }
}

} // namespace
