#include "gui/controls/pushbutton.h"

#include "gui/controls/clamp.h"
#include "gui/core/actions.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/keys.h"
#include "gui/core/picture.h"
#include "gui/core/theme.h"

#include <algorithm>

namespace {

// Room around the caption and between picture and caption.
constexpr i32 kCaptionInset = 3;
constexpr i32 kPictureGap = 5;

bool IsState(i32 state)
{
    return state >= 0 && state < kButtonStateCount;
}

// --- painting helpers -------------------------------------------------------------------------

// Lines in GDI manner (the end point left out): top and left in `topLeft` own the
// corners (0, h-1) and (w-1, 0); bottom and right in `bottomRight` own (w-1, h-1).
void DrawFrame(cCanvas& canvas, i32 x, i32 y, i32 w, i32 h, u32 topLeft, u32 bottomRight)
{
    const i32 right = ClampToI32(i64(x) + w - 1);
    const i32 bottom = ClampToI32(i64(y) + h - 1);
    canvas.SetPen(topLeft, 1);
    canvas.DrawLine(x, y, ClampToI32(i64(x) + w), y);
    canvas.DrawLine(x, y, x, ClampToI32(i64(y) + h));
    canvas.SetPen(bottomRight, 1);
    canvas.DrawLine(right, bottom, x, bottom);
    canvas.DrawLine(right, bottom, right, y);
}

void DrawFace(cCanvas& canvas, const cPicture* face, i32 x, i32 y, i32 w, i32 h)
{
    // -1 would mean "natural size" to the canvas: a too small button shows no face.
    if (face != nullptr && w > 0 && h > 0) {
        canvas.DrawPicture(x, y, face, w, h);
    }
}

void Fill(cCanvas& canvas, i32 x, i32 y, i32 w, i32 h, u32 colour)
{
    canvas.FillRect(x, y, w, h, colour, colour);
}

// The disabled fill derived from the fill colour: each colour byte halfway to 0x80,
// (byte - 128) / 2 + 128 in signed arithmetic (black gives 64, white 191).
u32 HalfwayToGrey(u32 colour)
{
    u32 result = colour & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const i32 byte = i32((colour >> shift) & 0xFFu);
        result |= u32((byte - 128) / 2 + 128) << shift;
    }
    return result;
}

} // namespace

// --- measuring ---------------------------------------------------------------------------------

bool cButtonChild::MeasureWidth(cChildElement* element, const char16_t* caption, const cPicture* picture,
                                u32 layout, const cFontObject* font, i32& width)
{
    const bool hasCaption = caption != nullptr && caption[0] != 0;
    i64 base = 5;
    if (picture != nullptr && layout == kPictureLeft) {
        base = i64(picture->GetWidth()) + 6 + (hasCaption ? kPictureGap : 0);
    }
    i64 captionWidth = 0;
    if (hasCaption) {
        if (font == nullptr) {
            font = GetCachedFont(5, 13, GetUiFontName(), false, false, false);
        }
        sSize size;
        if (element == nullptr || font == nullptr || !element->MeasureText(caption, size, font)) {
            return false;
        }
        captionWidth = size.width;
    }
    i64 result = captionWidth + base + 5;
    if (picture != nullptr && layout == kPictureAbove) {
        result = std::max<i64>(result, i64(picture->GetWidth()) + 6);
    }
    width = ClampToI32(result);
    return true;
}

i32 cButtonChild::GetPreferredWidth()
{
    const cPicture* picture = m_pictures[kNormalPicture].Get();
    if (m_cachedWidth < 0 || m_cachedPicture != picture) {
        i32 width = 0;
        if (!MeasureWidth(this, m_caption.Get(), picture, m_layout, m_font, width)) {
            return 0;
        }
        m_cachedWidth = width;
        m_cachedPicture = picture;
    }
    return m_cachedWidth;
}

// --- setters -------------------------------------------------------------------------------------

bool cButtonChild::SetCaption(const char16_t* text)
{
    if (!m_caption.Assign(text)) {
        return false;
    }
    m_cachedWidth = -1;
    Invalidate();
    return true;
}

