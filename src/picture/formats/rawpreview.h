#pragma once
// Embedded JPEG previews of TIFF and camera RAW files: the candidates a format found, their
// sizes from their frame headers, and the choice and decode of one of them.
//
// Choice: with a wanted size (both sides > 0), the smallest candidate that covers it on
// both sides, else the largest; without one, the largest.
#include "picture/core/picture.h"
#include "picture/tiffraw/tiffstructure.h"

struct sRawPreview
{
    u64 m_offset = 0;
    u64 m_length = 0;
    i32 m_width = 0;
    i32 m_height = 0;
    bool m_rgb = false; // uncompressed 8-bit RGB rows, top row first, else a JPEG
};

class cRawPreviews
{
  public:
    static constexpr i32 kMaxPreviews = 16;

    // Adds a range when it lies inside the stream, starts FF D8 and its JPEG frame header
    // reads (the size comes from it); duplicates by offset and unreadable ones are dropped.
    void AddJpeg(cFileIOTarget* stream, u64 offset, u64 length);
    // Every JPEG range of a TIFF structure.
    void AddTiffJpegs(cFileIOTarget* stream, const cTiffStructure& tiff);
    // DNG's uncompressed previews: IFDs marked reduced-resolution (NewSubfileType bit 0)
    // holding uncompressed RGB, 3 x 8-bit contiguous samples in one strip range.
    void AddDngRgbPreviews(const cTiffStructure& tiff);
    [[nodiscard]] i32 GetCount() const { return m_count; }
    [[nodiscard]] const sRawPreview* Choose(i32 wantedWidth, i32 wantedHeight) const;
    // Decodes the chosen preview into `out` (pixels taken over) and writes its size back
    // into *width and *height; true only when `out` then holds 32-bit pixels.
    [[nodiscard]] bool Load(cFileIOTarget* stream, cPictBase* out, i32* width, i32* height) const;

  private:
    sRawPreview m_previews[kMaxPreviews];
    i32 m_count = 0;
};

enum class eTiffPreviews
{
    Jpeg,       // the JPEG ranges of the structure
    JpegAndRgb, // and DNG's uncompressed previews
};

// Walks the TIFF structure in `stream` and loads its chosen preview (cRawPreviews::Load),
// turned upright by IFD0's Orientation; the box and the sizes written back are the upright
// ones.
[[nodiscard]] bool LoadTiffPreview(cFileIOTarget* stream, eTiffPreviews which, cPictBase* out,
                                   i32* width, i32* height);
// The upright size of the preview LoadTiffPreview gives without a box (the largest), from
// the frame headers; false when there is none.
[[nodiscard]] bool TiffPreviewSize(cFileIOTarget* stream, eTiffPreviews which, i32* width,
                                   i32* height);

// True when `range` of the stream starts with a JPEG start-of-image marker.
[[nodiscard]] bool RangeStartsJpeg(cFileIOTarget* stream, const sTiffRange& range);
// True when any JPEG range of the structure starts with FF D8 (no frame is parsed).
[[nodiscard]] bool TiffHasJpegPreview(cFileIOTarget* stream, const cTiffStructure& tiff);
