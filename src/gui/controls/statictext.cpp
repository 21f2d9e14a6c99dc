#include "gui/controls/statictext.h"

#include "gui/controls/clamp.h"
#include "gui/core/actions.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/keys.h"
#include "gui/core/picture.h"
#include "gui/core/theme.h"

#include <algorithm>

namespace {

// Gap between the icon and the text, and the label's inner margin.
constexpr i32 kIconGap = 5;
constexpr i32 kMargin = 3;

// A disabled label's text moves halfway to grey 0xC4 in each colour byte; the top byte
// is kept.
u32 GreyedColour(u32 colour)
{
    u32 greyed = colour & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        greyed |= (((colour >> shift) & 0xFFu) + 196u) / 2u << shift;
    }
    return greyed;
}

} // namespace

// --- text ------------------------------------------------------------------------------------

bool cStaticElement::SetText(const char16_t* text, u32 alignment, bool redraw)
{
    {
        cSafeCriticalSectionAccess guard(m_lock);
        if (!m_text.Assign(text)) {
            return false;
        }
        m_alignment = alignment;
    }
    if (redraw) {
        Invalidate();
    }
    return true;
}

bool cStaticElement::SetText(const char16_t* text, i32 length)
{
    {
        cSafeCriticalSectionAccess guard(m_lock);
        if (!(length < 0 ? m_text.Assign(text) : m_text.AssignN(text, size_t(length)))) {
            return false;
        }
    }
    Invalidate();
    return true;
}

const char16_t* cStaticElement::GetText()
{
    return m_text.GetOrEmpty();
}

bool cStaticElement::CopyText(_guardchar<char16_t>& out)
{
    cSafeCriticalSectionAccess guard(m_lock);
    return out.Assign(m_text.Get());
}

void cStaticElement::ClearText()
{
    {
        cSafeCriticalSectionAccess guard(m_lock);
        m_text.Clear();
    }
    Invalidate();
}

// --- setters ---------------------------------------------------------------------------------

void cStaticElement::SetFont(cFontObject* font)
{
    if (font == nullptr) {
        font = GetDefaultFont();
    }
    if (font != m_font) {
        m_font = font;
        Invalidate();
    }
}

void cStaticElement::SetTextColour(u32 colour)
{
    SetColours(colour, m_backColour, m_frameColour);
}

void cStaticElement::SetBackColour(u32 colour)
{
    SetColours(m_textColour, colour, m_frameColour);
}

void cStaticElement::SetFrameColour(u32 colour)
{
    SetColours(m_textColour, m_backColour, colour);
}

void cStaticElement::SetColours(u32 text, u32 back, u32 frame)
{
    if (text == m_textColour && back == m_backColour && frame == m_frameColour) {
        return;
    }
    m_textColour = text;
    m_backColour = back;
    m_frameColour = frame;
    Invalidate();
}

void cStaticElement::SetTextMode(i32 mode)
{
    if (mode != m_textMode) {
        m_textMode = mode;
        Invalidate();
    }
}

void cStaticElement::SetIndent(i32 pixels)
{
    if (pixels != m_indent) {
        m_indent = pixels;
        Invalidate();
    }
}

void cStaticElement::SetIcon(const cPicture* picture, bool redraw)
{
    if (picture == m_icon) {
        return;
    }
    m_icon = picture;
    if (redraw) {
        Invalidate();
    }
}

bool cStaticElement::MeasureContent(sSize* size)
{
    if (size == nullptr) {
        return false;
    }
    i64 width = i64(GetLeadWidth()) + 2 * kMargin + m_indent;
    i64 height = 0;
    if (m_icon != nullptr) {
        width += m_icon->GetWidth() + kIconGap;
        height = i64(m_icon->GetHeight()) + 4;
    }
    cSafeCriticalSectionAccess guard(m_lock);
    if (!m_text.IsEmpty()) {
        sSize text;
        if (!MeasureText(m_text.Get(), text, m_font)) {
            return false;
        }
        width += text.width;
        height = std::max<i64>(height, i64(text.height) + (m_textMode == kTextWrapped ? 6 : 2));
    }
    *size = {ClampToI32(width), ClampToI32(height)};
    return true;
}

// --- style and painting -------------------------------------------------------------------------

