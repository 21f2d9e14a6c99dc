// The JPEG decoder against the reference decoder (djpeg -dct int -nosmooth) on files made
// by the reference encoder, jpegtran and ImageMagick at test time; coding it does not
// support is refused, and cut files fail.
#include "jpegtestdecoder.h"

namespace {

using namespace picttest;

class JpegParser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QEL_REQUIRE(qeltest::HaveTool("cjpeg") && qeltest::HaveTool("djpeg") &&
                        qeltest::HaveTool("jpegtran") && qeltest::HaveTool("convert"),
                    "cjpeg, djpeg, jpegtran (libjpeg-turbo-progs) and convert (imagemagick)");
        ASSERT_TRUE(MakeSources({"83x61"}));
    }

    // Plasma pictures of the given sizes, as src<size>.ppm.
    bool MakeSources(std::initializer_list<const char*> sizes)
    {
        for (const char* size : sizes) {
            if (!Shell(std::string("convert -seed 3 -size ") + size + " plasma:fractal src" + size + ".ppm")) {
                return false;
            }
        }
        return true;
    }

    bool Shell(const std::string& command) { return RunsOk("cd " + m_folder.Path() + " && " + command); }
    std::vector<u8> Bytes(const std::string& name) { return ReadFileBytes(m_folder.PathOf(name)); }

    // Decodes `jpeg` with ours and with the reference, and compares every pixel.
    void ExpectMatchesReference(const std::string& jpeg)
    {
        SCOPED_TRACE(jpeg);
        i32 width = 0;
        i32 height = 0;
        const std::vector<u32> expected =
            ToolPixels("djpeg -dct int -nosmooth -pnm " + m_folder.PathOf(jpeg), &width, &height);
        ASSERT_FALSE(expected.empty());
        cTestJpegDecoder decoder;
        ASSERT_TRUE(decoder.Decode(Bytes(jpeg))) << decoder.m_error;
        ASSERT_EQ(std::pair(decoder.m_width, decoder.m_height), std::pair(width, height));
        EXPECT_TRUE(SamePixels(decoder.m_pixels, expected, width));
    }

    qeltest::cScratchFolder m_folder;
};

// One scan per component in a baseline frame; successive approximation on both DC and AC
// with spectral selection split unevenly; lossless transcodings; CMYK from ImageMagick;
// a wide and a large picture.
TEST_F(JpegParser, ScanScriptsTranscodingsAndOtherMakersDecodeExactly)
{
    WriteFileBytes(m_folder.PathOf("seq.txt"), "0;\n1;\n2;\n");
    WriteFileBytes(m_folder.PathOf("prog.txt"),
                   "0,1,2: 0-0, 0, 2;\n0: 1-5, 0, 2;\n2: 1-63, 0, 1;\n1: 1-63, 0, 1;\n"
                   "0: 6-63, 0, 2;\n0: 1-63, 2, 1;\n0,1,2: 0-0, 2, 1;\n"
                   "0,1,2: 0-0, 1, 0;\n2: 1-63, 1, 0;\n1: 1-63, 1, 0;\n0: 1-63, 1, 0;\n");
    ASSERT_TRUE(MakeSources({"8193x3", "640x480"}));
    ASSERT_TRUE(Shell("cjpeg -sample 2x2 -outfile base.jpg src83x61.ppm"));
    const std::pair<const char*, const char*> kFiles[] = {
        {"seq.jpg", "cjpeg -scans seq.txt -outfile seq.jpg src83x61.ppm"},
        {"prog.jpg", "cjpeg -scans prog.txt -outfile prog.jpg src83x61.ppm"},
        {"tp.jpg", "jpegtran -progressive -outfile tp.jpg base.jpg"},
        {"to.jpg", "jpegtran -optimize -outfile to.jpg base.jpg"},
        {"tr.jpg", "jpegtran -restart 2 -outfile tr.jpg base.jpg"},
        {"cmyk.jpg", "convert src83x61.ppm -colorspace CMYK -quality 90 cmyk.jpg"},
        {"wide.jpg", "cjpeg -outfile wide.jpg src8193x3.ppm"},
        {"large.jpg", "cjpeg -progressive -quality 95 -outfile large.jpg src640x480.ppm"},
    };
    for (const auto& [name, command] : kFiles) {
        ASSERT_TRUE(Shell(command)) << command;
        ExpectMatchesReference(name);
    }
}

