#pragma once
// The binary Netpbm reader: P4 (bitmap), P5 (grey map) and P6 (pixel map), with 8-bit
// samples or, for a maximum value of 256 or more, 16-bit big-endian samples in a deep
// picture. Samples are taken as stored: the maximum value only chooses the sample size.
// The plain (text) variants P1 to P3 and PAM (P7) are not read.
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatPPM = 30;

struct sPpmContext;

class cPictPPM : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatPPM; }
    // Seeks to 0 and parses the header: the size (up to INT32_MAX each, whatever the pixel
    // cap) and preview flag 0.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Seeks to 0 and decodes into the 32-bit or deep buffer, or the attached render target.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }

  private:
    friend struct sPpmContext;

    u8 m_type = 0;      // '4', '5' or '6'
    u32 m_maxValue = 0; // 2 for P4
};

// The header parse on a temporary reader: the format probe.
[[nodiscard]] bool ProbePPM(cFileIOTarget* stream, sPictInfo* info);
