#pragma once
// Properties of a rendered window that hold whatever the font's version and metrics:
// read from the pixels of its canvas and the rectangles of its widget tree.
// - text-fits: a word-wrapped label shows whole lines only: no ink on the last pixel row
//   its text may use (a line cut through its middle leaves ink there);
// - no-overlap: no text-carrying control (label with text, edit) overlaps another one or
//   a button (push button, toolbar);
// - on-screen: every button lies inside its window and every window on the screen;
// - contrast: every piece of ink on a selection band (theme colours 16, 17 and 18) has a
//   WCAG 2.x contrast ratio of at least 4.5:1 against the band.
#include "gui/controls/edit.h"
#include "gui/controls/pushbutton.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/core/canvas.h"
#include "gui/core/scrollable.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace uiproperties {

struct sFailure
{
    std::string check;
    std::string detail;
};

inline u32 Pixel(const cCanvas& canvas, i32 x, i32 y)
{
    return canvas.GetPixels()[size_t(y) * size_t(canvas.GetStride()) + size_t(x)] & 0xFFFFFFu;
}

// WCAG 2.x relative luminance of an 0xRRGGBB pixel.
inline f64 Luminance(u32 rgb)
{
    f64 sum = 0;
    const f64 weights[3] = {0.2126, 0.7152, 0.0722};
    for (int channel = 0; channel < 3; ++channel) {
        const f64 value = f64((rgb >> (16 - 8 * channel)) & 0xFFu) / 255.0;
        sum += weights[channel] * (value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4));
    }
    return sum;
}

