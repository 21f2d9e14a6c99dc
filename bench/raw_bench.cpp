// TIFF and camera RAW pictures against their own libraries used directly and against the
// command-line tools, in one run:
// - TIFF decode: cPictTIFF::Load of a 6000x4000 RGB LZW file (our direct path) and a 16-bit
//   grey deflate file against an in-process TIFFReadRGBAImage and a TIFFReadEncodedStrip
//   loop over the same bytes (the adapter's overhead is the ratio), and `tiff2rgba`.
// - DNG development: cPictDNG::Load of a fabricated 6000x4000 CFA DNG against LibRaw used
//   directly and `dcraw_emu -w -6 -Z -` (the same library); peak RSS as a counter.
// - Cancel: the stream closed from another thread while the DNG develops; the time from
//   the close to Load's false answer (LibRaw's next progress call).
// - Preview: PictThumbnailFromStream of that DNG (a 1024x768 JPEG preview) into 256x256,
//   with the bytes it read, against `exiftool -b -PreviewImage` and `simple_dcraw -e`.
// QEL_RAW_BENCH_SCALE=N divides both sides of the large pictures by N (brief CI runs).
// Links: qel_base qel_package qel_picture_factory qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/factory/thumbnail.h"
#include "picture/formats/rawpictures.h"

#include <benchmark/benchmark.h>
#include <libraw/libraw.h>
#include <tiffio.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

u32 Scale()
{
    const char* text = std::getenv("QEL_RAW_BENCH_SCALE");
    const int scale = text != nullptr ? std::atoi(text) : 1;
    return scale >= 1 && scale <= 100 ? u32(scale) : 1;
}

const u32 kWidth = 6000 / Scale();
const u32 kHeight = 4000 / Scale();

std::string TempPath(const std::string& name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/qel_raw_bench_" +
           std::to_string(getpid()) + "_" + name;
}

std::vector<u8> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
}

// A smooth picture with some texture, written by libtiff itself.
std::string WriteTiff(const char* name, u16 bits, u16 samples, u16 compression)
{
    const std::string path = TempPath(name);
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) {
        return "";
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    const u32 rowSamples = kWidth * samples;
    std::vector<u8> row(rowSamples * (bits / 8));
    bool ok = true;
    for (u32 y = 0; y < kHeight && ok; ++y) {
        for (u32 i = 0; i < rowSamples; ++i) {
            const u32 value = (i * 37 + y * 11 + ((i * y) >> 7) % 23) * (bits == 16 ? 97 : 1);
            if (bits == 16) {
                reinterpret_cast<u16*>(row.data())[i] = u16(value);
            } else {
                row[i] = u8(value);
            }
        }
        ok = TIFFWriteScanline(tiff, row.data(), y, 0) >= 0;
    }
    TIFFClose(tiff);
    return ok ? path : "";
}

struct sInput
{
    std::string path;
    std::vector<u8> bytes;
};

const sInput& RgbLzw()
{
    static const sInput input = [] {
        const std::string path = WriteTiff("rgb8_lzw.tif", 8, 3, COMPRESSION_LZW);
        return sInput{path, ReadAll(path)};
    }();
    return input;
}

const sInput& Grey16Deflate()
{
    static const sInput input = [] {
        const std::string path = WriteTiff("grey16_zip.tif", 16, 1, COMPRESSION_ADOBE_DEFLATE);
        return sInput{path, ReadAll(path)};
    }();
    return input;
}

const sInput& BigDng()
{
    static const sInput input = [] {
        const std::string path = TempPath("big.dng");
        const std::string command =
            "/usr/bin/python3 " QEL_SOURCE_DIR "/tools/testdata/make_raw.py --dng " +
            std::to_string(kWidth) + " " + std::to_string(kHeight) + " 1024 768 " + path;
        return std::system(command.c_str()) == 0 ? sInput{path, ReadAll(path)} : sInput{};
    }();
    return input;
}

void SetPixels(benchmark::State& state, i64 pixels)
{
    state.counters["megapixels_per_s"] = benchmark::Counter(
        f64(pixels) * f64(state.iterations()) * 1e-6, benchmark::Counter::kIsRate);
}

