#pragma once
// cSoftCanvas: the one cCanvas implementation, a software rasterizer over a private
// buffer of 32-bit pixels 0xAARRGGBB (top-down, stride = width). It stands in for a
// GDI memory device context: windows, offscreen canvases and the theme's images are
// all drawn into one of these.
#include "gui/core/canvas.h"

#include <memory>
#include <vector>

class cSoftCanvas final : public cCanvas
{
public:
    // A canvas cleared to transparent black; null when a size is below 1, passes the
    // pixel cap (width x height <= 2^28, bytes <= INT32_MAX) or memory is short.
    static cSoftCanvas* Create(i32 width, i32 height);
    ~cSoftCanvas() override;

    i32 GetWidth() const override { return m_width; }
    i32 GetHeight() const override { return m_height; }
    u32* GetPixels() override { return m_pixels.get(); }
    const u32* GetPixels() const override { return m_pixels.get(); }
    i32 GetStride() const override { return m_width; }

    void ResetDrawingState() override;
    void SetOrigin(i32 x, i32 y) override;
    sPoint GetOrigin() const override { return m_origin; }
    void SetColors(u32 textColour, u32 backColour) override;
    u32 GetTextColour() const override { return m_textColour; }
    u32 GetBackColour() const override { return m_backColour; }
    void SelectFont(const cFontObject* font) override;
    const cFontObject* GetFont() const override;
    void SetPen(u32 colour, i32 width) override;

    void SetBaseClip(const sRect& canvasRect) override;
    void AddClip(const sRect& r) override;
    void ExcludeClip(const sRect& r) override;
    void ApplyClip() override;
    const std::vector<sRect>& GetClipRects() const override;

    void FillRect(i32 x, i32 y, i32 w, i32 h, u32 fill, u32 outline) override;
    void DrawLine(i32 x1, i32 y1, i32 x2, i32 y2) override;

    void DrawTextW(i32 x, i32 y, bool boxed, const char16_t* text, i32 length) override;
    i32 DrawTextInRectW(i32 x, i32 y, i32 w, i32 h, u32 align, bool boxed, i32 leftMargin,
                        i32 rightMargin, const char16_t* text, i32 length) override;
    bool DrawMultilineTextW(i32 x, i32 y, i32 w, i32 h, u32 align, f64 lineFactor,
                            const char16_t* text, i32 length, i32* height) override;
    bool MeasureTextW(const char16_t* text, i32 length, sSize* size) const override;
    bool MeasureTextA(const char* text, i32 length, sSize* size) const override;
    bool FitTextW(const char16_t* text, i32 length, i32* edges) const override;
    bool PlaceTextW(const char16_t* text, i32 length, sUnitPlace* places, bool* rightToLeft) const override;

    void DrawPicture(i32 x, i32 y, const cPicture* picture, i32 width, i32 height) override;
    void DrawPictureBlended(i32 x, i32 y, const cPicture* picture, u32 flag) override;
    cCanvas* CreateOffscreenCanvas(i32 width, i32 height) const override;
    void CopyFrom(i32 x, i32 y, const cCanvas* source, i32 sourceX, i32 sourceY, i32 w,
                  i32 h) override;

private:
    cSoftCanvas(i32 width, i32 height, std::unique_ptr<u32[]> pixels);

    // Origin-relative (x, y, w, h) in 64 bits -> canvas pixels, clamped; empty when w or
    // h is below 1.
    sRect ToCanvas(i64 x, i64 y, i64 w, i64 h) const;
    // Calls draw(row, part) for every row of every part of `target` (canvas pixels)
    // that the current clip keeps.
    template <typename RowFunction>
    void ForEachClippedRow(const sRect& target, RowFunction&& draw) const
    {
        for (const sRect& clip : GetClipRects()) {
            const sRect part = IntersectRects(target, clip);
            for (i32 row = part.y; row < part.Bottom(); ++row) {
                draw(row, part);
            }
        }
    }
    u32* PixelRow(i32 row) { return m_pixels.get() + size_t(row) * size_t(m_width); }
    // Fills a canvas-pixel rectangle, cut to the current clip.
    void FillClipped(const sRect& r, u32 pixel);
    void PlotPen(i32 canvasX, i32 canvasY, u32 pixel);
    // Draws the glyphs of text from the pen position (canvas pixels, cell top at y);
    // returns the advance.
    i32 DrawGlyphRun(i32 canvasX, i32 canvasY, const char16_t* text, i32 length);
    void DrawUnderline(i32 canvasX, i32 canvasY, i32 width);
    // Draws one line of text at origin-relative (x, y): the shared tail of the text
    // calls (box, glyphs, underline).
    void DrawTextLine(i32 x, i32 y, bool boxed, const char16_t* text, i32 length, i32 width);

    i32 m_width;
    i32 m_height;
    std::unique_ptr<u32[]> m_pixels;
    sPoint m_origin;
    u32 m_textColour = 0;
    u32 m_backColour = 0xFFFFFF;
    u32 m_penColour = 0;
    i32 m_penWidth = 1;
    const cFontObject* m_font = nullptr;
    std::vector<sRect> m_baseClip;
    std::vector<std::vector<sRect>> m_clipStack;
};
