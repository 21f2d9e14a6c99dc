#pragma once
// GIF87a and GIF89a files: every image descriptor is a page, decoded on its own at its own
// size with the global or its local colour table and the transparency of the last
// graphic-control extension before it. No animation: offsets, delays and disposal are not
// applied. With a render target attached a page streams into it.
#include "base/buffers.h"
#include "picture/core/picture.h"

inline constexpr i32 kPictFormatGIF = 11;

class cPictGIF : public cPictBase
{
  public:
    i32 GetFormatId() override { return kPictFormatGIF; }
    // The logical screen's size (pages may be smaller).
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // Page 0.
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return true; }
    bool HasPages() override { return true; }
    // The image descriptors before the trailer; -1 for a file without trailer or with an
    // unknown block.
    i32 GetPageCount(cFileIOTarget* stream) override;
    bool GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height) override;
    bool LoadPage(cFileIOTarget* stream, i32 page) override;
    // Decodes the page straight into `out`, cleared and sized to the page fitted into
    // maxW x maxH. Full decode and the background are not needed.
    bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH, i32 page,
                             bool allowFullDecode, u32 background) override;

  private:
    static constexpr u32 kScreenSize = 13;
    static constexpr u32 kDescriptorSize = 9;

    [[nodiscard]] bool ReadScreen(cFileIOTarget* stream, bool readGlobalTable);
    [[nodiscard]] bool ReadColourTable(cFileIOTarget* stream, i32 count);
    [[nodiscard]] bool FindFrame(cFileIOTarget* stream, i32& frame, bool readTables);
    [[nodiscard]] bool DecodeFrame(const u8* descriptor, cFileIOTarget* stream);
    void EmitRow(const u8* indices, i32 count, i32 y);
    [[nodiscard]] u64 GlobalTableEnd() const;

    u8 m_screen[kScreenSize] = {};
    // The last graphic-control block captured: flags (bit 0: transparent index valid),
    // delay (u16), transparent index, terminator.
    u8 m_control[5] = {};
    _typebuf<u32> m_palette;
    _typebuf<u32> m_row; // one streamed row
    bool m_streaming = false;
};

// The factory's probe: ReadInfo on a temporary picture.
[[nodiscard]] bool ProbeGIF(cFileIOTarget* stream, sPictInfo* info);
