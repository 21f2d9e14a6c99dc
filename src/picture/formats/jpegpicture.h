#pragma once
// The JPEG picture: a cPictBase that is at the same time the JPEG decoder's owner. The
// decoder pushes the Exif block, the frame and the decoded bands into it, and the picture
// decides where pixels go (its bottom-up buffer or a render target) and how far the parse
// runs: header only, the full image, or only as far as the Exif thumbnail.
#include "base/buffers.h"
#include "picture/codecs/jpegparser.h"
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatJPEG = 1;

class cPictJPEG : public cPictBase, public cJPEGParser
{
public:
    cPictJPEG() = default;
    ~cPictJPEG() override = default;

    i32 GetFormatId() override { return kPictFormatJPEG; }
    // The frame's size; the preview flag tells whether an Exif thumbnail exists. A file cut
    // right after its frame header still reports its size.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Decodes into the buffer (32-bit up to 8-bit samples, else deep) or the render target.
    bool Load(cFileIOTarget* stream) override;
    // Takes the Exif thumbnail's pixels into `out` without decoding the main image; true
    // when `out` then holds 32-bit pixels. The size limits are not used.
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override;
    bool RendersWhileDecoding() override { return true; }

    using cPictBase::Delete;

protected:
    enum class eMode
    {
        None,        // after construction: frames are accepted, nothing is allocated
        HeaderOnly,  // stop at the frame header
        Decode,      // the whole image
        PreviewOnly, // stop at the frame header; the Exif thumbnail is decoded
    };

    bool OnExifData(const u8* payload, u32 length) override;
    // The Exif thumbnail's property, and when `decode` its pixels: a JPEG of its own.
    void SetExifThumbnail(cFileIOTarget* jpeg, bool decode) override;
    bool OnFrame() override;
    bool OnMcuRows(int mcuColumn, int mcuRow, int mcuCount) override;
    bool OnRows(const sJpegRows& rows, int y, int count) override;

    // Runs the parser from the stream's start in `mode`.
    bool Parse(cFileIOTarget* stream, eMode mode);

    eMode m_mode = eMode::None;
    u8 m_frameSeen = 0;
    // 1: image row y goes to buffer row height - 1 - y; derived classes may store top-down.
    u8 m_rowsBottomUp = 1;
    u8 m_streaming = 0;

private:
    bool StreamBand(int mcuColumn, int mcuRow, int width, int rows);
    // Streams a row of converted pixels, made opaque in place.
    void StreamOpaqueRow(i32 x, i32 y, u32* pixels, i32 count);
    bool EnsureRowPointers(int rows);

    _typebuf<u32> m_rowBuffer32;
    _typebuf<u64> m_rowBuffer64;
    _typebuf<void*> m_rowPointers;
};

// The factory's probe: ReadInfo on a temporary picture.
[[nodiscard]] bool ProbeJPEG(cFileIOTarget* stream, sPictInfo* info);
