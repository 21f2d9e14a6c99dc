// TGA, PPM, PCX and XPM decoding from memory, against stb_image (TGA and PPM, 4 channels,
// 16-bit samples for 16-bit PPM) and libXpm (XpmCreateXpmImageFromBuffer: the parse and
// colour table without pixel conversion). PCX has no in-process peer; bench/raster_bench.sh
// times it against pcxtoppm.
//
// The inputs are made once per machine into $TMPDIR/qel_raster_bench from a 4000 x 3000
// plasma photo (XPM at 1000 x 1000: 255 colours give 2 characters per pixel, noise
// posterized to 9261 colours 3; libXpm's time grows with the square of the colour count,
// so unreduced noise, about 500,000 colours, would take it minutes); a
// benchmark whose input cannot be made is skipped with a message. Each reports ns per
// pixel; divide by the peer's line of the same file for the ratio.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "decodetiming.h"
#include "picture/formats/pcxreader.h"
#include "picture/formats/ppmreader.h"
#include "picture/formats/tgareader.h"
#include "picture/formats/xpmreader.h"

#include <X11/xpm.h>
#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// File name and the shell command that makes it from photo.ppm in the cache folder.
const std::map<std::string, std::string> kRecipes = {
    {"tga24.tga", "convert photo.ppm -type TrueColor -compress None tga24.tga"},
    {"tga24rle.tga", "convert photo.ppm -type TrueColor -compress RLE tga24rle.tga"},
    {"tga32.tga", "convert photo.ppm -alpha set -channel A -evaluate set 80% tga32.tga"},
    {"p6.ppm", "cp photo.ppm p6.ppm"},
    {"p6deep.ppm", "pamdepth 65535 < photo.ppm > p6deep.ppm"},
    {"rgb.pcx", "convert photo.ppm PCX:rgb.pcx"},
    {"palette.pcx", "convert photo.ppm -colors 256 -type Palette PCX:palette.pcx"},
    {"cpp2.xpm", "convert photo.ppm -resize 1000x1000! -colors 255 ppm:- | "
                 "ppmtoxpm -hexonly > cpp2.xpm"},
    {"cpp3.xpm", "convert -seed 5 -size 1000x1000 xc: +noise Random -posterize 21 -depth 8 ppm:- | "
                 "ppmtoxpm -hexonly > cpp3.xpm"},
};

// The bytes of an input, made on first use; empty when a tool is missing.
const std::vector<u8>& InputBytes(const std::string& name)
{
    static std::map<std::string, std::vector<u8>> cache;
    if (auto found = cache.find(name); found != cache.end()) {
        return found->second;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = std::string(tmp != nullptr ? tmp : "/tmp") + "/qel_raster_bench";
    const std::string command =
        "mkdir -p '" + folder + "' && cd '" + folder + "' && { [ -s photo.ppm ] || " +
        "/usr/bin/convert -seed 5 -size 4000x3000 plasma:fractal -blur 0x1 -depth 8 photo.ppm; }" +
        " && { [ -s " + name + " ] || { PATH=/usr/bin:$PATH; " + kRecipes.at(name) +
        "; }; } 2>/dev/null";
    (void)std::system(command.c_str());
    std::ifstream file(folder + "/" + name, std::ios::binary);
    return cache[name] = std::vector<u8>(std::istreambuf_iterator<char>(file), {});
}

template <class Decode> void RunDecode(benchmark::State& state, const char* name, Decode decode)
{
    TimeDecode(state, InputBytes(name),
               "input missing: ImageMagick and netpbm are needed to make it", decode);
}

template <class tReader> i64 DecodeWithOurs(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    tReader picture;
    if (!picture.Load(&stream)) {
        return -1;
    }
    benchmark::DoNotOptimize(picture.HasPixels());
    return i64(picture.GetWidth()) * picture.GetHeight();
}

i64 DecodeWithStbImage(const std::vector<u8>& bytes)
{
    const int size = int(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    void* out = stbi_is_16_bit_from_memory(bytes.data(), size)
                    ? static_cast<void*>(stbi_load_16_from_memory(bytes.data(), size, &width,
                                                                  &height, &channels, 4))
                    : static_cast<void*>(
                          stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 4));
    if (out == nullptr) {
        return -1;
    }
    benchmark::DoNotOptimize(out);
    stbi_image_free(out);
    return i64(width) * height;
}

i64 DecodeWithLibXpm(const std::vector<u8>& bytes)
{
    // libXpm parses a terminated text.
    std::string text(bytes.begin(), bytes.end());
    XpmImage image;
    if (XpmCreateXpmImageFromBuffer(text.data(), &image, nullptr) != XpmSuccess) {
        return -1;
    }
    const i64 pixels = i64(image.width) * image.height;
    benchmark::DoNotOptimize(image.data);
    XpmFreeXpmImage(&image);
    return pixels;
}

#define QEL_RASTER_BENCH(name, file, decode)                                                       \
    void name(benchmark::State& state)                                                             \
    {                                                                                              \
        RunDecode(state, file, decode);                                                            \
    }                                                                                              \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)

QEL_RASTER_BENCH(Tga24_Ours, "tga24.tga", DecodeWithOurs<cPictTGA>);
QEL_RASTER_BENCH(Tga24_StbImage, "tga24.tga", DecodeWithStbImage);
QEL_RASTER_BENCH(Tga24Rle_Ours, "tga24rle.tga", DecodeWithOurs<cPictTGA>);
QEL_RASTER_BENCH(Tga24Rle_StbImage, "tga24rle.tga", DecodeWithStbImage);
QEL_RASTER_BENCH(Tga32_Ours, "tga32.tga", DecodeWithOurs<cPictTGA>);
QEL_RASTER_BENCH(Tga32_StbImage, "tga32.tga", DecodeWithStbImage);
QEL_RASTER_BENCH(Ppm8_Ours, "p6.ppm", DecodeWithOurs<cPictPPM>);
QEL_RASTER_BENCH(Ppm8_StbImage, "p6.ppm", DecodeWithStbImage);
QEL_RASTER_BENCH(Ppm16_Ours, "p6deep.ppm", DecodeWithOurs<cPictPPM>);
QEL_RASTER_BENCH(Ppm16_StbImage, "p6deep.ppm", DecodeWithStbImage);
QEL_RASTER_BENCH(PcxRgb_Ours, "rgb.pcx", DecodeWithOurs<cPictPCX>);
QEL_RASTER_BENCH(PcxPalette_Ours, "palette.pcx", DecodeWithOurs<cPictPCX>);
QEL_RASTER_BENCH(XpmCpp2_Ours, "cpp2.xpm", DecodeWithOurs<cPictXPM>);
QEL_RASTER_BENCH(XpmCpp2_LibXpm, "cpp2.xpm", DecodeWithLibXpm);
QEL_RASTER_BENCH(XpmCpp3_Ours, "cpp3.xpm", DecodeWithOurs<cPictXPM>);
QEL_RASTER_BENCH(XpmCpp3_LibXpm, "cpp3.xpm", DecodeWithLibXpm);

} // namespace

BENCHMARK_MAIN();
