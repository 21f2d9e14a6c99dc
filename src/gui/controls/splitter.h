#pragma once
// cSplitterChild: child elements ("panes") side by side from left to right in ascending
// pane index, separated by draggable dividers. Invisible panes take no room.
//
// Sizes are kept per pane either in pixels (absolute mode) or as fractions of the
// splitter's width (fraction mode, the default). In absolute mode the splitter follows
// its panes: it resizes itself to their total width and posts a cResizeRequestAction
// (code 7) with it, and a filler element may cover the room between the last pane and
// a fill width. Whenever pane sizes change (SetPane, a drag) a plain code-8 action is
// posted.
//
// Dividers: after each visible pane whose right edge lies inside the splitter, a band,
// a one-pixel line and a band across the divider width. A left press on a divider
// (from the pane's right edge to that edge plus the divider width, both included)
// starts a drag; the press captures the mouse even off a divider, the release ends it.
//   absolute mode  the pane's width follows the pointer, never below 0, no right limit
//   fraction mode  the pane and the next share their summed fraction, each kept at its
//                  minimum width; the divider after the last pane does not move
#include "base/keytree.h"
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"

class cSplitterChild : public cChildElement
{
public:
    // Posted when the splitter resized itself to its panes' total width.
    class cResizeRequestAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        explicit cResizeRequestAction(i32 width) : cChildAction(kCode), m_width(width) {}
        i32 GetWidth() const { return m_width; }

    private:
        i32 m_width;
    };
    // The code of the plain action posted when pane sizes changed.
    enum : i32 { kSizesChangedCode = 8 };

    // Makes `child` the pane of `index` (a child already there is detached, not
    // deleted) with `size` pixels; in fraction mode the size is recorded as a fraction
    // of max(width, 100), cut below 1. False for a negative index or a null child, else
    // whether the child could be attached.
    bool SetPane(i32 index, cChildElement* child, i32 size);
    // False for a negative index or size or an unknown pane; relayouts when the
    // recorded size changed.
    bool SetPaneSize(i32 index, i32 size);
    void SetRelativeSizes(bool relative);
    bool HasAbsoluteSizes() const { return m_absolute; }
    // The filler (borrowed, null keeps the current one) covers the room between the
    // last pane and `fillWidth` in absolute mode.
    void SetFill(i32 fillWidth, cChildElement* filler);
    void SetColours(u32 lineColour, u32 bandColour);
    // Where the divider line starts below the top and ends above the bottom.
    void SetDividerMargins(i32 top, i32 bottom);
    i32 GetDividerWidth() const { return m_dividerWidth; }

    void ApplyStyle() override;
    void OnPaint(cCanvas& canvas) override;
    // Lays out from the first pane.
    void OnResize() override;
    void MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift) override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void OnMouseMove(i32 x, i32 y) override;
    i32 DefaultCursorKind() override { return kCursorWestEast; }

private:
    using tPanes = _keytree<i32, cChildElement*>;

    // Lays out the panes from index `from` on (fraction mode: always all of them).
    void Layout(i32 from);
    void LayoutAbsolute(i32 from, i64 width, i32 height);
    void LayoutFractions(i64 width, i32 height);
    // The recorded size of a pane in pixels (integer part), else its current width.
    i64 PixelSize(i32 index, cChildElement* pane);
    f64 ToFraction(i32 size) const;
    void StoreFraction(i32 index, f64 fraction);
    // The next visible pane after `node`, or null.
    static tPanes::cNode* NextVisible(tPanes::cNode* node);
    static tPanes::cNode* FirstVisible(tPanes& panes) { return VisibleFrom(panes.First()); }
    static tPanes::cNode* VisibleFrom(tPanes::cNode* node);
    void ResizeSelf(i32 width);
    void PaintDivider(cCanvas& canvas, i32 right, i32 height);
    void DragTo(i32 x);

    tPanes m_panes;
    _keytree<i32, f64> m_sizes;
    bool m_absolute = false;
    // Drag state: start x (-1 = no drag), the pane left of the divider, its bounds.
    i32 m_dragStart = -1;
    i32 m_dragPane = 0;
    i32 m_dragLeft = 0;
    i32 m_dragRight = 0;
    i32 m_fillWidth = 0;
    cChildElement* m_filler = nullptr;
    u32 m_bandColour = 0;
    u32 m_lineColour = 0;
    i32 m_topMargin = 0;
    i32 m_bottomMargin = 0;
    i32 m_dividerWidth = 3;
    // Set while a layout runs: its own resize must not start another.
    bool m_inLayout = false;
};
