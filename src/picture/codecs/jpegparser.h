#pragma once
// The JPEG decoder (ITU-T T.81): baseline and extended sequential (8 and 12 bit),
// progressive (8 and 12 bit) and lossless (2..16 bit) Huffman-coded frames with 1, 3 or 4
// components. Arithmetic coding, hierarchical frames and JPEG-LS are refused.
//
// The decoder pushes what it finds into virtual operations that its owner overrides: the
// Exif payload, the frame header, bands of decoded MCUs and (lossless) rows of samples.
// The owner decides where pixels go; in OnMcuRows it calls DecodeRegion to have a band
// transformed and colour-converted into rows it supplies, or skips the band (its
// entropy-coded data is decoded either way).
//
// 8-bit output is bit-exact with the reference decoder's accurate integer IDCT and
// replicating upsampling. Samples of more than 8 bits are scaled to 16 bits:
// v16 = (v * 65535 + (2^P - 1) / 2) / (2^P - 1).
#include "base/streams.h"
#include "base/types.h"

#include <memory>

struct sJpegContext;

// One decoded row of a lossless frame: per component, 8-bit samples when the precision is
// at most 8 (scaled to 8 bits when it is below), else samples of `precision` bits.
struct sJpegRows
{
    const u8* m_rows8[4];
    const u16* m_rows16[4];
};

class cJPEGParser
{
public:
    cJPEGParser();
    virtual ~cJPEGParser();
    cJPEGParser(const cJPEGParser&) = delete;
    cJPEGParser& operator=(const cJPEGParser&) = delete;

    // Runs the marker loop from the stream's position: SOI first, then every segment up to
    // EOI. False for a malformed, truncated or unsupported file, or when a callback
    // answered false (which ends the parse). The parse state is reset on every call.
    [[nodiscard]] bool ParseMarkers(cFileIOTarget* stream);

    // Frame fields, valid after OnFrame.
    int GetPrecision() const;
    int GetFrameWidth() const;
    int GetFrameHeight() const;
    int GetMaxHorizontalSampling() const;
    int GetMaxVerticalSampling() const;
    int GetMcuWidth() const { return 8 * GetMaxHorizontalSampling(); }
    int GetMcuHeight() const { return 8 * GetMaxVerticalSampling(); }

    // Transforms the band of MCUs that starts at (mcuColumn, mcuRow) and writes `width`
    // pixels of each of `rows` rows, starting at the band's first pixel column, through
    // `rowPointers`: u32 pixels when the precision is at most 8, else u64 pixels. Only
    // valid inside OnMcuRows or after the band's data was decoded. False when the
    // rectangle leaves the image or the band's data is not there.
    [[nodiscard]] bool DecodeRegion(int mcuColumn, int mcuRow, void* const* rowPointers, int width,
                                    int rows);

    // Colour-converts one row of full-resolution component samples (8-bit precision).
    void ConvertRow8(const u8* const* samples, u32* destination, int count, int step) const;
    // Colour-converts one row of samples of the frame's precision into 64-bit pixels.
    void ConvertRow16(const u16* const* samples, u64* destination, int count) const;

protected:
    // An APP1 Exif payload, the bytes after "Exif\0\0" (the TIFF header on); only the
    // first one is handed over. False ends the parse.
    virtual bool OnExifData(const u8* payload, u32 length) { return true; }
    // The frame header was read. False ends the parse (a header-only read).
    virtual bool OnFrame() { return true; }
    // Asked once before the first scan: false ends the parse with success, leaving the
    // scans undecoded.
    virtual bool WantsPixels() { return true; }
    // The MCUs (mcuColumn .. mcuColumn + mcuCount - 1, mcuRow) are decoded.
    virtual bool OnMcuRows(int mcuColumn, int mcuRow, int mcuCount) { return true; }
    // Lossless frames: row `y` of `count` samples per component.
    virtual bool OnRows(const sJpegRows& rows, int y, int count) { return true; }
    // A short literal naming what made the parse fail.
    virtual void OnError(const char* what) {}

private:
    friend struct sJpegContext;
    std::unique_ptr<sJpegContext> m_context;
};