template <class tPicture> void LoadPicture(benchmark::State& state, const sInput& input)
{
    if (input.bytes.empty()) {
        state.SkipWithError("the input could not be made");
        return;
    }
    i64 pixels = 0;
    for (auto _ : state) {
        cBufWrapperIO stream(input.bytes.data(), input.bytes.size());
        tPicture picture;
        if (!picture.Load(&stream)) {
            state.SkipWithError("Load failed");
            return;
        }
        pixels = i64(picture.GetWidth()) * picture.GetHeight();
    }
    SetPixels(state, pixels);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = f64(usage.ru_maxrss) / 1024.0;
}

void RunTool(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["child_peak_rss_mb"] = f64(usage.ru_maxrss) / 1024.0;
}

// ---- TIFF ----

void BM_TiffLoadRgbLzw(benchmark::State& state)
{
    LoadPicture<cPictTIFF>(state, RgbLzw());
}
BENCHMARK(BM_TiffLoadRgbLzw)->Unit(benchmark::kMillisecond);

void BM_LibtiffReadRgbaRgbLzw(benchmark::State& state)
{
    const std::string& path = RgbLzw().path;
    for (auto _ : state) {
        // A new raster each time, as a picture gets a new buffer on each load.
        std::unique_ptr<u32[]> raster(new u32[size_t(kWidth) * kHeight]);
        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        if (tiff == nullptr || !TIFFReadRGBAImage(tiff, kWidth, kHeight, raster.get(), 0)) {
            state.SkipWithError("libtiff failed");
        }
        if (tiff != nullptr) {
            TIFFClose(tiff);
        }
    }
    SetPixels(state, i64(kWidth) * kHeight);
}
BENCHMARK(BM_LibtiffReadRgbaRgbLzw)->Unit(benchmark::kMillisecond);

// The strip decode alone: the floor under any conversion.
void StripLoop(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        if (tiff == nullptr) {
            state.SkipWithError("libtiff failed");
            return;
        }
        std::vector<u8> strip(size_t(TIFFStripSize(tiff)));
        for (tstrip_t s = 0; s < TIFFNumberOfStrips(tiff); ++s) {
            benchmark::DoNotOptimize(
                TIFFReadEncodedStrip(tiff, s, strip.data(), tmsize_t(strip.size())));
        }
        TIFFClose(tiff);
    }
    SetPixels(state, i64(kWidth) * kHeight);
}

void BM_LibtiffStripsRgbLzw(benchmark::State& state)
{
    StripLoop(state, RgbLzw().path);
}
BENCHMARK(BM_LibtiffStripsRgbLzw)->Unit(benchmark::kMillisecond);

void BM_TiffLoadGrey16Deflate(benchmark::State& state)
{
    LoadPicture<cPictTIFF>(state, Grey16Deflate());
}
BENCHMARK(BM_TiffLoadGrey16Deflate)->Unit(benchmark::kMillisecond);

void BM_LibtiffStripsGrey16Deflate(benchmark::State& state)
{
    StripLoop(state, Grey16Deflate().path);
}
BENCHMARK(BM_LibtiffStripsGrey16Deflate)->Unit(benchmark::kMillisecond);

void BM_Tiff2rgbaRgbLzw(benchmark::State& state)
{
    RunTool(state, "tiff2rgba " + RgbLzw().path + " " + TempPath("out.tif"));
}
BENCHMARK(BM_Tiff2rgbaRgbLzw)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- DNG development ----

