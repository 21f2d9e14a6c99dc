// ScanNarrow on arbitrary text. Input "format\0text" fuzzes the format too; without a zero
// byte the text is scanned with the formats the program uses. ScanWide over the same units
// must agree field for field.
// Links: qel_base
#include "base/format.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

void ScanBoth(const std::string& text, const std::string& format)
{
    // Every conversion takes one of the eight pointers; more would read past the arguments.
    if (std::count(format.begin(), format.end(), '%') > 8) {
        return;
    }
    int narrow[8] = {};
    int wide[8] = {};
    i32 narrowCount = ScanNarrow(text.c_str(), format.c_str(), &narrow[0], &narrow[1],
                                 &narrow[2], &narrow[3], &narrow[4], &narrow[5], &narrow[6],
                                 &narrow[7]);
    std::u16string wideText(text.begin(), text.end());
    std::u16string wideFormat(format.begin(), format.end());
    for (char16_t& unit : wideText) {
        unit = char16_t(u8(unit)); // the narrow scanner sees bytes, not signed chars
    }
    for (char16_t& unit : wideFormat) {
        unit = char16_t(u8(unit));
    }
    i32 wideCount = ScanWide(wideText.c_str(), wideFormat.c_str(), &wide[0], &wide[1], &wide[2],
                             &wide[3], &wide[4], &wide[5], &wide[6], &wide[7]);
    if (narrowCount < 0 || narrowCount > 8 || narrowCount != wideCount ||
        std::memcmp(narrow, wide, sizeof(int) * size_t(narrowCount)) != 0) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    if (split != std::string::npos) {
        ScanBoth(input.substr(split + 1), input.substr(0, split));
        return 0;
    }
    ScanBoth(input, "%d.%d.%d.%d");
    ScanBoth(input, "%d %d %d %d");
    return 0;
}
