// JPEG 2000 decoding from memory: cPictJP2::Load (our stream adapter and RenderJp2Image over
// OpenJPEG) against a bare in-process OpenJPEG loop over the same calls without the render
// (the cost we add must stay under 10%), against `opj_decompress -threads 1` and
// `grk_decompress -H 1` as processes (they also write a PPM), and OpenJPEG with 8 threads
// for reference only. Inputs: 4000 x 3000 RGB made by opj_compress at start-up (lossless
// 5/3, lossy 9/7 `-I -r 20`, tiled `-t 512,512`); 800 x 600 under the sanitizers. Also an
// ICNS load of a 1024 x 1024 `ic10` element (Pillow writes it).
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "decodetiming.h"
#include "picture/formats/icns.h"
#include "picture/formats/jp2picture.h"

#include <openjpeg.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr const char* kSize = "800x600";
#else
constexpr const char* kSize = "4000x3000";
#endif

struct sInput
{
    const char* name;
    const char* options;
};
constexpr sInput kInputs[] = {
    {"lossless", ""},
    {"lossy97", "-I -r 20"},
    {"tiled", "-t 512,512"},
};

std::string Folder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/qel_jp2_bench_" + kSize;
}

std::vector<u8> ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(file), {});
}

// The path of an input, made on first use (empty bytes when the tools are missing).
std::string InputPath(const std::string& name)
{
    const std::string folder = Folder();
    const std::string path = folder + "/" + name;
    std::string options;
    for (const sInput& input : kInputs) {
        options = name == std::string(input.name) + ".jp2" ? input.options : options;
    }
    const std::string make =
        "mkdir -p " + folder + " && cd " + folder + " && ([ -s source.ppm ] || convert -seed 5 -size " +
        kSize + " plasma:fractal -blur 0x1 -depth 8 source.ppm) && ([ -s " + name + " ] || " +
        (name == "ic10.icns"
             ? "/usr/bin/python3 -c \"from PIL import Image; Image.open('source.ppm').resize((1024, "
               "1024)).save('ic10.icns')\")"
             : "opj_compress -i source.ppm -o " + name + " " + options + " >/dev/null)");
    (void)std::system(make.c_str());
    return path;
}

const std::vector<u8>& InputBytes(const std::string& name)
{
    static std::map<std::string, std::vector<u8>> cache;
    auto found = cache.find(name);
    if (found == cache.end()) {
        found = cache.emplace(name, ReadAll(InputPath(name))).first;
    }
    return found->second;
}

struct sMemory
{
    const u8* data;
    u64 size;
    u64 position;
};

// The bare OpenJPEG decode: header, whole image, no conversion to pixels.
i64 DecodeBare(const std::vector<u8>& bytes, int threads)
{
    sMemory memory{bytes.data(), bytes.size(), 0};
    opj_stream_t* stream = opj_stream_create(65536, OPJ_TRUE);
    opj_stream_set_user_data(stream, &memory, nullptr);
    opj_stream_set_user_data_length(stream, bytes.size());
    opj_stream_set_read_function(stream, [](void* buffer, OPJ_SIZE_T count, void* user) -> OPJ_SIZE_T {
        auto* m = static_cast<sMemory*>(user);
        const u64 n = std::min<u64>(count, m->size - m->position);
        std::memcpy(buffer, m->data + m->position, n);
        m->position += n;
        return n == 0 ? OPJ_SIZE_T(-1) : n;
    });
    opj_stream_set_skip_function(stream, [](OPJ_OFF_T count, void* user) -> OPJ_OFF_T {
        auto* m = static_cast<sMemory*>(user);
        m->position = std::min<u64>(m->size, m->position + u64(count));
        return count;
    });
    opj_stream_set_seek_function(stream, [](OPJ_OFF_T position, void* user) -> OPJ_BOOL {
        static_cast<sMemory*>(user)->position = u64(position);
        return OPJ_TRUE;
    });
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    opj_image_t* image = nullptr;
    const bool ok = opj_setup_decoder(codec, &parameters) && opj_codec_set_threads(codec, threads) &&
                    opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image) &&
                    opj_end_decompress(codec, stream);
    const i64 pixels = ok ? i64(image->x1 - image->x0) * (image->y1 - image->y0) : -1;
    opj_image_destroy(image);
    opj_destroy_codec(codec);
    opj_stream_destroy(stream);
    return pixels;
}

template <class tPicture>
i64 DecodeOurs(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    tPicture picture;
    return picture.Load(&stream) ? i64(picture.GetWidth()) * picture.GetHeight() : -1;
}

// A tool run as a process per iteration, timed by the wall clock.
void TimeTool(benchmark::State& state, const std::string& name, const std::string& command)
{
    const std::vector<u8>& bytes = InputBytes(name);
    const std::string full = command + " >/dev/null 2>&1";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (bytes.empty() || std::system(full.c_str()) != 0) {
            state.SkipWithError("opj_compress, opj_decompress or grk_decompress missing");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void RegisterAll()
{
    for (const sInput& input : kInputs) {
        const std::string name = std::string(input.name) + ".jp2";
        const std::string path = Folder() + "/" + name;
        const std::string out = Folder() + "/out_" + input.name + ".ppm";
        benchmark::RegisterBenchmark(("Ours/" + name).c_str(), [name](benchmark::State& state) {
            TimeDecode(state, InputBytes(name), "opj_compress missing", DecodeOurs<cPictJP2>);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("OpenJpegBare/" + name).c_str(), [name](benchmark::State& state) {
            TimeDecode(state, InputBytes(name), "opj_compress missing",
                       [](const std::vector<u8>& bytes) { return DecodeBare(bytes, 1); });
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("OpenJpegTool/" + name).c_str(), [=](benchmark::State& state) {
            TimeTool(state, name, "opj_decompress -threads 1 -i " + path + " -o " + out);
        })->Unit(benchmark::kMillisecond)->UseManualTime();
        benchmark::RegisterBenchmark(("GrokTool/" + name).c_str(), [=](benchmark::State& state) {
            TimeTool(state, name, "grk_decompress -H 1 -i " + path + " -o " + out);
        })->Unit(benchmark::kMillisecond)->UseManualTime();
        benchmark::RegisterBenchmark(("OpenJpeg8Threads/" + name).c_str(), [name](benchmark::State& state) {
            TimeDecode(state, InputBytes(name), "opj_compress missing",
                       [](const std::vector<u8>& bytes) { return DecodeBare(bytes, 8); });
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Ours/ic10.icns", [](benchmark::State& state) {
        TimeDecode(state, InputBytes("ic10.icns"), "python3-pil missing", DecodeOurs<cPictICNS>);
    })->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv)
{
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
