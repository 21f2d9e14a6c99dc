#pragma once
// Apple icon files: a container of icon elements of several sizes and kinds (classic 1-, 4-
// and 8-bit icons with masks, 24-bit run-length icons with 8-bit masks, and elements that
// hold a PNG, a JP2 file or a JPEG 2000 codestream). Every image element is a page; the
// largest element (or the largest that fits a box) is the picture and the preview.
#include "base/streams.h"
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatICNS = 12;

class cPictICNS : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatICNS; }
    // Records the largest element (the first of equal areas) and reports its size with the
    // preview flag set; on failure the record is cleared.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // The recorded element, or the largest when none is recorded.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }
    bool HasPages() override { return true; }
    // The image elements in file order; 0 when the walk fails.
    i32 GetPageCount(cFileIOTarget* stream) override;
    bool GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height) override;
    bool LoadPage(cFileIOTarget* stream, i32 page) override;
    // A page that fits the box moves into `out` as it is; a larger one is streamed into
    // `out` at the fitted size over `background`.
    bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH, i32 page,
                             bool allowFullDecode, u32 background) override;
    // Without limits: Load, then the pixels move into `out`. With them (each at least 1;
    // an element is only chosen when both are at least 16): the largest element within
    // both is decoded into `out`, and its size is written back through the pointers.
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override;

    struct sElement
    {
        u64 offset = 0;
        u32 length = 0;
        i32 kind = -1; // an index into the element table of icns.cpp
        i32 width = 0;
        i32 height = 0;
    };

  private:
    [[nodiscard]] bool DecodeElement(cFileIOTarget* stream, const sElement& element);
    [[nodiscard]] bool DecodeEmbedded(cFileIOTarget* data);
    [[nodiscard]] bool DecodeIcon(cFileIOTarget* stream, const sElement& element);

    i32 m_offset = -1;
    u32 m_length = 0;
};

// ReadInfo on a temporary picture: the format probe.
[[nodiscard]] bool ProbeICNS(cFileIOTarget* stream, sPictInfo* info);
