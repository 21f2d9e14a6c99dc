#include "gui/controls/popupmenu.h"

#include "gui/controls/clamp.h"
#include "gui/core/actions.h"
#include "gui/core/canvas.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/picture.h"
#include "gui/core/scrollable.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <memory>
#include <new>
#include <typeinfo>
#include <vector>

namespace {

constexpr i32 kSeparatorHeight = 3;
// Added to the taller of text and picture for an automatic row height.
constexpr i32 kRowPadding = 7;
// Horizontal steps of the popup's scroll bar.
constexpr i32 kHorizontalStep = 5;

struct sEntryMeasure
{
    bool shown = false;
    const cPicture* picture = nullptr;
    i32 width = 0;
    i32 height = 0;
};

// One entry as its button will show it. False when its text cannot be measured.
bool MeasureEntry(cChildElement* element, const sPopupItem& item, const sImageList* imageList,
                  const cFontObject* font, sEntryMeasure& out)
{
    out = {};
    if (imageList != nullptr && item.iconId >= 0) {
        out.picture = imageList->Get(item.iconId);
    }
    out.shown = !item.text.IsEmpty() || out.picture != nullptr;
    if (!out.shown) {
        return true;
    }
    i64 contentHeight = out.picture != nullptr ? out.picture->GetHeight() : 0;
    if (!item.text.IsEmpty()) {
        sSize text;
        if (!element->MeasureText(item.text.Get(), text, font)) {
            return false;
        }
        contentHeight = std::max<i64>(contentHeight, text.height);
    }
    if (!cButtonChild::MeasureWidth(element, item.text.Get(), out.picture, kPictureLeft, font, out.width)) {
        return false;
    }
    out.height = item.rowHeight >= 1 ? item.rowHeight : ClampToI32(contentHeight + kRowPadding);
    return true;
}

// A separator line with 5 pixels of background at each end.
class cPopupSplitter final : public cChildElement
{
public:
    cPopupSplitter(u32 lineColour, u32 backColour) : m_lineColour(lineColour), m_backColour(backColour) {}

    void OnPaint(cCanvas& canvas) override
    {
        const i32 w = GetWidth();
        const i32 h = GetHeight();
        canvas.FillRect(0, 0, w, h, m_backColour, m_backColour);
        if (w >= 11 && h >= 3) {
            canvas.FillRect(5, 0, w - 10, h, m_lineColour, m_lineColour);
        }
    }

private:
    u32 m_lineColour;
    u32 m_backColour;
};

// Per colour byte: background x 155 / 255 + text x 100 / 255, each term divided on its own.
u32 MixSeparatorColour(u32 back, u32 text)
{
    u32 mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const u32 b = (back >> shift) & 0xFFu;
        const u32 t = (text >> shift) & 0xFFu;
        mixed |= (b * 155u / 255u + t * 100u / 255u) << shift;
    }
    return mixed;
}

// The element that fills the popup window: one transparent style-1 button per entry in
// a scrolled column, framed.
class cPopupMaster final : public cScrollableElement
{
public:
    cPopupMaster(const tPopupItems& items, const sPopupStyle& style) : m_items(items), m_style(style) {}

    // Builds the entries; OnCreate builds them again, by then with the window's size.
    void ApplyStyle() override;
    void OnCreate() override { ApplyStyle(); }
    void PaintContent(cCanvas& canvas) override;
    bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    // The focus left the popup's tree, or its window lost the focus or grab. Focus
    // moving between the entries never calls this on the popup itself.
    void DropFocus() override { Close(-1); }
    bool OnAction(cChildElement* source, cChildAction* action) override;
    // So that the popup holds the focus when no entry is preselected, and the loss of
    // the window's focus reaches it.
    bool DefaultFocusCapable() override { return true; }

private:
    struct sEntry
    {
        cButtonChild button;
        i32 id = -1;
    };
    // The state pictures: hovered, pressed, focused.
    enum : i32 { kHoverFace, kPressedFace, kFocusFace, kFaceCount };

    void Close(i32 code);
    cButtonChild* AddEntry(i32 id, const sPopupItem& item, const sEntryMeasure& measure, i32 y, i32 width);

    const tPopupItems& m_items;
    sPopupStyle m_style;
    cPicture m_faces[kFaceCount];
    std::vector<std::unique_ptr<sEntry>> m_entries;
    std::vector<std::unique_ptr<cPopupSplitter>> m_separators;
};

