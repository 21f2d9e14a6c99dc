// Writes a decoded picture top-down as a PAM file (TUPLTYPE RGB_ALPHA; MAXVAL 255, or 65535
// for deep pictures), for comparing with reference decoders from the shell.
#pragma once

#include "picture/core/picture.h"

#include <cstdio>
#include <vector>

inline bool WritePam(const char* path, cPictBase& picture)
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
    for (i32 row = h - 1; row >= 0 && picture.HasPixels(); --row) {
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
