#include "gui/controls/pictureelement.h"

#include "gui/core/canvas.h"
#include "gui/core/hint.h"
#include "gui/core/keys.h"
#include "gui/core/picture.h"
#include "gui/core/theme.h"

#include <new>

namespace {

constexpr i32 kBackgroundColour = 0;
// Both hint colours: the hint's own defaults.
constexpr u32 kHintColour = 0xFF000000;

bool HasPixels(const cPicture* picture)
{
    return picture != nullptr && picture->GetPixels() != nullptr && picture->GetWidth() > 0 &&
           picture->GetHeight() > 0;
}

// The first zone in ascending id order that contains the point.
template <class tTree, class tRect>
i32 FindZone(const tTree& zones, i32 x, i32 y, tRect rectOf)
{
    for (auto* node = zones.First(); node != nullptr; node = tTree::Next(node)) {
        if (rectOf(node->GetValue()).Contains(x, y)) {
            return node->GetKey();
        }
    }
    return -1;
}

} // namespace

cPictureElement::cPictureElement() = default;

cPictureElement::~cPictureElement()
{
    CloseHint();
}

// --- picture ---------------------------------------------------------------------------------

bool cPictureElement::SetPicture(cPicture* picture)
{
    if (!HasPixels(picture)) {
        return false;
    }
    // Given the owned picture itself, it stays owned: freeing it would show freed memory.
    if (picture != m_ownedPicture.get()) {
        m_ownedPicture.reset();
    }
    m_picture = picture;
    return true;
}

bool cPictureElement::TakePicture(cPicture* picture)
{
    if (!SetPicture(picture)) {
        return false;
    }
    if (picture != m_ownedPicture.get()) {
        m_ownedPicture.reset(picture);
    }
    return true;
}

// --- zones -----------------------------------------------------------------------------------

bool cPictureElement::SetActiveZone(i32 id, i32 left, i32 top, i32 right, i32 bottom)
{
    sZone* zone = m_activeZones.GetOrAdd(id);
    if (zone == nullptr) {
        return false;
    }
    *zone = {left, top, right, bottom};
    return true;
}

void cPictureElement::RemoveActiveZone(i32 id)
{
    (void)m_activeZones.Erase(id);
}

bool cPictureElement::SetHintZone(i32 id, i32 left, i32 top, i32 right, i32 bottom, const char16_t* text,
                                  i32 placement)
{
    std::unique_ptr<sHintZone> zone(new (std::nothrow) sHintZone);
    if (zone == nullptr || !zone->text.Assign(text)) {
        return false;
    }
    zone->rect = {left, top, right, bottom};
    zone->placement = placement;
    sHintZone** slot = m_hintZones.GetOrAdd(id);
    if (slot == nullptr) {
        return false;
    }
    delete *slot;
    *slot = zone.release();
    return true;
}

void cPictureElement::RemoveHintZone(i32 id)
{
    if (id == m_hoveredHint) {
        CloseHint();
    }
    (void)m_hintZones.Erase(id);
}

void cPictureElement::ClearZones()
{
    CloseHint();
    m_activeZones.Clear();
    m_hintZones.Clear();
}

i32 cPictureElement::ActiveZoneAt(i32 x, i32 y) const
{
    return FindZone(m_activeZones, x, y, [](const sZone& zone) -> const sZone& { return zone; });
}

// --- painting --------------------------------------------------------------------------------

void cPictureElement::ApplyStyle()
{
    cChildElement::ApplyStyle();
    m_pressedZone = -1;
    m_hoveredHint = -1;
    m_background = GetTheme()->GetColour(kBackgroundColour);
}

void cPictureElement::OnPaint(cCanvas& canvas)
{
    if (IsTransparent()) {
        if (HasPixels(m_picture)) {
            canvas.DrawPictureBlended(0, 0, m_picture, 0);
        }
        return;
    }
    PaintOpaqueAt(canvas, 0, 0, GetWidth(), GetHeight());
}

bool cPictureElement::OnDrawBackground(cCanvas& canvas, const sRect& rect)
{
    if (IsTransparent()) {
        // The same paint pass has just composed this element over its ancestors under
        // the child; blending the picture once more would double its alpha.
        return HasPixels(m_picture);
    }
    PaintOpaqueAt(canvas, -rect.x, -rect.y, rect.width, rect.height);
    return true;
}

void cPictureElement::PaintOpaqueAt(cCanvas& canvas, i32 x, i32 y, i32 width, i32 height)
{
    // An opaque element owns every pixel, also those its picture leaves uncovered. The
    // plain draw ignores alpha.
    const bool picture = HasPixels(m_picture);
    canvas.AddClip({0, 0, width, height});
    if (picture) {
        canvas.ExcludeClip({x, y, m_picture->GetWidth(), m_picture->GetHeight()});
    }
    canvas.FillRect(0, 0, width, height, m_background, m_background);
    canvas.ApplyClip();
    if (picture) {
        canvas.DrawPicture(x, y, m_picture, -1, -1);
    }
}

// --- mouse and hints -------------------------------------------------------------------------

void cPictureElement::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button != kMouseLeft || down) {
        return;
    }
    m_pressedZone = ActiveZoneAt(x, y);
    if (m_pressedZone >= 0 && IsEnabledInTree()) {
        (void)PostAction(this, new (std::nothrow) cActiveZoneAction(m_pressedZone));
    }
}

void cPictureElement::OnDoubleClick(i32 x, i32 y)
{
    if (IsEnabledInTree()) {
        (void)PostAction(this, new (std::nothrow) cDoubleClickAction(x, y));
    }
}

void cPictureElement::OnMouseMove(i32 x, i32 y)
{
    if (!IsEnabledInTree()) {
        return;
    }
    SetCursorKind(ActiveZoneAt(x, y) >= 0 ? kCursorHand : kCursorArrow);
    const i32 id =
        FindZone(m_hintZones, x, y, [](const sHintZone* zone) -> const sZone& { return zone->rect; });
    if (id < 0) {
        CloseHint();
    } else if (id != m_hoveredHint) {
        ShowZoneHint(id, **m_hintZones.FindIntKeyValue(id));
    }
}

void cPictureElement::ShowZoneHint(i32 id, const sHintZone& zone)
{
    m_hoveredHint = id;
    sPoint origin;
    std::unique_ptr<cHintMaster> hint(new (std::nothrow) cHintMaster);
    if (hint != nullptr && GetScreenOrigin(origin)) {
        const i32 y = zone.placement == 1 ? zone.rect.top : zone.rect.bottom + 2;
        const sPoint point{origin.x + zone.rect.left + 2, origin.y + y};
        if (hint->ShowHint(this, zone.text.GetOrEmpty(), point, kHintColour, kHintColour, zone.placement)) {
            m_hint = std::move(hint); // the old hint goes only now: never a moment without one
            return;
        }
    }
    // The old hint belongs to another zone: it must not stay up for this one.
    m_hint.reset();
}

void cPictureElement::OnHoverEnd()
{
    cChildElement::OnHoverEnd();
    CloseHint();
}

void cPictureElement::CloseHint()
{
    m_hint.reset();
    m_hoveredHint = -1;
}