const char16_t* cButtonChild::GetText()
{
    return m_caption.GetOrEmpty();
}

void cButtonChild::SetTextFormat(u32 alignment, bool redraw)
{
    (void)Store(m_alignment, alignment, redraw);
}

void cButtonChild::SetStyle(u32 style, bool redraw)
{
    (void)Store(m_style, style, redraw);
}

void cButtonChild::SetPictureLayout(u32 layout, bool redraw)
{
    if (Store(m_layout, layout, redraw)) {
        m_cachedWidth = -1;
    }
}

void cButtonChild::SetFont(cFontObject* font)
{
    m_font = font;
    m_cachedWidth = -1;
    Invalidate();
}

void cButtonChild::SetTextColour(u32 colour, bool redraw)
{
    for (i32 state = kButtonNormal; state < kButtonDisabled; ++state) {
        SetStateTextColour(state, colour, redraw);
    }
}

void cButtonChild::SetStateTextColour(i32 state, u32 colour, bool redraw)
{
    if (IsState(state)) {
        (void)Store(m_textColours[state], colour, redraw);
    }
}

void cButtonChild::SetDisabledTextColour(u32 colour, bool redraw)
{
    SetStateTextColour(kButtonDisabled, colour, redraw);
}

void cButtonChild::SetFillColour(u32 colour, bool redraw)
{
    (void)Store(m_fillColour, colour, redraw);
}

void cButtonChild::SetDisabledFillColour(u32 colour, bool redraw)
{
    (void)Store(m_disabledFillColour, colour, redraw);
}

void cButtonChild::SetStateColours(i32 state, u32 colourA, u32 colourB)
{
    if (!IsState(state)) {
        return;
    }
    if (colourA != kKeepColour) {
        m_frameA[state] = colourA;
    }
    if (colourB != kKeepColour) {
        m_frameB[state] = colourB;
    }
}

void cButtonChild::SetFrameImage(i32 state, const cPicture* picture)
{
    if (const cPicture** slot = m_frameImages.GetOrAdd(state)) {
        *slot = picture;
    }
}

// --- pictures ------------------------------------------------------------------------------------

sPictureRef& cButtonChild::GetPictureRef(i32 state)
{
    switch (state) {
    case kButtonFocused:
    case kButtonHovered:
        return m_pictures[kHoverPicture];
    case kButtonPressed:
        return m_pictures[kPressedPicture];
    case kButtonDisabled:
        return m_pictures[kDisabledPicture];
    default:
        return m_pictures[kNormalPicture];
    }
}

const cPicture* cButtonChild::GetStatePicture(i32 state) const
{
    const cPicture* normal = m_pictures[kNormalPicture].Get();
    const cPicture* hover = m_pictures[kHoverPicture].Get();
    switch (state) {
    case kButtonFocused:
    case kButtonHovered:
        return hover != nullptr ? hover : normal;
    case kButtonPressed:
        if (const cPicture* pressed = m_pictures[kPressedPicture].Get()) {
            return pressed;
        }
        return hover != nullptr ? hover : normal;
    case kButtonDisabled: {
        const cPicture* disabled = m_pictures[kDisabledPicture].Get();
        return disabled != nullptr ? disabled : normal;
    }
    default:
        return normal;
    }
}

const cPicture* cButtonChild::GetFrameImage(i32 state) const
{
    if (const auto* node = m_frameImages.Find(state); node != nullptr && node->GetValue() != nullptr) {
        return node->GetValue();
    }
    return IsState(state) ? GetTheme()->GetImage(eThemeImage(kImageButtonNormal + state)) : nullptr;
}

i32 cButtonChild::GetVisualState()
{
    if (!IsEnabledInTree()) {
        return kButtonDisabled;
    }
    if (IsPressed()) {
        return kButtonPressed;
    }
    if (IsHovered()) {
        return kButtonHovered;
    }
    return HasFocus() ? kButtonFocused : kButtonNormal;
}

// --- style and painting ----------------------------------------------------------------------------

