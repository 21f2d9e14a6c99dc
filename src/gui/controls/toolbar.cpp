#include "gui/controls/toolbar.h"

#include "gui/controls/clamp.h"
#include "gui/core/canvas.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <new>
#include <typeinfo>

namespace {

bool IsPlainPress(cChildElement::cChildAction* action)
{
    return action->GetCode() == 0 && typeid(*action) == typeid(cChildElement::cChildAction);
}

} // namespace

// --- buttons ---------------------------------------------------------------------------------

cButtonChild* cToolBarChild::CreateButton()
{
    return new (std::nothrow) cButtonChild;
}

bool cToolBarChild::SetButton(i32 id, const char16_t* text, i32 pictureId)
{
    if (id < 0) {
        return false;
    }
    if (text == nullptr && pictureId < 0) {
        return RemoveButton(id);
    }
    if (cButtonChild* button = GetButton(id)) {
        bool changed = false;
        if (text != nullptr && CompareWide(text, button->GetText()) != 0) {
            if (!button->SetCaption(text)) {
                return false;
            }
            changed = true;
        }
        i32* stored = m_pictureIds.FindIntKeyValue(id);
        if (stored != nullptr && *stored != pictureId) {
            *stored = pictureId;
            TakePictures(button, pictureId);
            changed = true;
        }
        if (changed) {
            Layout();
        }
        return true;
    }

    cButtonChild* button = CreateButton();
    if (button == nullptr) {
        return false;
    }
    cButtonChild** slot = m_buttons.GetOrAdd(id);
    if (slot == nullptr) {
        delete button;
        return false;
    }
    *slot = button;
    i32* pictureSlot = m_pictureIds.GetOrAdd(id);
    if (pictureSlot == nullptr || !AttachChild(button, 0, 0, 0, GetViewRect().height) ||
        !button->SetCaption(text)) {
        m_buttons.Erase(id);
        m_pictureIds.Erase(id);
        return false;
    }
    *pictureSlot = pictureId;
    button->SetTransparent(IsTransparent());
    button->SetFocusable(m_buttonsFocusable);
    button->SetStyle(kStyleFlatUntilHot, false);
    button->SetFillColour(m_fillColour, false);
    button->SetTextColour(m_textColour, false);
    TakePictures(button, pictureId);
    if (!OnButtonAdded(id, button)) {
        m_buttons.Erase(id);
        m_pictureIds.Erase(id);
        return false;
    }
    Layout();
    return true;
}

bool cToolBarChild::RemoveButton(i32 id)
{
    if (!m_buttons.Erase(id)) {
        return false;
    }
    m_pictureIds.Erase(id);
    Layout();
    return true;
}

void cToolBarChild::RemoveAllButtons(bool redraw)
{
    m_buttons.Clear();
    m_pictureIds.Clear();
    // Without this the overflow button would stay, offering the removed buttons.
    m_overflowIds.clear();
    m_overflow.Hide(false);
    if (redraw) {
        Invalidate();
    }
}

bool cToolBarChild::EnableButton(i32 id, bool enable)
{
    cButtonChild* button = GetButton(id);
    if (button == nullptr) {
        return false;
    }
    if (enable) {
        button->Enable(true);
    } else {
        button->Disable(true);
    }
    return true;
}

cButtonChild* cToolBarChild::GetButton(i32 id)
{
    cButtonChild** button = m_buttons.FindIntKeyValue(id);
    return button != nullptr ? *button : nullptr;
}

void cToolBarChild::TakePictures(cButtonChild* button, i32 pictureId)
{
    for (i32 state = 0; state < kButtonStateCount; ++state) {
        if (m_stateLists[state] != nullptr) {
            button->GetPictureRef(state).SetFromList(m_stateLists[state], pictureId);
        }
    }
}

void cToolBarChild::SetStateImageList(i32 state, const sImageList* list)
{
    if (state < 0 || state >= kButtonStateCount) {
        return;
    }
    m_stateLists[state] = list;
    m_buttons.ForEach([&](i32 id, cButtonChild* button) {
        const i32* pictureId = m_pictureIds.FindIntKeyValue(id);
        if (pictureId != nullptr && *pictureId >= 0) {
            button->GetPictureRef(state).SetFromList(list, *pictureId);
        }
    });
    Layout();
}

void cToolBarChild::SetButtonTextColour(i32 state, u32 colour)
{
    m_buttons.ForEach([&](i32, cButtonChild* button) { button->SetStateTextColour(state, colour, true); });
}

