// PNG decoding from memory against libpng (classic API, the same expansions), libspng
// and stb_image; streaming render and PictResample throughput.
//
// The inputs are made once per machine with ImageMagick into $TMPDIR/qel_png_bench (a
// 4000 x 3000 plasma photo as RGB8, RGBA8, RGB16, palette and Adam7, a flat "screenshot",
// and a small palette picture of the size of a toolbar image, where the cost per file and
// per row counts); a benchmark whose input cannot be made is skipped with a message.
// libpng, libspng and our reader share the system zlib; stb_image has its own inflate.
// Each benchmark reports ns per pixel; divide by the libpng line of the same file for the
// ratio.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "decodetiming.h"
#include "picture/core/resample.h"
#include "picture/formats/pngreader.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <sys/stat.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

struct sInput
{
    const char* name;
    const char* recipe; // convert arguments after the source photo
};

// The photo comes first; the others are converted from it.
constexpr sInput kInputs[] = {
    {"rgb8", "PNG24:"},
    {"rgba8", "-alpha set -channel A -evaluate set 80% +channel PNG32:"},
    {"rgb16", "PNG48:"},
    {"palette", "-colors 256 PNG8:"},
    {"adam7", "-interlace PNG PNG24:"},
    {"screenshot", "-filter point -resize 64x48 -resize 4000x3000! -colors 16 PNG24:"},
    {"ui_palette", "-resize 64x48! -colors 16 PNG8:"},
};

std::string CacheFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/qel_png_bench";
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

// The bytes of an input, made on first use; empty when ImageMagick is missing.
const std::vector<u8>& InputBytes(const std::string& name)
{
    static std::map<std::string, std::vector<u8>> cache;
    auto found = cache.find(name);
    if (found != cache.end()) {
        return found->second;
    }
    const std::string folder = CacheFolder();
    ::mkdir(folder.c_str(), 0755);
    const std::string photo = folder + "/photo.png";
    if (!FileExists(photo)) {
        const std::string command = "convert -seed 5 -size 4000x3000 plasma:fractal -blur 0x1 "
                                    "PNG24:'" + photo + ".tmp' && mv '" + photo + ".tmp' '" +
                                    photo + "'";
        (void)std::system(command.c_str());
    }
    const std::string path = folder + "/" + name + ".png";
    for (const sInput& input : kInputs) {
        if (name == input.name && FileExists(photo) && !FileExists(path)) {
            const std::string command = std::string("convert '") + photo + "' " + input.recipe +
                                        "'" + path + ".tmp' && mv '" + path + ".tmp' '" +
                                        path + "'";
            (void)std::system(command.c_str());
        }
    }
    std::ifstream file(path, std::ios::binary);
    return cache[name] = std::vector<u8>(std::istreambuf_iterator<char>(file), {});
}

