#pragma once
// Helpers of the drawing tests: running reference tools and moving pixels through the
// netpbm formats they read and write.
#include "base/types.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace drawtest {

using qeltest::RunCommand;

struct sRgbImage
{
    i32 width = 0;
    i32 height = 0;
    std::vector<u32> pixels; // 0x00RRGGBB
};

// Reads a binary (P6) or plain (P3) PPM with maxval 255; empty on any other input.
inline sRgbImage ReadPpm(const std::string& bytes)
{
    sRgbImage image;
    std::istringstream in(bytes);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    if ((magic != "P6" && magic != "P3") || width < 1 || height < 1 || maxval != 255) {
        return image;
    }
    std::vector<u32> pixels(size_t(width) * height);
    if (magic == "P6") {
        in.get(); // the single white space after maxval
        for (u32& pixel : pixels) {
            unsigned char rgb[3];
            if (!in.read(reinterpret_cast<char*>(rgb), 3)) {
                return image;
            }
            pixel = u32(rgb[0]) << 16 | u32(rgb[1]) << 8 | rgb[2];
        }
    } else {
        for (u32& pixel : pixels) {
            int r, g, b;
            if (!(in >> r >> g >> b)) {
                return image;
            }
            pixel = u32(r) << 16 | u32(g) << 8 | u32(b);
        }
    }
    image.width = width;
    image.height = height;
    image.pixels = std::move(pixels);
    return image;
}

// Writes 0xAARRGGBB pixels as a PAM file (RGB_ALPHA, straight alpha) or, with
// withAlpha false, as a binary PPM.
inline bool WriteNetpbm(const std::string& path, const u32* pixels, i32 width, i32 height, bool withAlpha)
{
    std::ofstream out(path, std::ios::binary);
    if (withAlpha) {
        out << "P7\nWIDTH " << width << "\nHEIGHT " << height
            << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    } else {
        out << "P6\n" << width << " " << height << "\n255\n";
    }
    for (i64 i = 0; i < i64(width) * height; ++i) {
        const u32 p = pixels[i];
        out.put(char(p >> 16)).put(char(p >> 8)).put(char(p));
        if (withAlpha) {
            out.put(char(p >> 24));
        }
    }
    return bool(out);
}

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace drawtest
