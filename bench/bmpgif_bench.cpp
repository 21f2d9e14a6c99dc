// BMP and GIF decoding from memory against peers: stb_image (BMP without RLE, GIF first
// frame), the gdk-pixbuf BMP loader (RLE8) and giflib's DGifSlurp with the palette mapping
// to 32-bit pixels (GIF). Also the cost of visiting every page of a 100-frame animation,
// which walks the blocks from the start for each page. And a six-entry icon: our directory
// read plus the largest entry's decode against the gdk-pixbuf ICO loader, which picks and
// decodes the same entry.
//
// The inputs are made once per machine with ImageMagick into $TMPDIR/qel_bmpgif_bench from
// a 4000 x 3000 plasma photo (the GIF from a 2000 x 1500 one). Each benchmark reports ns
// per pixel; divide by the peer's line of the same file for the ratio.
// Links: qel_base qel_package qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "decodetiming.h"
#include "picture/formats/dib.h"
#include "picture/formats/gif.h"
#include "picture/formats/ico.h"

#include <benchmark/benchmark.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>
#include <stb/stb_image.h>

#include <sys/stat.h>

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
    const char* recipe; // a shell command; PHOTO and OUT are replaced
};

constexpr sInput kInputs[] = {
    {"rgb24.bmp", "convert PHOTO -type TrueColor BMP3:OUT"},
    {"rgb32.bmp", "convert PHOTO -alpha set BMP:OUT"},
    {"pal8.bmp", "convert PHOTO -colors 256 -type Palette -compress none BMP3:OUT"},
    {"rle8.bmp", "convert PHOTO -colors 256 -type Palette BMP3:OUT"},
    {"photo.gif", "convert PHOTO -resize 2000x1500 -colors 256 GIF:OUT"},
    {"anim.gif", "convert PHOTO -resize 200x150 -colors 64 -duplicate 99 -distort SRT "
                 "'%[fx:t*3.6]' GIF:OUT"},
    {"six.ico", "convert PHOTO -resize 128x128! -define icon:auto-resize=128,64,48,32,24,16 "
                "ICO:OUT"},
};

std::string CacheFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/qel_bmpgif_bench";
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

const std::vector<u8>& InputBytes(const std::string& name)
{
    static std::map<std::string, std::vector<u8>> cache;
    if (auto found = cache.find(name); found != cache.end()) {
        return found->second;
    }
    const std::string folder = CacheFolder();
    ::mkdir(folder.c_str(), 0755);
    const std::string photo = folder + "/photo.png";
    if (!FileExists(photo)) {
        const std::string command = "convert -seed 5 -size 4000x3000 plasma:fractal -blur 0x1 "
                                    "PNG24:'" +
                                    photo + ".tmp' && mv '" + photo + ".tmp' '" + photo + "'";
        (void)std::system(command.c_str());
    }
    const std::string path = folder + "/" + name;
    for (const sInput& input : kInputs) {
        if (name == input.name && FileExists(photo) && !FileExists(path)) {
            const std::string command = Replace(Replace(input.recipe, "PHOTO", "'" + photo + "'"),
                                                "OUT", "'" + path + ".tmp'") +
                                        " && mv '" + path + ".tmp' '" + path + "'";
            (void)std::system(command.c_str());
        }
    }
    std::ifstream file(path, std::ios::binary);
    return cache[name] = std::vector<u8>(std::istreambuf_iterator<char>(file), {});
}

template <class Decode> void RunDecode(benchmark::State& state, const char* name, Decode decode)
{
    TimeDecode(state, InputBytes(name),
               "input missing: ImageMagick's convert is needed to make it", decode);
}

template <class tPicture> i64 Ours(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    tPicture picture;
    if (!picture.Load(&stream)) {
        return -1;
    }
    benchmark::DoNotOptimize(picture.Pixels32().GetData());
    return i64(picture.GetWidth()) * picture.GetHeight();
}

i64 Stb(const std::vector<u8>& bytes)
{
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr) {
        return -1;
    }
    stbi_image_free(pixels);
    return i64(width) * height;
}

template <const char* kType> i64 PixbufLoader(const std::vector<u8>& bytes)
{
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(kType, nullptr);
    i64 pixels = -1;
    if (gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        pixels = i64(gdk_pixbuf_get_width(pixbuf)) * gdk_pixbuf_get_height(pixbuf);
    }
    g_object_unref(loader);
    return pixels;
}

constexpr char kBmpLoader[] = "bmp";
constexpr char kIcoLoader[] = "ico";

