#pragma once
// cCanvas: the drawing surface of the toolkit. The platform implements it (a software
// rasterizer over 32-bit pixels 0xAARRGGBB, rows top-down); the core only sees this
// interface. Colour arguments are GDI colours 0x00BBGGRR; they become pixels at one
// place, PixelFromColour.
//
// Coordinates are relative to the origin (SetOrigin, in pixels of this canvas). Every
// drawing call is clipped to the top of the clip stack; an empty stack means the base
// clip (the whole canvas unless SetBaseClip narrowed it). The widget tree starts each
// element's paint with ResetDrawingState, SetOrigin(the element's top-left) and
// SetBaseClip(its visible area), so an element never draws outside itself, not even by
// popping more clips than it pushed.
//
// Rectangles with a zero or negative size draw nothing. Edges are computed in 64 bits
// and clamped, so huge values (a height of 0x7FFFFFFF under a negative top, a width of
// -5) can neither wrap nor reach outside the pixels.
#include "base/types.h"
#include "gui/core/geometry.h"

#include <vector>

class cFontObject;
class cPicture;
struct sUnitPlace;

// 0x00BBGGRR -> opaque 0xFFRRGGBB.
constexpr u32 PixelFromColour(u32 colour)
{
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// (red, green, blue) -> 0x00BBGGRR.
constexpr u32 ColourFromRgb(u32 red, u32 green, u32 blue)
{
    return (blue & 0xFFu) << 16 | (green & 0xFFu) << 8 | (red & 0xFFu);
}

// Text alignments of DrawTextInRectW and DrawMultilineTextW.
enum : u32
{
    kAlignLeft = 0,
    kAlignCentre = 1,
    kAlignRight = 2,
    kAlignJustify = 3, // multi-line text; one-line text draws it as left
};

class cCanvas
{
public:
    virtual ~cCanvas() = default;
    // Deletes the canvas (caller-owned when made by CreateOffscreenCanvas).
    void Delete() { delete this; }

    virtual i32 GetWidth() const = 0;
    virtual i32 GetHeight() const = 0;
    // The pixel rows, GetStride() pixels apart; for snapshots and blits.
    virtual u32* GetPixels() = 0;
    virtual const u32* GetPixels() const = 0;
    virtual i32 GetStride() const = 0;

    // --- state -------------------------------------------------------------------
    // Origin (0, 0), base clip = whole canvas, clip stack empty, the 5 x 13 UI font,
    // text colour 0x000000 on background 0xFFFFFF, pen 0x000000 one pixel wide.
    virtual void ResetDrawingState() = 0;
    virtual void SetOrigin(i32 x, i32 y) = 0;
    virtual sPoint GetOrigin() const = 0;
    virtual void SetColors(u32 textColour, u32 backColour) = 0;
    virtual u32 GetTextColour() const = 0;
    virtual u32 GetBackColour() const = 0;
    // Null selects the 5 x 13 UI font.
    virtual void SelectFont(const cFontObject* font) = 0;
    virtual const cFontObject* GetFont() const = 0;
    // Width below 1 draws one pixel wide.
    virtual void SetPen(u32 colour, i32 width) = 0;

    // --- clipping ----------------------------------------------------------------
    // The base clip in canvas pixels (not origin-relative), cut to the canvas; empties
    // the clip stack.
    virtual void SetBaseClip(const sRect& canvasRect) = 0;
    // Pushes the current clip intersected with r (origin-relative).
    virtual void AddClip(const sRect& r) = 0;
    // Takes r (origin-relative) out of the current clip, leaving disjoint rectangles.
    // With an empty stack the base clip minus r is pushed, so one ApplyClip restores.
    virtual void ExcludeClip(const sRect& r) = 0;
    // Pops the top clip; with an empty stack the base clip simply stays in force.
    virtual void ApplyClip() = 0;
    // The current clip: disjoint rectangles in canvas pixels.
    virtual const std::vector<sRect>& GetClipRects() const = 0;

    // --- shapes ------------------------------------------------------------------
    // Fills (x, y, w, h) with `fill` and draws `outline` on the rectangle's own edge
    // pixels (pass the fill colour for no visible outline).
    virtual void FillRect(i32 x, i32 y, i32 w, i32 h, u32 fill, u32 outline) = 0;
    // A pen line from (x1, y1) towards (x2, y2), the end point left out as GDI does, so
    // that lines drawn end to start meet without drawing a joint twice.
    virtual void DrawLine(i32 x1, i32 y1, i32 x2, i32 y2) = 0;

    // --- text --------------------------------------------------------------------
    // Text is UTF-16, length -1 = up to the terminating 0; a surrogate pair is one
    // glyph and a lone surrogate draws the missing glyph.
    //
    // One line in the text colour with the cell's top at y; `boxed` first fills the
    // text's cell (measured width x cell height) with the background colour.
    virtual void DrawTextW(i32 x, i32 y, bool boxed, const char16_t* text, i32 length) = 0;
    // One line in (x, y, w, h) between the margins, vertically centred, clipped to the
    // rectangle; when too wide, the longest prefix of whole code points that fits with
    // "..." behind it. Returns the x where the text starts, or -1 when the text is
    // empty, no room is left between the margins or not even "..." fits.
    virtual i32 DrawTextInRectW(i32 x, i32 y, i32 w, i32 h, u32 align, bool boxed,
                                i32 leftMargin, i32 rightMargin, const char16_t* text,
                                i32 length) = 0;
    // Word-wrapped text in width w from (x, y): breaks at spaces, a line feed forces a
    // break, carriage returns are ignored, a word wider than w stands alone (clipped),
    // spaces at a wrap are dropped; a final line feed opens no further line and empty
    // text has none. Lines advance by trunc(cell height x lineFactor). Justify (3)
    // shares the spare width of a line that ends by wrapping over its g gaps, gap k
    // getting floor((k+1)e/g) - floor(ke/g); paragraph-ending and one-word lines stay
    // left. Drawing is clipped to (x, y, w, h) and shows only the lines whole in h (at
    // least the first); when lines are left over, the last one shown is cut to the
    // longest prefix that fits with "..." behind it. *height (may be null) receives
    // lines x advance whatever h is, so h = 0 measures without drawing. False for a null text or a width below 1.
    virtual bool DrawMultilineTextW(i32 x, i32 y, i32 w, i32 h, u32 align, f64 lineFactor,
                                    const char16_t* text, i32 length, i32* height) = 0;
    // Width = sum of the glyph advances (no kerning), height = the cell height, also for
    // empty text. False for a null text with a non-zero length.
    virtual bool MeasureTextW(const char16_t* text, i32 length, sSize* size) const = 0;
    // Narrow text is Latin-1: every byte is the code point of the same value.
    virtual bool MeasureTextA(const char* text, i32 length, sSize* size) const = 0;
    // edges[i] = right edge of UTF-16 unit i from the text's start; both units of a
    // surrogate pair get the pair's edge; the last edge equals the measured width.
    // `edges` MUST hold the text's length in values.
    virtual bool FitTextW(const char16_t* text, i32 length, i32* edges) const = 0;
    // Where each UTF-16 unit of a one-line text is drawn (directions ordered for
    // display); *rightToLeft (may be null) = whether the text's paragraph runs right to
    // left (its first strong character's direction). `places` MUST hold the text's
    // length in values. False for a null text with a non-zero length.
    virtual bool PlaceTextW(const char16_t* text, i32 length, sUnitPlace* places, bool* rightToLeft) const = 0;

    // --- pictures and canvases ---------------------------------------------------
    // The picture's RGB at (x, y), drawn opaque (its alpha is ignored). Width or height
    // -1 = the picture's own; other sizes stretch by nearest neighbour with source
    // index floor((d + 0.5) x source length / destination length).
    virtual void DrawPicture(i32 x, i32 y, const cPicture* picture, i32 width = -1,
                             i32 height = -1) = 0;
    // The picture at (x, y) in its own size mixed by its alpha, per colour byte
    // out = (source x a + destination x (255 - a) + 127) / 255. `flag` is reserved.
    virtual void DrawPictureBlended(i32 x, i32 y, const cPicture* picture, u32 flag = 0) = 0;
    // A new canvas of the same kind, cleared to transparent black, owned by the caller;
    // null when a size is below 1, passes the pixel cap or memory is short.
    virtual cCanvas* CreateOffscreenCanvas(i32 width, i32 height) const = 0;
    // Copies (sourceX, sourceY, w, h) of `source` (its pixels; its origin is not used)
    // to (x, y); w or h -1 = up to the source's edge. Clipped to both canvases and to
    // this canvas's clip.
    virtual void CopyFrom(i32 x, i32 y, const cCanvas* source, i32 sourceX, i32 sourceY,
                          i32 w = -1, i32 h = -1) = 0;
};

// The platform installs the maker of memory canvases; the core uses it where it draws
// without a window (the theme's images). Null uninstalls.
using tCanvasMaker = cCanvas* (*)(i32 width, i32 height);
void SetCanvasMaker(tCanvasMaker maker);
// A new caller-owned canvas, or null without a maker or when the size is refused.
cCanvas* CreateMemoryCanvas(i32 width, i32 height);
