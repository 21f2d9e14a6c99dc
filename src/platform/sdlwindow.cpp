#include "platform/sdlwindow.h"

#include "base/utf.h"
#include "gui/core/canvas.h"
#include "gui/core/translator.h"
#include "platform/softcanvas.h"

#include <SDL.h>

#include <algorithm>
#include <new>

namespace {

Uint32 WindowFlags(const sWindowParams& params)
{
    // Decorations and the taskbar are for dialogs; popups and hints stay above the others.
    constexpr Uint32 kUndecorated = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALWAYS_ON_TOP;
    switch (params.kind) {
    case eWindowKind::Popup: return SDL_WINDOW_HIDDEN | SDL_WINDOW_POPUP_MENU | kUndecorated;
    case eWindowKind::Hint: return SDL_WINDOW_HIDDEN | SDL_WINDOW_TOOLTIP | kUndecorated;
    case eWindowKind::Dialog: break;
    }
    return SDL_WINDOW_HIDDEN | (params.resizable ? SDL_WINDOW_RESIZABLE : 0);
}

} // namespace

std::unique_ptr<cSdlWindow> cSdlWindow::Create(cWindowTranslator* translator, const sWindowParams& params)
{
    _guardchar<char> title;
    if (!WideToUtf8String(params.title, -1, title)) {
        return nullptr;
    }
    std::unique_ptr<cSdlWindow> window(new (std::nothrow) cSdlWindow);
    if (window == nullptr) {
        return nullptr;
    }
    window->m_translator = translator;
    window->m_owner = params.owner;
    window->m_kind = params.kind;
    i32 width = std::max(params.screenRect.width, 1);
    i32 height = std::max(params.screenRect.height, 1);
    window->m_window = SDL_CreateWindow(title.GetOrEmpty(), params.screenRect.x, params.screenRect.y, width, height,
                                        WindowFlags(params));
    if (window->m_window == nullptr) {
        return nullptr;
    }
    window->m_id = SDL_GetWindowID(window->m_window);
    window->m_renderer = SDL_CreateRenderer(window->m_window, -1, SDL_RENDERER_SOFTWARE);
    if (window->m_renderer == nullptr || !window->MakeSurfaces(width, height)) {
        return nullptr;
    }
    return window;
}

cSdlWindow::~cSdlWindow()
{
    if (m_texture != nullptr) {
        SDL_DestroyTexture(m_texture);
    }
    if (m_renderer != nullptr) {
        SDL_DestroyRenderer(m_renderer);
    }
    if (m_window != nullptr) {
        SDL_DestroyWindow(m_window);
    }
}

bool cSdlWindow::MakeSurfaces(i32 width, i32 height)
{
    if (m_texture != nullptr) {
        SDL_DestroyTexture(m_texture);
    }
    m_canvas.reset(cSoftCanvas::Create(width, height));
    m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (m_canvas == nullptr || m_texture == nullptr) {
        m_canvas.reset();
        return false;
    }
    // The canvas's alpha is not coverage: a window shows its pixels as they are, as the
    // headless host's snapshots do.
    SDL_SetTextureBlendMode(m_texture, SDL_BLENDMODE_NONE);
    m_damage = {0, 0, width, height};
    return true;
}

sRect cSdlWindow::GetScreenRect() const
{
    sRect rect;
    SDL_GetWindowPosition(m_window, &rect.x, &rect.y);
    SDL_GetWindowSize(m_window, &rect.width, &rect.height);
    return rect;
}

void cSdlWindow::Invalidate(const sRect& rect)
{
    if (m_canvas != nullptr) {
        m_damage = UnionRects(m_damage, IntersectRects(rect, {0, 0, m_canvas->GetWidth(), m_canvas->GetHeight()}));
    }
}

void cSdlWindow::PaintDamage()
{
    if (m_canvas == nullptr || m_damage.IsEmpty()) {
        return;
    }
    sRect damage = m_damage;
    m_damage = {};
    m_translator->Paint(*m_canvas, damage);
    Upload(damage);
    // The software renderer draws straight into the window's surface, which keeps its
    // pixels between frames: only the damage is copied and sent to the server, where a
    // full present would send the whole window every time.
    SDL_Rect area{damage.x, damage.y, damage.width, damage.height};
    SDL_RenderCopy(m_renderer, m_texture, &area, &area);
    SDL_RenderFlush(m_renderer);
    SDL_UpdateWindowSurfaceRects(m_window, &area, 1);
}

void cSdlWindow::Upload(const sRect& rect)
{
    const u32* pixels = m_canvas->GetPixels() + size_t(rect.y) * size_t(m_canvas->GetStride()) + size_t(rect.x);
    SDL_Rect area{rect.x, rect.y, rect.width, rect.height};
    SDL_UpdateTexture(m_texture, &area, pixels, m_canvas->GetStride() * i32(sizeof(u32)));
}

void cSdlWindow::Present()
{
    if (m_texture == nullptr) {
        return;
    }
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    SDL_RenderPresent(m_renderer);
}

void cSdlWindow::Resize(i32 width, i32 height)
{
    (void)MakeSurfaces(std::max(width, 1), std::max(height, 1));
}