void BM_DngLoad(benchmark::State& state)
{
    LoadPicture<cPictDNG>(state, BigDng());
}
BENCHMARK(BM_DngLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LibRawDirect(benchmark::State& state)
{
    const sInput& input = BigDng();
    for (auto _ : state) {
        std::unique_ptr<LibRaw> raw(new LibRaw(LIBRAW_OPTIONS_NONE));
        raw->imgdata.params.use_camera_wb = 1;
        raw->imgdata.params.output_bps = 16;
        int error = 0;
        // From the file, as dcraw_emu reads it (the page cache holds it).
        if (raw->open_file(input.path.c_str()) != LIBRAW_SUCCESS ||
            raw->unpack() != LIBRAW_SUCCESS || raw->dcraw_process() != LIBRAW_SUCCESS) {
            state.SkipWithError("LibRaw failed");
            return;
        }
        LibRaw::dcraw_clear_mem(raw->dcraw_make_mem_image(&error));
    }
    SetPixels(state, i64(kWidth) * kHeight);
}
BENCHMARK(BM_LibRawDirect)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DcrawEmu(benchmark::State& state)
{
    RunTool(state, "dcraw_emu -w -6 -Z - " + BigDng().path);
}
BENCHMARK(BM_DcrawEmu)->Unit(benchmark::kMillisecond)->UseRealTime();

// A stream that another thread can close; reads on it then return nothing.
class cClosableStream : public cBufWrapperIO
{
  public:
    using cBufWrapperIO::cBufWrapperIO;
    u32 Read(void* buffer, u32 length) override
    {
        return m_open ? cBufWrapperIO::Read(buffer, length) : 0;
    }
    bool IsOpen() override { return m_open; }
    void Close() override { m_open = false; }

  private:
    std::atomic<bool> m_open{true};
};

void BM_DngLoadClosedDuringDevelopment(benchmark::State& state)
{
    using tClock = std::chrono::steady_clock;
    const sInput& input = BigDng();
    // A quarter of the development, so that the close lands inside it.
    const auto delay = std::chrono::milliseconds(250 / Scale());
    f64 closeToReturnMs = 0;
    for (auto _ : state) {
        cClosableStream stream(input.bytes.data(), input.bytes.size());
        cPictDNG picture;
        tClock::time_point closedAt;
        std::thread closer([&] {
            std::this_thread::sleep_for(delay);
            closedAt = tClock::now();
            stream.Close();
        });
        const bool loaded = picture.Load(&stream);
        const tClock::time_point returnedAt = tClock::now();
        closer.join();
        // A machine fast enough to finish first reports -1: nothing was cancelled.
        closeToReturnMs = loaded ? -1.0 : std::chrono::duration<f64, std::milli>(returnedAt - closedAt).count();
    }
    state.counters["close_to_return_ms"] = closeToReturnMs;
}
BENCHMARK(BM_DngLoadClosedDuringDevelopment)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Preview ----

class cCountingStream : public cBufWrapperIO
{
  public:
    using cBufWrapperIO::cBufWrapperIO;
    u32 Read(void* buffer, u32 length) override
    {
        const u32 got = cBufWrapperIO::Read(buffer, length);
        m_bytesRead += got;
        return got;
    }
    u64 m_bytesRead = 0;
};

void BM_DngPreviewThumbnail(benchmark::State& state)
{
    const sInput& input = BigDng();
    u64 bytesRead = 0;
    for (auto _ : state) {
        cCountingStream stream(input.bytes.data(), input.bytes.size());
        cPictTIFF out;
        if (PictThumbnailFromStream(&stream, &out, 256, 256) != kThumbOk) {
            state.SkipWithError("no thumbnail");
            return;
        }
        bytesRead = stream.m_bytesRead;
    }
    state.counters["bytes_read"] = f64(bytesRead);
    state.counters["file_bytes"] = f64(input.bytes.size());
}
BENCHMARK(BM_DngPreviewThumbnail)->Unit(benchmark::kMillisecond);

void BM_ExiftoolPreview(benchmark::State& state)
{
    RunTool(state, "exiftool -b -PreviewImage " + BigDng().path);
}
BENCHMARK(BM_ExiftoolPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SimpleDcrawPreview(benchmark::State& state)
{
    RunTool(state, "simple_dcraw -e " + BigDng().path);
}
BENCHMARK(BM_SimpleDcrawPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* name :
         {"rgb8_lzw.tif", "grey16_zip.tif", "big.dng", "big.dng.thumb.jpg", "out.tif"}) {
        std::remove(TempPath(name).c_str());
    }
    return 0;
}
