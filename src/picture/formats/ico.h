#pragma once
// Windows icon (type 1) and cursor (type 2) files: a directory of entries, each one page,
// whose image is a PNG stream or a bitmap without file header in icon mode (colour rows,
// then a 1-bit AND mask). The directory's own size bytes are never used: 256 is stored as
// 0 there, and the image's header is the truth. The largest entry that fits a thumbnail
// box is the embedded preview.
#include "base/streams.h"
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatICO = 7;

class cPictICO : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatICO; }
    // The largest entry's size (the first of equal areas); every entry must be valid.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Entry 0.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }
    bool HasPages() override { return true; }
    // The entry count; 0 when the header is unusable (the type is not checked).
    i32 GetPageCount(cFileIOTarget* stream) override;
    // The entry's own size, from its PNG or bitmap header (the type is not checked).
    bool GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height) override;
    bool LoadPage(cFileIOTarget* stream, i32 page) override;
    // Decodes the entry and fits it into `out` (full decode must be allowed).
    bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH, i32 page,
                             bool allowFullDecode, u32 background) override;
    // Decodes the largest entry no wider than *width and no higher than *height (each
    // limit when given) into `out`.
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override;

  private:
    [[nodiscard]] bool LoadEntry(cFileIOTarget* stream);

    i32 m_page = 0;
};

// The image of one icon entry, read from `image` at 0: a PNG when the PNG probe accepts it,
// else a bitmap in icon mode whose colour table follows the header. With `target` (of
// non-zero size) the pixels go there and `picture` gets none; otherwise they move into
// `picture`. Also the executable-icon reader's decoder.
[[nodiscard]] bool DecodeIconImage(cFileIOTarget* image, cPictBase* picture, sPictTarget* target);

// The factory's probe: ReadInfo on a temporary picture.
[[nodiscard]] bool ProbeICO(cFileIOTarget* stream, sPictInfo* info);