void cPopupMaster::ApplyStyle()
{
    cScrollableElement::ApplyStyle();
    m_entries.clear();
    m_separators.clear();
    const cFontObject* font = m_style.font != nullptr ? m_style.font : GetDefaultFont();
    sSize measured;
    if (font == nullptr || !MeasurePopupItems(this, m_items, m_style.imageList, &measured, font)) {
        return;
    }
    const i32 contentWidth = std::max(measured.width, GetWidth());
    // The height first: it decides the vertical bar, whose width the entries leave free,
    // so that a menu cut short scrolls vertically only.
    SetContentHeight(measured.height);
    SetContentWidth(ClampToI32(i64(contentWidth) - GetVScrollWidth()));

    const struct
    {
        u32 colour;
        i32 face;
    } faces[] = {{m_style.hoverBackColour, kHoverFace},
                 {m_style.pressedBackColour, kPressedFace},
                 {m_style.focusBackColour, kFocusFace}};
    for (const auto& face : faces) {
        if (face.colour != kKeepColour) {
            (void)m_faces[face.face].CreateFilled(PixelFromColour(face.colour), 1, 1);
        }
    }
    const u32 lineColour = MixSeparatorColour(m_style.backColour, m_style.textColour);
    const i32 width = ClampToI32(i64(contentWidth) - GetVScrollWidth() - 2);
    cButtonChild* preselected = nullptr;
    i64 y = 1;
    for (const tPopupItems::cNode* node = m_items.First(); node != nullptr; node = tPopupItems::Next(node)) {
        sEntryMeasure measure;
        if (!MeasureEntry(this, node->GetValue(), m_style.imageList, font, measure) || !measure.shown) {
            continue;
        }
        if (node->GetValue().separator) {
            std::unique_ptr<cPopupSplitter> splitter(new (std::nothrow)
                                                         cPopupSplitter(lineColour, m_style.backColour));
            if (splitter == nullptr) {
                break;
            }
            AttachChild(splitter.get(), 1, ClampToI32(y), width, kSeparatorHeight);
            m_separators.push_back(std::move(splitter));
            y += kSeparatorHeight;
        }
        cButtonChild* button = AddEntry(node->GetKey(), node->GetValue(), measure, ClampToI32(y), width);
        if (button == nullptr) {
            break;
        }
        if (node->GetKey() == m_style.preselectedId) {
            preselected = button;
        }
        y += measure.height;
    }

    const i64 count = i64(m_entries.size());
    i64 averageRow = count > 0 ? measured.height / count : 0;
    averageRow = averageRow > 0 ? averageRow : 1;
    SetPageSteps(kHorizontalStep, ClampToI32(GetHeight() / averageRow * averageRow));
    SetLineSteps(kHorizontalStep, ClampToI32(averageRow));
    if (preselected != nullptr) {
        preselected->Activate();
    } else {
        Activate();
    }
}

cButtonChild* cPopupMaster::AddEntry(i32 id, const sPopupItem& item, const sEntryMeasure& measure, i32 y,
                                     i32 width)
{
    std::unique_ptr<sEntry> entry(new (std::nothrow) sEntry);
    if (entry == nullptr) {
        return nullptr;
    }
    entry->id = id;
    cButtonChild& button = entry->button;
    AttachChild(&button, 1, y, width, measure.height);
    button.SetTransparent(true);
    (void)button.SetCaption(item.text.Get());
    button.SetStyle(kStyleFace, false);
    button.SetFillColour(m_style.backColour, false);
    button.SetTextColour(m_style.textColour, false);
    const struct
    {
        i32 state;
        i32 face;
        u32 textColour;
    } states[] = {{kButtonHovered, kHoverFace, m_style.hoverTextColour},
                  {kButtonPressed, kPressedFace, m_style.pressedTextColour},
                  {kButtonFocused, kFocusFace, m_style.focusTextColour}};
    for (const auto& state : states) {
        if (m_faces[state.face].GetPixels() != nullptr) {
            button.SetFrameImage(state.state, &m_faces[state.face]);
        }
        if (state.textColour != kKeepColour) {
            button.SetStateTextColour(state.state, state.textColour, false);
        }
    }
    (void)button.SetHint(item.hint.Get());
    button.SetFont(m_style.font != nullptr ? m_style.font : GetDefaultFont());
    button.GetPictureRef(kButtonNormal).Set(measure.picture);
    m_entries.push_back(std::move(entry));
    return &button;
}

void cPopupMaster::PaintContent(cCanvas& canvas)
{
    canvas.FillRect(0, 0, GetWidth(), GetHeight(), m_style.backColour, m_style.frameColour);
    // Taken again at every paint: an entry that held the capture for its press gives
    // it back here.
    CaptureMouse();
}

bool cPopupMaster::OnDrawBackground(cCanvas& canvas, const sRect& rect)
{
    canvas.FillRect(0, 0, rect.width, rect.height, m_style.backColour, m_style.backColour);
    return true;
}

