// The PPM/PNM reader against the samples netpbm's pamtopam prints for files made by netpbm
// and ImageMagick, and hand-written headers.
#include "picture/core/ppmreader.h"
#include "rasterformats.h"

namespace {

using rastertest::tPixels;

cPictBase* NewPpm()
{
    return new cPictPPM;
}

// Red, green and blue of every pixel from the top: 16-bit lanes of deep pictures, else
// the 8-bit channels.
std::vector<u32> SamplesOf(cPictPPM& picture)
{
    std::vector<u32> samples;
    const i32 w = picture.GetWidth();
    const i32 h = picture.GetHeight();
    if (picture.IsDeep()) {
        for (u64 pixel : pngtest::TopDown(picture.Pixels64().GetData(), w, h)) {
            samples.insert(samples.end(), {u32(pixel >> 32 & 0xFFFF), u32(pixel >> 16 & 0xFFFF),
                                           u32(pixel & 0xFFFF)});
        }
        return samples;
    }
    for (u32 pixel : rastertest::Decoded(picture)) {
        samples.insert(samples.end(), {pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF});
    }
    return samples;
}

TEST(PpmReader, ToolFilesCarryThePamtopamSamples)
{
    const rastertest::sSources sources;
    QEL_REQUIRE(sources.made && qeltest::HaveTool("pamtopam"), "ImageMagick 6, netpbm");
    const std::pair<const char*, const char*> files[] = {
        {"ramp.pgm", "pgmramp -lr 256 16 >"},
        {"gingham.ppm", "ppmpat -gingham2 64 64 >"},
        {"grey10x3.pbm", "pbmmake -g 10 3 >"},
        {"deep.ppm", "pamdepth 65535 < src.ppm >"},
        {"deep.pgm", "ppmtopgm s13x7.ppm | pamdepth 65535 >"},
        {"max15.pgm", "ppmtopgm src.ppm | pamdepth 15 >"},
        {"max15.ppm", "pamdepth 15 < src.ppm >"},
        {"im16.ppm", "/usr/bin/convert src.ppm -depth 16"},
        {"s1x9.ppm", "true"},
        {"s9x1.ppm", "true"},
        {"s1x1.ppm", "true"},
    };
    for (const auto& [name, command] : files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(sources.Run(std::string(command) + " " + name));
        const std::string path = sources.PathOf(name);
        const std::vector<u8> bytes = pngtest::ReadFileBytes(path);
        pngtest::sPam pam;
        ASSERT_TRUE(pngtest::ParsePam(pngtest::RunCommand("pamtopam < '" + path + "'"), pam));
        std::vector<u32> want;
        for (size_t i = 0; i < pam.samples.size(); i += pam.depth) {
            for (i32 channel = 0; channel < 3; ++channel) {
                // Bitmaps: netpbm's 1 is white, 255 in each channel here.
                const u32 sample = pam.samples[i + (pam.depth == 3 ? channel : 0)];
                want.push_back(pam.maxval == 1 ? sample * 255 : sample);
            }
        }
        cPictPPM picture;
        ASSERT_TRUE(pngtest::DecodeBytes(bytes, picture));
        EXPECT_EQ(picture.IsDeep(), pam.maxval > 255);
        EXPECT_EQ(SamplesOf(picture), want);
        rastertest::CheckStreamingAndCuts(NewPpm, bytes, true);
    }
    // The plain formats and PAM are refused.
    for (const char* command : {"pnmtoplainpnm src.ppm", "pamtopam < src.ppm",
                                "ppmtopgm src.ppm | pgmtopbm | pnmtoplainpnm"}) {
        EXPECT_EQ(rastertest::Decode(NewPpm, pngtest::RunCommand("cd '" + sources.folder.Path() +
                                                                 "' && " + command)),
                  tPixels())
            << command;
    }
}

u32 Grey(u32 v)
{
    return 0xFF000000 | v * 0x010101;
}

TEST(PpmReader, HandWrittenHeaders)
{
    struct sCase
    {
        std::string text;
        bool probes;
        tPixels want; // empty: Load fails
    } cases[] = {
        {"P6#c\n1 1 255\n\x01\x02\x03", true, {0xFF010203}},
        {"P5 2 # c\r 1\t#\n255\n\x07\x09", true, {Grey(7), Grey(9)}},
        // After the maximum value a "#" ends the header and its text is pixel data.
        {"P5 2 1 255#ab", true, {Grey('a'), Grey('b')}},
        // Samples are not scaled by the maximum value.
        {"P5 2 1 15 \x0f\x03", true, {Grey(15), Grey(3)}},
        {"P4 10 1 \xff\xc0", true, tPixels(10, 0xFF000000)},
        {"P4 10 1 \xff", true, {}},
        // A "#" glued to the width or height would make a comment the next number.
        {"P5 10#5 5\n255\n", false, {}},
        {"P5 2 1#x\n255\n\x01\x02", false, {}},
        {"P5 0 1 255 x", false, {}},
        {"P5 12345678901 1 255 x", false, {}},
        {"P5 2147483648 1 255 x", false, {}},
        {"P5 1 1 0 x", false, {}},
        {"P5 1 1 65536 xx", false, {}},
        {"P3 1 1 255 0 0 0", false, {}},
        {"P7\nWIDTH 1\n", false, {}},
        // Past the pixel cap: the header is fine, Load fails before allocating.
        {"P5 65536 65537 255 x", true, {}},
        {"P5 2147483647 1 255 x", true, {}},
    };
    for (const sCase& c : cases) {
        const std::vector<u8> bytes(c.text.begin(), c.text.end());
        cBufWrapperIO stream(bytes.data(), bytes.size());
        EXPECT_EQ(ProbePPM(&stream, nullptr), c.probes) << c.text;
        EXPECT_EQ(rastertest::Decode(NewPpm, bytes), c.want) << c.text;
    }
}

} // namespace
