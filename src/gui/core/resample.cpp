#include "gui/core/resample.h"

#include <algorithm>

bool ResamplePixelRows(const u32* source, i32 sourceCount, u32* destination, i32 destinationCount)
{
    if (source == nullptr || destination == nullptr || sourceCount < 1 || destinationCount < 1) {
        return false;
    }
    // Work in units of 1/m of a source pixel: source pixel j spans [j m, (j + 1) m) and
    // output i spans [i n, (i + 1) n), so every overlap is a whole number and the
    // weights of one output add up to exactly n.
    const i64 n = sourceCount;
    const i64 m = destinationCount;
    i64 j = 0;
    for (i64 i = 0; i < m; ++i) {
        const i64 spanStart = i * n;
        const i64 spanEnd = spanStart + n;
        i64 sums[4] = {0, 0, 0, 0};
        while (j < n) {
            const i64 pixelStart = j * m;
            const i64 pixelEnd = pixelStart + m;
            const i64 overlap = std::min(spanEnd, pixelEnd) - std::max(spanStart, pixelStart);
            const u32 pixel = source[j];
            for (int byte = 0; byte < 4; ++byte) {
                sums[byte] += overlap * ((pixel >> (8 * byte)) & 0xFF);
            }
            if (pixelEnd > spanEnd) {
                break; // the pixel reaches into the next output
            }
            ++j;
        }
        u32 result = 0;
        for (int byte = 0; byte < 4; ++byte) {
            // floor(sum / n + 0.5), exact in integers.
            const i64 value = (2 * sums[byte] + n) / (2 * n);
            result |= u32(value) << (8 * byte);
        }
        destination[i] = result;
    }
    return true;
}
