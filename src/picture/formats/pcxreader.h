#pragma once
// The PCX reader: version-5 files with 8 bits per pixel and run-length encoding, either one
// plane of palette indices (the 256-colour palette at the end of the file, else the
// 16-colour palette of the header) or three planes of red, green and blue.
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatPCX = 31;

struct sPcxContext;

class cPictPCX : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatPCX; }
    // Seeks to 0 and checks the 128-byte header; the size and preview flag 0.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Seeks to 0 and decodes into the 32-bit buffer or the attached render target.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }

  private:
    friend struct sPcxContext;
};

// ReadInfo on a temporary reader: the format probe.
[[nodiscard]] bool ProbePCX(cFileIOTarget* stream, sPictInfo* info);
