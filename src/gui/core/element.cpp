#include "gui/core/element.h"

#include "gui/core/actions.h"
#include "gui/core/font.h"
#include "gui/core/keys.h"
#include "gui/core/lang.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

i32 ClampToI32(i64 value)
{
    return i32(std::clamp<i64>(value, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max()));
}

// A negative placement value counts from the far edge: value + parent size + 1.
i64 FromFarEdge(i32 value, i32 parentSize)
{
    return value < 0 ? i64(value) + parentSize + 1 : value;
}

} // namespace

cChildElement::cChildElement() : m_serial(RegisterLiveElement(this)) {}

cChildElement::~cChildElement()
{
    UnregisterLiveElement(this);
    if (cWindowTranslator* window = GetWindow()) {
        window->ForgetSubtree(this);
        if (m_window != nullptr) {
            m_window->ReleaseRoot();
        }
    }
    if (m_parent != nullptr) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), this));
        m_parent = nullptr;
    }
    for (cChildElement* child : m_children) {
        child->m_parent = nullptr;
    }
}

// --- tree ----------------------------------------------------------------------------------

bool cChildElement::AttachChild(cChildElement* child, i32 x, i32 y, i32 width, i32 height, i32 anchor)
{
    if (child == nullptr || child == this || child->IsAncestorOf(this) || child->m_window != nullptr) {
        return false;
    }
    if (child->m_parent != nullptr) {
        child->m_parent->DetachChild(child);
    }
    child->m_parent = this;
    m_children.push_back(child);
    child->m_placement.active = false;
    child->m_anchor = anchor;
    child->m_rect = {x, y, std::max(width, 0), std::max(height, 0)};
    child->m_focusable = child->DefaultFocusable();
    child->m_arrowNavigable = child->ArrowNavQuery();
    child->m_doubleBuffered = child->DefaultDoubleBuffered();
    child->m_sizeFlag = child->DefaultSizeFlag();
    child->ApplyStyle();
    child->OnCreate();
    child->Invalidate();
    return true;
}

bool cChildElement::AddChildAt(cChildElement* child, i32 x, i32 y, i32 width, i32 height)
{
    if (child == nullptr) {
        return false;
    }
    sPlacement placement{true, x, y, width, height};
    sRect rect = ResolvePlacement(placement);
    if (child->m_parent != this) {
        if (!AttachChild(child, rect.x, rect.y, rect.width, rect.height)) {
            return false;
        }
    } else {
        child->SetBoundsKeepingPlacement(rect.x, rect.y, rect.width, rect.height);
    }
    child->m_placement = placement;
    return true;
}

bool cChildElement::DetachChild(cChildElement* child)
{
    if (child == nullptr || child->m_parent != this) {
        return false;
    }
    child->InvalidateInParent();
    if (cWindowTranslator* window = GetWindow()) {
        window->ForgetSubtree(child);
    }
    // Searched from the end: widgets that detach many children (a tree's rows) do so
    // last first, which makes each detach O(1).
    m_children.erase(std::find(m_children.rbegin(), m_children.rend(), child).base() - 1);
    child->m_parent = nullptr;
    child->m_placement.active = false;
    child->m_keepScrollX = false;
    child->m_keepScrollY = false;
    return true;
}

cChildElement* cChildElement::GetRoot()
{
    cChildElement* element = this;
    while (element->m_parent != nullptr) {
        element = element->m_parent;
    }
    return element;
}

cWindowTranslator* cChildElement::GetWindow()
{
    return GetRoot()->m_window;
}

bool cChildElement::IsAncestorOf(const cChildElement* element) const
{
    for (; element != nullptr; element = element->m_parent) {
        if (element == this) {
            return true;
        }
    }
    return false;
}

// --- geometry ------------------------------------------------------------------------------

void cChildElement::SetBounds(i32 x, i32 y, i32 width, i32 height)
{
    m_placement.active = false;
    SetBoundsKeepingPlacement(x, y, width, height);
}

