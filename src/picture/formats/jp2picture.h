#pragma once
// The JPEG 2000 pictures: JP2 files and bare codestreams over the decoder in
// picture/codecs/jp2decoder.h. They keep no decoder state: every ReadInfo and Load builds
// its own buffered stream, decoder and image record on the stack and frees them on the way
// out. A load decodes the whole image; thumbnails decode whole and resample.
#include "base/bufferedio.h"
#include "picture/codecs/jp2decoder.h"
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatJP2 = 8;
inline constexpr i32 kPictFormatJ2K = 9;

// A 4096-byte read-ahead over the caller's stream (borrowed) for one operation.
class cJP2FileIOTarget : public cMemBufferedIO
{
  public:
    ~cJP2FileIOTarget() override = default;
};

class cPictJP2Base : public cPictBase
{
  protected:
    friend bool RenderJp2Image(cPictJP2Base* picture, const sJp2Image& image);
};

class cPictJP2 : public cPictJP2Base
{
  public:
    i32 GetFormatId() override { return kPictFormatJP2; }
    // The box check and the main header: width x1 - x0, height y1 - y0, preview flag 0.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    bool Load(cFileIOTarget* stream) override;
};

class cPictJ2K : public cPictJP2Base
{
  public:
    i32 GetFormatId() override { return kPictFormatJ2K; }
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    bool Load(cFileIOTarget* stream) override;
};

// Writes the decoded image into the picture's 32-bit or deep buffer (row r to buffer row
// h - 1 - r), or streams it into the picture's attached render target. Grey, grey + alpha,
// RGB, RGB + alpha and sYCC (sub-sampled chroma replicated) are rendered; CMYK and e-YCC
// fail. Components of up to 8 bits give 32-bit pixels, deeper ones 16-bit channels.
[[nodiscard]] bool RenderJp2Image(cPictJP2Base* picture, const sJp2Image& image);

// The factory's probes: the box check (from the 12-byte signature on) or the SOC and SIZ
// markers, then the main header.
[[nodiscard]] bool ProbeJP2(cFileIOTarget* stream, sPictInfo* info);
[[nodiscard]] bool ProbeJ2K(cFileIOTarget* stream, sPictInfo* info);
