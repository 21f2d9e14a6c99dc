#pragma once
// The picture object of the picture library. Every format class derives from cPictBase and
// fills the same things: a size, one pixel buffer of 8 or 16 bits per channel, typed
// properties, and, when a render target is attached, a stream of pixels into that target
// instead of a buffer.
//
// Pixel layout:
// - 32-bit pixels are 0xAARRGGBB words (B, G, R, A in memory), straight alpha, 255 opaque.
// - 64-bit ("deep") pixels hold four 16-bit channels in the same order: bits 0-15 blue,
//   16-31 green, 32-47 red, 48-63 alpha; 65535 is opaque.
// - Rows are bottom-up: image row r (from the top) is buffer row height - 1 - r. The
//   streaming coordinates use the same convention.
//
// Exactly one buffer holds the image: the 64-bit one when the deep flag is set, else the
// 32-bit one. A picture is used by one thread at a time and holds no global state.
#include "base/buffers.h"
#include "base/keytree.h"
#include "base/streams.h"
#include "picture/core/deepmap.h"
#include "picture/core/pictprops.h"
#include "picture/core/picttarget.h"
#include "picture/tiffraw/exiftarget.h"

// Format ids answered by GetFormatId.
enum : i32
{
    kPictFormatNone = 0,
    kPictFormatPNG = 3,
};

// What ReadInfo and the format probes answer.
struct sPictInfo
{
    i32 width = 0;
    i32 height = 0;
    u8 hasEmbeddedPreview = 0;
};

// Per-picture state that a reader keeps with the picture; deleted with it.
class cPictAttachment
{
public:
    virtual ~cPictAttachment() = default;
};

class cPictBase : public cExifTarget
{
public:
    cPictBase();
    virtual ~cPictBase();
    cPictBase(const cPictBase&) = delete;
    cPictBase& operator=(const cPictBase&) = delete;

