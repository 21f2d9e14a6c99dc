// The UTF-8 decoders on arbitrary bytes and the encoders on arbitrary UTF-16 units:
// general decoding gives well-formed UTF-16 that survives a trip through UTF-8, and a file
// name always comes back byte for byte.
// Links: qel_base
#include "base/utf.h"

#include <cstring>
#include <string>

namespace {

bool IsWellFormedUtf16(const char16_t* text)
{
    for (size_t i = 0; text[i] != 0; ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
            if (text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return false;
            }
            ++i;
        } else if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t byteCount = strnlen(bytes, size);

    _guardchar<char16_t> wide;
    _guardchar<char> narrow;
    _guardchar<char16_t> again;
    if (!Utf8ToWideString(bytes, i64(size), wide) || !IsWellFormedUtf16(wide.GetOrEmpty()) ||
        !WideToUtf8String(wide.Get(), -1, narrow) || !Utf8ToWideString(narrow.Get(), -1, again) ||
        CompareWide(wide.Get(), again.Get()) != 0) {
        __builtin_trap();
    }

    if (!FileNameToWide(bytes, i64(size), wide) || !WideToFileName(wide.Get(), -1, narrow) ||
        narrow.Length() != byteCount || std::memcmp(narrow.GetOrEmpty(), bytes, byteCount) != 0) {
        __builtin_trap();
    }

    // The same bytes as UTF-16 units: encoding never fails in general, and a file name
    // that encodes decodes back to the same units.
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    if (!WideToUtf8String(units.c_str(), i64(units.size()), narrow)) {
        __builtin_trap();
    }
    if (WideToFileName(units.c_str(), i64(units.size()), narrow)) {
        size_t unitCount = units.find(u'\0') == std::u16string::npos ? units.size() : units.find(u'\0');
        // Escapes that happen to spell valid UTF-8 decode as that character instead, so
        // only names without escapes are compared.
        bool escapes = false;
        for (size_t i = 0; i < unitCount; ++i) {
            escapes = escapes || (units[i] >= 0xDC80 && units[i] <= 0xDCFF);
        }
        if (!escapes && (!FileNameToWide(narrow.Get(), -1, again) ||
                         WideLength(again.Get()) != unitCount ||
                         std::memcmp(again.GetOrEmpty(), units.data(), unitCount * 2) != 0)) {
            __builtin_trap();
        }
    }
    return 0;
}
