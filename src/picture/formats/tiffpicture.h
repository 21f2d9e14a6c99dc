#pragma once
// The TIFF picture: the structure is read by our own walker (size, previews, properties),
// the pixels by libtiff. Baseline grey and RGB images of 8 or 16 bits go through libtiff's
// strip and tile decoders and our own sample conversion; every other kind (palette,
// bilevel, CMYK, YCbCr, JPEG, CCITT, LogLuv) through libtiff's RGBA interface.
//
// Pixels stay in the stored row order; the orientation tag only becomes properties 11 and
// 12, as for JPEG, so that a viewer does not turn the picture twice.
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatTIFF = 2;

class cPictTIFF : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatTIFF; }
    // Classic TIFF (II or MM, 42) whose IFD0 has a width and a height; the preview flag
    // tells whether a JPEG preview is stored (JPEGInterchangeFormat or JPEG strips).
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // The first image through libtiff: 8-bit images as 32-bit pixels, 16-bit grey and RGB
    // as deep pixels.
    bool Load(cFileIOTarget* stream) override;
    // The stored JPEG preview that best fits *width x *height (see rawpreview.h).
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override;

  protected:
    // Properties from the structure (the Exif decoder, thumbnail decoding off), without
    // the recorded size, which the pixels now give.
    void ReadProperties(cFileIOTarget* stream);
};

// Decodes the first image of the TIFF in `stream` into `picture` through libtiff.
[[nodiscard]] bool LoadTiffPixels(cFileIOTarget* stream, cPictBase* picture);
