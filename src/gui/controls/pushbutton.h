#pragma once
// Push buttons. cButtonChild is the complete button: caption, state pictures, five
// visual states and seven face styles. cGenButtonChild keeps only the press behaviour
// (hover, pressed and inactive flags) for buttons that paint themselves.
//
// A press of either kind posts a plain code-0 action to the button itself, which
// bubbles to the form. Press behaviour, shared by both:
//   Enter or Space      pressed on, redraw, post, pressed off, redraw; key consumed
//   left press          pressed on, redraw, mouse captured
//   left release        pressed off, redraw, capture released; posts only when the
//                       point lies inside the button
//   other buttons       ignored
// Nothing is pressed or posted while the button or an ancestor is disabled (or a
// cGenButtonChild is inactive). A press that began before ends when the button is
// disabled (or made inactive) and at the release wherever it happens: a button must
// neither keep the window's mouse captured nor stay pressed for ever.
#include "base/keytree.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/element.h"
#include "gui/core/imagelist.h"

class cFontObject;
class cPicture;

// Visual states, computed at every paint in this order of precedence: disabled (the
// button or an ancestor), pressed, hovered, focused, normal.
enum : i32
{
    kButtonNormal = 0,
    kButtonFocused = 1,
    kButtonHovered = 2,
    kButtonPressed = 3,
    kButtonDisabled = 4,
    kButtonStateCount = 5,
};

// Face styles. A transparent button draws no background in the normal and disabled
// states, whatever its style.
enum : u32
{
    kStyleRaised = 0,       // raised frame (A top-left, B bottom-right, inner line), face image inside
    kStyleFace = 1,         // face image over the whole button
    kStyleFlatFrame = 2,    // frame in B, face image inside
    kStyleFramed = 3,       // frame A top-left and B bottom-right, face image inside
    kStyleFramedFill = 4,   // as 3, but the normal and disabled states fill the inside
    kStyleFlatUntilHot = 5, // filled in the normal and disabled states, else as 3
    kStyleFilled = 6,       // filled, the state picture centred
};

// Picture layouts.
enum : u32
{
    kPictureLeft = 0,  // the picture left of the caption
    kPictureAbove = 1, // the picture above the caption
};

// A colour argument of SetStateColours that leaves that colour as it is.
constexpr u32 kKeepColour = 0xFFFFFFFF;

// The press behaviour of both button kinds (see above) and their hover and pressed
// flags.
class cPressableElement : public cChildElement
{
public:
    bool IsPressed() const { return m_pressed; }
    bool IsHovered() const { return m_hover; }

    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    bool OnKeyDown(i32 vk) override;
    void OnHoverStart() override;
    void OnHoverEnd() override;
    // Disabled in mid-press: the press ends.
    void OnEnabledChanged() override;
    // Both redraw while enabled.
    void OnGotFocus() override;
    void OnFocusLost() override;

protected:
    // Presses and keys act: the button and its ancestors are enabled.
    virtual bool CanAct() { return IsEnabledInTree(); }
    // Ends a press in progress: unpressed, capture released, redrawn.
    void EndPress();
    void ClearFlags()
    {
        m_hover = false;
        m_pressed = false;
    }

private:
    bool m_hover = false;
    bool m_pressed = false;
};

class cButtonChild : public cPressableElement
{
public:
    cButtonChild() = default;

    // The width that shows caption and picture: caption width + 5 + 5 without a
    // picture; with a picture left of a caption, caption width + picture width + 6 +
    // 5 + 5 (picture width + 11 without a caption); a picture above never makes the
    // button narrower than picture width + 6. The caption is measured in `font` (null:
    // the 5 x 13 UI face) through `element`'s window; false when a caption cannot be
    // measured.
    [[nodiscard]] static bool MeasureWidth(cChildElement* element, const char16_t* caption,
                                           const cPicture* picture, u32 layout, const cFontObject* font,
                                           i32& width);
    // MeasureWidth of the caption, normal picture, layout and font, kept until one of
    // them changes; 0 while it cannot be measured.
    i32 GetPreferredWidth();

