#pragma once
// The address of one update check (see updatehosts.h for the hosts).
#include "base/texts.h"

// origin ‖ path ‖ id ‖ "&os=win", the host chosen by the id's suffix after its last "."
// ("kr", "jp", ignoring case; anything else, no "." included, the maker's). The id is not
// escaped: the services expect it raw, and an id that makes an address ParseUrl refuses
// fails the check later. False for a null id, for a QEL_UPDATE_BASE_URL that
// IsUsableUpdateBaseUrl refuses, and when memory is short.
[[nodiscard]] bool BuildUpdateUrl(const char* id, _guardchar<char>& url);

// True for "https://host[:port]" with at most "/" as its path (the scheme in any case).
// Only https: the answer names the installer that is started, so the check must be
// authenticated; a local stand-in trusts its own anchor through QEL_EXTRA_CA_FILE.
[[nodiscard]] bool IsUsableUpdateBaseUrl(const char* base);
