// The PNG reader against pypng and libpng (through netpbm's pngtopam), bit-exact: PngSuite and
// the generated corpus (tools/testdata/make_png.py: every colour type and depth, Adam7,
// tRNS keys placed beside near misses). PngSuite's x* files must fail.
#include "picture/picturesupport.h"

#include <string>
#include <vector>

namespace {

using namespace picttest;

// pngtopam leaves RGB key colours opaque; it is the libpng check of all the other files.
bool IsRgbKeyFile(const std::string& name)
{
    return name == "tbrn2c08.png" || name == "tbbn2c16.png" || name == "tbgn2c16.png" ||
           name.compare(0, 7, "key_rgb") == 0;
}

// Each file decodes as both references do; its probe gives the size, and streamed at
// scale 1 it gives the buffer decode mapped to 32 bits.
void ExpectMatchesReferenceDecoders(const std::vector<std::string>& paths)
{
    const std::map<std::string, sPnm> pypng = PypngDecode(paths);
    QEL_REQUIRE(pypng.size() == paths.size(), "pypng (python3-png)");
    QEL_REQUIRE(qeltest::HaveTool("pngtopam"), "pngtopam (netpbm)");
    for (const std::string& path : paths) {
        const std::string name = BaseName(path);
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = ReadFileBytes(path);
        cPictPNG picture;
        ASSERT_TRUE(DecodeBytes(bytes, picture));
        EXPECT_TRUE(MatchesReference(picture, pypng.at(name)));
        sPnm libpng;
        if (!IsRgbKeyFile(name)) {
            ASSERT_TRUE(PngToPamDecode(path, libpng));
            EXPECT_TRUE(MatchesReference(picture, libpng));
        }

        const i32 w = picture.GetWidth();
        const i32 h = picture.GetHeight();
        sPictInfo info;
        cBufWrapperIO stream(bytes.data(), bytes.size());
        ASSERT_TRUE(ProbePNG(&stream, &info));
        EXPECT_EQ(info.width, w);
        EXPECT_EQ(info.height, h);
        EXPECT_EQ(info.hasEmbeddedPreview, 0);
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
    }
}

TEST(PngReference, PngSuite)
{
    std::vector<std::string> valid;
    std::vector<std::string> broken;
    for (const std::string& path : ListPngFiles(qeltest::SharedDataPath("pngsuite/png/"))) {
        (BaseName(path)[0] == 'x' ? broken : valid).push_back(path);
    }
    QEL_REQUIRE(valid.size() == 161 && broken.size() == 14, "PngSuite in shared/testdata");
    ExpectMatchesReferenceDecoders(valid);
    for (const std::string& path : broken) {
        cPictPNG picture;
        EXPECT_FALSE(DecodeBytes(ReadFileBytes(path), picture)) << path;
    }
}

TEST(PngReference, GeneratedCorpus)
{
    const std::vector<std::string> paths = ListPngFiles(qeltest::LocalDataPath("png/corpus/"));
    ASSERT_EQ(paths.size(), 164u);
    ExpectMatchesReferenceDecoders(paths);
}

} // namespace
