#include "gui/core/translator.h"

#include "gui/core/actions.h"
#include "gui/core/canvas.h"
#include "gui/core/element.h"
#include "gui/core/font.h"
#include "gui/core/form.h"
#include "gui/core/hint.h"
#include "gui/core/keys.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

// Two presses make a double click within this time and distance (the common desktop
// defaults: 500 ms, a 4-pixel box either way).
constexpr u32 kDoubleClickMs = 500;
constexpr i32 kDoubleClickDistance = 4;
// The hint opens this far below the pointer, clear of the arrow cursor.
constexpr i32 kHintOffsetY = 20;

struct sChainEntry
{
    cChildElement* element;
    u64 serial;
};

// `from` and its ancestors up to, not including, `stop` (null: up to the root), innermost
// first.
std::vector<sChainEntry> ChainUpTo(cChildElement* from, const cChildElement* stop)
{
    std::vector<sChainEntry> chain;
    for (cChildElement* element = from; element != nullptr && element != stop; element = element->GetParent()) {
        chain.push_back({element, element->GetSerial()});
    }
    return chain;
}

cChildElement* CommonAncestor(cChildElement* a, cChildElement* b)
{
    for (cChildElement* candidate = a; candidate != nullptr; candidate = candidate->GetParent()) {
        if (candidate->IsAncestorOf(b)) {
            return candidate;
        }
    }
    return nullptr;
}

bool Inside(const cChildElement* subtree, const cChildElement* element)
{
    return element != nullptr && subtree->IsAncestorOf(element);
}

sPoint Offset(sPoint a, sPoint b)
{
    return {i32(std::clamp<i64>(i64(a.x) + b.x, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max())),
            i32(std::clamp<i64>(i64(a.y) + b.y, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max()))};
}

sRect Translate(const sRect& rect, sPoint by)
{
    return RectFromEdges(i64(rect.x) + by.x, i64(rect.y) + by.y, rect.Right() + by.x, rect.Bottom() + by.y);
}

} // namespace

cWindowTranslator::cWindowTranslator(cWindowRequestTarget* host) : m_host(host) {}

cWindowTranslator::~cWindowTranslator()
{
    m_hint.reset();
    if (m_root != nullptr) {
        ReleaseRoot();
    }
}

void cWindowTranslator::SetRoot(cChildElement* root, i32 width, i32 height)
{
    if (root->m_parent != nullptr) {
        root->m_parent->DetachChild(root);
    }
    m_root = root;
    root->m_window = this;
    root->m_placement.active = false;
    root->m_rect = {0, 0, std::max(width, 0), std::max(height, 0)};
    root->m_focusable = root->DefaultFocusable();
    root->m_arrowNavigable = root->ArrowNavQuery();
    root->m_doubleBuffered = root->DefaultDoubleBuffered();
    root->m_sizeFlag = root->DefaultSizeFlag();
    u64 serial = root->GetSerial();
    root->ApplyStyle();
    if (m_root == root && IsElementLive(root, serial)) {
        root->OnCreate();
    }
}

cChildElement* cWindowTranslator::ReleaseRoot()
{
    cChildElement* root = m_root;
    if (root != nullptr) {
        ForgetSubtree(root);
        root->m_window = nullptr;
        m_root = nullptr;
    }
    return root;
}

// --- input -----------------------------------------------------------------------------------

cChildElement* cWindowTranslator::DeepestAt(i32 x, i32 y) const
{
    cChildElement* element = m_root;
    if (element == nullptr || !element->IsVisible() || !element->ContainsPoint(x, y)) {
        return nullptr;
    }
    while (cChildElement* child = element->ChildAt(x, y)) {
        sPoint origin = element->ChildOrigin(child);
        x -= origin.x;
        y -= origin.y;
        element = child;
    }
    return element;
}

void cWindowTranslator::EndHover()
{
    cChildElement* old = m_hover;
    m_hover = nullptr;
    if (m_hint != nullptr) {
        m_hint->HideHint();
    }
    if (old != nullptr) {
        old->OnHoverEnd();
    }
}

