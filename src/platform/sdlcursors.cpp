#include "platform/sdlcursors.h"

#include "gui/core/element.h"

#include <SDL.h>

cSdlCursors::cSdlCursors()
{
    // Kind 2 has no cursor of its own and stays null: it shows the arrow.
    m_cursors[kCursorArrow] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    m_cursors[kCursorIBeam] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_IBEAM);
    m_cursors[kCursorHand] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
    m_cursors[kCursorWestEast] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZEWE);
}

cSdlCursors::~cSdlCursors()
{
    for (SDL_Cursor* cursor : m_cursors) {
        if (cursor != nullptr) {
            SDL_FreeCursor(cursor);
        }
    }
}

void cSdlCursors::Show(i32 kind)
{
    if (kind < 0 || kind >= kKinds || m_cursors[kind] == nullptr) {
        kind = kCursorArrow;
    }
    if (kind == m_shown) {
        return;
    }
    m_shown = kind;
    if (m_cursors[kind] != nullptr) {
        SDL_SetCursor(m_cursors[kind]);
    }
}