void cChildElement::SetBoundsKeepingPlacement(i32 x, i32 y, i32 width, i32 height)
{
    sRect rect{x, y, std::max(width, 0), std::max(height, 0)};
    sRect old = m_rect;
    if (rect.x == old.x && rect.y == old.y && rect.width == old.width && rect.height == old.height) {
        return;
    }
    InvalidateInParent();
    m_rect = rect;
    if (rect.width != old.width || rect.height != old.height) {
        ApplyPlacements(old.width, old.height);
        OnResize();
    }
    InvalidateInParent();
}

sRect cChildElement::ResolvePlacement(const sPlacement& placement) const
{
    i64 x = FromFarEdge(placement.x, m_rect.width);
    i64 y = FromFarEdge(placement.y, m_rect.height);
    i64 width = std::max<i64>(FromFarEdge(placement.width, m_rect.width), 0);
    i64 height = std::max<i64>(FromFarEdge(placement.height, m_rect.height), 0);
    return {ClampToI32(x), ClampToI32(y), ClampToI32(width), ClampToI32(height)};
}

void cChildElement::ApplyPlacements(i32 oldWidth, i32 oldHeight)
{
    // A child's OnResize may attach or detach children of ours: walk a copy.
    std::vector<cChildElement*> children = m_children;
    for (cChildElement* child : children) {
        if (child->m_parent != this) {
            continue;
        }
        if (child->m_placement.active) {
            sRect rect = ResolvePlacement(child->m_placement);
            child->SetBoundsKeepingPlacement(rect.x, rect.y, rect.width, rect.height);
        } else if (child->m_anchor != 0) {
            sRect rect = child->m_rect;
            if (child->m_anchor & kAnchorRight) {
                rect.x = ClampToI32(i64(rect.x) + m_rect.width - oldWidth);
            }
            if (child->m_anchor & kAnchorBottom) {
                rect.y = ClampToI32(i64(rect.y) + m_rect.height - oldHeight);
            }
            child->SetBoundsKeepingPlacement(rect.x, rect.y, rect.width, rect.height);
        }
    }
}

sRect cChildElement::GetViewRect()
{
    return {0, 0, m_rect.width, m_rect.height};
}

sSize cChildElement::GetClientSize()
{
    sRect view = GetViewRect();
    return {view.width, view.height};
}

sPoint cChildElement::GetClientOrigin()
{
    return {};
}

sPoint cChildElement::ChildOrigin(const cChildElement* child)
{
    sPoint shift = GetChildShift(child);
    return {ClampToI32(i64(child->m_rect.x) + shift.x), ClampToI32(i64(child->m_rect.y) + shift.y)};
}

sPoint cChildElement::GetOriginInRoot()
{
    i64 x = 0;
    i64 y = 0;
    for (cChildElement* element = this; element->m_parent != nullptr; element = element->m_parent) {
        sPoint origin = element->m_parent->ChildOrigin(element);
        x += origin.x;
        y += origin.y;
    }
    return {ClampToI32(x), ClampToI32(y)};
}

bool cChildElement::GetScreenOrigin(sPoint& point)
{
    cWindowTranslator* window = GetWindow();
    sRect screen;
    if (window == nullptr || !window->GetHost()->GetWindowRect(window, screen)) {
        return false;
    }
    sPoint inRoot = GetOriginInRoot();
    point = {ClampToI32(i64(screen.x) + inRoot.x), ClampToI32(i64(screen.y) + inRoot.y)};
    return true;
}

void cChildElement::SetMinSize(i32 width, i32 height)
{
    m_minSize = {width, height};
}

void cChildElement::SetMaxSize(i32 width, i32 height)
{
    m_maxSize = {width, height};
}

bool cChildElement::GetMaxWindowSize(sSize& size)
{
    cWindowMaker* maker = GetWindowMaker();
    return GetWindow() != nullptr && maker != nullptr && maker->GetMaxWindowSize(size);
}