void cWindowTranslator::UpdateHover()
{
    cChildElement* target = m_pointerInside && !IsInputBlocked() ? DeepestAt(m_pointer.x, m_pointer.y) : nullptr;
    if (target == m_hover) {
        return;
    }
    u64 serial = target != nullptr ? target->GetSerial() : 0;
    EndHover();
    if (target == nullptr || !IsElementLive(target, serial) || m_hover != nullptr) {
        return;
    }
    m_hover = target;
    target->OnHoverStart();
    if (m_hover != target || target->GetHint()[0] == 0) {
        return;
    }
    sRect screen;
    if (m_host->GetWindowRect(this, screen)) {
        if (m_hint == nullptr) {
            m_hint = std::make_unique<cHintMaster>();
        }
        sPoint at = Offset({screen.x, screen.y}, {m_pointer.x, m_pointer.y + kHintOffsetY});
        (void)m_hint->ShowHint(target, target->GetHint(), at, kHintDefaultColour, kHintDefaultColour, 0);
    }
}

void cWindowTranslator::UpdateCursor()
{
    cChildElement* element = m_capture != nullptr ? m_capture : m_hover;
    i32 kind = element != nullptr ? element->GetCursorKind() : kCursorArrow;
    if (kind != m_cursor) {
        m_cursor = kind;
        m_host->SetCursor(this, kind);
    }
}

void cWindowTranslator::OnMouseMove(i32 x, i32 y)
{
    if (m_root == nullptr || IsInputBlocked()) {
        return;
    }
    m_pointer = {x, y};
    m_pointerInside = m_root->ContainsPoint(x, y);
    UpdateHover();
    cChildElement* target = m_capture != nullptr ? m_capture : DeepestAt(x, y);
    if (target != nullptr) {
        sPoint origin = target->GetOriginInRoot();
        target->MouseMove(x - origin.x, y - origin.y);
    }
    UpdateCursor();
}

void cWindowTranslator::OnMouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift, u32 timeMs)
{
    if (m_root == nullptr || IsInputBlocked()) {
        return;
    }
    m_eventTime = timeMs;
    m_pointer = {x, y};
    m_pointerInside = m_root->ContainsPoint(x, y);
    UpdateHover();
    cChildElement* target = m_capture != nullptr ? m_capture : m_root;
    if (target != nullptr) {
        sPoint origin = target->GetOriginInRoot();
        target->MouseButton(x - origin.x, y - origin.y, button, down, ctrl, shift);
    }
    UpdateCursor();
}

void cWindowTranslator::OnMouseWheel(i32 x, i32 y, i32 notches)
{
    if (m_root == nullptr || IsInputBlocked()) {
        return;
    }
    for (cChildElement* element = DeepestAt(x, y); element != nullptr; element = element->GetParent()) {
        cChildElement* parent = element->GetParent();
        u64 parentSerial = parent != nullptr ? parent->GetSerial() : 0;
        if (element->OnMouseWheel(notches) || (parent != nullptr && !IsElementLive(parent, parentSerial))) {
            break;
        }
    }
}

void cWindowTranslator::OnMouseLeave()
{
    m_pointerInside = false;
    if (m_hover != nullptr) {
        EndHover();
    }
    UpdateCursor();
}

void cWindowTranslator::OnKeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (m_root == nullptr || IsInputBlocked()) {
        return;
    }
    cChildElement* target = m_focus != nullptr ? m_focus : m_root;
    target->KeyDown(vk, shift, ctrl, alt);
}

void cWindowTranslator::OnCharInput(char16_t unit, bool ctrl)
{
    // Control units (Backspace, Tab, Enter, Escape) arrive as key presses only.
    if (m_root == nullptr || IsInputBlocked() || ctrl || unit < 0x20 || unit == 0x7F) {
        return;
    }
    cChildElement* target = m_focus != nullptr ? m_focus : m_root;
    target->CharInput(unit);
}

void cWindowTranslator::OnActivate(bool active)
{
    if (m_active == active) {
        return;
    }
    m_active = active;
    std::vector<sChainEntry> chain = ChainUpTo(m_focus, nullptr);
    if (active) {
        std::reverse(chain.begin(), chain.end());
    }
    u64 changes = m_focusChanges;
    for (const sChainEntry& entry : chain) {
        if (m_focusChanges != changes) {
            return;
        }
        if (!IsElementLive(entry.element, entry.serial)) {
            continue;
        }
        if (active) {
            entry.element->SetFocus();
        } else {
            entry.element->DropFocus();
        }
    }
}

void cWindowTranslator::OnCloseRequest()
{
    if (m_root == nullptr || IsInputBlocked()) {
        return;
    }
    if (auto* form = dynamic_cast<cCustomForm*>(m_root)) {
        if (form->CanCloseSelf()) {
            form->OnCancel();
        }
        return;
    }
    EndRun(-1);
}