void cToolBarChild::SetButtonsFocusable(bool focusable)
{
    m_buttonsFocusable = focusable;
    bool buttonHadFocus = false;
    m_buttons.ForEach([&](i32, cButtonChild* button) {
        buttonHadFocus = buttonHadFocus || button->HasFocus();
        button->SetFocusable(focusable);
    });
    if (!focusable && buttonHadFocus) {
        Activate();
    }
}

void cToolBarChild::SetOverflowMode(i32 mode)
{
    m_overflowMode = mode;
    if (GetTotalWidth() > GetViewRect().width) {
        Layout();
    }
}

void cToolBarChild::SetLeadingIdLimit(i32 limit)
{
    m_leadingIdLimit = std::max(limit, 0);
    if (GetTotalWidth() > GetViewRect().width) {
        Layout();
    }
}

i32 cToolBarChild::GetTotalWidth()
{
    i64 total = 0;
    m_buttons.ForEach([&](i32, cButtonChild* button) { total += button->GetPreferredWidth(); });
    return ClampToI32(total);
}

// --- layout -------------------------------------------------------------------------------------

void cToolBarChild::PlaceButtons(const std::vector<sSlot>& slots, size_t begin, size_t end, i64& x, i32 height)
{
    for (size_t index = begin; index < end; ++index) {
        slots[index].button->SetBounds(ClampToI32(x), 0, slots[index].width, height);
        slots[index].button->Show(false);
        x += slots[index].width;
    }
}

void cToolBarChild::Layout()
{
    const sRect view = GetViewRect();
    m_laidOutHeight = view.height;
    std::vector<sSlot> slots;
    i64 total = 0;
    m_buttons.ForEach([&](i32 id, cButtonChild* button) {
        button->SetPictureLayout(kPictureLeft, false);
        button->SetTextFormat(0, false);
        const i32 width = button->GetPreferredWidth();
        slots.push_back({id, button, width});
        total += width;
    });
    m_overflowIds.clear();

    // [hiddenBegin, hiddenEnd) overflow; the overflow button sits before hiddenEnd's
    // placement in mode 1 and at the first hidden button's place in mode 2.
    size_t hiddenBegin = slots.size();
    size_t hiddenEnd = slots.size();
    i32 overflowWidth = 0;
    if (m_overflowMode != kOverflowNone && total > view.width) {
        (void)cButtonChild::MeasureWidth(this, nullptr, GetTheme()->GetImage(kImageOverflow), kPictureLeft,
                                         nullptr, overflowWidth);
        if (m_overflowMode == kOverflowKeepEnds) {
            size_t leading = 0;
            i64 x = 0;
            while (leading < slots.size() && slots[leading].id < m_leadingIdLimit) {
                x += slots[leading++].width;
            }
            // Walk from the highest id down while the buttons fit behind the overflow
            // button; the first that does not, and all before it, overflow.
            i64 room = i64(view.width) - x - overflowWidth;
            size_t firstKept = slots.size();
            while (firstKept > leading && slots[firstKept - 1].width <= room) {
                room -= slots[--firstKept].width;
            }
            hiddenBegin = leading;
            hiddenEnd = firstKept;
        } else {
            i64 x = 0;
            size_t fitting = 0;
            while (fitting < slots.size() && x + slots[fitting].width + overflowWidth <= view.width) {
                x += slots[fitting++].width;
            }
            hiddenBegin = fitting;
            hiddenEnd = slots.size();
        }
    }

    i64 x = 0;
    if (hiddenBegin == hiddenEnd) {
        m_overflow.Hide(false);
        PlaceButtons(slots, 0, slots.size(), x, view.height);
    } else {
        PlaceButtons(slots, 0, hiddenBegin, x, view.height);
        m_overflow.SetBounds(ClampToI32(x), 0, overflowWidth, view.height);
        m_overflow.Show(false);
        x += overflowWidth;
        for (size_t index = hiddenBegin; index < hiddenEnd; ++index) {
            slots[index].button->Hide(false);
            m_overflowIds.push_back(slots[index].id);
        }
        PlaceButtons(slots, hiddenEnd, slots.size(), x, view.height);
    }
    Invalidate();
}

