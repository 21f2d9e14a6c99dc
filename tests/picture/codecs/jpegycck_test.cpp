// YCCK files (Adobe transform 2), written with the system's libjpeg from CMYK samples,
// against the reference decoder's PPM output (which turns inverted CMYK into RGB).
#include "jpegtestdecoder.h"

#include <cstdlib>
#include <jpeglib.h>

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
    const qeltest::cScratchFolder folder;
    for (int sampling : {1, 2}) {
        SCOPED_TRACE(sampling);
        const std::vector<u8> file = WriteYcck(45, 27, sampling);
        picttest::WriteFileBytes(folder.PathOf("ycck.jpg"), std::string(file.begin(), file.end()));
        const std::vector<u32> expected =
            picttest::ToolPixels("djpeg -dct int -nosmooth -ppm " + folder.PathOf("ycck.jpg"));
        cTestJpegDecoder decoder;
        ASSERT_TRUE(decoder.Decode(file)) << decoder.m_error;
        ASSERT_EQ(decoder.m_width, 45);
        EXPECT_TRUE(picttest::SamePixels(decoder.m_pixels, expected, 45));
    }
}
