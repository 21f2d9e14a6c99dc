#pragma once
// cPanelChild: the plain container, a filled rectangle with an optional frame and an
// optional line of text. Every form's client area is one.
#include "base/types.h"
#include "gui/core/element.h"

// A border colour that draws no visible frame (the frame takes the background colour).
constexpr u32 kNoBorder = 0xFFFFFFFF;

class cPanelChild : public cChildElement
{
public:
    // Horizontal text alignment; the vertical one uses the same values for top (0),
    // bottom (1) and centred (2).
    enum : i32
    {
        kTextLeft = 0,
        kTextRight = 1,
        kTextCentred = 2,
    };

    // Neither setter redraws: callers set colours before the panel is shown or
    // invalidate it themselves.
    void SetBackColour(u32 colour) { m_backColour = colour; }
    void SetBorderColour(u32 colour) { m_borderColour = colour; }
    u32 GetBackColour() const { return m_backColour; }
    void SetTextMargins(i32 horizontal, i32 vertical);
    void SetTextAlignment(i32 horizontal, i32 vertical);

    void ApplyStyle() override;
    void OnPaint(cCanvas& canvas) override;
    // Fills the area under a transparent descendant with the background colour.
    bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override;

private:
    u32 m_backColour = 0;
    u32 m_borderColour = kNoBorder;
    i32 m_verticalMargin = 0;
    i32 m_horizontalMargin = 0;
    i32 m_horizontalAlignment = kTextCentred;
    i32 m_verticalAlignment = kTextCentred;
};
