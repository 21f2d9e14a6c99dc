#pragma once
// cPictureElement: shows one picture at its top-left corner, serves that picture as the
// background of its children, and turns rectangles of it into clickable active zones
// and into hint zones that show a tooltip while the pointer is over them.
//
// Zones are kept by id and searched in ascending id order: where rectangles overlap,
// the lowest id wins. Rectangles are inclusive (left, top, right, bottom); one with
// right < left or bottom < top matches nothing.
//
// Actions, posted to the element only while it is enabled in the tree:
//   7 cActiveZoneAction  a left release on an active zone (never the press);
//   8 cDoubleClickAction a double click; its second press is no release, so a double
//                        click on a zone posts 7, 8 and then 7 again.
// GUI thread only.
#include "base/keytree.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"

#include <memory>

class cHintMaster;
class cPicture;

// An inclusive rectangle of a picture element's zone.
struct sPictureZone
{
    i32 left = 0;
    i32 top = 0;
    i32 right = -1;
    i32 bottom = -1;
    bool Contains(i32 x, i32 y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

class cPictureElement : public cChildElement
{
public:
    class cActiveZoneAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        explicit cActiveZoneAction(i32 zone) : cChildAction(kCode), m_zone(zone) {}
        i32 GetZone() const { return m_zone; }

    private:
        i32 m_zone;
    };
    class cDoubleClickAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 8 };
        cDoubleClickAction(i32 x, i32 y) : cChildAction(kCode), m_x(x), m_y(y) {}
        i32 GetX() const { return m_x; }
        i32 GetY() const { return m_y; }

    private:
        i32 m_x;
        i32 m_y;
    };

    cPictureElement();
    ~cPictureElement() override;

    // Shows `picture`, borrowed, and drops the owned one (unless it is `picture` itself,
    // which stays owned). False for null or a picture without pixels; the previous
    // picture is kept. No redraw: callers invalidate.
    bool SetPicture(cPicture* picture);
    // The same, and the element owns `picture` from then on (also on failure it stays
    // the caller's).
    bool TakePicture(cPicture* picture);
    const cPicture* GetPicture() const { return m_picture; }

    // False when memory is short.
    bool SetActiveZone(i32 id, i32 left, i32 top, i32 right, i32 bottom);
    void RemoveActiveZone(i32 id);
    // The text is copied. Placement 1 opens the hint at the zone's top edge, any other
    // value below its bottom edge. False when memory is short.
    bool SetHintZone(i32 id, i32 left, i32 top, i32 right, i32 bottom, const char16_t* text, i32 placement);
    // Removing the hovered zone closes its hint.
    void RemoveHintZone(i32 id);
    void ClearZones();
    // The active zone under an element point, or -1.
    i32 ActiveZoneAt(i32 x, i32 y) const;
    i32 GetPressedZone() const { return m_pressedZone; }
    // The open hint, or null.
    const cHintMaster* GetHint() const { return m_hint.get(); }

    void OnPaint(cCanvas& canvas) override;
    // Children see the matching part of the picture as the element shows it; where an
    // opaque element's picture does not reach, the background colour.
    bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void OnMouseMove(i32 x, i32 y) override;
    void OnHoverEnd() override;
    void OnDoubleClick(i32 x, i32 y) override;
    void ApplyStyle() override;

private:
    using sZone = sPictureZone;
    struct sHintZone
    {
        sZone rect;
        _guardchar<char16_t> text;
        i32 placement = 0;
    };
    using tActiveZones = _keytree<i32, sZone>;
    using tHintZones = _keytree<i32, sHintZone*, eValueOwnership::Owned>;

    // Paints the picture plainly at (x, y) and the background colour over the
    // (width x height) area it leaves uncovered.
    void PaintOpaqueAt(cCanvas& canvas, i32 x, i32 y, i32 width, i32 height);
    void ShowZoneHint(i32 id, const sHintZone& zone);
    void CloseHint();

    cPicture* m_picture = nullptr;
    std::unique_ptr<cPicture> m_ownedPicture;
    tActiveZones m_activeZones;
    tHintZones m_hintZones;
    i32 m_pressedZone = -1;
    i32 m_hoveredHint = -1;
    std::unique_ptr<cHintMaster> m_hint;
    u32 m_background = 0;
};