    // False when memory is short (the caption stays as it was).
    bool SetCaption(const char16_t* text);
    // The caption.
    const char16_t* GetText() override;
    void SetTextFormat(u32 alignment, bool redraw);
    u32 GetTextFormat() const { return m_alignment; }
    void SetStyle(u32 style, bool redraw);
    void SetPictureLayout(u32 layout, bool redraw);
    // Null measures and draws in the 5 x 13 UI face.
    void SetFont(cFontObject* font);
    // The caption colour of states 0..3.
    void SetTextColour(u32 colour, bool redraw);
    // One state's caption colour (0..4; others are ignored).
    void SetStateTextColour(i32 state, u32 colour, bool redraw);
    void SetDisabledTextColour(u32 colour, bool redraw);
    void SetFillColour(u32 colour, bool redraw);
    // kKeepColour derives it from the fill colour.
    void SetDisabledFillColour(u32 colour, bool redraw);
    // Frame colours A and B of a state 0..4 (others are ignored); kKeepColour leaves
    // that colour. No redraw.
    void SetStateColours(i32 state, u32 colourA, u32 colourB);
    // A face image (borrowed) that replaces the theme's for one state.
    void SetFrameImage(i32 state, const cPicture* picture);

    // The picture reference a state's picture is set through: 1 and 2 share the hover
    // picture, 3 is pressed, 4 disabled, anything else normal.
    sPictureRef& GetPictureRef(i32 state);
    // The picture drawn in a state, falling back: pressed -> hover -> normal, hover ->
    // normal, disabled -> normal.
    const cPicture* GetStatePicture(i32 state) const;
    // The state's face image: set by SetFrameImage, else the theme's button face for
    // states 0..4; null for other states.
    const cPicture* GetFrameImage(i32 state) const;
    i32 GetVisualState();

    void ApplyStyle() override;
    void OnPaint(cCanvas& canvas) override;
    bool DefaultFocusCapable() override { return true; }
    bool ArrowNavQuery() override { return true; }

private:
    enum : i32
    {
        kNormalPicture,
        kHoverPicture,
        kPressedPicture,
        kDisabledPicture,
        kPictureCount,
    };

    // Stores a changed value and then redraws when asked; true when it changed.
    bool Store(u32& field, u32 value, bool redraw)
    {
        if (field == value) {
            return false;
        }
        field = value;
        if (redraw) {
            Invalidate();
        }
        return true;
    }
    void PaintBackground(cCanvas& canvas, i32 state);
    // Returns where the caption starts, -1 when none is drawn.
    i32 PaintCaption(cCanvas& canvas, i32 state);
    void PaintPicture(cCanvas& canvas, i32 state, i32 textStart);

    sPictureRef m_pictures[kPictureCount];
    cFontObject* m_font = nullptr;
    u32 m_alignment = 0;
    _guardchar<char16_t> m_caption;
    u32 m_fillColour = 0xFFFFFF;
    u32 m_disabledFillColour = kKeepColour;
    u32 m_textColours[kButtonStateCount] = {};
    u32 m_frameA[kButtonStateCount] = {};
    u32 m_frameB[kButtonStateCount] = {};
    u32 m_style = kStyleRaised;
    u32 m_layout = kPictureLeft;
    // The preferred width and the normal picture it was measured with (-1: none yet).
    i32 m_cachedWidth = -1;
    const cPicture* m_cachedPicture = nullptr;
    _keytree<i32, const cPicture*> m_frameImages;
};

class cGenButtonChild : public cPressableElement
{
public:
    // An inactive button ignores keys and presses; made inactive in mid-press, the
    // press ends.
    void SetInactive(bool inactive, bool redraw);
    bool IsInactive() const { return m_inactive; }

    // Clears the hover, pressed and inactive flags.
    void ApplyStyle() override;

protected:
    bool CanAct() override { return !m_inactive && IsEnabledInTree(); }

private:
    bool m_inactive = false;
};