    [[nodiscard]] virtual i32 GetFormatId() { return kPictFormatNone; }
    [[nodiscard]] virtual bool IsDeep() { return m_deep != 0; }
    // Reads the size (and whether an embedded preview exists) without the pixels. Also the
    // format probe. Seeks the stream to 0 first, as every load does.
    [[nodiscard]] virtual bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) = 0;
    // Decodes into the pixel buffer, or into the attached render target.
    [[nodiscard]] virtual bool Load(cFileIOTarget* stream) = 0;
    // A 32-bit copy of the pixels (deep pixels mapped down); the picture keeps its own.
    // False when the buffer of the picture's kind is absent or `out` cannot be sized.
    [[nodiscard]] virtual bool GetPixels32(_typebuf<u32>& out);
    [[nodiscard]] virtual i32 GetWidth() { return m_width; }
    [[nodiscard]] virtual i32 GetHeight() { return m_height; }
    // True for readers that stream pixels into an attached target while decoding.
    [[nodiscard]] virtual bool RendersWhileDecoding() { return false; }
    [[nodiscard]] virtual bool HasPages() { return false; }
    [[nodiscard]] virtual i32 GetPageCount(cFileIOTarget* stream) { return 1; }
    // Page 0 only: ReadInfo, then the size from the info.
    [[nodiscard]] virtual bool GetPageSize(cFileIOTarget* stream, i32 page, i32* width,
                                           i32* height);
    // Page 0: Load; other pages fail.
    [[nodiscard]] virtual bool LoadPage(cFileIOTarget* stream, i32 page);
    [[nodiscard]] virtual bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out,
                                                   i32* width, i32* height)
    {
        return false;
    }
    // A thumbnail of `page` fitted into maxW x maxH in `out` (see pictfit.h). The base
    // serves page 0 only: ReadInfo, then PictRenderThumbnail; true when that answers 0.
    [[nodiscard]] virtual bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out,
                                                   i32 maxW, i32 maxH, i32 page,
                                                   bool allowFullDecode, u32 background);
    void Delete() { delete this; }

    // ---- Pixels ----

    // As GetPixels32, but the picture gives its pixels up (a 32-bit buffer moves without a
    // copy) and its size becomes 0. False, with nothing changed, when the buffer is absent.
    [[nodiscard]] bool ReleasePixels32(_typebuf<u32>& out);
    // Takes over the size, the deep flag, the first option byte and the pixels of `source`
    // (with its deep mapping when deep); `source` keeps no pixels. Taking from itself or
    // from null does nothing.
    void TakePixels(cPictBase* source);
    // Size 0, both buffers freed.
    void ClearPixels();
    // Sets the size and clears the deep flag; keeps the 32-bit buffer when it already holds
    // width x height pixels, else allocates one (contents undefined); frees the 64-bit
    // buffer. False, with no buffer and size 0, past the pixel cap or when memory is short.
    [[nodiscard]] bool AllocPixels32(i32 width, i32 height);
    // AllocPixels32, then every pixel 0.
    [[nodiscard]] bool AllocClear32(i32 width, i32 height);
    // The deep form of AllocClear32: sets the deep flag and frees the 32-bit buffer.
    [[nodiscard]] bool AllocClear64(i32 width, i32 height);
    // Reverses the row order of the buffer in use; false when it is absent.
    [[nodiscard]] bool FlipRows();
    // Copies `source` with its colour levels stretched to the full range (alpha made
    // opaque): deep when the source is deep. Streams into the attached target when one is
    // attached and BeginStreamRender accepts it (the caller then calls EndStreamRender),
    // else writes this picture's own buffer. `source` may be this picture.
    [[nodiscard]] bool CopyNormalized(cPictBase* source);
    // Resamples into `destination` (which may be this picture) at the new size, in the
    // buffer kind of this picture. The destination's deep flag and mapping are the
    // caller's to set. False for any size 0 or a missing buffer.
    [[nodiscard]] bool ResizeInto(i32 width, i32 height, cPictBase* destination);

    // The buffers, for readers and renderers. Hot loops index GetData() within GetCount().
    _typebuf<u32>& Pixels32() { return m_pixels32; }
    _typebuf<u64>& Pixels64() { return m_pixels64; }
    // True when the buffer of the picture's kind holds width x height pixels (and the size
    // is not 0).
    [[nodiscard]] bool HasPixels() const;

    // How deep channels map to 8 bits (see deepmap.h): 256 and 0 after construction.
    void SetDeepMapping(f64 divisor, i32 offset);
    [[nodiscard]] f64 GetDeepDivisor() const { return m_deepDivisor; }
    [[nodiscard]] i32 GetDeepOffset() const { return m_deepOffset; }
    [[nodiscard]] sDeepMapping GetDeepMapping() const
    {
        return sDeepMapping::FromDivisor(m_deepDivisor, m_deepOffset);
    }

    // Two option bytes, 1 after construction. The first moves with the pixels in
    // TakePixels; the second is read by readers before they decode the main image.
    u8 m_pixelOption = 1;
    u8 m_decodeOption = 1;

    // Owned; deleted (with the previous one) when replaced and when the picture goes.
    void SetAttachment(cPictAttachment* attachment);
    [[nodiscard]] cPictAttachment* GetAttachment() const { return m_attachment; }

    // ---- Properties ----

    // The property under `id`; when absent and `create` is set, a new value of the id's
    // class (an existing value is never replaced). Null for an id outside 0..21, when absent
    // and not created, or when memory or the map's insert fails.
    [[nodiscard]] cPictProp* GetOrCreateProperty(i32 id, bool create);
    // The property under `id` when it is a string (an int), else null.
    [[nodiscard]] cPictPropString* FindStringProperty(i32 id);
    [[nodiscard]] cPictPropInt* FindIntProperty(i32 id);
    // Property 13 when it is an image property, even one without a picture.
    [[nodiscard]] cPictPropImage* FindThumbnailProperty();
    // Deletes the value under `id` and takes it out of the map.
    void RemoveProperty(i32 id);

    // ---- Streaming render ----
    //
    // Calling order: SetTarget (by the caller), the reader's Load, which calls
    // BeginStreamRender once it knows the size, then StreamPixel, StreamPixel64 or
    // StreamChannel for every decoded pixel, then EndStreamRender.
    //
    // Panned zoom streams are not settled: StreamChannel's nearest path (scale below 0.5)
    // subtracts the pan after scaling the column while StreamPixel subtracts it before,
    // and the setup clamps the pan against the scaled excess (pan <= scaled size - target
    // size) while the pixels treat it as source pixels, so such a stream may stop short of
    // the image's right or bottom edge. With pan 0, as every thumbnail render uses, all
    // paths agree.

    // Attaches `target` (borrowed) when it has pixels and a size of at least 1 x 1.
    [[nodiscard]] bool SetTarget(sPictTarget* target);
    // Prepares the attached target for this picture's size: fills the background, places
    // the image, and allocates the accumulators when the scale is below 1. False, with the
    // target detached, when there is no usable target, no size, an unknown mode, a zoom
    // <= 0 or a failed allocation.
    [[nodiscard]] bool BeginStreamRender();
    // One pixel at source column x, bottom-up row y. Pixels outside the target or the
    // rendered area are dropped (true). False when no target is attached.
    bool StreamPixel(i32 x, i32 y, u32 pixel);
    // StreamPixel for `count` pixels from source column x on at bottom-up row y. Below
    // scale 0.5 the run of a row that falls into one cell is added to it at once.
    bool StreamRow(i32 x, i32 y, const u32* pixels, i32 count);
    // The same for a deep pixel, mapped down first.
    bool StreamPixel64(i32 x, i32 y, u64 pixel)
    {
        return StreamPixel(x, y, m_streamDeepMapping.MapPixel(pixel));
    }
    // StreamRow for deep pixels, mapped down first.
    bool StreamRow64(i32 x, i32 y, const u64* pixels, i32 count);
    // One channel (0 blue, 1 green, 2 red, 3 alpha) of one pixel, for readers that deliver
    // planes one at a time; channels above 3 are ignored. At scale 1 the value is ORed into
    // the target pixel, so the target must start cleared.
    bool StreamChannel(i32 x, i32 y, u8 value, i32 channel);
    bool StreamChannel64(i32 x, i32 y, u16 value, i32 channel);
    // Whether a block of source pixels starting at column x and spanning rows
    // firstRow..lastRow can touch the source window (the window's first column is not
    // tested). Readers of striped and tiled formats use it to skip blocks.
    [[nodiscard]] bool IsInStreamWindow(i32 x, i32 firstRow, i32 lastRow) const;
    // Makes every pixel streamed so far opaque, for readers that learn only after the last
    // row that the alpha they streamed is unused. Does nothing without a target.
    void MakeStreamedOpaque();
    // Writes the accumulated cells into the target, frees the accumulators and detaches.
    void EndStreamRender();
    // True while a target is attached: from SetTarget to EndStreamRender or a refused
    // BeginStreamRender.
    [[nodiscard]] bool HasTarget() const { return m_target != nullptr; }
    // The attached target, for readers that hand it on to a nested decoder.
    [[nodiscard]] sPictTarget* GetTarget() const { return m_target; }

