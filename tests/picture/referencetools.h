#pragma once
// Helpers of every picture test: files, reference tools, and their netpbm output (P5, P6 or
// P7) as top-down pixels compared against ours.
#include "base/types.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace picttest {

inline std::vector<u8> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(file), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// The standard output of a shell command; empty when it fails.
inline std::vector<u8> RunCommand(const std::string& command)
{
    int status = -1;
    const std::string output = qeltest::RunCommand(command + " 2>/dev/null", &status);
    return status == 0 ? std::vector<u8>(output.begin(), output.end()) : std::vector<u8>();
}

inline bool RunsOk(const std::string& command)
{
    return !RunCommand(command + " && echo ok").empty();
}

// A netpbm image: samples row by row from the top, `depth` per pixel.
struct sPnm
{
    i32 width = 0;
    i32 height = 0;
    i32 depth = 0;
    u32 maxval = 0;
    std::vector<u32> samples;
};

inline bool ParsePnm(const std::vector<u8>& bytes, sPnm& pnm)
{
    const std::string text(bytes.begin(), bytes.end());
    std::istringstream header(text);
    std::string magic;
    header >> magic;
    size_t start = 0;
    if (magic == "P5" || magic == "P6") {
        pnm.depth = magic == "P5" ? 1 : 3;
        header >> pnm.width >> pnm.height >> pnm.maxval;
        start = size_t(header.tellg()) + 1;
    } else if (magic == "P7" && text.find("ENDHDR\n") != std::string::npos) {
        start = text.find("ENDHDR\n") + 7;
        std::string key;
        while (header >> key && key != "ENDHDR") {
            if (key == "WIDTH") {
                header >> pnm.width;
            } else if (key == "HEIGHT") {
                header >> pnm.height;
            } else if (key == "DEPTH") {
                header >> pnm.depth;
            } else if (key == "MAXVAL") {
                header >> pnm.maxval;
            }
        }
    } else {
        return false;
    }
    const size_t count = size_t(pnm.width) * pnm.height * pnm.depth;
    const size_t sampleBytes = pnm.maxval > 255 ? 2 : 1;
    if (pnm.maxval == 0 || pnm.width <= 0 || bytes.size() < start + count * sampleBytes) {
        return false;
    }
    pnm.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const u8* p = bytes.data() + start + i * sampleBytes;
        pnm.samples[i] = sampleBytes == 2 ? u32(p[0]) << 8 | p[1] : p[0];
    }
    return true;
}

// Pixel i as R, G, B, A at the image's maxval (grey fills R, G and B; no alpha is opaque).
inline void PnmRgba(const sPnm& pnm, size_t i, u32 rgba[4])
{
    const u32* s = pnm.samples.data() + i * pnm.depth;
    const bool colour = pnm.depth >= 3;
    rgba[0] = s[0];
    rgba[1] = colour ? s[1] : s[0];
    rgba[2] = colour ? s[2] : s[0];
    rgba[3] = pnm.depth == 2 || pnm.depth == 4 ? s[pnm.depth - 1] : pnm.maxval;
}

// 0xAARRGGBB pixels, top-down, scaled to 8 bits as v * 255 / maxval.
inline std::vector<u32> PnmPixels32(const sPnm& pnm)
{
    std::vector<u32> pixels(size_t(pnm.width) * pnm.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        u32 rgba[4];
        PnmRgba(pnm, i, rgba);
        for (u32& v : rgba) {
            v = v * 255 / pnm.maxval;
        }
        pixels[i] = rgba[3] << 24 | rgba[0] << 16 | rgba[1] << 8 | rgba[2];
    }
    return pixels;
}

// Deep pixels (maxval 65535), top-down.
inline std::vector<u64> PnmPixels64(const sPnm& pnm)
{
    std::vector<u64> pixels(size_t(pnm.width) * pnm.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        u32 rgba[4];
        PnmRgba(pnm, i, rgba);
        pixels[i] = u64(rgba[3]) << 48 | u64(rgba[0]) << 32 | u64(rgba[1]) << 16 | rgba[2];
    }
    return pixels;
}

// A tool's netpbm output as top-down 32-bit pixels; empty when the tool or the parse fails.
inline std::vector<u32> ToolPixels(const std::string& command, i32* width = nullptr,
                                   i32* height = nullptr)
{
    sPnm pnm;
    if (!ParsePnm(RunCommand(command), pnm)) {
        return {};
    }
    if (width != nullptr) {
        *width = pnm.width;
        *height = pnm.height;
    }
    return PnmPixels32(pnm);
}

// Two top-down images of `width` columns hold the same pixels.
template <class T>
::testing::AssertionResult SamePixels(const std::vector<T>& got, const std::vector<T>& want,
                                      i32 width)
{
    if (got.size() != want.size()) {
        return ::testing::AssertionFailure()
               << got.size() << " pixels, reference " << want.size();
    }
    const auto at = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
    if (size_t(at) == got.size()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "first difference at x " << at % width << ", y "
                                         << at / width << ": " << std::hex << got[size_t(at)]
                                         << ", reference " << want[size_t(at)];
}

// "a road, described" as "ARoadDescribed": a parameterised test's name from its words.
inline std::string CamelCaseName(const std::string& words)
{
    std::string name;
    for (size_t i = 0; i < words.size(); ++i) {
        if (std::isalnum(u8(words[i]))) {
            name += i == 0 || words[i - 1] == ' ' ? char(std::toupper(words[i])) : words[i];
        }
    }
    return name;
}

// Every cut of `bytes` at a multiple of 1/parts of its length (0 included), copied so that
// a read past the cut is a heap overflow ASan sees.
template <class Check>
void ForEachCut(const std::vector<u8>& bytes, Check check, size_t parts = 32)
{
    for (size_t part = 0; part < parts; ++part) {
        SCOPED_TRACE(testing::Message() << "cut at " << part << "/" << parts);
        check(std::vector<u8>(bytes.begin(), bytes.begin() + i64(bytes.size() * part / parts)));
    }
}

} // namespace picttest