void ReportPixels(benchmark::State& state, i64 pixels)
{
    state.counters["ns_per_pixel"] = benchmark::Counter(
        f64(pixels) * f64(state.iterations()) * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Decode> void RunDecode(benchmark::State& state, const char* name, Decode decode)
{
    TimeDecode(state, InputBytes(name),
               "input missing: ImageMagick's convert is needed to make it", decode);
}

i64 DecodeWithOurs(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictPNG picture;
    if (!picture.Load(&stream)) {
        return -1;
    }
    benchmark::DoNotOptimize(picture.Pixels32().GetData());
    return i64(picture.GetWidth()) * picture.GetHeight();
}

struct sMemoryReader
{
    const u8* data;
    size_t size;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* reader = static_cast<sMemoryReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position) {
        png_error(png, "read past the end");
    }
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

// libpng with the expansions that give our output: palette and low grey depths to 8 bits,
// tRNS to alpha, grey to RGB, an opaque filler, BGR order, 16-bit samples little-endian.
i64 DecodeWithLibpng(const std::vector<u8>& bytes)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    sMemoryReader reader = {bytes.data(), bytes.size(), 0};
    std::vector<u8> out;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    }
    png_set_bgr(png);
    if (depth == 16) {
        png_set_swap(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    out.resize(rowBytes * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = out.data() + rowBytes * y;
    }
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(out.data());
    return i64(width) * height;
}

i64 DecodeWithLibspng(const std::vector<u8>& bytes)
{
    spng_ctx* context = spng_ctx_new(0);
    spng_set_png_buffer(context, bytes.data(), bytes.size());
    spng_ihdr header;
    size_t size = 0;
    std::vector<u8> out;
    bool ok = spng_get_ihdr(context, &header) == 0;
    const int format = ok && header.bit_depth == 16 ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    ok = ok && spng_decoded_image_size(context, format, &size) == 0;
    if (ok) {
        out.resize(size);
        ok = spng_decode_image(context, out.data(), size, format, SPNG_DECODE_TRNS) == 0;
    }
    spng_ctx_free(context);
    benchmark::DoNotOptimize(out.data());
    return ok ? i64(header.width) * header.height : -1;
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

// A 6000 x 4000 picture of smooth colour, made in memory.
cPictDummy& LargePicture()
{
    static cPictDummy picture;
    if (!picture.HasPixels() && picture.AllocPixels32(6000, 4000)) {
        u32* pixels = picture.Pixels32().GetData();
        for (i32 y = 0; y < 4000; ++y) {
            for (i32 x = 0; x < 6000; ++x) {
                pixels[i64(y) * 6000 + x] =
                    0xFF000000 | u32(x * 255 / 6000) << 16 | u32(y * 255 / 4000) << 8 | u32((x ^ y) & 0xFF);
            }
        }
    }
    return picture;
}

// A picture that streams as a reader would, without a format.
class cStreamingPicture : public cPictDummy
{
public:
    using cPictBase::SetImageSize;
};

// Streams the large picture, pixel by pixel, into a 256 x 256 target: fit mode when the
// zoom argument is 0, else zoom mode at zoom / 100.
void BM_StreamPixel(benchmark::State& state)
{
    cPictDummy& source = LargePicture();
    std::vector<u32> targetPixels(256 * 256);
    const u32* pixels = source.Pixels32().GetData();
    for (auto _ : state) {
        cStreamingPicture picture;
        sPictTarget target;
        target.pixels = targetPixels.data();
        target.width = 256;
        target.height = 256;
        target.mode = state.range(0) == 0 ? kPictTargetFit : kPictTargetZoom;
        target.zoom = f64(state.range(0)) / 100.0;
        picture.SetImageSize(6000, 4000, false);
        if (!picture.SetTarget(&target) || !picture.BeginStreamRender()) {
            state.SkipWithError("setup failed");
            return;
        }
        for (i32 y = 0; y < 4000; ++y) {
            for (i32 x = 0; x < 6000; ++x) {
                picture.StreamPixel(x, y, pixels[i64(y) * 6000 + x]);
            }
        }
        picture.EndStreamRender();
    }
    ReportPixels(state, i64(6000) * 4000);
}

// The same stream in fit mode, a row at a time, as the readers hand it over.
void BM_StreamRow(benchmark::State& state)
{
    cPictDummy& source = LargePicture();
    std::vector<u32> targetPixels(256 * 256);
    const u32* pixels = source.Pixels32().GetData();
    for (auto _ : state) {
        cStreamingPicture picture;
        sPictTarget target;
        target.pixels = targetPixels.data();
        target.width = 256;
        target.height = 256;
        picture.SetImageSize(6000, 4000, false);
        if (!picture.SetTarget(&target) || !picture.BeginStreamRender()) {
            state.SkipWithError("setup failed");
            return;
        }
        for (i32 y = 0; y < 4000; ++y) {
            picture.StreamRow(0, y, pixels + i64(y) * 6000, 6000);
        }
        picture.EndStreamRender();
    }
    ReportPixels(state, i64(6000) * 4000);
}

void BM_PictResample(benchmark::State& state)
{
    cPictDummy& source = LargePicture();
    std::vector<u32> targetPixels(256 * 256);
    for (auto _ : state) {
        sPictTarget target;
        target.pixels = targetPixels.data();
        target.width = 256;
        target.height = 256;
        benchmark::DoNotOptimize(PictResample(&target, &source));
    }
    ReportPixels(state, i64(6000) * 4000);
}

void BM_StbResizeBox(benchmark::State& state)
{
    cPictDummy& source = LargePicture();
    std::vector<u32> targetPixels(256 * 171);
    for (auto _ : state) {
        benchmark::DoNotOptimize(stbir_resize_uint8_generic(
            reinterpret_cast<const unsigned char*>(source.Pixels32().GetData()), 6000, 4000,
            6000 * 4, reinterpret_cast<unsigned char*>(targetPixels.data()), 256, 171, 256 * 4,
            4, 3, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR, nullptr));
    }
    ReportPixels(state, i64(6000) * 4000);
}

void RegisterDecoders()
{
    struct sDecoder
    {
        const char* name;
        i64 (*decode)(const std::vector<u8>&);
    };
    constexpr sDecoder kDecoders[] = {{"libpng", DecodeWithLibpng},
                                      {"ours", DecodeWithOurs},
                                      {"libspng", DecodeWithLibspng},
                                      {"stb_image", DecodeWithStbImage}};
    for (const sInput& input : kInputs) {
        for (const sDecoder& decoder : kDecoders) {
            const std::string title = std::string("PngDecode/") + decoder.name + "/" + input.name;
            benchmark::RegisterBenchmark(title.c_str(),
                                         [decoder, &input](benchmark::State& state) {
                                             RunDecode(state, input.name, decoder.decode);
                                         })
                ->Unit(benchmark::kMillisecond);
        }
    }
}

} // namespace

BENCHMARK(BM_StreamPixel)->Arg(0)->Arg(100)->Arg(70)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PictResample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbResizeBox)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    RegisterDecoders();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
