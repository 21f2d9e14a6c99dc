#pragma once
// Document boxes and inline layout. A rich document (welcome text, read-me, licence) is a
// tree of boxes: words, links, pictures and containers that flow their children into
// lines. The document loader builds and owns the tree; the viewer measures it, draws it
// once into a page canvas and collects the rectangles that link boxes report.
//
// Layout of a container (Draw; Measure runs the same steps without drawing):
//   right limit R   context x + fixed width (when set), lowered to the context's limit,
//                   minus the container's right margin; unbounded when neither is set,
//                   and alignments 1-3 then lay out as left
//   lines           children flow left to right; a child with the break flag starts a new
//                   line; two consecutive non-empty text boxes are one space width S apart
//                   (an image between them breaks the pair); a line ends before the child
//                   that does not fit (x + advance > R) and always takes its first child
//   alignment       0 left, 1 right, 2 centre, 3 justify (S grows by the spare width over
//                   the gaps, but only on lines that ended because a child did not fit);
//                   any other value draws nothing and reports 0 x 0
//   size            fixed size where above 0, else the widest line (Draw) or the larger
//                   of R and the widest line (Measure) by the last line's bottom
//
// Kept as the layout has always been:
// - A nested container's right margin counts twice: its parent passes R minus the margin,
//   and the container takes the margin off again. The left margin counts once.
// - Measure of a container answers max(R, widest line), R being an absolute coordinate,
//   so an inline container never fits beside other children and sits alone on its line.
// - The justified gap is truncated per gap, which leaves the right edge up to one pixel
//   per gap short of R.
// - Measured widths decide the breaks; drawn (cut) widths decide where the next child
//   starts.
//
// Sound behaviour beyond that:
// - Cut widths and heights stop at 0: nothing is drawn and no active area registered for
//   an empty rectangle, and the canvas never receives a negative size.
// - Positions and sizes accumulate in 64 bits and are reported clamped to 0..INT32_MAX.
// - A container deeper than kSiDocMaxLayoutDepth answers 0 x 0 (trees from the builder are
//   capped far below; this guards trees built by hand).
//
// Ownership: a container owns its children. Link targets and pictures belong to the
// document (the loader) and outlive the boxes. GUI thread only.
#include "base/lists.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/geometry.h"

class cCanvas;
class cFontObject;
class cPicture;

// A colour field that takes the parent's (or the context's) colour.
constexpr u32 kSiDocInherit = 0xFFFFFFFFu;
// Deeper containers are not laid out (size 0).
constexpr i32 kSiDocMaxLayoutDepth = 64;

// Container alignments (not the label's or the panel's coding).
enum : i32
{
    kSiDocAlignLeft = 0,
    kSiDocAlignRight = 1,
    kSiDocAlignCentre = 2,
    kSiDocAlignJustify = 3,
};

// Image modes.
enum : i32
{
    kSiDocImageNatural = 0,
    kSiDocImageStretch = 1,
};

// The fonts of a document's font table.
class cSiDocFontProvider
{
public:
    virtual ~cSiDocFontProvider() = default;
    // The font of a document font id; null for an id not in the table.
    virtual cFontObject* GetFontFace(i32 id) = 0;
};

// Receives the rectangles that link boxes draw (the viewer).
class cSiDocActiveTarget
{
public:
    virtual void ClearActiveAreas() = 0;
    // Appends (x, y, x + width - 1, y + height - 1) to `target`'s rectangles; false when
    // memory runs out.
    virtual bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) = 0;
    virtual ~cSiDocActiveTarget() = default;
};

// Passed down the tree, copied and adjusted for each child. Limits are absolute
// coordinates; below 0 = none, 0 is a real limit.
struct sSiDocDrawContext
{
    const cFontObject* font = nullptr;
    u32 background = 0xFFFFFF;
    u32 textColour = 0x000000;
    i32 x = 0;
    i32 y = 0;
    i32 right = -1;
    i32 bottom = -1;
    cSiDocActiveTarget* target = nullptr;
    i32 depth = 0; // containers above this box
};

class cSiDocBox
{
public:
    cSiDocBox() = default;
    virtual ~cSiDocBox() = default;
    cSiDocBox(const cSiDocBox&) = delete;
    cSiDocBox& operator=(const cSiDocBox&) = delete;

    // Draws the box with its top-left at the context's (x, y) and reports the size drawn.
    // False (size 0 x 0) for a null canvas.
    virtual bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) = 0;
    // The size without drawing; false (size 0 x 0) for a null canvas.
    virtual bool Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) = 0;
    // A text or link box with a non-empty text: two of them in a row are a space apart.
    virtual bool IsWord() const { return false; }

    i32 m_marginLeft = 0;
    i32 m_marginRight = 0;
    i32 m_marginTop = 0;
    i32 m_marginBottom = 0;
    i32 m_fixedWidth = -1; // -1 = automatic
    i32 m_fixedHeight = -1;
    u32 m_background = kSiDocInherit;
    bool m_break = false; // starts a new line
    // Written by the parent container when it measures the box.
    i32 m_measuredWidth = 0;
    i32 m_measuredHeight = 0;
};

class cSiDocText : public cSiDocBox
{
public:
    bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;
    bool Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;
    bool IsWord() const override { return m_length > 0; }
    // False when memory is short (the text stays as it was).
    [[nodiscard]] bool SetText(const char16_t* text, i32 length);
    const char16_t* GetText() const { return m_text.GetOrEmpty(); }
    i32 GetLength() const { return m_length; }

    cSiDocFontProvider* m_fontProvider = nullptr;
    i32 m_fontId = -1;
    u32 m_textColour = kSiDocInherit;

protected:
    // The size the text box reports before cutting; selects its font into the canvas.
    sSize FindSize(cCanvas& canvas, const sSiDocDrawContext& context);
    // Draws and reports the cut rectangle (empty when nothing was drawn).
    sRect DrawCut(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size);

private:
    _guardchar<char16_t> m_text;
    i32 m_length = 0;
    // The text's measured size in the font it was last measured with: each word is
    // measured several times per layout.
    const cFontObject* m_cachedFont = nullptr;
    sSize m_cachedSize;
};

class cSiDocLink : public cSiDocText
{
public:
    bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;

    const char16_t* m_target = nullptr; // owned by the document
};

class cSiDocImage : public cSiDocBox
{
public:
    bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;
    bool Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;

    const cPicture* m_picture = nullptr; // owned by the document
    i32 m_mode = kSiDocImageNatural;

protected:
    sRect DrawCut(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size);
};

class cSiDocImageLink : public cSiDocImage
{
public:
    bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;

    const char16_t* m_target = nullptr; // owned by the document
};

class cSiDocContainer : public cSiDocBox
{
public:
    // Deletes the children.
    ~cSiDocContainer() override;
    bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;
    bool Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override;

    cSiDocFontProvider* m_fontProvider = nullptr;
    i32 m_fontId = -1;
    u32 m_textColour = kSiDocInherit;
    _linklist<cSiDocBox*> m_children; // owned; null entries are skipped
    i32 m_alignment = kSiDocAlignLeft;

private:
    enum class ePass { Measure, Draw };
    bool Layout(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size, ePass pass);
};
