// picture_decode: decodes picture files through the picture library, for timing and for
// comparing a reader with a reference decoder from the shell.
//
//   picture_decode [--repeat N] [--pam OUT.pam] [--thumb WxH] [--page N] [--all-pages]
//                  [--pages] FILE...
//
// Prints one line per file, "FILE FORMAT_ID WIDTH HEIGHT MS_PER_DECODE" or "FILE FAIL".
// --repeat N   decodes each file N times (from memory) and reports the mean time.
// --pam OUT    writes the decoded picture top-down as a PAM file (TUPLTYPE RGB_ALPHA,
//              MAXVAL 255, or 65535 for deep pictures); with several files, the last one.
// --thumb WxH  makes the thumbnail fitted into W x H (PictThumbnailFromStream) instead and
//              reports and writes (with --pam) it; the format id comes from a probe.
// --page N     decodes page N (LoadPage) instead of the picture's first image.
// --all-pages  decodes every page in turn (LoadPage) and reports the last; the time covers
//              them all.
// --pages      prints "FILE pages COUNT MS" (the time of the page count alone), then
//              "FILE page I WIDTH HEIGHT" (or "FILE page I FAIL") for each page, and decodes
//              nothing.
// Links: qel_base qel_package qel_picture_factory qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/clock.h"
#include "base/memio.h"
#include "picture/factory/pictfactory.h"
#include "picture/factory/thumbnail.h"

#include "pamwrite.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
    i32 page = -1;
    bool allPages = false;
    bool listPages = false;
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
        } else if (std::strcmp(argv[i], "--page") == 0 && hasValue) {
            options.page = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--all-pages") == 0) {
            options.allPages = true;
        } else if (std::strcmp(argv[i], "--pages") == 0) {
            options.listPages = true;
        } else if (argv[i][0] == '-') {
            return false;
        } else {
            options.files.push_back(argv[i]);
        }
    }
    return options.repeat >= 1 && !options.files.empty() &&
           (options.thumbWidth == 0 || (options.thumbWidth > 0 && options.thumbHeight > 0));
}

// Decodes `bytes` once through the format factory, or makes its thumbnail.
bool DecodeOnce(const std::vector<u8>& bytes, const sOptions& options, cPictBase& thumb,
                std::unique_ptr<cPictBase>& out)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    if (options.thumbWidth > 0) {
        return PictThumbnailFromStream(&stream, &thumb, options.thumbWidth, options.thumbHeight) ==
               kThumbOk;
    }
    if (options.page >= 0) {
        sPictInfo info;
        out.reset(PictCreateFromStream(&stream, &info));
        return out != nullptr && out->LoadPage(&stream, options.page);
    }
    if (options.allPages) {
        sPictInfo info;
        out.reset(PictCreateFromStream(&stream, &info));
        const i32 count = out != nullptr ? out->GetPageCount(&stream) : 0;
        bool ok = count > 0;
        for (i32 page = 0; ok && page < count; ++page) {
            ok = out->LoadPage(&stream, page);
        }
        return ok;
    }
    out.reset(PictCreateFromStream(&stream, nullptr));
    return out != nullptr;
}

// The page count and every page's size, as the format reports them.
bool ListPages(const char* path, const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    sPictInfo info;
    const std::unique_ptr<cPictBase> picture(PictCreateFromStream(&stream, &info));
    if (picture == nullptr) {
        return false;
    }
    const u64 start = MicrosecondClock();
    const i32 count = picture->GetPageCount(&stream);
    std::printf("%s pages %d %.3f\n", path, count, f64(MicrosecondClock() - start) / 1000.0);
    for (i32 page = 0; page < count; ++page) {
        i32 width = 0;
        i32 height = 0;
        if (picture->GetPageSize(&stream, page, &width, &height)) {
            std::printf("%s page %d %d %d\n", path, page, width, height);
        } else {
            std::printf("%s page %d FAIL\n", path, page);
        }
    }
    return true;
}

// The file in one read: a byte-at-a-time read of a large file costs more than decoding it,
// which would make every whole-process comparison with another tool look slow.
std::vector<u8> ReadWholeFile(const char* path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? std::streamoff(file.tellg()) : -1;
    std::vector<u8> bytes(size > 0 ? size_t(size) : 0);
    if (!file.seekg(0) ||
        !file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) {
        bytes.clear();
    }
    return bytes;
}

i32 ProbedFormatId(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    sPictInfo info;
    const std::unique_ptr<cPictBase> picture(PictCreateFromStream(&stream, &info));
    return picture != nullptr ? picture->GetFormatId() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    sOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: picture_decode [--repeat N] [--pam OUT.pam] [--thumb WxH] [--page N] "
                     "[--all-pages] [--pages] FILE...\n");
        return 2;
    }
    int failures = 0;
    for (const char* path : options.files) {
        const std::vector<u8> bytes = ReadWholeFile(path);
        if (options.listPages) {
            if (!ListPages(path, bytes)) {
                std::printf("%s FAIL\n", path);
                ++failures;
            }
            continue;
        }
        cPictDummy thumb;
        std::unique_ptr<cPictBase> picture;
        bool ok = !bytes.empty();
        const u64 start = MicrosecondClock();
        for (i32 i = 0; ok && i < options.repeat; ++i) {
            ok = DecodeOnce(bytes, options, thumb, picture);
        }
        const f64 milliseconds = f64(MicrosecondClock() - start) / 1000.0 / options.repeat;
        if (!ok) {
            std::printf("%s FAIL\n", path);
            ++failures;
            continue;
        }
        cPictBase& written = options.thumbWidth > 0 ? static_cast<cPictBase&>(thumb) : *picture;
        const i32 formatId =
            options.thumbWidth > 0 ? ProbedFormatId(bytes) : picture->GetFormatId();
        std::printf("%s %d %d %d %.3f\n", path, formatId, written.GetWidth(), written.GetHeight(),
                    milliseconds);
        if (options.pamPath != nullptr && !WritePam(options.pamPath, written)) {
            std::fprintf(stderr, "cannot write %s\n", options.pamPath);
            return 1;
        }
    }
    return failures == 0 ? 0 : 1;
}
