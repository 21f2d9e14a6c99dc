#pragma once
// Opening things with the desktop, and starting programs. Nothing here goes through a
// shell, and every child that is not waited for is reaped by a thread of its own.
#include <string>
#include <vector>

// For texts this program made itself (a file it just downloaded, a command it built):
// - a text that names no existing path and splits into more than one argument (by the
//   Windows command-line rules, see SplitCommandLine) runs as that command and is waited
//   for: true only when it exits normally with status 0;
// - an existing regular file with an execute bit starts directly, without arguments, in
//   its own folder and its own session, not waited for: true when it started;
// - anything else goes to the desktop's handler (xdg-open), not waited for: true when
//   xdg-open started.
// False for a null or empty text. NEVER pass a text from a document, a package or the
// network here: use ShellOpenLink.
bool ShellOpen(const char16_t* text);

// For texts from documents, packages and the network (links, update addresses): only
// http:// and https:// addresses with a host, mailto: addresses, and absolute paths of
// existing files or folders without control characters are accepted, and they only ever
// go to the desktop's handler; an accepted program file is opened, never run. Everything
// else is refused with false and nothing is started.
bool ShellOpenLink(const char16_t* text);

// Splits a command line as Windows programs split theirs. The first argument runs to the
// first blank (space or tab) outside double quotes, with the quotes removed and
// backslashes taken literally. In the others, 2n backslashes before '"' give n
// backslashes and the quote opens or closes a quoted run, 2n+1 give n backslashes and a
// literal '"', "" inside a quoted run gives a literal '"', and other backslashes are
// literal.
std::vector<std::u16string> SplitCommandLine(const char16_t* text);
