#pragma once
// Shared by the TGA, PPM, PCX and XPM fuzz targets: ReadInfo, Load, and Load streamed into
// a 37 x 23 render target. A loaded picture has pixels; a streamed load that succeeds has
// ended its stream.
//
// The seeds in fuzz/corpus/{tga,ppm,pcx,xpm} come from s.ppm and r.ppm
// (/usr/bin/convert -seed 5 -size 13x7 or 9x1 plasma:fractal -depth 8), q.ppm
// (pnmquant 8 s.ppm) and m.pbm (pbmmake -g 13 7):
//   tga/t10.tga convert r.ppm -compress RLE; t2.tga pamtotga -norle -rgb s.ppm;
//   t9.tga pamtotga -cmap q.ppm; t11.tga ppmtopgm s.ppm | pamtotga -mono;
//   t32.tga convert s.ppm -alpha set -channel A -evaluate set 50%
//   ppm/p6.ppm s.ppm; p4.pbm pbmmake -g 10 3; p6deep.ppm pamdepth 65535;
//   p5.pgm ppmtopgm s.ppm | pamdepth 15
//   pcx/rgb.pcx ppmtopcx -24bit s.ppm; pal.pcx ppmtopcx -8bit q.ppm; im.pcx convert s.ppm
//   xpm/cpp1.xpm ppmtoxpm -hexonly q.ppm; cpp2.xpm ppmtoxpm -hexonly -alphamask=m.pbm s.ppm
#include "base/memio.h"
#include "picture/core/picture.h"

#include <cstdlib>
#include <vector>

template <class tReader> int FuzzRasterReader(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    tReader reader;
    sPictInfo info;
    // A header may claim up to 2^28 pixels, whose buffer would pass the fuzzer's memory
    // limit: such pictures are probed only.
    if (!reader.ReadInfo(&stream, &info) || i64(info.width) * info.height > (i64(1) << 22)) {
        return 0;
    }
    if (reader.Load(&stream) && !reader.HasPixels()) {
        std::abort();
    }
    std::vector<u32> pixels(37 * 23, 0);
    sPictTarget target{pixels.data(), 37, 23};
    tReader streamed;
    if (!streamed.SetTarget(&target) || (streamed.Load(&stream) && streamed.HasTarget())) {
        std::abort();
    }
    return 0;
}