void cButtonChild::ApplyStyle()
{
    cPressableElement::ApplyStyle();
    const cCITheme* theme = GetTheme();
    ClearFlags();
    m_font = GetDefaultFont();
    m_alignment = 0;
    m_style = kStyleRaised;
    m_layout = kPictureLeft;
    m_cachedWidth = -1;
    m_fillColour = theme->GetColour(14);
    m_disabledFillColour = kKeepColour;
    // Frame colour pairs by state: normal, focused, hovered and pressed alike, disabled.
    static constexpr i32 kFrameColourIndex[kButtonStateCount] = {53, 55, 57, 57, 59};
    for (i32 state = 0; state < kButtonStateCount; ++state) {
        m_frameA[state] = theme->GetColour(kFrameColourIndex[state]);
        m_frameB[state] = theme->GetColour(kFrameColourIndex[state] + 1);
        m_textColours[state] = theme->GetColour(state == kButtonDisabled ? 5 : 4);
    }
}

void cButtonChild::OnPaint(cCanvas& canvas)
{
    const i32 state = GetVisualState();
    const bool bare = IsTransparent() && (state == kButtonNormal || state == kButtonDisabled);
    if (!bare) {
        PaintBackground(canvas, state);
    }
    if (m_style == kStyleFilled) {
        if (const cPicture* picture = GetStatePicture(state)) {
            canvas.DrawPictureBlended(
                ClampToI32((i64(GetWidth()) - picture->GetWidth()) / 2),
                ClampToI32((i64(GetHeight()) - picture->GetHeight()) / 2 + (state == kButtonPressed)), picture);
        }
    }
    const i32 textStart = PaintCaption(canvas, state);
    if (m_style != kStyleFilled) {
        PaintPicture(canvas, state, textStart);
    }
}

void cButtonChild::PaintBackground(cCanvas& canvas, i32 state)
{
    const i32 w = GetWidth();
    const i32 h = GetHeight();
    const u32 a = m_frameA[state];
    const u32 b = m_frameB[state];
    const cPicture* face = GetFrameImage(state);
    const bool flatState = state == kButtonNormal || state == kButtonDisabled;
    switch (m_style) {
    case kStyleRaised: {
        DrawFrame(canvas, 0, 0, w, h, a, b);
        const u32 inner = GetTheme()->GetColour(52);
        DrawFrame(canvas, 1, 1, w - 2, h - 2, inner, inner);
        DrawFace(canvas, face, 2, 2, w - 4, h - 4);
        break;
    }
    case kStyleFace:
        DrawFace(canvas, face, 0, 0, w, h);
        break;
    case kStyleFlatFrame:
        DrawFrame(canvas, 0, 0, w, h, b, b);
        DrawFace(canvas, face, 1, 1, w - 2, h - 2);
        break;
    case kStyleFramed:
        DrawFrame(canvas, 0, 0, w, h, a, b);
        DrawFace(canvas, face, 1, 1, w - 2, h - 2);
        break;
    case kStyleFramedFill:
        DrawFrame(canvas, 0, 0, w, h, a, b);
        if (state == kButtonNormal) {
            Fill(canvas, 1, 1, w - 2, h - 2, m_fillColour);
        } else if (state == kButtonDisabled) {
            Fill(canvas, 1, 1, w - 2, h - 2,
                 m_disabledFillColour != kKeepColour ? m_disabledFillColour : HalfwayToGrey(m_fillColour));
        } else {
            DrawFace(canvas, face, 1, 1, w - 2, h - 2);
        }
        break;
    case kStyleFlatUntilHot:
        if (flatState) {
            Fill(canvas, 0, 0, w, h, m_fillColour);
        } else {
            DrawFrame(canvas, 0, 0, w, h, a, b);
            DrawFace(canvas, face, 1, 1, w - 2, h - 2);
        }
        break;
    case kStyleFilled:
        Fill(canvas, 0, 0, w, h, m_fillColour);
        break;
    default:
        break;
    }
}

