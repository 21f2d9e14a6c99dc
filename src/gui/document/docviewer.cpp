#include "gui/document/docviewer.h"

#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "system/shellopen.h"

#include <algorithm>
#include <new>

namespace {

constexpr i32 kLineStepX = 10;
constexpr i32 kLineStepY = 15;

} // namespace

cSiDocViewer::~cSiDocViewer()
{
    DropPage();
}

bool cSiDocViewer::SetDocument(cSiDocBox* root)
{
    m_background = 0xFFFFFF;
    if (root == m_document) {
        return false;
    }
    m_document = root;
    DropPage();
    m_layoutFailed = false;
    SetContentHeight(0);
    Invalidate();
    return true;
}

void cSiDocViewer::DropPage()
{
    if (m_page != nullptr) {
        m_page->Delete();
        m_page = nullptr;
    }
    ClearActiveAreas();
    m_pressed = nullptr;
}

void cSiDocViewer::ClearActiveAreas()
{
    m_areas.clear();
}

bool cSiDocViewer::AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height)
{
    try {
        m_areas[target].push_back({x, y, i32(std::min<i64>(i64(x) + width - 1, INT32_MAX)),
                                   i32(std::min<i64>(i64(y) + height - 1, INT32_MAX))});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

const char16_t* cSiDocViewer::HitTest(i32 x, i32 y) const
{
    // The view's origin carries the scroll offsets: element point - origin = page point.
    const i64 pageX = i64(x) + GetScrollX();
    const i64 pageY = i64(y) + GetScrollY();
    for (const auto& [target, areas] : m_areas) {
        for (const sArea& area : areas) {
            if (area.left <= pageX && pageX <= area.right && area.top <= pageY && pageY <= area.bottom) {
                return target;
            }
        }
    }
    return nullptr;
}

void cSiDocViewer::OpenLink(const char16_t* target)
{
    (void)ShellOpenLink(target);
}

bool cSiDocViewer::LayOut(cCanvas& canvas)
{
    const i32 width = GetWidth();
    if (width < 1) {
        return false;
    }
    sSiDocDrawContext context;
    context.font = GetDefaultFont();
    context.background = m_background;
    context.right = width;
    context.target = this;
    sSize measured{};
    if (!m_document->Measure(&canvas, context, measured)) {
        return false;
    }
    if (measured.height > GetHeight()) {
        // The vertical bar will cover the rightmost 16 pixels: lay out beside it.
        context.right = std::max(width - kBarSize, 0);
        if (!m_document->Measure(&canvas, context, measured)) {
            return false;
        }
    }
    const i32 height = i32(std::min<i64>(measured.height, kSiDocMaxPagePixels / width));
    if (measured.width <= 0 || height <= 0) {
        return false;
    }
    m_page = canvas.CreateOffscreenCanvas(width, height);
    if (m_page == nullptr) {
        return false;
    }
    m_pageWidth = width;
    m_page->FillRect(0, 0, width, height, m_background, m_background);
    ClearActiveAreas();
    sSize drawn{};
    (void)m_document->Draw(m_page, context, drawn);
    SetContentHeight(height);
    SetLineSteps(kLineStepX, kLineStepY);
    return true;
}

void cSiDocViewer::Blit(cCanvas& canvas, const sRect& view)
{
    const i32 pageWidth = m_page->GetWidth();
    const i32 rows = i32(std::clamp<i64>(i64(m_page->GetHeight()) - GetScrollY(), 0, view.height));
    if (rows > 0) {
        canvas.CopyFrom(0, 0, m_page, 0, GetScrollY(), pageWidth, rows);
    }
    if (rows < view.height) {
        canvas.FillRect(0, rows, view.width, view.height - rows, m_background, m_background);
    }
    if (view.width > pageWidth && rows > 0) {
        canvas.FillRect(pageWidth, 0, view.width - pageWidth, rows, m_background, m_background);
    }
}

void cSiDocViewer::PaintContent(cCanvas& canvas)
{
    const sRect view = GetViewRect();
    if (m_page == nullptr && m_document != nullptr && !(m_layoutFailed && m_failedWidth == GetWidth())) {
        m_layoutFailed = !LayOut(canvas);
        m_failedWidth = GetWidth();
    }
    if (m_page != nullptr) {
        Blit(canvas, view);
    } else {
        canvas.FillRect(0, 0, view.width, view.height, m_background, m_background);
    }
}

void cSiDocViewer::OnResize()
{
    cScrollableElement::OnResize();
    if (m_page != nullptr && GetWidth() != m_pageWidth) {
        DropPage();
        Invalidate();
    }
}

bool cSiDocViewer::OnKeyDown(i32 vk)
{
    switch (vk) {
    case kVkPageUp:
        (void)ScrollByPages(0, -1);
        return true;
    case kVkPageDown:
        (void)ScrollByPages(0, 1);
        return true;
    case kVkEnd:
        if (GetScrollY() != GetScrollMaxY()) {
            (void)ScrollTo(GetScrollX(), GetScrollMaxY());
        }
        return true;
    case kVkHome:
        if (GetScrollY() != 0) {
            (void)ScrollTo(GetScrollX(), 0);
        }
        return true;
    case kVkLeft:
    case kVkUp:
        (void)ScrollByLines(0, -1);
        return true;
    case kVkRight:
    case kVkDown:
        (void)ScrollByLines(0, 1);
        return true;
    default:
        return false;
    }
}

void cSiDocViewer::OnMouseMove(i32 x, i32 y)
{
    SetCursorKind(HitTest(x, y) != nullptr ? kCursorHand : kCursorArrow);
}

void cSiDocViewer::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    if (button != kMouseLeft) {
        return;
    }
    if (down) {
        CaptureMouse();
        m_pressed = HitTest(x, y);
        return;
    }
    ReleaseMouse();
    const char16_t* pressed = m_pressed;
    m_pressed = nullptr;
    if (pressed != nullptr && HitTest(x, y) == pressed) {
        OpenLink(pressed);
    }
}
