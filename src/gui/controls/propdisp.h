#pragma once
// cPropDispAreaChild: a framed, vertically scrolling panel with a bold header and a body
// text, both word-wrapped to the panel's width.
//
// The area measures its content while it paints: when the height it needs differs from
// the content height it has, it posts a cPropDispResizeAction with that height to itself.
// The area does not handle the action, so it bubbles to the form, which sets the content
// height; the next paint then has the scroll bar in place. The text width does not
// depend on the bar, so the height stays the same and painting never loops.
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/scrollable.h"

class cFontObject;

class cPropDispAreaChild : public cScrollableElement
{
public:
    // Posted by the area to itself: the content height its texts need.
    class cPropDispResizeAction : public cChildAction
    {
      public:
        enum : i32
        {
            kCode = 7
        };
        explicit cPropDispResizeAction(i32 height) : cChildAction(kCode), m_height(height) {}
        i32 GetHeight() const { return m_height; }

      private:
        i32 m_height;
    };

    // Copies both texts (null or empty clears one) and redraws. False when memory is short
    // (the texts stay as they were).
    bool SetTexts(const char16_t* header, const char16_t* body);
    void SetColours(u32 frame, u32 fill, u32 text);
    // Pixels between header and body; a negative value is ignored. No redraw.
    void SetSpacing(i32 pixels);

    // Frame theme colour 44, fill 45, text 4; the bold and the default UI font; spacing 0.
    void ApplyStyle() override;
    void PaintContent(cCanvas& canvas) override;

private:
    _guardchar<char16_t> m_header;
    _guardchar<char16_t> m_body;
    u32 m_frameColour = 0;
    u32 m_fillColour = 0;
    u32 m_textColour = 0;
    cFontObject* m_headerFont = nullptr; // null: the bold UI font
    cFontObject* m_bodyFont = nullptr;   // null: the default UI font
    i32 m_spacing = 0;
    // The height last posted, so that paints before the form has answered do not post
    // it again; -1 after a text change.
    i32 m_postedHeight = -1;
};
