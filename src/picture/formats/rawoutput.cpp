// Glossary: the image buffer is LibRaw's processed image, four 16-bit samples per pixel
// (R, G, B, G2), S.width x S.height before the flip; the flip is dcraw's: bit 2 transposes,
// bit 1 turns the rows round, bit 0 the columns.
#include "picture/formats/rawoutput.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace {

uintptr_t PageDown(uintptr_t address)
{
    static const uintptr_t kPage = uintptr_t(sysconf(_SC_PAGESIZE));
    return address & ~(kPage - 1);
}

uintptr_t PageUp(uintptr_t address)
{
    static const uintptr_t kPage = uintptr_t(sysconf(_SC_PAGESIZE));
    return PageDown(address + kPage - 1);
}

// A span of a buffer that has been copied and is not read again grows from `fixed` (up,
// or down when `down`) from `before` to `after`: its whole pages that were not whole pages
// of the span before go back to the kernel. The allocation stays; the pages read as zeros
// if touched again. Pages shared with bytes outside the span stay.
void DropGrowth(uintptr_t fixed, uintptr_t before, uintptr_t after, bool down)
{
    const uintptr_t begin = down ? PageUp(after) : std::max(PageUp(fixed), PageDown(before));
    const uintptr_t end = down ? std::min(PageDown(fixed), PageUp(before)) : PageDown(after);
    if (end > begin) {
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
    }
}

// Output columns after which the consumed source columns are given back, for a transposed
// image (every source row then gives back its part).
constexpr i64 kColumnBatch = 1024;

} // namespace

void cRawDeveloper::ReleaseRawData()
{
    libraw_rawdata_t& raw = imgdata.rawdata;
    if (raw.raw_alloc != nullptr) {
        free(raw.raw_alloc);
    }
    raw.raw_alloc = nullptr;
    raw.raw_image = nullptr;
    raw.color4_image = nullptr;
    raw.color3_image = nullptr;
    raw.float_image = nullptr;
    raw.float3_image = nullptr;
    raw.float4_image = nullptr;
}

void cRawDeveloper::MakeOutputCurve()
{
    auto* histogram = libraw_internal_data.output_data.histogram;
    if (histogram == nullptr) {
        return;
    }
    const libraw_output_params_t& params = imgdata.params;
    const libraw_image_sizes_t& sizes = imgdata.sizes;
    int share = int(sizes.width * sizes.height * params.auto_bright_thr);
    if (libraw_internal_data.internal_output_params.fuji_width != 0) {
        share /= 2;
    }
    int white = 0x2000;
    if (!((params.highlight & ~2) || params.no_auto_bright)) {
        white = 0;
        for (int c = 0; c < imgdata.idata.colors; ++c) {
            int level = 0x2000;
            for (int total = 0; --level > 32;) {
                total += histogram[c][level];
                if (total > share) {
                    break;
                }
            }
            white = std::max(white, level);
        }
    }
    gamma_curve(params.gamm[0], params.gamm[1], 2, int((white << 3) / params.bright));
}

bool cRawDeveloper::MoveImageInto(cPictBase* picture)
{
    const ushort(*image)[4] = imgdata.image;
    const libraw_image_sizes_t& sizes = imgdata.sizes;
    const i64 width = sizes.width;
    const i64 height = sizes.height;
    const int flip = sizes.flip;
    const bool transpose = (flip & 4) != 0;
    const i64 outWidth = transpose ? height : width;
    const i64 outHeight = transpose ? width : height;
    // The buffer holds iwidth x iheight pixels, which dcraw_process leaves equal to the size.
    if (image == nullptr || u64(width) * u64(height) > u64(sizes.iwidth) * sizes.iheight ||
        !PixelBufferSizeOk(outWidth, outHeight, 8) ||
        !picture->AllocClear64(i32(outWidth), i32(outHeight))) {
        return false;
    }
    MakeOutputCurve();
    const ushort* curve = imgdata.color.curve;
    const uintptr_t base = reinterpret_cast<uintptr_t>(image);
    const u64 rowBytes = u64(width) * sizeof(image[0]);
    u64* pixels = picture->Pixels64().GetData();
    i64 droppedColumns = 0;
    for (i64 y = 0; y < outHeight; ++y) {
        u64* row = pixels + (outHeight - 1 - y) * outWidth;
        for (i64 x = 0; x < outWidth; ++x) {
            i64 sourceRow = transpose ? x : y;
            i64 sourceColumn = transpose ? y : x;
            if (flip & 2) {
                sourceRow = height - 1 - sourceRow;
            }
            if (flip & 1) {
                sourceColumn = width - 1 - sourceColumn;
            }
            const ushort* sample = image[sourceRow * width + sourceColumn];
            row[x] = u64(0xFFFF) << 48 | u64(curve[sample[0]]) << 32 |
                     u64(curve[sample[1]]) << 16 | curve[sample[2]];
        }
        // The source rows (or, transposed, columns) this output row was the last to read.
        const bool down = transpose ? (flip & 1) != 0 : (flip & 2) != 0;
        if (!transpose) {
            const uintptr_t fixed = down ? base + u64(height) * rowBytes : base;
            const u64 before = u64(y) * rowBytes;
            const u64 after = before + rowBytes;
            DropGrowth(fixed, down ? fixed - before : fixed + before,
                       down ? fixed - after : fixed + after, down);
        } else if (y + 1 == outHeight || y + 1 - droppedColumns == kColumnBatch) {
            const u64 before = u64(droppedColumns) * sizeof(image[0]);
            const u64 after = u64(y + 1) * sizeof(image[0]);
            for (i64 r = 0; r < height; ++r) {
                const uintptr_t fixed = base + u64(r) * rowBytes + (down ? rowBytes : 0);
                DropGrowth(fixed, down ? fixed - before : fixed + before,
                           down ? fixed - after : fixed + after, down);
            }
            droppedColumns = y + 1;
        }
    }
    free_image();
    return true;
}
