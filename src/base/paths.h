#pragma once
// Path helpers. Paths are UTF-16 with '/' separators; they reach the system through the
// lossless file-name conversion (base/utf.h), so a path that cannot be encoded (a lone
// surrogate outside U+DC80..U+DCFF) fails its operation.
#include "base/texts.h"
#include "base/types.h"

enum ePathKind : i32
{
    kPathMissing = 0,
    kPathFile = 1,
    kPathFolder = 2,
    kPathDevice = 4, // character or block device, FIFO, socket
};

// The kind of what `path` names, following links. Every failure (missing, no permission,
// unencodable) is kPathMissing. Never opens the path, so a FIFO cannot block it.
ePathKind GetPathKind(const char16_t* path);

// Cleans a typed or pasted path in place: drops one leading '"', turns every '\' into '/',
// then cuts trailing spaces and '"' in any mix. Leading spaces stay.
void CleanPathText(_guardchar<char16_t>& text);

// $HOME when it is not empty, else the password database's home folder for this user,
// without trailing '/' (except for "/" itself). False when neither names one.
[[nodiscard]] bool GetHomeFolder(_guardchar<char16_t>& folder);

// Creates one folder (mode 0777 less the umask; no parents). True when it was made or is
// already a folder (a link to a folder counts); false for a missing parent or an existing
// non-folder.
[[nodiscard]] bool CreateDirectoryPath(const char16_t* path);

// True when `name` matches one of the ';'-separated patterns of `list`. Blanks (space, tab)
// around each pattern are ignored and empty patterns skipped; a null or empty list, or one
// of empty patterns only, matches everything. '*' matches any run of characters, '?'
// exactly one (a surrogate pair is one character); everything else, '[' included, matches
// itself, ignoring case (ToLowerChar on both sides). A leading '.' needs no explicit '.'.
// Time is O(length of name x length of pattern) for every pattern.
bool MatchWildcardList(const char16_t* name, const char16_t* list);

// Linux file names are case-sensitive: two names that differ only in case are two files,
// so path identity comparisons are exact.
constexpr bool IsPathCaseSensitive()
{
    return true;
}