void cPopupMaster::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (down && !ContainsPoint(x, y)) {
        Close(-1);
    }
}

bool cPopupMaster::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (vk == kVkEscape) {
        Close(-1);
        return true;
    }
    return cScrollableElement::KeyDown(vk, shift, ctrl, alt);
}

bool cPopupMaster::OnAction(cChildElement* source, cChildAction* action)
{
    // Only the plain press action of one of the entry buttons chooses.
    if (action->GetCode() == 0 && typeid(*action) == typeid(cChildAction)) {
        for (const auto& entry : m_entries) {
            if (source == &entry->button) {
                Close(entry->id);
                return true;
            }
        }
    }
    return cScrollableElement::OnAction(source, action);
}

void cPopupMaster::Close(i32 code)
{
    ReleaseMouse();
    EndModal(code);
}

// Moves and cuts the popup rectangle to the screen (see ShowPopupMenuAt).
void FitToScreen(i64& x, i64& y, i64 width, i64& height, const sSize& screen)
{
    if (x + width > screen.width) {
        x = width >= screen.width ? 0 : screen.width - width;
    }
    if (y + height > screen.height) {
        const i64 roomBelow = screen.height - y;
        if (y > roomBelow) {
            height = std::min(height, y);
            y -= height;
        } else {
            height = roomBelow;
        }
    }
}

} // namespace

sPopupStyle::sPopupStyle()
{
    const cCITheme* theme = GetTheme();
    backColour = theme->GetColour(14);
    textColour = theme->GetColour(4);
    frameColour = theme->GetColour(21);
}

bool MeasurePopupItems(cChildElement* element, const tPopupItems& items, const sImageList* imageList, sSize* size,
                       const cFontObject* font)
{
    if (element == nullptr || size == nullptr || font == nullptr) {
        return false;
    }
    i64 widest = 0;
    i64 total = 0;
    for (const tPopupItems::cNode* node = items.First(); node != nullptr; node = tPopupItems::Next(node)) {
        sEntryMeasure measure;
        if (!MeasureEntry(element, node->GetValue(), imageList, font, measure)) {
            return false;
        }
        if (!measure.shown) {
            continue;
        }
        widest = std::max<i64>(widest, measure.width);
        total += measure.height + (node->GetValue().separator ? kSeparatorHeight : 0);
    }
    *size = {ClampToI32(widest + 2), ClampToI32(total)};
    return true;
}

i32 ShowPopupMenu(cChildElement* element, const tPopupItems& items, i32 x, i32 y, const sPopupStyle* style)
{
    if (element == nullptr) {
        return -1;
    }
    if (style != nullptr) {
        return ShowPopupMenuStyled(element, items, x, y, *style);
    }
    sSize measured;
    if (!MeasurePopupItems(element, items, nullptr, &measured, element->GetDefaultFont())) {
        return -1;
    }
    return ShowPopupMenuAt(element, items, x, y, measured.width, measured.height, sPopupStyle());
}

i32 ShowPopupMenuStyled(cChildElement* element, const tPopupItems& items, i32 x, i32 y, const sPopupStyle& style)
{
    if (element == nullptr) {
        return -1;
    }
    const cFontObject* font = style.font != nullptr ? style.font : element->GetDefaultFont();
    sSize measured;
    if (!MeasurePopupItems(element, items, style.imageList, &measured, font)) {
        return -1;
    }
    return ShowPopupMenuAt(element, items, x, y, std::max(measured.width, style.minimumWidth), measured.height,
                           style);
}

i32 ShowPopupMenuAt(cChildElement* element, const tPopupItems& items, i32 x, i32 y, i32 width, i32 height,
                    const sPopupStyle& style)
{
    if (element == nullptr || items.GetCount() == 0) {
        return -1;
    }
    sPopupStyle resolved = style;
    const sPopupStyle defaults;
    if (resolved.backColour == kKeepColour) {
        resolved.backColour = defaults.backColour;
    }
    if (resolved.textColour == kKeepColour) {
        resolved.textColour = defaults.textColour;
    }
    if (resolved.frameColour == kKeepColour) {
        resolved.frameColour = defaults.frameColour;
    }
    cPopupMaster* popup = new (std::nothrow) cPopupMaster(items, resolved);
    if (popup == nullptr) {
        return -1;
    }
    i64 left = x;
    i64 top = y;
    i64 tall = height;
    sSize screen;
    if (element->GetMaxWindowSize(screen) && screen.width > 0 && screen.height > 0) {
        FitToScreen(left, top, width, tall, screen);
    }
    // The run owns the popup from here on, on every path.
    return element->RunModalAt(popup, ClampToI32(left), ClampToI32(top), width, ClampToI32(tall + 2));
}
