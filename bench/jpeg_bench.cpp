// JPEG decoding from memory: ours against the system's libjpeg (run once as it is and once
// with JSIMD_FORCENONE=1 for its scalar code) and stb_image. The test pictures are made by
// libjpeg at start-up from a synthetic photo-like image of 6000 x 4000 at quality 90.
// RepeatedScans is a hostile file: a progressive DC scan of a 2048 x 2048 grey frame and
// 4999 one-byte scans repeating it; skipping repeated work keeps it near one scan's cost
// instead of 330 million block decodes.
// Links: qel_picture_codecs qel_base
#include "base/memio.h"
#include "picture/codecs/jpegparser.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

enum class eKind
{
    Baseline420,
    Progressive420,
    Baseline444,
    Grey,
    RepeatedScans,
};

void Segment(std::vector<u8>& file, u8 marker, const std::vector<u8>& body)
{
    file.insert(file.end(), {0xFF, marker, u8((body.size() + 2) >> 8), u8(body.size() + 2)});
    file.insert(file.end(), body.begin(), body.end());
}

// SOI, DQT (all ones), a progressive 2048 x 2048 grey frame, a DC table with the single
// code '0' for difference size 0, then the DC first scan (one bit a block) 5000 times.
std::vector<u8> RepeatedScansFile()
{
    std::vector<u8> file = {0xFF, 0xD8};
    std::vector<u8> quant(65, 1);
    quant[0] = 0x00;
    Segment(file, 0xDB, quant);
    Segment(file, 0xC2, {8, 0x08, 0x00, 0x08, 0x00, 1, 1, 0x11, 0x00});
    std::vector<u8> table(18, 0);
    table[1] = 1;
    Segment(file, 0xC4, table);
    for (int scan = 0; scan < 5000; ++scan) {
        Segment(file, 0xDA, {1, 1, 0x00, 0, 0, 0x00});
        file.resize(file.size() + (scan == 0 ? 2048 * 2048 / 64 / 8 : 1), 0x00);
    }
    file.insert(file.end(), {0xFF, 0xD9});
    return file;
}

// Smooth gradients with detail and noise, so that the coefficients look like a photo's.
std::vector<u8> MakeImage(int components)
{
    std::vector<u8> image(size_t(kWidth) * kHeight * components);
    u32 seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            const double wave = std::sin(x * 0.013) * std::cos(y * 0.021) * 60.0;
            for (int c = 0; c < components; ++c) {
                const int value = int(128 + wave + ((x * (c + 1) + y * (3 - c)) % 97) - 48 + noise);
                image[(size_t(y) * kWidth + x) * components + c] =
                    u8(value < 0 ? 0 : (value > 255 ? 255 : value));
            }
        }
    }
    return image;
}

std::vector<u8> Encode(eKind kind)
{
    const int components = kind == eKind::Grey ? 1 : 3;
    std::vector<u8> image = MakeImage(components);
    jpeg_compress_struct compress;
    jpeg_error_mgr error;
    compress.err = jpeg_std_error(&error);
    jpeg_create_compress(&compress);
    unsigned char* output = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compress, &output, &size);
    compress.image_width = kWidth;
    compress.image_height = kHeight;
    compress.input_components = components;
    compress.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&compress);
    jpeg_set_quality(&compress, 90, TRUE);
    if (kind == eKind::Baseline444) {
        compress.comp_info[0].h_samp_factor = 1;
        compress.comp_info[0].v_samp_factor = 1;
    }
    if (kind == eKind::Progressive420) {
        jpeg_simple_progression(&compress);
    }
    jpeg_start_compress(&compress, TRUE);
    while (compress.next_scanline < compress.image_height) {
        JSAMPROW row = &image[size_t(compress.next_scanline) * kWidth * components];
        jpeg_write_scanlines(&compress, &row, 1);
    }
    jpeg_finish_compress(&compress);
    jpeg_destroy_compress(&compress);
    std::vector<u8> file(output, output + size);
    std::free(output);
    return file;
}

const std::vector<u8>& File(eKind kind)
{
    static std::vector<u8> files[5];
    std::vector<u8>& file = files[int(kind)];
    if (file.empty()) {
        file = kind == eKind::RepeatedScans ? RepeatedScansFile() : Encode(kind);
    }
    return file;
}

class cBenchDecoder : public cJPEGParser
{
public:
    std::vector<u32> m_pixels;

protected:
    bool OnFrame() override
    {
        m_pixels.resize(size_t(GetFrameWidth()) * GetFrameHeight());
        return true;
    }
    bool OnMcuRows(int mcuColumn, int mcuRow, int mcuCount) override
    {
        const int y0 = mcuRow * GetMcuHeight();
        const int rows = std::min(GetMcuHeight(), GetFrameHeight() - y0);
        void* pointers[32];
        for (int r = 0; r < rows; ++r) {
            pointers[r] = &m_pixels[size_t(GetFrameHeight() - 1 - (y0 + r)) * GetFrameWidth()];
        }
        return DecodeRegion(mcuColumn, mcuRow, pointers, GetFrameWidth(), rows);
    }
};

void Ours(benchmark::State& state, eKind kind)
{
    const std::vector<u8>& file = File(kind);
    cBenchDecoder decoder;
    for (auto _ : state) {
        cBufWrapperIO stream(file.data(), file.size());
        if (!decoder.ParseMarkers(&stream)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(decoder.m_pixels.data());
    }
    state.counters["MP/s"] = benchmark::Counter(double(decoder.m_pixels.size()) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void Libjpeg(benchmark::State& state, eKind kind)
{
    const std::vector<u8>& file = File(kind);
    std::vector<u8> pixels(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        jpeg_decompress_struct decompress;
        jpeg_error_mgr error;
        decompress.err = jpeg_std_error(&error);
        jpeg_create_decompress(&decompress);
        jpeg_mem_src(&decompress, file.data(), file.size());
        jpeg_read_header(&decompress, TRUE);
        decompress.dct_method = JDCT_ISLOW;
        decompress.do_fancy_upsampling = FALSE;
        decompress.out_color_space = kind == eKind::Grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
        jpeg_start_decompress(&decompress);
        const int stride = int(decompress.output_width * decompress.output_components);
        while (decompress.output_scanline < decompress.output_height) {
            JSAMPROW row = &pixels[size_t(decompress.output_scanline) * stride];
            jpeg_read_scanlines(&decompress, &row, 1);
        }
        jpeg_finish_decompress(&decompress);
        jpeg_destroy_decompress(&decompress);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void Stb(benchmark::State& state, eKind kind)
{
    const std::vector<u8>& file = File(kind);
    for (auto _ : state) {
        int width = 0;
        int height = 0;
        int channels = 0;
        u8* pixels = stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &channels, 4);
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK_CAPTURE(Ours, Baseline420, eKind::Baseline420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libjpeg, Baseline420, eKind::Baseline420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stb, Baseline420, eKind::Baseline420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Progressive420, eKind::Progressive420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libjpeg, Progressive420, eKind::Progressive420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stb, Progressive420, eKind::Progressive420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Baseline444, eKind::Baseline444)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libjpeg, Baseline444, eKind::Baseline444)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Grey, eKind::Grey)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Libjpeg, Grey, eKind::Grey)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, RepeatedScans, eKind::RepeatedScans)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
