// thumbnail: one thumbnail of a picture file through PictThumbnailFromStream, read from the
// file as it decodes (not from memory), with the time and the peak resident memory.
//
//   thumbnail FILE WxH [OUT.pam]
//
// Prints "FILE CODE WIDTH HEIGHT MS PEAK_RSS_KB" and writes the thumbnail top-down as a PAM
// (TUPLTYPE RGB_ALPHA) when asked. Exit code 0 when the thumbnail was made.
// Links: qel_base qel_package qel_picture_factory qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/clock.h"
#include "base/fileio.h"
#include "picture/factory/thumbnail.h"

#include "pamwrite.h"

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char** argv)
{
    i32 maxW = 0;
    i32 maxH = 0;
    if ((argc != 3 && argc != 4) || std::sscanf(argv[2], "%dx%d", &maxW, &maxH) != 2) {
        std::fprintf(stderr, "usage: thumbnail FILE WxH [OUT.pam]\n");
        return 2;
    }
    cFileIO file;
    if (!file.Create(argv[1], FileMode::Read)) {
        std::fprintf(stderr, "thumbnail: cannot open %s\n", argv[1]);
        return 1;
    }
    cPictDummy out;
    const u64 start = MicrosecondClock();
    const i32 code = PictThumbnailFromStream(&file, &out, maxW, maxH);
    const f64 milliseconds = f64(MicrosecondClock() - start) / 1000.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %d %d %d %.1f %ld\n", argv[1], code, out.GetWidth(), out.GetHeight(),
                milliseconds, usage.ru_maxrss);
    if (code == kThumbOk && argc == 4 && !WritePam(argv[3], out)) {
        std::fprintf(stderr, "thumbnail: cannot write %s\n", argv[3]);
        return 1;
    }
    return code == kThumbOk ? 0 : 1;
}
