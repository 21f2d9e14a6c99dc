// The JPEG decoder against the reference decoder (djpeg -dct int -nosmooth) on files made
// by the reference encoder and ImageMagick at test time.
#include "jpegtestdecoder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<u8> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::vector<u8>& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

bool RunShell(const std::string& command)
{
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// A binary PGM or PPM with maxval 255, as 0xAARRGGBB pixels.
bool ReadPnm(const std::string& path, int& width, int& height, std::vector<u32>& pixels)
{
    std::vector<u8> data = ReadWholeFile(path);
    std::string text(data.begin(), data.end());
    std::istringstream header(text);
    std::string magic;
    int maxval = 0;
    header >> magic >> width >> height >> maxval;
    if ((magic != "P5" && magic != "P6") || maxval != 255) {
        return false;
    }
    size_t offset = size_t(header.tellg()) + 1;
    const int channels = magic == "P5" ? 1 : 3;
    if (data.size() < offset + size_t(width) * height * channels) {
        return false;
    }
    pixels.resize(size_t(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const u8* p = &data[offset + i * channels];
        u32 r = p[0];
        u32 g = channels == 3 ? p[1] : p[0];
        u32 b = channels == 3 ? p[2] : p[0];
        pixels[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
    return true;
}

class JpegParser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QEL_REQUIRE(qeltest::HaveTool("cjpeg") && qeltest::HaveTool("djpeg") &&
                        qeltest::HaveTool("jpegtran") && qeltest::PathExists("/usr/bin/convert"),
                    "cjpeg, djpeg, jpegtran (libjpeg-turbo-progs) and convert (imagemagick)");
        char pattern[] = "/tmp/qel-jpeg-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        if (!m_dir.empty()) {
            RunShell("rm -rf '" + m_dir + "'");
        }
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    // A plasma picture of the given size, as PPM.
    std::string MakeSource(int width, int height)
    {
        std::string name = "src" + std::to_string(width) + "x" + std::to_string(height) + ".ppm";
        EXPECT_TRUE(RunShell("/usr/bin/convert -seed 3 -size " + std::to_string(width) + "x" +
                        std::to_string(height) + " plasma:fractal " + Path(name)));
        return name;
    }

    // Decodes `jpeg` with ours and with the reference, and compares every pixel.
    void ExpectMatchesReference(const std::string& jpeg)
    {
        SCOPED_TRACE(jpeg);
        ASSERT_TRUE(RunShell("djpeg -dct int -nosmooth -pnm -outfile " + Path(jpeg + ".pnm") + " " +
                        Path(jpeg)));
        int width = 0;
        int height = 0;
        std::vector<u32> expected;
        ASSERT_TRUE(ReadPnm(Path(jpeg + ".pnm"), width, height, expected));
        cTestJpegDecoder decoder;
        ASSERT_TRUE(decoder.Decode(ReadWholeFile(Path(jpeg)))) << decoder.m_error;
        ASSERT_EQ(decoder.m_width, width);
        ASSERT_EQ(decoder.m_height, height);
        size_t mismatches = 0;
        size_t first = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (decoder.m_pixels[i] != expected[i] && mismatches++ == 0) {
                first = i;
            }
        }
        EXPECT_EQ(mismatches, 0u) << "first at x=" << first % width << " y=" << first / width
                                  << ": " << std::hex << decoder.m_pixels[first] << " vs "
                                  << expected[first];
    }

    std::string m_dir;
};

TEST_F(JpegParser, EncoderOptionsDecodeExactly)
{
    const char* options[] = {
        "",          "-progressive", "-sample 1x1", "-sample 2x1", "-sample 1x2",
        "-sample 2x2", "-sample 4x1", "-restart 1", "-restart 3B", "-grayscale",
        "-rgb",      "-optimize",    "-quality 100", "-quality 5",
    };
    const std::string sources[] = {MakeSource(83, 61), MakeSource(1, 1), MakeSource(17, 9)};
    int index = 0;
    for (const std::string& source : sources) {
        for (const char* option : options) {
            std::string jpeg = "o" + std::to_string(index++) + ".jpg";
            ASSERT_TRUE(RunShell(std::string("cjpeg ") + option + " -outfile " + Path(jpeg) + " " +
                            Path(source)))
                << option;
            ExpectMatchesReference(jpeg);
        }
    }
}

TEST_F(JpegParser, SeparateScansAndCustomProgressionDecodeExactly)
{
    std::string source = MakeSource(83, 61);
    // A baseline frame with one scan per component.
    WriteWholeFile(Path("seq.txt"), {'0', ';', '\n', '1', ';', '\n', '2', ';', '\n'});
    ASSERT_TRUE(RunShell("cjpeg -scans " + Path("seq.txt") + " -outfile " + Path("seq.jpg") + " " +
                    Path(source)));
    ExpectMatchesReference("seq.jpg");
    // Successive approximation on both DC and AC, spectral selection split unevenly.
    const std::string script = "0,1,2: 0-0, 0, 2;\n0: 1-5, 0, 2;\n2: 1-63, 0, 1;\n1: 1-63, 0, 1;\n"
                               "0: 6-63, 0, 2;\n0: 1-63, 2, 1;\n0,1,2: 0-0, 2, 1;\n"
                               "0,1,2: 0-0, 1, 0;\n2: 1-63, 1, 0;\n1: 1-63, 1, 0;\n0: 1-63, 1, 0;\n";
    WriteWholeFile(Path("prog.txt"), std::vector<u8>(script.begin(), script.end()));
    ASSERT_TRUE(RunShell("cjpeg -scans " + Path("prog.txt") + " -outfile " + Path("prog.jpg") + " " +
                    Path(source)));
    ExpectMatchesReference("prog.jpg");
}

TEST_F(JpegParser, LosslessTranscodingsDecodeLikeTheirBaseline)
{
    std::string source = MakeSource(83, 61);
    ASSERT_TRUE(RunShell("cjpeg -sample 2x2 -outfile " + Path("base.jpg") + " " + Path(source)));
    for (const char* option : {"-progressive", "-optimize", "-restart 2"}) {
        std::string jpeg = std::string("t") + option[1] + ".jpg";
        ASSERT_TRUE(RunShell(std::string("jpegtran ") + option + " -outfile " + Path(jpeg) + " " +
                        Path("base.jpg")));
        ExpectMatchesReference(jpeg);
    }
}

TEST_F(JpegParser, CmykFromImageMagickDecodesExactly)
{
    std::string source = MakeSource(83, 61);
    ASSERT_TRUE(RunShell("/usr/bin/convert " + Path(source) + " -colorspace CMYK -quality 90 " +
                    Path("cmyk.jpg")));
    ExpectMatchesReference("cmyk.jpg");
}

TEST_F(JpegParser, WideAndLargePicturesDecodeExactly)
{
    std::string wide = MakeSource(8193, 3);
    ASSERT_TRUE(RunShell("cjpeg -outfile " + Path("wide.jpg") + " " + Path(wide)));
    ExpectMatchesReference("wide.jpg");
    std::string large = MakeSource(640, 480);
    ASSERT_TRUE(RunShell("cjpeg -progressive -quality 95 -outfile " + Path("large.jpg") + " " +
                    Path(large)));
    ExpectMatchesReference("large.jpg");
}

TEST_F(JpegParser, UnsupportedCodingIsRefused)
{
    std::string source = MakeSource(83, 61);
    ASSERT_TRUE(RunShell("cjpeg -arithmetic -outfile " + Path("arith.jpg") + " " + Path(source)));
    cTestJpegDecoder arithmetic;
    EXPECT_FALSE(arithmetic.Decode(ReadWholeFile(Path("arith.jpg"))));

    ASSERT_TRUE(RunShell("cjpeg -outfile " + Path("base.jpg") + " " + Path(source)));
    std::vector<u8> base = ReadWholeFile(Path("base.jpg"));
    size_t sof = 0;
    for (size_t i = 2; i + 1 < base.size(); ++i) {
        if (base[i] == 0xFF && base[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    }
    ASSERT_NE(sof, 0u);
    for (u8 marker : {u8(0xC5), u8(0xF7), u8(0xC9)}) {
        std::vector<u8> patched = base;
        patched[sof + 1] = marker;
        cTestJpegDecoder decoder;
        EXPECT_FALSE(decoder.Decode(patched)) << std::hex << int(marker);
    }
    // Height 0 (defined later by DNL).
    std::vector<u8> zeroHeight = base;
    zeroHeight[sof + 5] = 0;
    zeroHeight[sof + 6] = 0;
    cTestJpegDecoder zero;
    EXPECT_FALSE(zero.Decode(zeroHeight));
    // A second frame header.
    const size_t sofLength = (size_t(base[sof + 2]) << 8 | base[sof + 3]) + 2;
    std::vector<u8> twice = base;
    twice.insert(twice.begin() + long(sof), base.begin() + long(sof),
                 base.begin() + long(sof + sofLength));
    cTestJpegDecoder second;
    EXPECT_FALSE(second.Decode(twice));
    EXPECT_EQ(second.m_error, "a second frame header");
}

TEST_F(JpegParser, TruncationFailsCleanlyButKeepsTheFrame)
{
    std::string source = MakeSource(83, 61);
    for (const char* option : {"", "-progressive"}) {
        ASSERT_TRUE(RunShell(std::string("cjpeg ") + option + " -outfile " + Path("t.jpg") + " " +
                        Path(source)));
        std::vector<u8> whole = ReadWholeFile(Path("t.jpg"));
        for (int part = 0; part < 32; ++part) {
            std::vector<u8> cut(whole.begin(), whole.begin() + long(whole.size() * part / 32));
            cTestJpegDecoder decoder;
            EXPECT_FALSE(decoder.Decode(cut)) << option << " cut at " << part << "/32";
        }
        // A header-only parse of a file cut right after its frame header.
        cTestJpegDecoder header;
        header.m_stopAtFrame = true;
        EXPECT_FALSE(header.Decode(whole));
        EXPECT_EQ(header.m_width, 83);
        EXPECT_EQ(header.m_height, 61);
    }
}

TEST_F(JpegParser, OwnerDecidesWhatIsDecoded)
{
    std::string source = MakeSource(83, 61);
    ASSERT_TRUE(RunShell("cjpeg -sample 2x2 -outfile " + Path("b.jpg") + " " + Path(source)));
    std::vector<u8> file = ReadWholeFile(Path("b.jpg"));

    cTestJpegDecoder noPixels;
    noPixels.m_wantPixels = false;
    EXPECT_TRUE(noPixels.Decode(file));
    EXPECT_EQ(noPixels.m_width, 83);
    EXPECT_EQ(noPixels.m_bandsDecoded, 0);

    // Skipping the bottom bands still decodes the file, and the top band stays exact.
    cTestJpegDecoder top;
    top.m_skipBandsFromRow = 32;
    EXPECT_TRUE(top.Decode(file));
    EXPECT_EQ(top.m_bandsDecoded, 2);
    cTestJpegDecoder whole;
    ASSERT_TRUE(whole.Decode(file));
    EXPECT_EQ(whole.m_bandsDecoded, 4);
    for (int i = 0; i < 83 * 32; ++i) {
        ASSERT_EQ(top.m_pixels[size_t(i)], whole.m_pixels[size_t(i)]);
    }
}

} // namespace
