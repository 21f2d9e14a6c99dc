#include "gui/controls/columnheader.h"

#include "gui/core/actions.h"
#include "gui/core/theme.h"

#include <new>
#include <typeinfo>

namespace {

constexpr i32 kHeaderHeightMetric = 23;

bool IsPlainPress(cChildElement::cChildAction* action)
{
    return action->GetCode() == 0 && typeid(*action) == typeid(cChildElement::cChildAction);
}

} // namespace

bool cHeaderChild::AddColumn(i32 id, const char16_t* title, i32 width, u32 alignment)
{
    cButtonChild* button = GetColumnButton(id);
    if (button == nullptr) {
        button = new (std::nothrow) cButtonChild;
        cButtonChild** slot = button != nullptr ? m_columns.GetOrAdd(id) : nullptr;
        if (slot == nullptr) {
            delete button;
            return false;
        }
        *slot = button;
        if (!SetPane(id, button, width)) {
            m_columns.Erase(id);
            return false;
        }
        // Attaching ran the button's own style: the header's face comes after it.
        button->SetStyle(kStyleFramed, false);
        button->SetFocusable(false);
    }
    if (title != nullptr) {
        (void)button->SetCaption(title);
    }
    button->SetTextFormat(alignment, true);
    (void)SetPaneSize(id, width);
    return true;
}

i32 cHeaderChild::GetColumnWidth(i32 id)
{
    const cButtonChild* button = GetColumnButton(id);
    return button != nullptr ? button->GetWidth() : 0;
}

cButtonChild* cHeaderChild::GetColumnButton(i32 id)
{
    cButtonChild** button = m_columns.FindIntKeyValue(id);
    return button != nullptr ? *button : nullptr;
}

void cHeaderChild::SetVisibleWidth(i32 width)
{
    SetFill(width, &m_filler);
}

void cHeaderChild::ApplyStyle()
{
    cSplitterChild::ApplyStyle();
    const i32 height = GetTheme()->GetMetric(kHeaderHeightMetric);
    SetMinSize(1, height);
    SetMaxSize(0, height);
    SetRelativeSizes(false);
    AttachChild(&m_filler, GetWidth() - 1, 0, 1, 1, 0);
    m_filler.SetStyle(kStyleFramed, false);
    m_filler.SetFocusable(false);
    m_filler.Disable(false);
    SetFill(0, &m_filler);
}

bool cHeaderChild::OnAction(cChildElement* source, cChildAction* action)
{
    if (IsPlainPress(action)) {
        for (auto* node = m_columns.First(); node != nullptr; node = decltype(m_columns)::Next(node)) {
            if (node->GetValue() == source) {
                // A null action posts the plain code-0 action instead.
                (void)PostAction(this, new (std::nothrow) cColumnClickAction(node->GetKey()));
                return true;
            }
        }
    }
    return cSplitterChild::OnAction(source, action);
}
