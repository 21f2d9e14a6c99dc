// jbig2_make: writes a JBIG2 file from PBM pages with the test encoder, for comparisons
// with jbig2dec and for the benchmark (test code: it never enters the library).
//
//   jbig2_make [--template T] [--tpgdon] [--at X,Y,...] [--random-access] [--no-count]
//              [--bare] OUT.jb2 IN.pbm...
//
// Each PBM page (a file may hold several) becomes one page with one immediate generic
// region; AT pixels default to the template's nominal ones.
// Links: qel_base qel_picture_codecs
#include "../tests/picture/codecs/jbig2encoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace jbig2test;

int main(int argc, char** argv)
{
    i32 gbTemplate = 0;
    bool tpgdon = false, ownAt = false, noCount = false;
    i8 at[8] = {};
    eLayout layout = eLayout::Sequential;
    i32 arg = 1;
    for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
        const std::string option = argv[arg];
        if (option == "--template" && arg + 1 < argc) {
            gbTemplate = std::atoi(argv[++arg]) & 3;
        } else if (option == "--tpgdon") {
            tpgdon = true;
        } else if (option == "--at" && arg + 1 < argc) {
            std::istringstream list(argv[++arg]);
            std::string value;
            for (i32 i = 0; i < 8 && std::getline(list, value, ','); ++i) {
                at[i] = i8(std::atoi(value.c_str()));
            }
            ownAt = true;
        } else if (option == "--random-access") {
            layout = eLayout::RandomAccess;
        } else if (option == "--bare") {
            layout = eLayout::Bare;
        } else if (option == "--no-count") {
            noCount = true;
        } else {
            break;
        }
    }
    if (argc - arg < 2) {
        std::fprintf(stderr, "usage: jbig2_make [options] OUT.jb2 IN.pbm...\n");
        return 2;
    }
    const char* output = argv[arg++];
    std::vector<sSegment> segments;
    u32 page = 0;
    for (; arg < argc; ++arg) {
        std::ifstream file(argv[arg], std::ios::binary);
        const std::vector<u8> bytes{std::istreambuf_iterator<char>(file), {}};
        for (const sBitmap& bitmap : ParsePbm(bytes)) {
            const std::string region =
                GenericRegion(bitmap, 0, 0, gbTemplate, tpgdon, ownAt ? at : nullptr);
            for (sSegment& segment :
                 PageSegments(++page, u32(bitmap.width), u32(bitmap.height), {region})) {
                segments.push_back(segment);
            }
        }
    }
    if (page == 0) {
        std::fprintf(stderr, "no PBM pages\n");
        return 1;
    }
    if (layout != eLayout::Bare) {
        segments.push_back(MakeSegment(51, 0, ""));
    }
    const std::string out = WriteFile(segments, layout, noCount ? -1 : i64(page));
    std::ofstream(output, std::ios::binary).write(out.data(), std::streamsize(out.size()));
    return 0;
}
