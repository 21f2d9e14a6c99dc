#pragma once
// Device-independent bitmaps (DIB) and BMP files: information headers of 12 bytes (OS/2
// core) and 40 to 124 bytes (Windows, V4, V5), 1/4/8-bit indexed, 16/24/32-bit with or
// without bit fields, RLE8 and RLE4, and JPEG or PNG data carried inside. Icon mode reads
// the bitmap of an icon entry: its header height covers the colour rows and the 1-bit AND
// mask that follows them. With a render target attached the pixels stream into it.
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatDIB = 5;
inline constexpr i32 kPictFormatBMP = 6;

enum class eDibMode : u8
{
    Plain, // a bitmap of its own
    Icon,  // an icon entry: half the header height, the AND mask applied below 32 bits
    // An icon entry whose colour table directly follows the header: icon entries carry no
    // data offset, so without this flag an 8-bit one has no table at all.
    IconWithTable,
};

// A bitmap without file header, read from position 0: the pixels follow the header, so a
// colour table only exists in IconWithTable mode.
class cPictDIB : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatDIB; }
    // The header size from position 0 (never in icon mode).
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }

    void SetMode(eDibMode mode) { m_mode = mode; }

  protected:
    // Decodes the bitmap whose header starts at the stream's position. `dataOffset` and
    // `dataEnd` count from that header: where the pixels start and where the bytes
    // available for them end.
    [[nodiscard]] bool LoadBitmap(cFileIOTarget* stream, u64 dataOffset, u64 dataEnd,
                                  bool hasFileHeader);

  private:
    friend struct sDibContext;

    eDibMode m_mode = eDibMode::Plain;
};

// A BMP file: the 14-byte file header bounds the bitmap that follows it.
class cPictBMP : public cPictDIB
{
  public:
    i32 GetFormatId() override { return kPictFormatBMP; }
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    bool Load(cFileIOTarget* stream) override;
};

// Reads an information header at the stream's position and checks it; fills `info` (when
// given) with the width and the height, halved in icon mode unless the data are JPEG or PNG.
[[nodiscard]] bool ProbeDIBHeader(cFileIOTarget* stream, sPictInfo* info, eDibMode mode);

// The factory's probes: the BMP file header, then the information header at 14; a bare
// information header at 0.
[[nodiscard]] bool ProbeBMP(cFileIOTarget* stream, sPictInfo* info);
[[nodiscard]] bool ProbeDIB(cFileIOTarget* stream, sPictInfo* info);