// ReadInfo, then the largest entry that fits 256 x 256 (the 128 x 128 one), as a preview
// asks for it.
i64 IcoPreview(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictICO icon;
    sPictInfo info;
    cPictDummy preview;
    i32 width = 256;
    i32 height = 256;
    if (!icon.ReadInfo(&stream, &info) ||
        !icon.LoadEmbeddedPreview(&stream, &preview, &width, &height)) {
        return -1;
    }
    benchmark::DoNotOptimize(preview.Pixels32().GetData());
    return i64(preview.GetWidth()) * preview.GetHeight();
}

struct sGifMemory
{
    const u8* data;
    size_t size;
    size_t position;
};

int ReadGifMemory(GifFileType* file, GifByteType* out, int count)
{
    auto* memory = static_cast<sGifMemory*>(file->UserData);
    const size_t n = std::min(size_t(count), memory->size - memory->position);
    std::memcpy(out, memory->data + memory->position, n);
    memory->position += n;
    return int(n);
}

// DGifSlurp, then every frame mapped through its colour table into 32-bit pixels, as a
// viewer needs them.
i64 Giflib(const std::vector<u8>& bytes)
{
    sGifMemory memory{bytes.data(), bytes.size(), 0};
    int error = 0;
    GifFileType* file = DGifOpen(&memory, ReadGifMemory, &error);
    if (file == nullptr || DGifSlurp(file) != GIF_OK || file->ImageCount == 0) {
        DGifCloseFile(file, &error);
        return -1;
    }
    const SavedImage& image = file->SavedImages[0];
    const ColorMapObject* map =
        image.ImageDesc.ColorMap != nullptr ? image.ImageDesc.ColorMap : file->SColorMap;
    const i64 count = i64(image.ImageDesc.Width) * image.ImageDesc.Height;
    std::vector<u32> pixels(static_cast<size_t>(count));
    for (i64 i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[image.RasterBits[i] % map->ColorCount];
        pixels[size_t(i)] = 0xFF000000 | u32(c.Red) << 16 | u32(c.Green) << 8 | c.Blue;
    }
    benchmark::DoNotOptimize(pixels.data());
    DGifCloseFile(file, &error);
    return count;
}

// Every page of the animation in turn, each found by a walk from the file's start.
i64 EveryPage(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictGIF gif;
    const i32 pages = gif.GetPageCount(&stream);
    i64 pixels = 0;
    for (i32 page = 0; page < pages; ++page) {
        if (!gif.LoadPage(&stream, page)) {
            return -1;
        }
        pixels += i64(gif.GetWidth()) * gif.GetHeight();
    }
    return pixels;
}

void Bmp24Ours(benchmark::State& state)
{
    RunDecode(state, "rgb24.bmp", Ours<cPictBMP>);
}
void Bmp24Stb(benchmark::State& state)
{
    RunDecode(state, "rgb24.bmp", Stb);
}
void Bmp32Ours(benchmark::State& state)
{
    RunDecode(state, "rgb32.bmp", Ours<cPictBMP>);
}
void Bmp32Stb(benchmark::State& state)
{
    RunDecode(state, "rgb32.bmp", Stb);
}
void Bmp8Ours(benchmark::State& state)
{
    RunDecode(state, "pal8.bmp", Ours<cPictBMP>);
}
void Bmp8Stb(benchmark::State& state)
{
    RunDecode(state, "pal8.bmp", Stb);
}
void Rle8Ours(benchmark::State& state)
{
    RunDecode(state, "rle8.bmp", Ours<cPictBMP>);
}
void Rle8GdkPixbuf(benchmark::State& state)
{
    RunDecode(state, "rle8.bmp", PixbufLoader<kBmpLoader>);
}
void GifOurs(benchmark::State& state)
{
    RunDecode(state, "photo.gif", Ours<cPictGIF>);
}
void GifGiflib(benchmark::State& state)
{
    RunDecode(state, "photo.gif", Giflib);
}
void GifStb(benchmark::State& state)
{
    RunDecode(state, "photo.gif", Stb);
}
void GifEveryPageOf100(benchmark::State& state)
{
    RunDecode(state, "anim.gif", EveryPage);
}
void IcoOurs(benchmark::State& state)
{
    RunDecode(state, "six.ico", IcoPreview);
}
void IcoGdkPixbuf(benchmark::State& state)
{
    RunDecode(state, "six.ico", PixbufLoader<kIcoLoader>);
}

} // namespace

BENCHMARK(Bmp24Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Bmp24Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(Bmp32Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Bmp32Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(Bmp8Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Bmp8Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(Rle8Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Rle8GdkPixbuf)->Unit(benchmark::kMillisecond);
BENCHMARK(GifOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(GifGiflib)->Unit(benchmark::kMillisecond);
BENCHMARK(GifStb)->Unit(benchmark::kMillisecond);
BENCHMARK(GifEveryPageOf100)->Unit(benchmark::kMillisecond);
BENCHMARK(IcoOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(IcoGdkPixbuf)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