sSize cWindowTranslator::ClampWindowSize(i32 width, i32 height) const
{
    if (m_root != nullptr) {
        sSize maximum = m_root->GetMaxSize();
        if (maximum.width > 0) {
            width = std::min(width, maximum.width);
        }
        if (maximum.height > 0) {
            height = std::min(height, maximum.height);
        }
        width = std::max(width, m_root->GetMinWidth());
        height = std::max(height, m_root->GetMinHeight());
    }
    return {std::max(width, 0), std::max(height, 0)};
}

void cWindowTranslator::OnResize(i32 width, i32 height)
{
    if (m_root == nullptr) {
        return;
    }
    m_root->SetBounds(0, 0, width, height);
    m_host->InvalidateWindow(this, {0, 0, m_root->GetWidth(), m_root->GetHeight()});
}

void cWindowTranslator::BlockInput(bool block)
{
    m_inputBlocks += block ? 1 : -1;
    if (IsInputBlocked()) {
        if (m_capture != nullptr) {
            ReleaseCapture(m_capture);
        }
        if (m_hover != nullptr) {
            EndHover();
        }
        m_lastPress = {};
    }
}

// --- painting --------------------------------------------------------------------------------

void cWindowTranslator::Paint(cCanvas& canvas, const sRect& dirty)
{
    if (m_root != nullptr) {
        sRect clip = IntersectRects(dirty, {0, 0, m_root->GetWidth(), m_root->GetHeight()});
        PaintElement(canvas, m_root, {0, 0}, clip);
    }
    canvas.ResetDrawingState();
}

void cWindowTranslator::PaintElement(cCanvas& canvas, cChildElement* element, sPoint origin, const sRect& clip)
{
    if (!element->IsVisible()) {
        return;
    }
    sRect area = IntersectRects({origin.x, origin.y, element->GetWidth(), element->GetHeight()}, clip);
    if (area.IsEmpty()) {
        return;
    }
    auto begin = [&] {
        canvas.ResetDrawingState();
        canvas.SetOrigin(origin.x, origin.y);
        canvas.SetBaseClip(area);
    };
    if (element->IsTransparent()) {
        begin();
        PaintBackgroundOf(canvas, element);
    }
    begin();
    element->OnPaint(canvas);
    sRect childClip = IntersectRects(Translate(element->GetChildClipRect(), origin), area);
    if (!childClip.IsEmpty()) {
        const std::vector<cChildElement*>& children = element->GetChildren();
        for (size_t index = 0; index < children.size(); ++index) {
            cChildElement* child = children[index];
            PaintElement(canvas, child, Offset(origin, element->ChildOrigin(child)), childClip);
        }
    }
    begin();
    element->OnPaintAfterChildren(canvas);
}

// The nearest ancestor that answers true draws the background under a transparent
// element, told where the element lies in its own coordinates.
void cWindowTranslator::PaintBackgroundOf(cCanvas& canvas, cChildElement* element)
{
    sPoint offset;
    cChildElement* child = element;
    for (cChildElement* ancestor = element->GetParent(); ancestor != nullptr; ancestor = ancestor->GetParent()) {
        offset = Offset(offset, ancestor->ChildOrigin(child));
        sRect rect{offset.x, offset.y, element->GetWidth(), element->GetHeight()};
        if (ancestor->OnDrawBackground(canvas, rect)) {
            return;
        }
        child = ancestor;
    }
}

void cWindowTranslator::InvalidateElement(cChildElement* element, const sRect* rect)
{
    sRect whole{0, 0, element->GetWidth(), element->GetHeight()};
    sRect area = rect != nullptr ? IntersectRects(*rect, whole) : whole;
    for (cChildElement* child = element; !area.IsEmpty(); child = child->GetParent()) {
        if (!child->IsVisible()) {
            return;
        }
        cChildElement* parent = child->GetParent();
        if (parent == nullptr) {
            m_host->InvalidateWindow(this, area);
            return;
        }
        area = IntersectRects(Translate(area, parent->ChildOrigin(child)), parent->GetChildClipRect());
    }
}

bool cWindowTranslator::MeasureText(const char16_t* text, sSize& size, const cFontObject* font)
{
    if (m_measureCanvas == nullptr) {
        m_measureCanvas.reset(CreateMemoryCanvas(1, 1));
        if (m_measureCanvas == nullptr) {
            return false;
        }
    }
    m_measureCanvas->SelectFont(font);
    return m_measureCanvas->MeasureTextW(text != nullptr ? text : u"", -1, &size);
}

// --- modal run -------------------------------------------------------------------------------

void cWindowTranslator::BeginRun()
{
    m_runState = eRunState::Running;
    m_runResult = -1;
}

