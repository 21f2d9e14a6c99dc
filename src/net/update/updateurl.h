#pragma once
// The address of one update check (see updatehosts.h for the hosts).
#include "base/texts.h"

// origin ‖ path ‖ id ‖ "&os=win", the host chosen by the id's suffix after its last "."
// ("kr", "jp", ignoring case; anything else, no "." included, the maker's). The id is not
// escaped: the services expect it raw, and an id that makes an address ParseUrl refuses
// fails the check later. False for a null id, for a QEL_UPDATE_BASE_URL that does not
// parse as "scheme://host[:port]" with at most "/" as its path, and when memory is short.
[[nodiscard]] bool BuildUpdateUrl(const char* id, _guardchar<char>& url);
