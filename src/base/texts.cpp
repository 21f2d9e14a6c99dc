#include "base/texts.h"

namespace {

i32 Sign(int difference)
{
    return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
}

// Folds ASCII A-Z only: narrow texts are UTF-8 or bytes of no known code page, so no
// other byte has a case here.
int FoldAscii(char c)
{
    u8 byte = static_cast<u8>(c);
    return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
}

template <typename Fold>
i32 CompareWideFolded(const char16_t* a, const char16_t* b, Fold fold)
{
    const char16_t empty = 0;
    a = a != nullptr ? a : &empty;
    b = b != nullptr ? b : &empty;
    for (;; ++a, ++b) {
        int left = fold(*a);
        int right = fold(*b);
        if (left != right || left == 0) {
            return Sign(left - right);
        }
    }
}

} // namespace

size_t WideLength(const char16_t* text)
{
    size_t length = 0;
    if (text != nullptr) {
        while (text[length] != 0) {
            ++length;
        }
    }
    return length;
}

i32 CompareWide(const char16_t* a, const char16_t* b)
{
    return CompareWideFolded(a, b, [](char16_t unit) { return int(unit); });
}

i32 CompareWideNoCase(const char16_t* a, const char16_t* b)
{
    return CompareWideFolded(a, b, [](char16_t unit) { return int(ToLowerChar(unit)); });
}

i32 CompareNarrowNoCase(const char* a, const char* b)
{
    return CompareNarrowNoCaseN(a, b, SIZE_MAX);
}

i32 CompareNarrowNoCaseN(const char* a, const char* b, size_t count)
{
    if (a == nullptr || b == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < count; ++i) {
        int left = FoldAscii(a[i]);
        int right = FoldAscii(b[i]);
        if (left != right || left == 0) {
            return Sign(left - right);
        }
    }
    return 0;
}

const char16_t* FindWideChar(const char16_t* text, char16_t unit)
{
    if (text == nullptr || unit == 0) {
        return nullptr;
    }
    for (; *text != 0; ++text) {
        if (*text == unit) {
            return text;
        }
    }
    return nullptr;
}

const char16_t* FindLastWideChar(const char16_t* text, char16_t unit)
{
    const char16_t* last = nullptr;
    if (text == nullptr || unit == 0) {
        return nullptr;
    }
    for (; *text != 0; ++text) {
        if (*text == unit) {
            last = text;
        }
    }
    return last;
}

size_t CopyWideToBuffer(const char16_t* text, i64 length, char16_t* buffer, size_t capacity)
{
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    size_t count = 0;
    if (text != nullptr) {
        size_t limit = capacity - 1;
        if (length < 0) {
            while (count < limit && text[count] != 0) {
                ++count;
            }
        } else {
            count = static_cast<u64>(length) < limit ? static_cast<size_t>(length) : limit;
        }
        std::memmove(buffer, text, count * sizeof(char16_t));
    }
    buffer[count] = 0;
    return count;
}

bool IsAllZero(const void* buffer, size_t count)
{
    if (buffer == nullptr) {
        return false;
    }
    const u8* bytes = static_cast<const u8*>(buffer);
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}