void cStaticElement::ApplyStyle()
{
    cChildElement::ApplyStyle();
    const cCITheme* theme = GetTheme();
    m_indent = 0;
    if (m_font == nullptr) {
        m_font = GetDefaultFont();
    }
    m_icon = nullptr;
    m_textColour = theme->GetColour(4);
    m_backColour = theme->GetColour(0);
    m_frameColour = theme->GetColour(0);
    m_textMode = kTextCut;
    cSafeCriticalSectionAccess guard(m_lock);
    m_alignment = kAlignLeft;
}

void cStaticElement::OnPaint(cCanvas& canvas)
{
    u32 textColour = m_textColour;
    u32 backColour = m_backColour;
    if (!IsEnabledInTree()) {
        OnDisabledColours(textColour, backColour);
        textColour = GreyedColour(textColour);
    }
    if (!IsTransparent()) {
        canvas.FillRect(0, 0, GetWidth(), GetHeight(), backColour, m_frameColour);
    }
    i64 x = i64(GetLeadWidth()) + kMargin;
    if (m_icon != nullptr) {
        x += m_icon->GetWidth() + kIconGap;
    }
    i32 textStart = ClampToI32(x);
    {
        cSafeCriticalSectionAccess guard(m_lock);
        if (!m_text.IsEmpty()) {
            canvas.SelectFont(m_font);
            canvas.SetColors(textColour, backColour);
            textStart = DrawTextByMode(canvas, textStart);
        }
    }
    if (m_icon != nullptr) {
        canvas.DrawPictureBlended(ClampToI32(i64(textStart) - m_icon->GetWidth() - kIconGap),
                                  ClampToI32((i64(GetHeight()) - m_icon->GetHeight() + 1) / 2), m_icon);
    }
}

// Called under the lock. Sizes are 64-bit: a large indent must not wrap.
i32 cStaticElement::DrawTextByMode(cCanvas& canvas, i32 x)
{
    const i64 width = GetWidth();
    const i64 height = GetHeight();
    const i64 indent = m_indent;
    const char16_t* text = m_text.Get();
    const bool boxed = !IsTransparent();
    switch (m_textMode) {
    case kTextCut: {
        // When nothing is drawn the icon keeps the place it has without text.
        i32 start = canvas.DrawTextInRectW(ClampToI32(indent + x), 1, ClampToI32(width - indent - x - 2),
                                           ClampToI32(height - 2), m_alignment, boxed, 0, 0, text, -1);
        return start == -1 ? x : ClampToI32(start - indent);
    }
    case kTextClipped: {
        const i64 room = width - x - kMargin;
        canvas.AddClip({x, 1, ClampToI32(room), ClampToI32(height - 2)});
        sSize size;
        i32 start = x;
        if (canvas.MeasureTextW(text, -1, &size)) {
            const i32 top = ClampToI32((height - size.height) / 2);
            if (size.width < room) {
                i64 at = indent + x;
                if (m_alignment == kAlignCentre) {
                    at += (room - size.width) / 2;
                } else if (m_alignment == kAlignRight) {
                    at = x + (room - size.width) - indent;
                }
                canvas.DrawTextW(ClampToI32(at), top, boxed, text, -1);
                start = ClampToI32(at - indent);
            } else {
                canvas.DrawTextW(x, top, boxed, text, -1);
            }
        }
        // Popped at once, so that the icon left of x is not clipped away.
        canvas.ApplyClip();
        return start;
    }
    case kTextWrapped:
        if (height > 6 && i64(x) + kMargin < width) {
            canvas.DrawMultilineTextW(ClampToI32(indent + x), 3, ClampToI32(width - indent - x - kMargin),
                                      ClampToI32(height - 6), m_alignment, kLineFactor, text, -1, nullptr);
        }
        return x;
    default:
        return x;
    }
}

bool cStaticElement::OnDrawBackground(cCanvas& canvas, const sRect& rect)
{
    // The canvas origin is the descendant's top-left: the label's own area starts at
    // minus its offset.
    canvas.FillRect(ClampToI32(-i64(rect.x)), ClampToI32(-i64(rect.y)), GetWidth(), GetHeight(), m_backColour, m_backColour);
    return true;
}

// --- link ------------------------------------------------------------------------------------------

void cLinkElement::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button == kMouseLeft && !down && IsEnabledInTree()) {
        (void)PostAction(this, nullptr);
    }
    cStaticElement::OnMouseButton(x, y, button, down);
}

void cLinkElement::ApplyStyle()
{
    cStaticElement::ApplyStyle();
    SetTextColour(GetTheme()->GetColour(7));
    SetFont(GetUnderlinedFont());
}
