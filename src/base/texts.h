#pragma once
// Owned texts and the small text helpers used everywhere. Wide text is UTF-16 in
// char16_t units; narrow text is bytes (UTF-8 where it is text at all). Nothing here
// depends on the process locale, and every function is reentrant.
#include "base/types.h"

#include <cstdlib>
#include <cstring>
#include <utility>

// An owned, zero-terminated text of UTF-16 units (char16_t) or bytes (char). The pointer
// is null whenever the text is empty, so every reader of Get() must accept null; use
// GetOrEmpty() where a terminated text is required. Allocation failure never throws:
// the changing calls return false and leave the text as it was.
template <typename T>
class _guardchar
{
public:
    _guardchar() = default;
    ~_guardchar() { std::free(m_text); }

    // A copy that cannot be allocated leaves the new text empty.
    _guardchar(const _guardchar& other) { (void)Assign(other.m_text); }
    _guardchar& operator=(const _guardchar& other)
    {
        (void)Assign(other.m_text);
        return *this;
    }
    _guardchar(_guardchar&& other) noexcept : m_text(std::exchange(other.m_text, nullptr)) {}
    _guardchar& operator=(_guardchar&& other) noexcept
    {
        if (this != &other) {
            std::free(m_text);
            m_text = std::exchange(other.m_text, nullptr);
        }
        return *this;
    }

    // Null when empty.
    T* Get() const { return m_text; }
    // Never null: the text, or an empty text.
    const T* GetOrEmpty() const { return m_text != nullptr ? m_text : kEmpty; }
    // Units before the terminator.
    size_t Length() const { return UnitsBeforeTerminator(m_text, SIZE_MAX); }
    bool IsEmpty() const { return m_text == nullptr; }

    // Replaces the text by a copy of `text` (null or empty makes it empty). `text` may
    // point into this text.
    [[nodiscard]] bool Assign(const T* text) { return AssignN(text, SIZE_MAX); }
    // Copies at most `count` units of `text`, stopping early at a terminator.
    [[nodiscard]] bool AssignN(const T* text, size_t count)
    {
        size_t length = UnitsBeforeTerminator(text, count);
        if (length == 0) {
            Clear();
            return true;
        }
        T* copy = AllocateUnits(length);
        if (copy == nullptr) {
            return false;
        }
        std::memcpy(copy, text, length * sizeof(T));
        std::free(m_text);
        m_text = copy;
        return true;
    }
    // Appends a copy of `text` (null appends nothing). `text` may point into this text.
    [[nodiscard]] bool Append(const T* text)
    {
        size_t added = UnitsBeforeTerminator(text, SIZE_MAX);
        if (added == 0) {
            return true;
        }
        size_t length = Length();
        T* joined = AllocateUnits(length + added);
        if (joined == nullptr) {
            return false;
        }
        if (length != 0) {
            std::memcpy(joined, m_text, length * sizeof(T));
        }
        std::memcpy(joined + length, text, added * sizeof(T));
        std::free(m_text);
        m_text = joined;
        return true;
    }
    void Clear()
    {
        std::free(m_text);
        m_text = nullptr;
    }

    // Discards the text and returns room for `length` units, already terminated after
    // them, for the caller to fill; every unit MUST be written (a zero unit among them
    // shortens the text). Null when `length` is 0 or memory is short.
    T* Allocate(size_t length)
    {
        Clear();
        if (length != 0) {
            m_text = AllocateUnits(length);
        }
        return m_text;
    }
    // Cuts the text to its first `length` units, which MUST NOT exceed the units it
    // holds; 0 makes it empty. Gives back the memory beyond the new end.
    void Truncate(size_t length)
    {
        if (length == 0) {
            Clear();
            return;
        }
        m_text[length] = 0;
        if (void* smaller = std::realloc(m_text, (length + 1) * sizeof(T))) {
            m_text = static_cast<T*>(smaller);
        }
    }

private:
    static constexpr T kEmpty[1] = {0};

    static size_t UnitsBeforeTerminator(const T* text, size_t limit)
    {
        size_t length = 0;
        if (text != nullptr) {
            while (length < limit && text[length] != 0) {
                ++length;
            }
        }
        return length;
    }
    static T* AllocateUnits(size_t length)
    {
        if (length >= SIZE_MAX / sizeof(T)) {
            return nullptr;
        }
        T* text = static_cast<T*>(std::malloc((length + 1) * sizeof(T)));
        if (text != nullptr) {
            text[length] = 0;
        }
        return text;
    }

    T* m_text = nullptr;
};

// Units before the terminator; 0 for null.
size_t WideLength(const char16_t* text);

// -1, 0 or 1 by UTF-16 unit values; null compares as the empty text.
i32 CompareWide(const char16_t* a, const char16_t* b);
// As CompareWide, with every unit passed through ToLowerChar first.
i32 CompareWideNoCase(const char16_t* a, const char16_t* b);
// 0 when equal ignoring ASCII case, else -1 or 1 by the folded byte values (unsigned);
// -1 when either argument is null, even both.
i32 CompareNarrowNoCase(const char* a, const char* b);
// As CompareNarrowNoCase over at most `count` bytes.
i32 CompareNarrowNoCaseN(const char* a, const char* b, size_t count);

// The first or last occurrence of `unit` before the terminator; null when absent, for a
// null text, and for unit 0.
const char16_t* FindWideChar(const char16_t* text, char16_t unit);
const char16_t* FindLastWideChar(const char16_t* text, char16_t unit);
inline char16_t* FindWideChar(char16_t* text, char16_t unit)
{
    return const_cast<char16_t*>(FindWideChar(static_cast<const char16_t*>(text), unit));
}
inline char16_t* FindLastWideChar(char16_t* text, char16_t unit)
{
    return const_cast<char16_t*>(FindLastWideChar(static_cast<const char16_t*>(text), unit));
}

// Copies `text` into `buffer` and terminates it: up to the terminator when `length` is
// negative, else exactly `length` units (terminators included); at most capacity - 1
// units either way. Returns the units copied. With a null buffer or a capacity of 0
// nothing is written and 0 is returned; a null text gives an empty buffer.
size_t CopyWideToBuffer(const char16_t* text, i64 length, char16_t* buffer, size_t capacity);

// The simple lower-case mapping of the Unicode Character Database for one BMP unit;
// units without one (surrogates among them) come back unchanged.
char16_t ToLowerChar(char16_t unit);

// Tab, LF, CR and space only: not VT, FF or no-break space.
inline bool IsBlankChar(char16_t unit)
{
    return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r';
}
inline bool IsBlankByte(u8 byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r';
}

// True when all `count` bytes are zero (so for a count of 0); false for a null buffer.
bool IsAllZero(const void* buffer, size_t count);
