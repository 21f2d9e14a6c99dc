// Lookup in the built-in X11 colour table.
#include "picture/formats/x11colours.h"

#include <algorithm>
#include <cstring>

bool FindX11Colour(const char16_t* name, size_t length, u32& rgb)
{
    // The longest name in rgb.txt has 20 letters; anything longer is not in the table.
    constexpr size_t kLongest = 31;
    char key[kLongest + 1];
    size_t count = 0;
    for (size_t i = 0; i < length; ++i) {
        const char16_t unit = name[i];
        if (unit == u' ' || unit == u'\t') {
            continue;
        }
        if (unit >= 0x80 || count == kLongest) {
            return false;
        }
        key[count++] = char(unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit);
    }
    key[count] = '\0';
    const sX11Colour* end = kX11Colours + kX11ColourCount;
    const sX11Colour* found = std::lower_bound(
        kX11Colours, end, key,
        [](const sX11Colour& entry, const char* wanted) { return std::strcmp(entry.name, wanted) < 0; });
    if (found == end || std::strcmp(found->name, key) != 0) {
        return false;
    }
    rgb = found->rgb;
    return true;
}
