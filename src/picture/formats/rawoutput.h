#pragma once
// The output stage of a LibRaw development, done into the picture: LibRaw's own memory
// image would be a third copy of the picture next to its 16-bit image buffer and the
// unpacked raw data. Here the raw data is freed once dcraw_process has copied it, and the
// image buffer's pages go back to the kernel as their pixels reach the picture, so the peak
// is the development's own (raw data plus image buffer), as for LibRaw's tools that write a
// file.
#include "picture/core/picture.h"

#include <libraw/libraw.h>

class cRawDeveloper : public LibRaw
{
  public:
    cRawDeveloper() : LibRaw(LIBRAW_OPTIONS_NONE) {}

    // After dcraw_process: frees the unpacked raw data, which the image buffer holds a copy
    // of; only another dcraw_process would read it.
    void ReleaseRawData();
    // After dcraw_process: the processed image into `picture` as deep pixels, equal to what
    // dcraw_make_mem_image gives (16-bit samples through the output curve, the flip
    // applied), then the image buffer is freed. False, with the picture left without
    // pixels, when the image is missing, past the pixel cap or memory is short.
    [[nodiscard]] bool MoveImageInto(cPictBase* picture);

  private:
    // The output curve as LibRaw's memory image makes it: the gamma curve, its white point
    // from the histogram (the brightest level above all but auto_bright_thr of the pixels)
    // unless automatic brightness is off.
    void MakeOutputCurve();
};
