#pragma once
// The toolkit's cursor kinds as SDL system cursors: 0 arrow, 1 I-beam, 3 hand, 4 west-east
// arrow; any other kind shows the arrow. GUI thread only; the set MUST be destroyed before
// SDL's video subsystem stops.
#include "base/types.h"

struct SDL_Cursor;

class cSdlCursors
{
public:
    // Creates the system cursors once; a cursor SDL cannot make falls back to SDL's
    // current one.
    cSdlCursors();
    ~cSdlCursors();
    cSdlCursors(const cSdlCursors&) = delete;
    cSdlCursors& operator=(const cSdlCursors&) = delete;

    // Shows the cursor of `kind`; asks SDL only when the kind changes.
    void Show(i32 kind);

private:
    static constexpr i32 kKinds = 5;
    SDL_Cursor* m_cursors[kKinds] = {};
    i32 m_shown = -1;
};