// Arithmetic coding, other SOF types, a height left to DNL, a second frame header.
TEST_F(JpegParser, UnsupportedCodingIsRefused)
{
    ASSERT_TRUE(Shell("cjpeg -arithmetic -outfile arith.jpg src83x61.ppm && "
                      "cjpeg -outfile base.jpg src83x61.ppm"));
    cTestJpegDecoder arithmetic;
    EXPECT_FALSE(arithmetic.Decode(Bytes("arith.jpg")));

    const std::vector<u8> base = Bytes("base.jpg");
    const std::optional<size_t> found = FindMarker(base, 0xC0, 2);
    ASSERT_TRUE(found);
    const size_t sof = *found;
    std::vector<std::vector<u8>> refused;
    for (u8 marker : {u8(0xC5), u8(0xF7), u8(0xC9)}) {
        refused.push_back(base);
        refused.back()[sof + 1] = marker;
    }
    refused.push_back(base);
    refused.back()[sof + 5] = 0;
    refused.back()[sof + 6] = 0;
    const size_t sofLength = (size_t(base[sof + 2]) << 8 | base[sof + 3]) + 2;
    std::vector<u8> twice = base;
    twice.insert(twice.begin() + i64(sof), base.begin() + i64(sof), base.begin() + i64(sof + sofLength));
    refused.push_back(twice);
    for (const std::vector<u8>& file : refused) {
        cTestJpegDecoder decoder;
        EXPECT_FALSE(decoder.Decode(file)) << &file - refused.data();
    }
    cTestJpegDecoder second;
    EXPECT_FALSE(second.Decode(twice));
    EXPECT_EQ(second.m_error, "a second frame header");
}

// Cut files fail; a header-only parse keeps the frame's size.
TEST_F(JpegParser, TruncationFailsCleanlyButKeepsTheFrame)
{
    for (const char* option : {"", "-progressive"}) {
        ASSERT_TRUE(Shell(std::string("cjpeg ") + option + " -outfile t.jpg src83x61.ppm"));
        const std::vector<u8> whole = Bytes("t.jpg");
        ForEachCut(whole, [](const std::vector<u8>& cut) {
            cTestJpegDecoder decoder;
            EXPECT_FALSE(decoder.Decode(cut));
        });
        cTestJpegDecoder header;
        header.m_stopAtFrame = true;
        EXPECT_FALSE(header.Decode(whole));
        EXPECT_EQ(std::pair(header.m_width, header.m_height), std::pair(83, 61));
    }
}

// Entropy-coded data that stops before the last MCU fails, whether the stop is a marker
// or a restart interval cut short, instead of decoding zeros.
TEST_F(JpegParser, ScanCutShortBeforeEoiFails)
{
    for (const char* option : {"", "-restart 1"}) {
        ASSERT_TRUE(Shell(std::string("cjpeg ") + option + " -outfile c.jpg src83x61.ppm"));
        const std::vector<u8> whole = Bytes("c.jpg");
        const std::optional<size_t> sos = FindMarker(whole, 0xDA);
        ASSERT_TRUE(sos);
        const size_t dataStart = *sos + 14; // SOS with three components
        for (size_t part = 0; part < 8; ++part) {
            std::vector<u8> cut(whole.begin(), whole.begin() + i64(dataStart + (whole.size() - 2 - dataStart) * part / 8));
            cut.insert(cut.end(), {0xFF, 0xD9});
            cTestJpegDecoder decoder;
            EXPECT_FALSE(decoder.Decode(cut)) << option << " cut at " << part << "/8";
        }
    }
}

// No pixels wanted: nothing transformed. Skipping the bottom bands still decodes the file,
// and the top bands stay exact.
TEST_F(JpegParser, OwnerDecidesWhatIsDecoded)
{
    ASSERT_TRUE(Shell("cjpeg -sample 2x2 -outfile b.jpg src83x61.ppm"));
    const std::vector<u8> file = Bytes("b.jpg");
    cTestJpegDecoder noPixels;
    noPixels.m_wantPixels = false;
    EXPECT_TRUE(noPixels.Decode(file));
    EXPECT_EQ(noPixels.m_width, 83);
    EXPECT_EQ(noPixels.m_bandsDecoded, 0);

    cTestJpegDecoder top;
    top.m_skipBandsFromRow = 32;
    EXPECT_TRUE(top.Decode(file));
    EXPECT_EQ(top.m_bandsDecoded, 2);
    cTestJpegDecoder whole;
    ASSERT_TRUE(whole.Decode(file));
    EXPECT_EQ(whole.m_bandsDecoded, 4);
    EXPECT_TRUE(std::equal(top.m_pixels.begin(), top.m_pixels.begin() + 83 * 32, whole.m_pixels.begin()));
}

} // namespace
