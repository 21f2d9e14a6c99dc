// PngSuite against libpng (through netpbm's pngtopam): every valid file bit-exact, into the
// buffer and streamed at scale 1; every x* file refused.
#include "base/memio.h"
#include "picture/core/pngreader.h"
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string SuitePath(const std::string& name)
{
    return qeltest::SharedDataPath("pngsuite/png/" + name);
}

std::vector<std::string> SuiteFiles()
{
    return pngtest::ListPngFiles(SuitePath(""));
}

using pngtest::DecodeBytes;

// RGB files with a tRNS key, whose key colour pngtopam leaves opaque.
bool IsRgbKeyFile(const std::string& name)
{
    return name == "tbrn2c08.png" || name == "tbbn2c16.png" || name == "tbgn2c16.png";
}

TEST(PngSuite, ValidFilesMatchReferenceDecoders)
{
    const std::vector<std::string> files = SuiteFiles();
    QEL_REQUIRE(files.size() == 175, "PngSuite in shared/testdata/pngsuite/png");
    std::vector<std::string> paths;
    for (const std::string& name : files) {
        paths.push_back(SuitePath(name));
    }
    const std::map<std::string, pngtest::sPam> pypng = pngtest::PypngDecode(paths);
    QEL_REQUIRE(pypng.size() == 161, "pypng (python3-png) decoding PngSuite");
    const bool havePngToPam = qeltest::HaveTool("pngtopam");
    QEL_REQUIRE(havePngToPam, "pngtopam (netpbm)");
    i32 checked = 0;
    for (const std::string& name : files) {
        if (name[0] == 'x') {
            continue;
        }
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(SuitePath(name));
        cPictPNG picture;
        ASSERT_TRUE(DecodeBytes(bytes, picture));
        ASSERT_EQ(pypng.count(name), 1u);
        EXPECT_TRUE(pngtest::MatchesReference(picture, pypng.at(name)));
        pngtest::sPam libpng;
        if (!IsRgbKeyFile(name)) {
            ASSERT_TRUE(pngtest::PngToPamDecode(SuitePath(name), libpng));
            EXPECT_TRUE(pngtest::MatchesReference(picture, libpng));
        }

        const i32 w = picture.GetWidth();
        const i32 h = picture.GetHeight();
        sPictInfo info;
        cBufWrapperIO stream(bytes.data(), bytes.size());
        ASSERT_TRUE(ProbePNG(&stream, &info));
        EXPECT_EQ(info.width, w);
        EXPECT_EQ(info.height, h);
        EXPECT_EQ(info.hasEmbeddedPreview, 0);

        // Streamed at scale 1 into a target of the same size: the buffer decode, mapped
        // to 32 bits.
        _typebuf<u32> expected;
        ASSERT_TRUE(picture.GetPixels32(expected));
        std::vector<u32> targetPixels(size_t(w) * h, 0);
        sPictTarget target;
        target.pixels = targetPixels.data();
        target.width = w;
        target.height = h;
        cPictPNG streamed;
        ASSERT_TRUE(streamed.SetTarget(&target));
        ASSERT_TRUE(DecodeBytes(bytes, streamed));
        EXPECT_FALSE(streamed.HasTarget());
        EXPECT_EQ(streamed.Pixels32().GetData(), nullptr);
        EXPECT_EQ(targetPixels, std::vector<u32>(expected.GetData(), expected.GetData() + w * h));
        ++checked;
    }
    EXPECT_EQ(checked, 161);
}

TEST(PngSuite, InterlacedTwinsDecodeAlike)
{
    const std::vector<std::string> files = SuiteFiles();
    QEL_REQUIRE(!files.empty(), "PngSuite in shared/testdata/pngsuite/png");
    i32 pairs = 0;
    for (const std::string& name : files) {
        if (name.size() < 4 || name[3] != 'i') {
            continue;
        }
        std::string twin = name;
        twin[3] = 'n';
        if (!std::binary_search(files.begin(), files.end(), twin)) {
            continue;
        }
        SCOPED_TRACE(name);
        cPictPNG interlaced;
        cPictPNG plain;
        ASSERT_TRUE(DecodeBytes(pngtest::ReadFileBytes(SuitePath(name)), interlaced));
        ASSERT_TRUE(DecodeBytes(pngtest::ReadFileBytes(SuitePath(twin)), plain));
        _typebuf<u32> a;
        _typebuf<u32> b;
        ASSERT_TRUE(interlaced.GetPixels32(a));
        ASSERT_TRUE(plain.GetPixels32(b));
        ASSERT_EQ(a.GetCount(), b.GetCount());
        EXPECT_TRUE(std::equal(a.GetData(), a.GetData() + a.GetCount(), b.GetData()));
        ++pairs;
    }
    EXPECT_GE(pairs, 30);
}

TEST(PngSuite, BrokenFilesFail)
{
    const std::vector<std::string> files = SuiteFiles();
    QEL_REQUIRE(!files.empty(), "PngSuite in shared/testdata/pngsuite/png");
    i32 broken = 0;
    for (const std::string& name : files) {
        if (name[0] != 'x') {
            continue;
        }
        SCOPED_TRACE(name);
        cPictPNG picture;
        EXPECT_FALSE(DecodeBytes(pngtest::ReadFileBytes(SuitePath(name)), picture));
        ++broken;
    }
    EXPECT_EQ(broken, 14);
}

} // namespace