void cWindowTranslator::EndRun(i32 code)
{
    if (m_runState != eRunState::Running) {
        return;
    }
    m_runState = eRunState::Ended;
    m_runResult = code;
    m_host->Wake();
}

// --- focus, capture and forgetting -------------------------------------------------------------

void cWindowTranslator::ChangeFocus(cChildElement* holder, i32 kind, bool ctrl, bool shift)
{
    cChildElement* old = m_focus;
    if (old == holder) {
        return;
    }
    u64 changes = ++m_focusChanges;
    m_focus = holder;
    cChildElement* common = (old != nullptr && holder != nullptr) ? CommonAncestor(old, holder) : nullptr;
    std::vector<sChainEntry> leaving = ChainUpTo(old, common);
    std::vector<sChainEntry> entering = ChainUpTo(holder, common);
    std::reverse(entering.begin(), entering.end());
    u64 oldSerial = old != nullptr ? old->GetSerial() : 0;
    u64 holderSerial = holder != nullptr ? holder->GetSerial() : 0;
    // A handler that moves the focus again (or destroys elements) ends this sequence:
    // the newer change has sent its own notifications.
    auto stillCurrent = [&] { return m_focusChanges == changes; };

    for (const sChainEntry& entry : leaving) {
        if (IsElementLive(entry.element, entry.serial)) {
            entry.element->DropFocus();
        }
        if (!stillCurrent()) {
            return;
        }
    }
    if (old != nullptr && IsElementLive(old, oldSerial)) {
        old->OnFocusLost();
        if (!stillCurrent()) {
            return;
        }
    }
    for (const sChainEntry& entry : entering) {
        if (IsElementLive(entry.element, entry.serial)) {
            if (kind == kFocusByCode) {
                entry.element->SetFocus();
            } else {
                entry.element->FocusByClick(kind, ctrl, shift);
            }
        }
        if (!stillCurrent()) {
            return;
        }
    }
    if (holder != nullptr && IsElementLive(holder, holderSerial)) {
        holder->OnFocusGained(kind, ctrl, shift);
        if (stillCurrent() && IsElementLive(holder, holderSerial)) {
            holder->OnGotFocus();
        }
    }
}

void cWindowTranslator::SetCapture(cChildElement* element)
{
    if (m_capture == element) {
        return;
    }
    m_capture = element;
    m_host->SetMouseCapture(this, true);
    UpdateCursor();
}

void cWindowTranslator::ReleaseCapture(cChildElement* element)
{
    if (m_capture == nullptr || m_capture != element) {
        return;
    }
    m_capture = nullptr;
    m_host->SetMouseCapture(this, false);
    UpdateCursor();
}

bool cWindowTranslator::TakeDoubleClick(cChildElement* element, i32 button)
{
    if (button != kMouseLeft) {
        m_lastPress = {};
        return false;
    }
    bool pair = m_lastPress.element == element && m_lastPress.serial == element->GetSerial() &&
                u32(m_eventTime - m_lastPress.timeMs) <= kDoubleClickMs &&
                std::abs(i64(m_pointer.x) - m_lastPress.point.x) <= kDoubleClickDistance &&
                std::abs(i64(m_pointer.y) - m_lastPress.point.y) <= kDoubleClickDistance;
    if (pair) {
        // A third press starts a new pair rather than making another double click.
        m_lastPress = {};
    } else {
        m_lastPress = {element, element->GetSerial(), m_eventTime, m_pointer};
    }
    return pair;
}

void cWindowTranslator::ForgetSubtree(cChildElement* element)
{
    if (Inside(element, m_focus)) {
        m_focus = nullptr;
        ++m_focusChanges;
    }
    if (Inside(element, m_capture)) {
        m_capture = nullptr;
        m_host->SetMouseCapture(this, false);
    }
    if (Inside(element, m_hover)) {
        m_hover = nullptr;
    }
    if (Inside(element, m_lastPress.element)) {
        m_lastPress = {};
    }
    if (m_hint != nullptr && Inside(element, m_hint->GetOwner())) {
        m_hint->HideHint();
    }
}

void cWindowTranslator::OnSubtreeUnavailable(cChildElement* element)
{
    if (Inside(element, m_focus)) {
        ChangeFocus(nullptr, kFocusByCode, false, false);
    }
    if (Inside(element, m_capture)) {
        ReleaseCapture(m_capture);
    }
    if (Inside(element, m_hover)) {
        EndHover();
    }
    if (Inside(element, m_lastPress.element)) {
        m_lastPress = {};
    }
}
