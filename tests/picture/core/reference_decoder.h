#pragma once
// Test helpers: reading files, running reference tools, and turning their PAM output into
// the picture library's pixel layouts (top-down here; pictures are bottom-up).
#include "base/memio.h"
#include "base/types.h"
#include "picture/core/pngreader.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace pngtest {

// The names of the .png files in `folder` (ending in '/'), sorted.
inline std::vector<std::string> ListPngFiles(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<u8> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(file), {});
}

// The standard output of a shell command; empty when it fails.
inline std::vector<u8> RunCommand(const std::string& command)
{
    int status = -1;
    const std::string output = qeltest::RunCommand(command, &status);
    return status == 0 ? std::vector<u8>(output.begin(), output.end()) : std::vector<u8>();
}

// A PAM (netpbm P7) image: samples row by row from the top, `depth` per pixel.
struct sPam
{
    i32 width = 0;
    i32 height = 0;
    i32 depth = 0;
    u32 maxval = 0;
    std::vector<u32> samples;
};

inline bool ParsePam(const std::vector<u8>& bytes, sPam& pam)
{
    const std::string text(bytes.begin(), bytes.end());
    const size_t end = text.find("ENDHDR\n");
    if (text.compare(0, 3, "P7\n") != 0 || end == std::string::npos) {
        return false;
    }
    std::istringstream header(text.substr(3, end - 3));
    std::string key;
    while (header >> key) {
        if (key == "WIDTH") {
            header >> pam.width;
        } else if (key == "HEIGHT") {
            header >> pam.height;
        } else if (key == "DEPTH") {
            header >> pam.depth;
        } else if (key == "MAXVAL") {
            header >> pam.maxval;
        } else {
            std::getline(header, key);
        }
    }
    const size_t count = size_t(pam.width) * pam.height * pam.depth;
    const size_t bytesPerSample = pam.maxval > 255 ? 2 : 1;
    const size_t start = end + 7;
    if (pam.maxval == 0 || bytes.size() < start + count * bytesPerSample) {
        return false;
    }
    pam.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const u8* p = bytes.data() + start + i * bytesPerSample;
        pam.samples[i] = bytesPerSample == 2 ? u32(p[0]) << 8 | p[1] : p[0];
    }
    return true;
}

// The decode of a PNG by libpng through netpbm's pngtopam: colour expanded to RGBA, tRNS
// alpha of palettes and grey keys, no gamma. It leaves RGB key colours opaque.
inline bool PngToPamDecode(const std::string& path, sPam& pam)
{
    return ParsePam(RunCommand("pngtopam -alphapam '" + path + "' 2>/dev/null"), pam);
}

// The decode of each PNG by pypng (tools/testdata/png_to_pam.py), by file name; files it
// refuses are missing. Empty when python3 or pypng is missing.
inline std::map<std::string, sPam> PypngDecode(const std::vector<std::string>& paths)
{
    std::map<std::string, sPam> result;
    const qeltest::cScratchFolder folder;
    if (folder.Path().empty()) {
        return result;
    }
    std::string command = std::string("/usr/bin/python3 '") + QEL_SOURCE_DIR +
                          "/tools/testdata/png_to_pam.py' " + folder.Path();
    for (const std::string& path : paths) {
        command += " '" + path + "'";
    }
    if (::system(command.c_str()) == 0) {
        for (const std::string& path : paths) {
            const size_t slash = path.find_last_of('/');
            const std::string name = path.substr(slash + 1);
            const std::string pamPath = folder.PathOf(name.substr(0, name.size() - 4) + ".pam");
            sPam pam;
            if (ParsePam(ReadFileBytes(pamPath), pam)) {
                result[name] = pam;
            }
        }
    }
    return result;
}

// Pixel i of the PAM as R, G, B, A at its own maxval (grey fills R, G and B; a missing alpha
// is opaque).
inline void PamRgba(const sPam& pam, size_t i, u32 rgba[4])
{
    const u32* s = pam.samples.data() + i * pam.depth;
    const bool colour = pam.depth >= 3;
    rgba[0] = s[0];
    rgba[1] = colour ? s[1] : s[0];
    rgba[2] = colour ? s[2] : s[0];
    rgba[3] = pam.depth == 2 || pam.depth == 4 ? s[pam.depth - 1] : pam.maxval;
}

// 0xAARRGGBB pixels, top-down, scaled to 8 bits as v * 255 / maxval.
inline std::vector<u32> PamPixels32(const sPam& pam)
{
    std::vector<u32> pixels(size_t(pam.width) * pam.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        u32 rgba[4];
        PamRgba(pam, i, rgba);
        for (u32& v : rgba) {
            v = v * 255 / pam.maxval;
        }
        pixels[i] = rgba[3] << 24 | rgba[0] << 16 | rgba[1] << 8 | rgba[2];
    }
    return pixels;
}

// Deep pixels (maxval 65535), top-down.
inline std::vector<u64> PamPixels64(const sPam& pam)
{
    std::vector<u64> pixels(size_t(pam.width) * pam.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        u32 rgba[4];
        PamRgba(pam, i, rgba);
        pixels[i] = u64(rgba[3]) << 48 | u64(rgba[0]) << 32 | u64(rgba[1]) << 16 | rgba[2];
    }
    return pixels;
}

// The picture's pixels top-down.
template <class T>
std::vector<T> TopDown(const T* pixels, i32 width, i32 height)
{
    std::vector<T> rows;
    for (i32 r = height - 1; r >= 0; --r) {
        rows.insert(rows.end(), pixels + i64(r) * width, pixels + i64(r + 1) * width);
    }
    return rows;
}

inline bool DecodeBytes(const std::vector<u8>& bytes, cPictBase& picture)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    return picture.Load(&stream);
}

// Size, depth and every pixel of a decoded picture against a reference decode; deep
// references (MAXVAL 65535) compare on the 16-bit values.
inline ::testing::AssertionResult MatchesReference(cPictBase& picture, const sPam& reference)
{
    const i32 w = picture.GetWidth();
    const i32 h = picture.GetHeight();
    if (w != reference.width || h != reference.height) {
        return ::testing::AssertionFailure()
               << "size " << w << "x" << h << ", reference " << reference.width << "x"
               << reference.height;
    }
    const bool deep = reference.maxval == 65535;
    if (picture.IsDeep() != deep || !picture.HasPixels()) {
        return ::testing::AssertionFailure() << "deep flag or buffer wrong";
    }
    i64 firstDifference = -1;
    if (deep) {
        const std::vector<u64> got = TopDown(picture.Pixels64().GetData(), w, h);
        const std::vector<u64> want = PamPixels64(reference);
        const auto mismatch = std::mismatch(got.begin(), got.end(), want.begin());
        if (mismatch.first != got.end()) {
            firstDifference = mismatch.first - got.begin();
        }
    } else {
        const std::vector<u32> got = TopDown(picture.Pixels32().GetData(), w, h);
        const std::vector<u32> want = PamPixels32(reference);
        const auto mismatch = std::mismatch(got.begin(), got.end(), want.begin());
        if (mismatch.first != got.end()) {
            firstDifference = mismatch.first - got.begin();
        }
    }
    if (firstDifference >= 0) {
        return ::testing::AssertionFailure() << "first difference at x " << firstDifference % w
                                             << ", y " << firstDifference / w;
    }
    return ::testing::AssertionSuccess();
}

} // namespace pngtest
