#pragma once
// The system clipboard's text through SDL, converted between the toolkit's UTF-16 and
// the UTF-8 that SDL speaks. GUI thread only, after SDL's video subsystem started.
//
// On X11 the clipboard is a selection that SDL serves from its event pump: a program
// reading text set here waits until the GUI loop pumps, and the text goes when SDL's
// video subsystem stops.
#include "base/texts.h"
#include "base/types.h"

// `length` -1 = up to the terminator. Lone surrogates become U+FFFD. False when memory is
// short or SDL refuses.
bool SetSdlClipboardText(const char16_t* text, i32 length);
// False when the clipboard holds no text (or it cannot be read); invalid UTF-8 from other
// programs becomes U+FFFD.
bool GetSdlClipboardText(_guardchar<char16_t>& text);
