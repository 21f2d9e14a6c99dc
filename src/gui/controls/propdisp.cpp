#include "gui/controls/propdisp.h"

#include "gui/core/canvas.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// Theme colours of the area.
constexpr i32 kThemeFrame = 44;
constexpr i32 kThemeFill = 45;
constexpr i32 kThemeText = 4;

// The texts stand 5 pixels in from the left and top, and leave 20 more on the right, so
// that the vertical bar (16 pixels) never changes where they wrap.
constexpr i32 kTextInset = 5;
constexpr i32 kTextWidthLoss = 25;
// Below the last text line.
constexpr i32 kBottomMargin = 10;
// Heights that never cut a header or a body. The body's reaches past a 32-bit bottom
// edge; the canvas computes edges in 64 bits.
constexpr i32 kHeaderHeightLimit = 0x7FFF;
constexpr i32 kBodyHeightLimit = 0x7FFFFFFF;

} // namespace

bool cPropDispAreaChild::SetTexts(const char16_t* header, const char16_t* body)
{
    _guardchar<char16_t> newHeader;
    _guardchar<char16_t> newBody;
    if (!newHeader.Assign(header) || !newBody.Assign(body)) {
        return false;
    }
    m_header = std::move(newHeader);
    m_body = std::move(newBody);
    m_postedHeight = -1;
    Invalidate();
    return true;
}

void cPropDispAreaChild::SetColours(u32 frame, u32 fill, u32 text)
{
    m_frameColour = frame;
    m_fillColour = fill;
    m_textColour = text;
    Invalidate();
}

void cPropDispAreaChild::SetSpacing(i32 pixels)
{
    if (pixels >= 0) {
        m_spacing = pixels;
    }
}

void cPropDispAreaChild::ApplyStyle()
{
    cScrollableElement::ApplyStyle();
    const cCITheme* theme = GetTheme();
    m_frameColour = theme->GetColour(kThemeFrame);
    m_fillColour = theme->GetColour(kThemeFill);
    m_textColour = theme->GetColour(kThemeText);
    m_headerFont = nullptr;
    m_bodyFont = nullptr;
    m_spacing = 0;
}

void cPropDispAreaChild::PaintContent(cCanvas& canvas)
{
    const i32 width = GetWidth();
    const i32 height = GetHeight();
    const i32 scrollY = GetScrollY();
    const i32 border = DefaultBorderWidth();
    const sRect view = GetViewRect();
    canvas.AddClip(
        {view.x + border, view.y + border, view.width - 2 * border, view.height - 2 * border});
    if (!IsTransparent()) {
        // The whole scrolled content, so that every scroll position is covered.
        const i32 filled = std::max(view.height, GetContentHeight());
        canvas.FillRect(0, -scrollY, width, filled, m_fillColour, m_fillColour);
    }
    canvas.SetColors(m_textColour, m_fillColour);
    const i32 textWidth = width - kTextWidthLoss;
    i32 total = kBottomMargin;
    i32 bodyTop = kTextInset;
    if (!m_header.IsEmpty()) {
        canvas.SelectFont(m_headerFont != nullptr ? m_headerFont : GetBoldFont());
        i32 headerHeight = 0;
        (void)canvas.DrawMultilineTextW(kTextInset, kTextInset - scrollY, textWidth,
                                        kHeaderHeightLimit, kAlignLeft, 1.0, m_header.Get(), -1,
                                        &headerHeight);
        total = headerHeight + m_spacing + kBottomMargin;
        bodyTop = headerHeight + m_spacing + kTextInset;
    }
    if (!m_body.IsEmpty()) {
        canvas.SelectFont(m_bodyFont != nullptr ? m_bodyFont : GetDefaultFont());
        i32 bodyHeight = 0;
        (void)canvas.DrawMultilineTextW(kTextInset, bodyTop - scrollY, textWidth, kBodyHeightLimit,
                                        kAlignJustify, 1.0, m_body.Get(), -1, &bodyHeight);
        total += bodyHeight;
    }
    if (GetContentHeight() != total && m_postedHeight != total) {
        m_postedHeight = total;
        (void)PostAction(this, new (std::nothrow) cPropDispResizeAction(total));
    }
    canvas.ApplyClip();
    if (!IsTransparent()) {
        canvas.SetPen(m_frameColour, 1);
        canvas.DrawLine(0, 0, width - 1, 0);
        canvas.DrawLine(width - 1, 0, width - 1, height - 1);
        canvas.DrawLine(width - 1, height - 1, 0, height - 1);
        canvas.DrawLine(0, height - 1, 0, 0);
    }
}
