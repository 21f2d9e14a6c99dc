#pragma once
// cSdlWindow: one window of the SDL host and its drawing path.
//
// The window's tree paints into a software canvas of 0xAARRGGBB pixels, and the canvas
// reaches the screen through a streaming texture of the same layout (SDL's ARGB8888, so
// no conversion) and a software renderer: the damaged part is painted, uploaded and
// presented. One window pixel is one canvas pixel (no high-DPI scaling).
//
// Window placement, focus and grabs are the host's business; this class only makes the
// window of a kind and draws it. GUI thread only.
#include "base/types.h"
#include "gui/core/geometry.h"
#include "gui/core/windowrequest.h"

#include <memory>

class cCanvas;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

class cSdlWindow
{
public:
    // Creates the window hidden, of params.kind, at params.screenRect (a client area of at
    // least 1 x 1), with its renderer, texture and canvas; null when SDL cannot.
    static std::unique_ptr<cSdlWindow> Create(cWindowTranslator* translator, const sWindowParams& params);
    ~cSdlWindow();
    cSdlWindow(const cSdlWindow&) = delete;
    cSdlWindow& operator=(const cSdlWindow&) = delete;

    SDL_Window* GetSdlWindow() const { return m_window; }
    u32 GetId() const { return m_id; }
    cWindowTranslator* GetTranslator() const { return m_translator; }
    eWindowKind GetKind() const { return m_kind; }
    cWindowTranslator* GetOwner() const { return m_owner; }
    // The client area in screen coordinates, as SDL knows it.
    sRect GetScreenRect() const;
    // The canvas as last painted; null while the window has no pixels.
    cCanvas* GetCanvas() const { return m_canvas.get(); }

    // Adds `rect` (client coordinates) to the damage.
    void Invalidate(const sRect& rect);
    bool IsDamaged() const { return !m_damage.IsEmpty(); }
    // Paints the damage through the translator, uploads it and presents the frame.
    void PaintDamage();
    // Shows the last frame again (the window was exposed).
    void Present();
    // The client area changed: a new canvas and texture of that size, all damaged. The
    // translator is told by the caller.
    void Resize(i32 width, i32 height);

    // The tree holds the mouse capture (an element called CaptureMouse).
    bool m_elementCapture = false;
    // The cursor kind the tree last asked for.
    i32 m_cursorKind = 0;

private:
    cSdlWindow() = default;
    bool MakeSurfaces(i32 width, i32 height);
    void Upload(const sRect& rect);

    cWindowTranslator* m_translator = nullptr;
    cWindowTranslator* m_owner = nullptr;
    eWindowKind m_kind = eWindowKind::Dialog;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    u32 m_id = 0;
    std::unique_ptr<cCanvas> m_canvas;
    sRect m_damage;
};