void cToolBarChild::OnResize()
{
    cChildElement::OnResize();
    const bool overflowPossible = m_overflowMode == kOverflowKeepEnds || m_overflowMode == kOverflowKeepLeading;
    // A new height is laid out in every mode: the buttons take the bar's height.
    if (GetViewRect().height != m_laidOutHeight ||
        (overflowPossible && (m_overflow.IsVisible() || GetTotalWidth() > GetViewRect().width))) {
        Layout();
    }
}

// --- overflow menu --------------------------------------------------------------------------------

void cToolBarChild::BuildOverflowMenu(tPopupItems& items, sSize& size)
{
    items.Clear();
    const i32 rowHeight = GetViewRect().height;
    i64 widest = 0;
    i64 total = 0;
    for (i32 id : m_overflowIds) {
        cButtonChild* button = GetButton(id);
        if (button == nullptr || !button->IsEnabled()) {
            continue;
        }
        sPopupItem* item = items.GetOrAdd(id);
        if (item == nullptr || !item->text.Assign(button->GetText())) {
            continue;
        }
        const i32* pictureId = m_pictureIds.FindIntKeyValue(id);
        item->iconId = pictureId != nullptr ? *pictureId : -1;
        item->rowHeight = rowHeight;
        widest = std::max<i64>(widest, button->GetPreferredWidth());
        total += rowHeight;
    }
    size = {ClampToI32(widest), ClampToI32(total)};
}

void cToolBarChild::ShowOverflowMenu()
{
    tPopupItems items;
    sSize size;
    BuildOverflowMenu(items, size);
    sPoint origin;
    if (!m_overflow.GetScreenOrigin(origin)) {
        return;
    }
    // A menu cut to the limit scrolls: room for the scroll bar.
    const f64 width = size.height > kMenuHeightLimit ? 1.1 * (f64(size.width) + 16) : 1.1 * size.width;
    sPopupStyle style;
    style.imageList = m_stateLists[kButtonNormal];
    style.backColour = m_fillColour;
    style.textColour = m_textColour;
    const u64 serial = GetSerial();
    const i32 chosen =
        ShowPopupMenuAt(this, items, origin.x, ClampToI32(i64(origin.y) + m_overflow.GetHeight() + 1), i32(width),
                        std::min<i32>(size.height, kMenuHeightLimit), style);
    // The menu's loop may have run anything: the bar may be gone, the button removed
    // or disabled meanwhile.
    if (chosen < 0 || !IsElementLive(this, serial)) {
        return;
    }
    cButtonChild* button = GetButton(chosen);
    if (button != nullptr && button->IsEnabledInTree()) {
        PostButtonAction(chosen);
    }
}

// --- handlers -------------------------------------------------------------------------------------------

void cToolBarChild::PostButtonAction(i32 id)
{
    // A null action posts the plain code-0 action instead.
    (void)PostAction(this, new (std::nothrow) cTbButtonAction(id));
}

bool cToolBarChild::OnAction(cChildElement* source, cChildAction* action)
{
    if (IsPlainPress(action)) {
        if (source == &m_overflow) {
            ShowOverflowMenu();
            return true;
        }
        for (auto* node = m_buttons.First(); node != nullptr; node = decltype(m_buttons)::Next(node)) {
            if (node->GetValue() == source) {
                PostButtonAction(node->GetKey());
                return true;
            }
        }
    }
    return cChildElement::OnAction(source, action);
}

void cToolBarChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    AttachChild(&m_overflow, 0, 0, 1, 1, 0);
    m_overflow.SetTransparent(IsTransparent());
    m_overflow.SetFocusable(false);
    m_overflow.SetStyle(kStyleFlatFrame, false);
    m_overflow.Hide(false);
    m_overflow.GetPictureRef(kButtonNormal).Set(GetTheme()->GetImage(kImageOverflow));
    m_fillColour = GetTheme()->GetColour(14);
    m_textColour = GetTheme()->GetColour(4);
}

void cToolBarChild::OnPaint(cCanvas& canvas)
{
    if (!IsTransparent()) {
        const sRect view = GetViewRect();
        canvas.FillRect(view.x, view.y, view.width, view.height, m_fillColour, m_fillColour);
    }
}

void cToolBarChild::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button == kMouseLeft && down) {
        (void)PostCode(kBarPressCode);
    }
}

void cToolBarChild::SetTransparent(bool transparent)
{
    m_buttons.ForEach([&](i32, cButtonChild* button) { button->SetTransparent(transparent); });
    m_overflow.SetTransparent(transparent);
    cChildElement::SetTransparent(transparent);
}
