// picture_decode: decodes picture files through the picture library, for timing and for
// comparing a reader with a reference decoder from the shell.
//
//   picture_decode [--repeat N] [--pam OUT.pam] [--thumb WxH] FILE...
//
// Prints one line per file, "FILE FORMAT_ID WIDTH HEIGHT MS_PER_DECODE" or "FILE FAIL".
// --repeat N   decodes each file N times (from memory) and reports the mean time.
// --pam OUT    writes the decoded picture top-down as a PAM file (TUPLTYPE RGB_ALPHA,
//              MAXVAL 255, or 65535 for deep pictures); with several files, the last one.
// --thumb WxH  streams the decode into a W x H fit-mode render target instead of a buffer
//              and writes (with --pam) that target.
// Links: qel_base qel_package qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/clock.h"
#include "base/memio.h"
#include "picture/core/pngreader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct sOptions
{
    i32 repeat = 1;
    const char* pamPath = nullptr;
    i32 thumbWidth = 0;
    i32 thumbHeight = 0;
    std::vector<const char*> files;
};

bool ParseOptions(int argc, char** argv, sOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--repeat") == 0 && hasValue) {
            options.repeat = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--pam") == 0 && hasValue) {
            options.pamPath = argv[++i];
        } else if (std::strcmp(argv[i], "--thumb") == 0 && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &options.thumbWidth, &options.thumbHeight) != 2) {
                return false;
            }
        } else if (argv[i][0] == '-') {
            return false;
        } else {
            options.files.push_back(argv[i]);
        }
    }
    return options.repeat >= 1 && !options.files.empty() &&
           (options.thumbWidth == 0 || (options.thumbWidth > 0 && options.thumbHeight > 0));
}

// The public entry point for a picture file. The format factory takes this place once it
// exists; until then every file goes to the PNG reader.
std::unique_ptr<cPictBase> NewPictureFor(cFileIOTarget&)
{
    return std::make_unique<cPictPNG>();
}

bool WritePam(const char* path, cPictBase& picture)
{
    const i32 w = picture.GetWidth();
    const i32 h = picture.GetHeight();
    const bool deep = picture.IsDeep();
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL %d\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                 w, h, deep ? 65535 : 255);
    std::vector<u8> line;
    for (i32 row = h - 1; row >= 0; --row) {
        line.clear();
        for (i32 x = 0; x < w; ++x) {
            const i64 index = i64(row) * w + x;
            if (deep) {
                const u64 p = picture.Pixels64().GetData()[index];
                for (i32 shift : {32, 16, 0, 48}) {
                    line.push_back(u8(p >> (shift + 8)));
                    line.push_back(u8(p >> shift));
                }
            } else {
                const u32 p = picture.Pixels32().GetData()[index];
                for (i32 shift : {16, 8, 0, 24}) {
                    line.push_back(u8(p >> shift));
                }
            }
        }
        std::fwrite(line.data(), 1, line.size(), file);
    }
    return std::fclose(file) == 0;
}

// Decodes `bytes` once; streamed into `thumb` when it has pixels.
bool DecodeOnce(const std::vector<u8>& bytes, cPictBase& thumb, std::unique_ptr<cPictBase>& out)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    out = NewPictureFor(stream);
    sPictTarget target = PictTargetFromPicture(&thumb);
    if (thumb.HasPixels() && !out->SetTarget(&target)) {
        return false;
    }
    return out->Load(&stream);
}

} // namespace

int main(int argc, char** argv)
{
    sOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: picture_decode [--repeat N] [--pam OUT.pam] [--thumb WxH] FILE...\n");
        return 2;
    }
    int failures = 0;
    for (const char* path : options.files) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<u8> bytes((std::istreambuf_iterator<char>(file)), {});
        cPictDummy thumb;
        std::unique_ptr<cPictBase> picture;
        bool ok = !bytes.empty();
        const u64 start = MicrosecondClock();
        for (i32 i = 0; ok && i < options.repeat; ++i) {
            // A thumbnail target starts cleared: the renderer fills what the image covers.
            ok = (options.thumbWidth == 0 ||
                  thumb.AllocClear32(options.thumbWidth, options.thumbHeight)) &&
                 DecodeOnce(bytes, thumb, picture);
        }
        const f64 milliseconds = f64(MicrosecondClock() - start) / 1000.0 / options.repeat;
        if (!ok) {
            std::printf("%s FAIL\n", path);
            ++failures;
            continue;
        }
        std::printf("%s %d %d %d %.3f\n", path, picture->GetFormatId(), picture->GetWidth(),
                    picture->GetHeight(), milliseconds);
        cPictBase& written = options.thumbWidth > 0 ? static_cast<cPictBase&>(thumb) : *picture;
        if (options.pamPath != nullptr && !WritePam(options.pamPath, written)) {
            std::fprintf(stderr, "cannot write %s\n", options.pamPath);
            return 1;
        }
    }
    return failures == 0 ? 0 : 1;
}
