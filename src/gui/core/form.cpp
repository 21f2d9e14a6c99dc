#include "gui/core/form.h"

#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"
#include "gui/core/translator.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

void CollectFocusable(cChildElement* element, std::vector<cChildElement*>& out)
{
    if (element->CanTakeFocus()) {
        out.push_back(element);
    }
    for (cChildElement* child : element->GetChildren()) {
        CollectFocusable(child, out);
    }
}

} // namespace

void cCustomForm::OnCreate()
{
    cChildElement::OnCreate();
    const cCITheme* theme = GetTheme();
    i32 top = 2 * theme->GetMetric(3) + theme->GetMetric(5);
    i32 bottom = theme->GetMetric(7) + theme->GetMetric(8);
    // Negative placements count from the far edges, so the panel follows every resize.
    AddChildAt(&m_clientPanel, 5, top, -11, -top - bottom - 1);
    PostAction(this, new (std::nothrow) cFormCreatedAction);
}

void cCustomForm::OnPaint(cCanvas& canvas)
{
    u32 colour = GetTheme()->GetColour(0);
    canvas.FillRect(0, 0, GetWidth(), GetHeight(), colour, colour);
}

bool cCustomForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == this && dynamic_cast<cFormCreatedAction*>(action) != nullptr) {
        cWindowTranslator* window = GetWindow();
        if (window != nullptr && window->GetFocus() == nullptr) {
            std::vector<cChildElement*> focusable;
            CollectFocusable(this, focusable);
            if (!focusable.empty()) {
                focusable.front()->Activate();
            }
        }
        return true;
    }
    return cChildElement::OnAction(source, action);
}

bool cCustomForm::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (!ctrl && !alt) {
        switch (vk) {
        case kVkTab:
            MoveFocusInTabOrder(shift);
            return true;
        case kVkReturn:
            OnOK();
            return true;
        case kVkEscape:
            OnCancel();
            return true;
        default:
            break;
        }
    }
    return cChildElement::KeyDown(vk, shift, ctrl, alt);
}

void cCustomForm::MoveFocusInTabOrder(bool backwards)
{
    std::vector<cChildElement*> focusable;
    CollectFocusable(this, focusable);
    cWindowTranslator* window = GetWindow();
    if (focusable.empty() || window == nullptr) {
        return;
    }
    auto current = std::find(focusable.begin(), focusable.end(), window->GetFocus());
    size_t count = focusable.size();
    size_t next;
    if (current == focusable.end()) {
        next = backwards ? count - 1 : 0;
    } else {
        size_t index = size_t(current - focusable.begin());
        next = backwards ? (index + count - 1) % count : (index + 1) % count;
    }
    focusable[next]->Activate();
}
