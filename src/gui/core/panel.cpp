#include "gui/core/panel.h"

#include "gui/core/canvas.h"
#include "gui/core/theme.h"

namespace {

// The text's start along one axis: at the margin, against the far edge, or centred
// and then moved by the margin.
i32 PlaceText(i32 alignment, i32 size, i32 textSize, i32 margin)
{
    switch (alignment) {
    case cPanelChild::kTextLeft:
        return margin;
    case cPanelChild::kTextRight:
        return size - margin - textSize;
    default:
        return (size - textSize) / 2 + margin;
    }
}

} // namespace

void cPanelChild::SetTextMargins(i32 horizontal, i32 vertical)
{
    m_horizontalMargin = horizontal;
    m_verticalMargin = vertical;
}

void cPanelChild::SetTextAlignment(i32 horizontal, i32 vertical)
{
    m_horizontalAlignment = horizontal;
    m_verticalAlignment = vertical;
}

void cPanelChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    m_backColour = GetTheme()->GetColour(0);
    m_borderColour = kNoBorder;
    m_verticalMargin = 0;
    m_horizontalMargin = 0;
    m_horizontalAlignment = kTextCentred;
    m_verticalAlignment = kTextCentred;
}

void cPanelChild::OnPaint(cCanvas& canvas)
{
    canvas.FillRect(0, 0, GetWidth(), GetHeight(), m_backColour,
                    m_borderColour == kNoBorder ? m_backColour : m_borderColour);
    const char16_t* text = GetText();
    sSize size;
    if (text[0] == 0 || !canvas.MeasureTextW(text, -1, &size)) {
        return;
    }
    canvas.SetColors(GetTheme()->GetColour(4), m_backColour);
    canvas.DrawTextW(PlaceText(m_horizontalAlignment, GetWidth(), size.width, m_horizontalMargin),
                     PlaceText(m_verticalAlignment, GetHeight(), size.height, m_verticalMargin), false, text, -1);
}

bool cPanelChild::OnDrawBackground(cCanvas& canvas, const sRect& rect)
{
    canvas.FillRect(0, 0, rect.width, rect.height, m_backColour, m_backColour);
    return true;
}
