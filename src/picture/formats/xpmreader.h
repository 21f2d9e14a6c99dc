#pragma once
// The XPM reader: XPM 3 pictures, C source text holding an array of strings (values,
// colours, pixel rows). Colours are given as "#" with 6 or 12 hexadecimal digits or as
// None (transparent); colour names are not read, so files that use them fail.
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatXPM = 34;

struct sXpmContext;

class cPictXPM : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatXPM; }
    // Seeks to 0 and checks the first 255 bytes: the header comment, the declaration and
    // the values string. The size and preview flag 0. Also the format probe.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Seeks to 0 and parses the text line by line (a UTF-8 byte order mark is skipped),
    // into the 32-bit buffer or the attached render target.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }

  private:
    friend struct sXpmContext;
};

// ReadInfo on a temporary reader: the format probe.
[[nodiscard]] bool ProbeXPM(cFileIOTarget* stream, sPictInfo* info);