i32 cButtonChild::PaintCaption(cCanvas& canvas, i32 state)
{
    if (m_caption.IsEmpty()) {
        return -1;
    }
    canvas.SelectFont(m_font);
    canvas.SetColors(m_textColours[state], m_fillColour);
    sSize size;
    if (!canvas.MeasureTextW(m_caption.Get(), -1, &size)) {
        return -1;
    }
    const cPicture* picture = GetStatePicture(state);
    i64 left = kCaptionInset;
    i64 top = kCaptionInset;
    if (m_layout == kPictureLeft) {
        if (picture != nullptr) {
            left = i64(picture->GetWidth()) + 8;
        }
        top = (i64(GetHeight()) - size.height) / 2;
    } else if (picture != nullptr) {
        top = i64(picture->GetHeight()) + kPictureGap;
    }
    top += state == kButtonPressed;
    return canvas.DrawTextInRectW(2, ClampToI32(top), GetWidth() - 4, size.height, m_alignment, false,
                                  ClampToI32(left), kCaptionInset, m_caption.Get(), -1);
}

void cButtonChild::PaintPicture(cCanvas& canvas, i32 state, i32 textStart)
{
    const cPicture* picture = GetStatePicture(state);
    if (picture == nullptr) {
        return;
    }
    const i64 w = GetWidth();
    const i64 h = GetHeight();
    const i64 pw = picture->GetWidth();
    const i64 ph = picture->GetHeight();
    const bool hasCaption = !m_caption.IsEmpty();
    i64 x;
    i64 y;
    if (m_layout == kPictureLeft) {
        // Centred in the room left of the caption; a caption that was not drawn at all
        // leaves the whole width.
        const i64 start = hasCaption && textStart != -1 ? textStart : w;
        x = (start - pw) / 2;
        y = (h - ph) / 2;
    } else {
        y = hasCaption ? kCaptionInset : (h - ph) / 2;
        x = m_alignment == 1 ? (w - pw) / 2 : (m_alignment == 2 ? w - pw - kCaptionInset : kCaptionInset);
    }
    y += state == kButtonPressed;
    canvas.AddClip({ClampToI32(x), 2, ClampToI32(pw), ClampToI32(h - 4)});
    canvas.DrawPictureBlended(ClampToI32(x), ClampToI32(y), picture);
    canvas.ApplyClip();
}

// --- press behaviour -----------------------------------------------------------------------------

void cPressableElement::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button != kMouseLeft) {
        return;
    }
    if (down) {
        if (CanAct()) {
            m_pressed = true;
            Invalidate();
            CaptureMouse();
        }
        return;
    }
    if (!m_pressed) {
        return;
    }
    m_pressed = false;
    Invalidate();
    ReleaseMouse();
    if (CanAct() && ContainsPoint(x, y)) {
        (void)PostAction(this, nullptr);
    }
}

bool cPressableElement::OnKeyDown(i32 vk)
{
    if (!CanAct() || (vk != kVkReturn && vk != kVkSpace)) {
        return false;
    }
    m_pressed = true;
    Invalidate();
    (void)PostAction(this, nullptr);
    m_pressed = false;
    Invalidate();
    return true;
}

void cPressableElement::OnHoverStart()
{
    m_hover = true;
    Invalidate();
}

void cPressableElement::OnHoverEnd()
{
    m_hover = false;
    Invalidate();
}

void cPressableElement::OnEnabledChanged()
{
    if (!IsEnabledInTree()) {
        EndPress();
    }
}

void cPressableElement::OnGotFocus()
{
    if (IsEnabledInTree()) {
        Invalidate();
    }
}

void cPressableElement::OnFocusLost()
{
    if (IsEnabledInTree()) {
        Invalidate();
    }
}

void cPressableElement::EndPress()
{
    if (m_pressed) {
        m_pressed = false;
        ReleaseMouse();
        Invalidate();
    }
}

// --- bare button -------------------------------------------------------------------------------------

void cGenButtonChild::SetInactive(bool inactive, bool redraw)
{
    if (inactive != m_inactive) {
        m_inactive = inactive;
        if (inactive) {
            EndPress();
        }
        if (redraw) {
            Invalidate();
        }
    }
}

void cGenButtonChild::ApplyStyle()
{
    cPressableElement::ApplyStyle();
    ClearFlags();
    m_inactive = false;
}
