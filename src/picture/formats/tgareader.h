#pragma once
// The TGA reader: colour-mapped, true-colour and grey images, uncompressed and run-length
// encoded (image types 1, 2, 3, 9, 10 and 11 of Truevision TGA 1.0). TGA has no magic
// number, so the header check is tight: it is also the format probe.
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatTGA = 29;

struct sTgaContext;

class cPictTGA : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatTGA; }
    // Seeks to 0 and checks the 18-byte header; the size and preview flag 0.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Seeks to 0 and decodes into the 32-bit buffer or the attached render target.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }

  private:
    friend struct sTgaContext;
};

// ReadInfo on a temporary reader: the format probe.
[[nodiscard]] bool ProbeTGA(cFileIOTarget* stream, sPictInfo* info);