protected:
    // For readers: the size and deep flag of the image about to be decoded or streamed.
    void SetImageSize(i32 width, i32 height, bool deep);

private:
    static constexpr i32 kPropertyMapDepthLimit = 512;

    // The Exif decoder's writes (exifproperties.cpp): each sets the property of the id when
    // the id's class matches the value. The thumbnail is only announced here (its property
    // is created); the JPEG picture overrides that to decode it too.
    void SetExifInt(i32 id, i32 value) override;
    void SetExifDouble(i32 id, f64 value) override;
    void SetExifTimestamp(i32 id, const sDateTime& value) override;
    void SetExifText(i32 id, const char* text, u32 length) override;
    void SetExifBlock(i32 id, const u8* data, u32 length) override;
    void SetExifThumbnail(cFileIOTarget* jpeg, bool decode) override;

    // One column or row of the split path (scale 0.5 to 1): the first cell, the share
    // of the first cell, and whether the footprint reaches a second cell.
    struct sSplitStep
    {
        i32 cell;
        u8 crosses;
        f64 share;
    };

    [[nodiscard]] bool AllocPixels32Keeping(i32 width, i32 height);
    void FillBackgroundOutside(i32 left, i32 bottom, i32 width, i32 height);
    [[nodiscard]] bool PrepareAccumulators();
    [[nodiscard]] bool BuildSplitSteps(_typebuf<sSplitStep>& steps, i32 cells);
    void DetachTarget();
    void AccumulateNearest(i32 x, i32 y, u32 pixel);
    void AccumulateNearestRow(i32 x, i32 y, const u32* pixels, i32 count);
    [[nodiscard]] bool BuildNearestColumnStarts();
    // The rendered column of source column x on the nearest path (may lie outside).
    i64 NearestColumn(i64 x) const { return i64((f64(x) - m_panX) * m_scale + 0.5); }
    void SetNearestRow(i32 y);
    void AccumulateSplit(i32 x, i32 y, u32 pixel);
    // Calls add(cell, weight) for each cell the footprint of source pixel (x, y) covers.
    template <class Add>
    void SplitFootprint(i32 x, i32 y, Add add);
    void AddToCell(i64 cell, u32 pixel, f64 weight);
    void AddChannelToCell(i64 cell, u32 value, i32 channel, f64 weight);

    cPictAttachment* m_attachment = nullptr;
    i32 m_width = 0;
    i32 m_height = 0;
    f64 m_deepDivisor = 256.0;
    i32 m_deepOffset = 0;
    u8 m_deep = 0;
    _typebuf<u32> m_pixels32;
    _typebuf<u64> m_pixels64;
    _keytree<i32, cPictProp*, eValueOwnership::Owned> m_properties{kPropertyMapDepthLimit};

    // Streaming render. Accumulators are 4 x f32 per rendered cell (B, G, R, A), weights
    // f64 per cell; both exist only while a scaled stream is in progress.
    _typebuf<f32> m_accumulators;
    _typebuf<f64> m_weights;
    i32 m_renderedWidth = 0;
    i32 m_renderedHeight = 0;
    sPictTarget* m_target = nullptr;
    i32 m_colMargin = 0;
    i32 m_rowMargin = 0;
    i32 m_panX = 0;
    i32 m_panY = 0;
    f64 m_scale = 1.0;
    i32 m_windowFirstCol = 0;
    i32 m_windowLastCol = 0;
    i32 m_windowFirstRow = 0;
    i32 m_windowLastRow = 0;
    sDeepMapping m_streamDeepMapping = {1.0 / 256.0, 0};
    // Split path: one step per source column from panX and per row from panY.
    _typebuf<sSplitStep> m_columnSteps;
    _typebuf<sSplitStep> m_rowSteps;
    // Nearest path: the target row of the last source row streamed.
    i32 m_nearestRowY = INT32_MIN;
    i64 m_nearestRowCell = -1;
    // Nearest path: the first source column of each rendered column and one past the last
    // (renderedWidth + 1 entries); empty when runs cannot be summed exactly (below).
    _typebuf<i64> m_nearestColumnStarts;
};