inline f64 ContrastRatio(u32 a, u32 b)
{
    const f64 la = Luminance(a);
    const f64 lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline std::string Describe(const sRect& rect)
{
    return "(" + std::to_string(rect.x) + "," + std::to_string(rect.y) + " " + std::to_string(rect.width) + "x" +
           std::to_string(rect.height) + ")";
}

inline sRect RectInRoot(cChildElement* element)
{
    const sPoint origin = element->GetOriginInRoot();
    i32 width = element->GetWidth();
    if (auto* toolbar = dynamic_cast<cToolBarChild*>(element)) {
        width = std::min(width, toolbar->GetTotalWidth()); // the buttons sit at its left
    }
    return {origin.x, origin.y, width, element->GetHeight()};
}

inline void CollectVisible(cChildElement* element, std::vector<cChildElement*>& out)
{
    if (!element->IsVisible() || element->GetWidth() <= 0 || element->GetHeight() <= 0) {
        return;
    }
    out.push_back(element);
    // A scrolled view places its children in content coordinates and clips them to its
    // view: what shows of them is its own.
    if (dynamic_cast<cScrollableElement*>(element) != nullptr) {
        return;
    }
    for (cChildElement* child : element->GetChildren()) {
        CollectVisible(child, out);
    }
}

inline bool CarriesText(cChildElement* element)
{
    if (dynamic_cast<cEditChild*>(element) != nullptr) {
        return true;
    }
    auto* label = dynamic_cast<cStaticElement*>(element);
    const char16_t* text = label != nullptr ? label->GetText() : nullptr;
    return text != nullptr && text[0] != 0;
}

inline bool IsButton(cChildElement* element)
{
    return dynamic_cast<cButtonChild*>(element) != nullptr || dynamic_cast<cToolBarChild*>(element) != nullptr;
}

inline bool IsInside(cChildElement* element, cChildElement* ancestor)
{
    for (cChildElement* up = element->GetParent(); up != nullptr; up = up->GetParent()) {
        if (up == ancestor) {
            return true;
        }
    }
    return false;
}

// Word-wrapped labels draw their text in (3, 3) .. (w - 3, h - 3).
inline void CheckWholeLines(const cCanvas& canvas, const std::vector<cChildElement*>& elements,
                            std::vector<sFailure>& failures)
{
    for (cChildElement* element : elements) {
        auto* label = dynamic_cast<cStaticElement*>(element);
        if (label == nullptr || label->GetTextMode() != kTextWrapped || !CarriesText(label) || label->IsTransparent()) {
            continue;
        }
        const sRect rect = RectInRoot(label);
        const i32 row = rect.y + rect.height - 4;
        const u32 back = PixelFromColour(label->GetBackColour()) & 0xFFFFFFu;
        for (i32 x = rect.x + 3; x < rect.x + rect.width - 3 && row >= 0 && row < canvas.GetHeight(); ++x) {
            if (x >= 0 && x < canvas.GetWidth() && Pixel(canvas, x, row) != back) {
                failures.push_back({"text-fits", "a line cut through at the bottom of label " + Describe(rect)});
                break;
            }
        }
    }
}

inline void CheckOverlaps(const std::vector<cChildElement*>& elements, std::vector<sFailure>& failures)
{
    for (size_t i = 0; i < elements.size(); ++i) {
        for (size_t j = i + 1; j < elements.size(); ++j) {
            cChildElement* a = elements[i];
            cChildElement* b = elements[j];
            const bool textA = CarriesText(a);
            const bool textB = CarriesText(b);
            if (!(textA && (textB || IsButton(b))) && !(textB && IsButton(a))) {
                continue;
            }
            if (IsInside(a, b) || IsInside(b, a) || IntersectRects(RectInRoot(a), RectInRoot(b)).IsEmpty()) {
                continue;
            }
            failures.push_back({"no-overlap", Describe(RectInRoot(a)) + " and " + Describe(RectInRoot(b))});
        }
    }
}

inline void CheckOnScreen(const sRect& window, const sSize& screen, const std::vector<cChildElement*>& elements,
                          std::vector<sFailure>& failures)
{
    if (window.x < 0 || window.y < 0 || window.Right() > screen.width || window.Bottom() > screen.height) {
        failures.push_back({"on-screen", "window " + Describe(window)});
    }
    for (cChildElement* element : elements) {
        const sRect rect = RectInRoot(element);
        if (IsButton(element) && (rect.x < 0 || rect.y < 0 || rect.Right() > window.width || rect.Bottom() > window.height)) {
            failures.push_back({"on-screen", "button " + Describe(rect) + " outside its window"});
        }
    }
}

// Whether every pixel of a piece lies on the line from the band's colour to its
// strongest pixel (within rounding): text is one colour blended over the band by its
// coverage, an icon has colours of its own and is no text.
inline bool IsBlendOfOneColour(const std::vector<u32>& pixels, u32 band, u32 strongest)
{
    f64 direction[3], length = 0;
    for (int c = 0; c < 3; ++c) {
        direction[c] = f64((strongest >> (8 * c)) & 0xFFu) - f64((band >> (8 * c)) & 0xFFu);
        length += direction[c] * direction[c];
    }
    for (const u32 pixel : pixels) {
        f64 offset[3], along = 0;
        for (int c = 0; c < 3; ++c) {
            offset[c] = f64((pixel >> (8 * c)) & 0xFFu) - f64((band >> (8 * c)) & 0xFFu);
            along += offset[c] * direction[c];
        }
        const f64 t = length > 0 ? along / length : 0;
        f64 away = 0;
        for (int c = 0; c < 3; ++c) {
            away += (offset[c] - t * direction[c]) * (offset[c] - t * direction[c]);
        }
        if (away > 12.0 * 12.0) {
            return false;
        }
    }
    return true;
}

// A band: rows in which `band` covers at least 8 pixels (in runs of 2 or more, so that
// a frame's 1-pixel side is no band), at least 6 such rows in a row. Within it (its
// outline ring left out) ink is cut into lines at rows of pure band colour and each
// line into pieces at 3 or more columns of it; each piece of text (IsBlendOfOneColour)
// must reach 4.5:1 with its strongest pixel.
inline void CheckBandContrast(const cCanvas& canvas, u32 band, std::vector<sFailure>& failures)
{
    const i32 width = canvas.GetWidth();
    const i32 height = canvas.GetHeight();
    auto bandExtent = [&](i32 y, i32& left, i32& right) {
        left = width;
        right = -1;
        i32 covered = 0;
        for (i32 x = 0; x < width; ++x) {
            const bool here = Pixel(canvas, x, y) == band;
            const bool paired = here && ((x > 0 && Pixel(canvas, x - 1, y) == band) ||
                                         (x + 1 < width && Pixel(canvas, x + 1, y) == band));
            if (paired) {
                ++covered;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        return covered >= 8;
    };
    auto checkPiece = [&](i32 top, i32 bottom, i32 from, i32 to) {
        std::vector<u32> piece;
        f64 strongest = 0;
        u32 strongestPixel = band;
        for (i32 y = top; y <= bottom; ++y) {
            for (i32 x = from; x <= to; ++x) {
                const u32 pixel = Pixel(canvas, x, y);
                if (pixel == band) {
                    continue;
                }
                piece.push_back(pixel);
                const f64 ratio = ContrastRatio(pixel, band);
                if (ratio > strongest) {
                    strongest = ratio;
                    strongestPixel = pixel;
                }
            }
        }
        if (!piece.empty() && strongest < 4.5 && IsBlendOfOneColour(piece, band, strongestPixel)) {
            char text[160];
            std::snprintf(text, sizeof text, "ink at x %d..%d, y %d..%d reaches %.2f:1 on %06X", from, to, top, bottom,
                          strongest, band);
            failures.push_back({"contrast", text});
        }
    };
    // Pieces of the line top..bottom between left and right.
    auto checkLine = [&](i32 top, i32 bottom, i32 left, i32 right) {
        i32 plainColumns = 0;
        i32 pieceStart = -1;
        for (i32 x = left; x <= right; ++x) {
            bool plain = true;
            for (i32 y = top; y <= bottom && plain; ++y) {
                plain = Pixel(canvas, x, y) == band;
            }
            if (!plain) {
                pieceStart = pieceStart < 0 ? x : pieceStart;
                plainColumns = 0;
            } else if (++plainColumns == 3 && pieceStart >= 0) {
                checkPiece(top, bottom, pieceStart, x - 3);
                pieceStart = -1;
            }
        }
        if (pieceStart >= 0) {
            checkPiece(top, bottom, pieceStart, right);
        }
    };
    for (i32 y = 0; y < height;) {
        i32 left = 0, right = 0;
        if (!bandExtent(y, left, right)) {
            ++y;
            continue;
        }
        i32 bottom = y;
        for (i32 l = 0, r = 0; bottom + 1 < height && bandExtent(bottom + 1, l, r);) {
            ++bottom;
            left = std::min(left, l);
            right = std::max(right, r);
        }
        if (bottom - y + 1 >= 6) {
            i32 lineTop = -1;
            for (i32 row = y + 1; row < bottom; ++row) {
                bool plain = true;
                for (i32 x = left + 1; x < right && plain; ++x) {
                    plain = Pixel(canvas, x, row) == band;
                }
                if (!plain && lineTop < 0) {
                    lineTop = row;
                } else if (plain && lineTop >= 0) {
                    checkLine(lineTop, row - 1, left + 1, right - 1);
                    lineTop = -1;
                }
            }
            if (lineTop >= 0) {
                checkLine(lineTop, bottom - 1, left + 1, right - 1);
            }
        }
        y = bottom + 1;
    }
}

// Every property of the window whose widget tree is `root`, drawn on `canvas`, at
// `window` on a screen of `screen`.
inline std::vector<sFailure> CheckWindow(cChildElement* root, const cCanvas& canvas, const sRect& window,
                                         const sSize& screen)
{
    std::vector<sFailure> failures;
    std::vector<cChildElement*> elements;
    CollectVisible(root, elements);
    CheckWholeLines(canvas, elements, failures);
    CheckOverlaps(elements, failures);
    CheckOnScreen(window, screen, elements, failures);
    const cCITheme* theme = GetTheme();
    for (const i32 index : {16, 17, 18}) {
        const u32 band = PixelFromColour(theme->GetColour(index)) & 0xFFFFFFu;
        if (index == 17 && band == (PixelFromColour(theme->GetColour(16)) & 0xFFFFFFu)) {
            continue; // one band colour for lists and edits
        }
        CheckBandContrast(canvas, band, failures);
    }
    return failures;
}

} // namespace uiproperties
