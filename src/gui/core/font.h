#pragma once
// Fonts. A cFontObject is one face at one size and style, made once per key by the
// process-wide cache and never freed while the program runs (widgets keep plain
// pointers to them). The glyphs come from a font engine that the platform installs
// (FreeType with fontconfig, or the fixed-advance test font); the core itself never
// touches a font file.
#include "base/types.h"

#include <memory>
#include <string>
#include <vector>

class cCanvas;

// The six values a font is asked for. Width and height follow the GDI LOGFONT
// meaning: height is the cell height (ascent + descent) in pixels, width the average
// character width; 0 width = the face's natural proportions.
struct sFontKey
{
    i32 width = 0;
    i32 height = 0;
    std::u16string face; // empty = the UI face
    bool bold = false;
    bool underline = false;
    bool italic = false;

    bool operator==(const sFontKey&) const = default;
    auto operator<=>(const sFontKey&) const = default;
};

struct sFontMetrics
{
    i32 cellHeight = 0;         // line cell, the `height` of the key
    i32 ascent = 0;             // cell top to baseline
    i32 underlineTop = 0;       // cell top to the first underline row
    i32 underlineThickness = 1; // rows
};

// One rendered glyph: an 8-bit coverage mask placed relative to the pen position at
// the top of the cell.
struct sGlyphImage
{
    i32 left = 0;    // pen x to the mask's first column
    i32 top = 0;     // cell top to the mask's first row
    i32 width = 0;   // mask columns (0 for blanks)
    i32 height = 0;  // mask rows
    i32 advance = 0; // hinted pen advance in whole pixels
    const u8* coverage = nullptr; // width x height, row after row; 255 = solid
    u32 glyphIndex = 0; // in the font that drew it; 0 is the missing-glyph box
};

// One glyph of shaped text: its image, its pen position from the text's start (x) and
// its offset below the baseline (y).
struct sShapedGlyph
{
    const sGlyphImage* image = nullptr;
    i32 x = 0;
    i32 y = 0;
};

// Where a UTF-16 unit of a line is drawn: the left and right edges of its cluster from
// the line's start (every unit of a cluster has the cluster's edges) and whether it runs
// right to left.
struct sUnitPlace
{
    i32 left = 0;
    i32 right = 0;
    bool rightToLeft = false;
};

// Text laid out by a face: its glyphs in drawing order and, per UTF-16 unit, the unit's
// advance (a cluster's whole advance on its first unit, 0 on the others), so that
// measuring adds up exactly what drawing places. A face that orders directions also
// gives every unit's place and the paragraph's direction; without places the text runs
// left to right in its units' order.
struct sShapedText
{
    std::vector<sShapedGlyph> glyphs;
    std::vector<i32> unitAdvances;
    std::vector<sUnitPlace> unitPlaces;
    bool rightToLeft = false;
};

// The glyph source of one cFontObject, made by the installed engine.
class cFontFace
{
public:
    virtual ~cFontFace() = default;
    virtual const sFontMetrics& GetMetrics() const = 0;
    // The glyph of a Unicode code point (a lone surrogate or unknown code point gives
    // the face's missing-glyph image). Never null; the image stays valid as long as
    // the face. Callable from any thread.
    virtual const sGlyphImage* GetGlyph(char32_t codePoint) = 0;
    // Shapes `text` (no C0 controls) as one line. The base places the glyph of each
    // code point one advance after the other; a face that knows the scripts' rules
    // (joining, marks, clusters, kerning) overrides it. Never null; callable from any
    // thread.
    virtual std::shared_ptr<const sShapedText> Shape(const char16_t* text, i32 length);
};

// Makes faces for keys. Null when it cannot make one.
class cFontEngine
{
public:
    virtual ~cFontEngine() = default;
    virtual std::unique_ptr<cFontFace> CreateFace(const sFontKey& key) = 0;
};

// Installs the process's font engine (null: none, text then measures as empty and
// draws nothing). Empties the font cache, so it MUST be called only while no widget
// or canvas holds a font: before the application starts or between test fixtures.
void SetFontEngine(std::unique_ptr<cFontEngine> engine);
bool HasFontEngine();

class cFontObject
{
public:
    explicit cFontObject(const sFontKey& key, std::unique_ptr<cFontFace> face);
    ~cFontObject();
    cFontObject(const cFontObject&) = delete;
    cFontObject& operator=(const cFontObject&) = delete;

    const sFontKey& GetKey() const { return m_key; }
    // Null when no engine could make the face.
    cFontFace* GetFace() const { return m_face.get(); }
    // The cell height: the face's, or the key's height without a face.
    i32 GetCellHeight() const;
    // Makes this the canvas's current font.
    void SelectInto(cCanvas& canvas) const;

private:
    sFontKey m_key;
    std::unique_ptr<cFontFace> m_face;
};

// The face name that stands for the system UI face ("Tahoma"); fontconfig resolves it
// to an installed sans face.
const char16_t* GetUiFontName();

// The cached font of these six values (face null or empty = the UI face; width and
// height clamped to kMaxFontSize, a negative width read as 0). One object per key for
// the whole process; safe from any thread. Null only when memory is short or the
// height is below 1.
constexpr i32 kMaxFontSize = 1024;
cFontObject* GetCachedFont(i32 width, i32 height, const char16_t* face, bool bold, bool underline,
                           bool italic);
// The UI faces the widgets use: 5 x 13 regular, 6 x 13 bold, 5 x 13 underlined.
cFontObject* GetDefaultUiFont();
cFontObject* GetBoldUiFont();
cFontObject* GetUnderlinedUiFont();