// The same object without a format: a plain pixel container (format id 0).
class cPictDummy : public cPictBase
{
public:
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override { return false; }
    bool Load(cFileIOTarget* stream) override { return false; }
};

inline bool cPictBase::StreamPixel(i32 x, i32 y, u32 pixel)
{
    if (m_target == nullptr) {
        return false;
    }
    if (m_scale == 1.0) {
        const i64 column = i64(m_colMargin) + x - m_panX;
        const i64 row = i64(m_rowMargin) + y - m_panY;
        if (column >= 0 && column < m_target->width && row >= 0 && row < m_target->height) {
            m_target->pixels[row * m_target->width + column] = pixel;
        }
        return true;
    }
    if (m_accumulators.GetData() == nullptr) {
        return false;
    }
    if (m_scale < 0.5) {
        AccumulateNearest(x, y, pixel);
    } else {
        AccumulateSplit(x, y, pixel);
    }
    return true;
}

// Below scale 0.5 each pixel goes whole (weight 1) to the cell nearest its scaled position.
inline void cPictBase::AccumulateNearest(i32 x, i32 y, u32 pixel)
{
    if (y != m_nearestRowY) {
        SetNearestRow(y);
    }
    if (m_nearestRowCell < 0) {
        return;
    }
    const i64 column = NearestColumn(x);
    if (column < 0 || column >= m_renderedWidth) {
        return;
    }
    // Adding whole channel values to f32 sums is what adding them times a weight of 1.0 in
    // f64 and storing the f32 result gives.
    f32* sum = m_accumulators.GetData() + (m_nearestRowCell + column) * 4;
    sum[0] += f32(pixel & 0xFF);
    sum[1] += f32(pixel >> 8 & 0xFF);
    sum[2] += f32(pixel >> 16 & 0xFF);
    sum[3] += f32(pixel >> 24);
    m_weights.GetData()[m_nearestRowCell + column] += 1.0;
}
