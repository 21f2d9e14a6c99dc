#pragma once
// The PNG reader (ISO/IEC 15948): every colour type and bit depth,
// Adam7 interlacing, palettes with tRNS alpha and tRNS colour keys. Every chunk's CRC is
// checked; ancillary chunks (gamma, colour profiles, text, physical size, time) have no
// effect. 16-bit images give deep pictures. With a render target attached the pixels are
// streamed into it instead of a buffer.
#include "picture/core/picture.h"

#include <memory>

struct sPngContext;

class cPictPNG : public cPictBase
{
public:
    cPictPNG();
    ~cPictPNG() override;

    i32 GetFormatId() override { return kPictFormatPNG; }
    // Seeks to 0 and parses up to the header: true when it is valid (with a good CRC),
    // whatever follows. Discards pixels an earlier Load produced.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Seeks to 0 and decodes the whole image.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }

    // Asked before each output row is converted; a hook that answers true leaves the row
    // as it stands. `row` is the row's first pixel in the buffer, null while streaming.
    [[nodiscard]] virtual bool ConvertRowHook32(u32* row, i32 width) { return false; }
    [[nodiscard]] virtual bool ConvertRowHook64(u64* row, i32 width) { return false; }

    // Parses from the stream's current position, never seeking: the header only after
    // ReadInfo, the whole image after Load. Every parse starts from scratch.
    [[nodiscard]] bool ParseStream(cFileIOTarget* stream);

private:
    friend struct sPngContext;

    bool m_headerOnly = false;
    // The decoding state, kept between parses so that the inflate stream is set up once.
    std::unique_ptr<sPngContext> m_context;
};

// ReadInfo on a temporary reader: the format probe.
[[nodiscard]] bool ProbePNG(cFileIOTarget* stream, sPictInfo* info);