cChildElement* cChildElement::ChildAt(i32 x, i32 y)
{
    if (!GetChildClipRect().Contains(x, y)) {
        return nullptr;
    }
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        cChildElement* child = *it;
        if (!child->m_visible) {
            continue;
        }
        sPoint origin = ChildOrigin(child);
        if (child->ContainsPoint(ClampToI32(i64(x) - origin.x), ClampToI32(i64(y) - origin.y))) {
            return child;
        }
    }
    return nullptr;
}

// --- text ----------------------------------------------------------------------------------

bool cChildElement::SetText(const char16_t* text, i32 length)
{
    bool stored = length < 0 ? m_text.Assign(text) : m_text.AssignN(text, size_t(length));
    if (stored) {
        Invalidate();
    }
    return stored;
}

const char16_t* cChildElement::GetText()
{
    return m_text.GetOrEmpty();
}

bool cChildElement::CopyText(_guardchar<char16_t>& out)
{
    return out.Assign(GetText());
}

void cChildElement::ClearText()
{
    m_text.Clear();
    Invalidate();
}

bool cChildElement::SetHint(const char16_t* text)
{
    return m_hint.Assign(text);
}

// --- state and focus ---------------------------------------------------------------------------

bool cChildElement::IsSetUpTheTree(bool cChildElement::*flag) const
{
    for (const cChildElement* element = this; element != nullptr; element = element->m_parent) {
        if (!(element->*flag)) {
            return false;
        }
    }
    return true;
}

bool cChildElement::IsVisibleInTree() const
{
    return IsSetUpTheTree(&cChildElement::m_visible);
}

void cChildElement::Show(bool redraw)
{
    if (m_visible) {
        return;
    }
    m_visible = true;
    if (redraw) {
        Invalidate();
    }
}

void cChildElement::Hide(bool redraw)
{
    if (!m_visible) {
        return;
    }
    if (redraw) {
        InvalidateInParent();
    }
    m_visible = false;
    if (cWindowTranslator* window = GetWindow()) {
        window->OnSubtreeUnavailable(this);
    }
}

bool cChildElement::IsEnabledInTree() const
{
    return IsSetUpTheTree(&cChildElement::m_enabled);
}

void cChildElement::Enable(bool redraw)
{
    if (m_enabled) {
        return;
    }
    m_enabled = true;
    if (IsEnabledInTree()) {
        NotifyEnabledChanged();
    }
    if (redraw) {
        Invalidate();
    }
}

void cChildElement::Disable(bool redraw)
{
    if (!m_enabled) {
        return;
    }
    bool wasEnabled = IsEnabledInTree();
    m_enabled = false;
    if (cWindowTranslator* window = GetWindow()) {
        window->OnSubtreeUnavailable(this);
    }
    if (wasEnabled) {
        NotifyEnabledChanged();
    }
    if (redraw) {
        Invalidate();
    }
}

// Tells the element and every descendant whose own flags did not already disable it.
void cChildElement::NotifyEnabledChanged()
{
    u64 serial = m_serial;
    OnEnabledChanged();
    if (!IsElementLive(this, serial)) {
        return;
    }
    std::vector<cChildElement*> children = m_children;
    for (cChildElement* child : children) {
        if (child->m_parent == this && child->m_enabled) {
            child->NotifyEnabledChanged();
        }
    }
}

bool cChildElement::HasFocus()
{
    cWindowTranslator* window = GetWindow();
    return window != nullptr && window->GetFocus() == this;
}

bool cChildElement::CanTakeFocus()
{
    return m_focusable && GetWindow() != nullptr && IsVisibleInTree() && IsEnabledInTree();
}

void cChildElement::Activate()
{
    if (CanTakeFocus()) {
        GetWindow()->ChangeFocus(this, kFocusByCode, false, false);
    }
}

void cChildElement::SetTransparent(bool transparent)
{
    if (m_transparent != transparent) {
        m_transparent = transparent;
        Invalidate();
    }
}

// --- mouse and cursor ----------------------------------------------------------------------------

void cChildElement::CaptureMouse()
{
    if (cWindowTranslator* window = GetWindow()) {
        window->SetCapture(this);
    }
}

void cChildElement::ReleaseMouse()
{
    if (cWindowTranslator* window = GetWindow()) {
        window->ReleaseCapture(this);
    }
}

