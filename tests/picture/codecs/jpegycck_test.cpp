// YCCK files (Adobe transform 2), written with the system's libjpeg from CMYK samples,
// against the reference decoder's PPM output (which turns inverted CMYK into RGB).
#include "jpegtestdecoder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<u8> WriteYcck(int width, int height, int lumaSampling)
{
    std::vector<u8> cmyk(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            u8* p = &cmyk[(size_t(y) * width + x) * 4];
            p[0] = u8(x * 255 / (width - 1));
            p[1] = u8(y * 255 / (height - 1));
            p[2] = u8((x * y) & 255);
            p[3] = u8(255 - ((x + y) * 3 & 255));
        }
    }
    jpeg_compress_struct compress;
    jpeg_error_mgr error;
    compress.err = jpeg_std_error(&error);
    jpeg_create_compress(&compress);
    unsigned char* output = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compress, &output, &size);
    compress.image_width = JDIMENSION(width);
    compress.image_height = JDIMENSION(height);
    compress.input_components = 4;
    compress.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&compress);
    jpeg_set_colorspace(&compress, JCS_YCCK);
    compress.comp_info[0].h_samp_factor = lumaSampling;
    compress.comp_info[0].v_samp_factor = lumaSampling;
    jpeg_set_quality(&compress, 85, TRUE);
    jpeg_start_compress(&compress, TRUE);
    while (compress.next_scanline < compress.image_height) {
        JSAMPROW row = &cmyk[size_t(compress.next_scanline) * width * 4];
        jpeg_write_scanlines(&compress, &row, 1);
    }
    jpeg_finish_compress(&compress);
    jpeg_destroy_compress(&compress);
    std::vector<u8> file(output, output + size);
    std::free(output);
    return file;
}

} // namespace

TEST(JpegYcck, DecodesLikeTheReference)
{
    QEL_REQUIRE(qeltest::HaveTool("djpeg"), "djpeg (libjpeg-turbo-progs)");
    for (int sampling : {1, 2}) {
        SCOPED_TRACE(sampling);
        const int width = 45;
        const int height = 27;
        std::vector<u8> file = WriteYcck(width, height, sampling);
        const std::string jpegPath = "/tmp/qel-ycck-" + std::to_string(getpid()) + ".jpg";
        {
            std::ofstream out(jpegPath, std::ios::binary);
            out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        }
        FILE* pipe = popen(("djpeg -dct int -nosmooth -ppm " + jpegPath).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string ppm;
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            ppm.append(buffer, got);
        }
        pclose(pipe);
        std::remove(jpegPath.c_str());

        std::istringstream header(ppm);
        std::string magic;
        int w = 0;
        int h = 0;
        int maxval = 0;
        header >> magic >> w >> h >> maxval;
        ASSERT_EQ(magic, "P6");
        const size_t offset = size_t(header.tellg()) + 1;
        ASSERT_EQ(ppm.size(), offset + size_t(w) * h * 3);

        cTestJpegDecoder decoder;
        ASSERT_TRUE(decoder.Decode(file)) << decoder.m_error;
        ASSERT_EQ(decoder.m_width, w);
        int mismatches = 0;
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            const u8* p = reinterpret_cast<const u8*>(ppm.data()) + offset + 3 * i;
            const u32 expected = 0xFF000000u | (u32(p[0]) << 16) | (u32(p[1]) << 8) | p[2];
            mismatches += decoder.m_pixels[i] != expected;
        }
        EXPECT_EQ(mismatches, 0);
    }
}
