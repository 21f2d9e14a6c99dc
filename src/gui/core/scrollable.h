#pragma once
// cScrollableElement: an element whose content is larger than its view, with a
// horizontal and a vertical scroll bar.
//
// The bars are 16 pixels thick and show while the content exceeds the view on their
// axis. The view (GetViewRect) is the element minus the shown bars; a derived class may
// take a band off its top or left (a list header), and content c shows at element
// c - offset, so each offset ranges over 0..max(0, content - the view's far edge). Derived classes draw the content in PaintContent, in
// element coordinates clipped to the view, reading the offsets themselves; children sit
// in content coordinates, shifted by the offsets except on the axes kept by
// SetChildScrollAlign, and clipped to the view inset by DefaultBorderWidth. The bars are
// painted over content and children.
//
// Steps: a line is 16 pixels and a page the view's size until set; the wheel scrolls
// three lines per notch.
#include "base/types.h"
#include "gui/core/element.h"

class cScrollableElement : public cChildElement
{
public:
    enum : i32 { kBarSize = 16 };

    sRect GetViewRect() override;
    // The element minus the shown bars: where the bars and children go, whatever band
    // a derived class takes off its view.
    sRect GetBarlessRect() const;
    // (-scroll x, -scroll y).
    sPoint GetClientOrigin() override;
    i32 GetScrollX() const { return m_scrollX; }
    i32 GetScrollY() const { return m_scrollY; }
    i32 GetScrollMaxX();
    i32 GetScrollMaxY();
    i32 GetContentWidth() const { return m_contentWidth; }
    i32 GetContentHeight() const { return m_contentHeight; }
    // Negative values are ignored; the offsets are clamped to the new range.
    void SetContentWidth(i32 width);
    void SetContentHeight(i32 height);
    // A value of 0 (or below) keeps the old step.
    void SetLineSteps(i32 horizontal, i32 vertical);
    void SetPageSteps(i32 horizontal, i32 vertical);
    // 16 while the vertical bar shows, else 0.
    i32 GetVScrollWidth() const { return m_verticalBar ? kBarSize : 0; }
    bool IsHScrollShown() const { return m_horizontalBar; }

    // Moves the offsets (clamped) and repaints; true when one changed.
    bool ScrollTo(i32 x, i32 y);
    bool ScrollByLines(i32 horizontal, i32 vertical);
    bool ScrollByPages(i32 horizontal, i32 vertical);
    // Scrolls as little as brings `rect` (content coordinates) into the view, on the
    // axes not kept; a rectangle larger than the view shows its top-left. True when an
    // offset changed.
    bool ScrollRectIntoView(const sRect& rect, bool keepHorizontal, bool keepVertical);
    bool ScrollChildIntoView(cChildElement* child);
    // `child` stays put on the kept axes while the content scrolls (a list header).
    void SetChildScrollAlign(cChildElement* child, bool keepHorizontal, bool keepVertical);

    // The content, in element coordinates, clipped to the view.
    virtual void PaintContent(cCanvas& canvas) {}

    void OnPaint(cCanvas& canvas) override;
    void OnPaintAfterChildren(cCanvas& canvas) override;
    // Derived classes call the base, which updates the bars.
    void OnResize() override;
    // Presses on a bar work the bar; the rest is routed as usual.
    void MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift) override;
    void MouseMove(i32 x, i32 y) override;
    bool OnMouseWheel(i32 notches) override;
    sPoint GetChildShift(const cChildElement* child) override;
    sRect GetChildClipRect() override;

private:
    enum class eAxis { Horizontal, Vertical };
    struct sBarLayout
    {
        sRect bar;
        i32 trackStart; // along the axis, after the first arrow
        i32 trackLength;
        i32 thumbStart;
        i32 thumbLength;
    };

    void UpdateBars();
    bool GetBarLayout(eAxis axis, sBarLayout& layout);
    void PaintBar(cCanvas& canvas, eAxis axis);
    void PressBar(eAxis axis, i32 along);

    i32 m_scrollX = 0;
    i32 m_scrollY = 0;
    i32 m_contentWidth = 0;
    i32 m_contentHeight = 0;
    i32 m_lineStepX = 16;
    i32 m_lineStepY = 16;
    i32 m_pageStepX = 0; // 0 = the view's size
    i32 m_pageStepY = 0;
    bool m_horizontalBar = false;
    bool m_verticalBar = false;
    // A thumb being dragged: its axis and where along the thumb it was taken.
    bool m_dragging = false;
    eAxis m_dragAxis = eAxis::Vertical;
    i32 m_dragGrip = 0;
};