bool cChildElement::HasMouseCapture()
{
    cWindowTranslator* window = GetWindow();
    return window != nullptr && window->GetCapture() == this;
}

void cChildElement::SetCursorKind(i32 kind)
{
    if (m_cursorKind == kind) {
        return;
    }
    m_cursorKind = kind;
    if (cWindowTranslator* window = GetWindow()) {
        window->UpdateCursor();
    }
}

i32 cChildElement::GetCursorKind()
{
    return m_cursorKind >= 0 ? m_cursorKind : DefaultCursorKind();
}

// --- painting ------------------------------------------------------------------------------------

void cChildElement::Invalidate(const sRect* rect)
{
    // Geometry belongs to the GUI thread: a request from elsewhere waits for it.
    if (!QueueRepaintUnlessGuiThread(this, m_serial, rect)) {
        return;
    }
    if (cWindowTranslator* window = GetWindow()) {
        window->InvalidateElement(this, rect);
    }
}

void cChildElement::InvalidateInParent()
{
    if (m_parent != nullptr && m_visible) {
        sPoint origin = m_parent->ChildOrigin(this);
        sRect area{origin.x, origin.y, m_rect.width, m_rect.height};
        m_parent->Invalidate(&area);
    }
}

// --- fonts and texts --------------------------------------------------------------------------------

cFontObject* cChildElement::GetFont(i32 width, i32 height, const char16_t* face, bool bold,
                                    bool underline, bool italic)
{
    return GetCachedFont(width, height, face, bold, underline, italic);
}

cFontObject* cChildElement::GetDefaultFont()
{
    return GetDefaultUiFont();
}

cFontObject* cChildElement::GetBoldFont()
{
    return GetBoldUiFont();
}

cFontObject* cChildElement::GetUnderlinedFont()
{
    return GetUnderlinedUiFont();
}

bool cChildElement::MeasureText(const char16_t* text, sSize& size, const cFontObject* font)
{
    cWindowTranslator* window = GetWindow();
    return window != nullptr && window->MeasureText(text, size, font != nullptr ? font : GetDefaultFont());
}

namespace {

const char16_t* LangStringOfTree(cChildElement* element, i32 index)
{
    for (; element != nullptr; element = element->GetParent()) {
        if (const char* formId = element->GetFormId()) {
            const cLangSection* section = FindLangSection(formId);
            return section != nullptr ? section->GetString(index) : nullptr;
        }
    }
    return nullptr;
}

} // namespace

const char16_t* cChildElement::GetLangString(i32 index)
{
    return LangStringOfTree(this, index);
}

const char16_t* cChildElement::GetLangStringVia(cChildElement* form, cChildElement* other, i32 index)
{
    // The sections belong to the application, which every window shares: `other` only
    // vouches that a window exists.
    (void)other;
    return LangStringOfTree(form, index);
}

// --- windows and clipboard --------------------------------------------------------------------------

i32 cChildElement::RunModal(const char16_t* title, i32 width, i32 height, cChildElement* form, bool resizable)
{
    cWindowMaker* maker = GetWindowMaker();
    if (maker == nullptr) {
        delete form;
        return -1;
    }
    return maker->RunModalOver(title, width, height, form, this, resizable);
}

i32 cChildElement::RunModalAt(cChildElement* root, i32 x, i32 y, i32 width, i32 height)
{
    cWindowMaker* maker = GetWindowMaker();
    if (maker == nullptr) {
        delete root;
        return -1;
    }
    return maker->RunModalAt(root, x, y, width, height, this);
}

void cChildElement::EndModal(i32 code)
{
    if (cWindowTranslator* window = GetWindow()) {
        window->EndRun(code);
    }
}

bool cChildElement::SetClipboardText(const char16_t* text, i32 length)
{
    cWindowMaker* maker = GetWindowMaker();
    return GetWindow() != nullptr && maker != nullptr && maker->SetClipboardText(text, length);
}

