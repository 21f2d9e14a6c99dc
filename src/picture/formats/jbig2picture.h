#pragma once
// The JBIG2 picture (ITU-T T.88): a file with the JBIG2 file header (Annex D, sequential or
// random-access organisation, page count given or not) or a bare segment stream. Each page
// is a page of the picture and shows its immediate generic regions, combined with their
// operators on a page of its default pixel; every other region type leaves its area as it
// is.
#include "base/keytree.h"
#include "base/lists.h"
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatJBIG2 = 36;

struct sJbig2Region
{
    u64 offset = 0; // the segment data in the stream
    u64 length = 0; // clipped to the stream's end
    u8 type = 0;
};

struct sJbig2Page
{
    u32 width = 0;
    u32 height = 0;
    u8 flags = 0; // page information flags (T.88 7.4.8.5)
    _linklist<sJbig2Region> regions;
};

class cPictJBIG2 : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatJBIG2; }
    // The size of the lowest-numbered page once the scan is complete; preview flag 0.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Page 0.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }
    bool HasPages() override { return true; }
    // 0 when the scan is not complete.
    i32 GetPageCount(cFileIOTarget* stream) override;
    bool GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height) override;
    // Page n (from 0) is page number n + 1. True once the page and its buffer or target
    // exist, whatever its regions gave.
    bool LoadPage(cFileIOTarget* stream, i32 page) override;
    bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH, i32 page,
                             bool allowFullDecode, u32 background) override;

    // Reads the segment headers (never the region data) into the page table. True when
    // every page 1 to the page count has a size (a page without regions is all its default
    // pixel).
    [[nodiscard]] bool ScanFile(cFileIOTarget* stream);

  private:
    [[nodiscard]] bool EnsureScanned(cFileIOTarget* stream);
    [[nodiscard]] bool IsComplete() const;
    [[nodiscard]] const sJbig2Page* FindPage(i32 page) const;

    _keytree<i32, sJbig2Page*, eValueOwnership::Owned> m_pages;
    u32 m_pageCount = 0;
    u8 m_complete = 0;
    u8 m_streaming = 0;
    u8 m_setBitsBlack = 1;
};

// The factory's probe: ReadInfo on a temporary picture.
[[nodiscard]] bool ProbeJBIG2(cFileIOTarget* stream, sPictInfo* info);
