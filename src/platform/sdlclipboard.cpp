#include "platform/sdlclipboard.h"

#include "base/utf.h"

#include <SDL.h>

bool SetSdlClipboardText(const char16_t* text, i32 length)
{
    _guardchar<char> utf8;
    if (!WideToUtf8String(text, length, utf8)) {
        return false;
    }
    if (SDL_SetClipboardText(utf8.GetOrEmpty()) != 0) {
        return false;
    }
    // On X11 taking the clipboard is a request that waits in SDL's output buffer until
    // the next pump; sent now, it reaches the server before another program that the
    // user turns to next can ask for the text (or take the clipboard itself).
    SDL_PumpEvents();
    return true;
}

bool GetSdlClipboardText(_guardchar<char16_t>& text)
{
    if (SDL_HasClipboardText() != SDL_TRUE) {
        return false;
    }
    // SDL answers "" rather than null when reading fails, and the text is always its own
    // allocation.
    char* utf8 = SDL_GetClipboardText();
    if (utf8 == nullptr) {
        return false;
    }
    bool converted = utf8[0] != 0 && Utf8ToWideString(utf8, -1, text);
    SDL_free(utf8);
    return converted && !text.IsEmpty();
}