bool cChildElement::GetClipboardText(_guardchar<char16_t>& text)
{
    cWindowMaker* maker = GetWindowMaker();
    return GetWindow() != nullptr && maker != nullptr && maker->GetClipboardText(text);
}

bool cChildElement::ReadClipboard(_typebuf<u8>& bytes)
{
    cWindowMaker* maker = GetWindowMaker();
    return GetWindow() != nullptr && maker != nullptr && maker->ReadClipboard(bytes);
}

// --- actions -----------------------------------------------------------------------------------------

bool cChildElement::PostCode(i32 code)
{
    cChildAction* action = new (std::nothrow) cChildAction(code);
    return action != nullptr && PostAction(this, action);
}

bool cChildElement::OnAction(cChildElement* source, cChildAction* action)
{
    return false;
}

// --- input routing -------------------------------------------------------------------------------------

// A capture holder gets every press of its window here, and still hands a press over its
// own children to them: a popup that grabs the mouse lets its entries take the press
// (and the capture with it).
void cChildElement::MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    if (cChildElement* child = ChildAt(x, y)) {
        sPoint origin = ChildOrigin(child);
        child->MouseButton(ClampToI32(i64(x) - origin.x), ClampToI32(i64(y) - origin.y), button, down, ctrl,
                           shift);
        return;
    }
    HandleMouseButtonHere(x, y, button, down, ctrl, shift);
}

void cChildElement::HandleMouseButtonHere(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    cWindowTranslator* window = GetWindow();
    u64 serial = m_serial;
    if (down) {
        bool doubleClick = window != nullptr && window->TakeDoubleClick(this, button);
        if ((button == kMouseLeft || button == kMouseRight) && CanTakeFocus()) {
            window->ChangeFocus(this, button == kMouseLeft ? kFocusByLeftPress : kFocusByRightPress, ctrl, shift);
            if (!IsElementLive(this, serial)) {
                return;
            }
        }
        if (doubleClick) {
            OnDoubleClick(x, y);
        } else {
            OnMouseButton(x, y, button, true);
        }
        return;
    }
    OnMouseButton(x, y, button, false);
    if (button == kMouseRight && IsElementLive(this, serial) && ContainsPoint(x, y)) {
        PostAction(this, new (std::nothrow) cContextAction(x, y));
    }
}

void cChildElement::OnDoubleClick(i32 x, i32 y)
{
    OnMouseButton(x, y, kMouseLeft, true);
}

bool cChildElement::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    u64 serial = m_serial;
    if (OnKeyDown(vk)) {
        return true;
    }
    if (!IsElementLive(this, serial)) {
        return true;
    }
    if (!ctrl && !alt && MoveFocusAmongSiblings(vk)) {
        return true;
    }
    return m_parent != nullptr && m_parent->KeyDown(vk, shift, ctrl, alt);
}

// Arrow navigation happens in the parent while the key bubbles, so that a parent's own
// KeyDown override sees the arrow before its arrow-navigable children move the focus.
bool cChildElement::MoveFocusAmongSiblings(i32 vk)
{
    i32 step;
    if (vk == kVkLeft || vk == kVkUp) {
        step = -1;
    } else if (vk == kVkRight || vk == kVkDown) {
        step = 1;
    } else {
        return false;
    }
    cWindowTranslator* window = GetWindow();
    cChildElement* holder = window != nullptr ? window->GetFocus() : nullptr;
    cChildElement* from = holder;
    while (from != nullptr && from->m_parent != this) {
        from = from->m_parent;
    }
    if (from == nullptr || !from->m_arrowNavigable) {
        return false;
    }
    auto it = std::find(m_children.begin(), m_children.end(), from);
    i64 index = it - m_children.begin();
    for (index += step; index >= 0 && index < i64(m_children.size()); index += step) {
        cChildElement* sibling = m_children[size_t(index)];
        if (sibling->CanTakeFocus()) {
            window->ChangeFocus(sibling, kFocusByCode, false, false);
            return true;
        }
    }
    return false;
}

void cChildElement::CharInput(char16_t unit)
{
    OnChar(unit);
}
