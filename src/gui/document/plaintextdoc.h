#pragma once
// LoadPlainTextDocument: a UTF-8 text (a licence, a read-me) as a document, so that it can
// be shown in the document viewer.
//
// Input: lines end at LF, CR LF or CR; invalid bytes become U+FFFD; a leading byte order
// mark is dropped; a zero byte ends the text. At most kSiDocMaxPlainTextBytes are read:
// the rest is not shown and `truncated` is set.
//
// Paragraphs: a blank line (empty, or only tab, space, CR, form feed and vertical tab)
// ends a paragraph; the other lines of a paragraph are joined. Words split at runs of tab,
// space, form feed and vertical tab; other control units below 0x20 are dropped. Each
// word is one text box (the container puts the spaces between them). A word that starts
// with http://, https:// or mailto: (any case) after leading '<', '(', '[' and '"' is a
// link box showing the whole word, whose target is the address without the trailing
// '>', ')', ']', '.', ',', ';', ':', '!', '?', '"' and '\''.
//
// Tree: a root container (left, no margins); per paragraph a container with the break
// flag, the options' alignment, left margin = padding, right margin = padding / 2 (a
// nested container's right margin counts twice), top margin = padding for the first
// paragraph and the paragraph spacing after that; last an empty container of fixed
// height = padding, the bottom padding. Links show in theme colour 7, underlined.
#include "base/streams.h"
#include "gui/document/docloader.h"

constexpr u64 kSiDocMaxPlainTextBytes = u64(8) << 20;

struct sSiDocTextOptions
{
    i32 alignment = kSiDocAlignLeft;
    i32 padding = 8;
    i32 paragraphSpacing = 8;
    u32 textColour = kSiDocInherit; // the viewer's black
    i32 fontId = -1;                // the viewer's UI font
    // Out: the text was longer than kSiDocMaxPlainTextBytes.
    bool truncated = false;
};

// Replaces the loader's tree with the document of `stream`; false (no root) when the
// options are out of range or memory is short.
[[nodiscard]] bool LoadPlainTextDocument(cFileIOTarget& stream, sSiDocTextOptions& options, cSiDocLoader& loader);
