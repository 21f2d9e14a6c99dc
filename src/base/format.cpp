#include "base/format.h"

#include "base/texts.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <type_traits>

namespace {

// Widths and precisions past this are clamped; printf itself takes them as int.
constexpr size_t kMaxFieldSize = 0x7FFFFFFF;
// An f64's exact decimal expansion ends within 1074 fractional digits (2^-1074 is the
// smallest subnormal), so digits past this many are zeros and need no printf call.
constexpr size_t kMaxExactFractionDigits = 1100;

template <typename Unit>
bool IsDecimalDigit(Unit unit)
{
    return unit >= '0' && unit <= '9';
}

template <typename Unit>
int HexDigitValue(Unit unit)
{
    if (unit >= '0' && unit <= '9') {
        return int(unit - '0');
    }
    if (unit >= 'a' && unit <= 'f') {
        return int(unit - 'a' + 10);
    }
    if (unit >= 'A' && unit <= 'F') {
        return int(unit - 'A' + 10);
    }
    return -1;
}

// ---- Formatting ----

// The output buffer: keeps capacity - 1 units at most and drops the rest.
template <typename Unit>
class cFormatOutput
{
public:
    cFormatOutput(Unit* buffer, size_t capacity) : m_buffer(buffer), m_limit(capacity - 1) {}

    bool IsFull() const { return m_count == m_limit; }
    void Put(Unit unit)
    {
        if (m_count < m_limit) {
            m_buffer[m_count++] = unit;
        }
    }
    void PutRepeated(Unit unit, size_t count)
    {
        for (; count != 0 && m_count < m_limit; --count) {
            m_buffer[m_count++] = unit;
        }
    }
    // ASCII from the number conversions, or units of the same type.
    template <typename Source>
    void PutUnits(const Source* units, size_t count)
    {
        for (size_t i = 0; i < count && m_count < m_limit; ++i) {
            m_buffer[m_count++] = Unit(std::make_unsigned_t<Source>(units[i]));
        }
    }
    size_t Finish()
    {
        m_buffer[m_count] = 0;
        return m_count;
    }

private:
    Unit* m_buffer;
    size_t m_limit;
    size_t m_count = 0;
};

struct sFieldFormat
{
    bool leftAlign = false;
    bool zeroPad = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
    int longs = 0; // count of 'l' modifiers, 0..2
};

template <typename Unit>
size_t ParseFieldSize(const Unit*& p)
{
    size_t value = 0;
    for (; IsDecimalDigit(*p); ++p) {
        value = value * 10 + size_t(*p - '0');
        if (value > kMaxFieldSize) {
            value = kMaxFieldSize;
        }
    }
    return value;
}

// Parses flags, width, precision and length after '%'; `p` is left on the conversion.
template <typename Unit>
sFieldFormat ParseFieldFormat(const Unit*& p)
{
    sFieldFormat fieldFormat;
    for (;; ++p) {
        if (*p == '-') {
            fieldFormat.leftAlign = true;
        } else if (*p == '0') {
            fieldFormat.zeroPad = true;
        } else {
            break;
        }
    }
    fieldFormat.width = ParseFieldSize(p);
    if (*p == '.') {
        ++p;
        fieldFormat.hasPrecision = true;
        fieldFormat.precision = ParseFieldSize(p);
    }
    while (*p == 'l' && fieldFormat.longs < 2) {
        ++fieldFormat.longs;
        ++p;
    }
    return fieldFormat;
}

// Writes a field of `length` units produced by `putBody`, padded with spaces to the width.
template <typename Unit, typename PutBody>
void PutPaddedField(cFormatOutput<Unit>& out, const sFieldFormat& fieldFormat, size_t length,
                    PutBody putBody)
{
    size_t padding = fieldFormat.width > length ? fieldFormat.width - length : 0;
    if (!fieldFormat.leftAlign) {
        out.PutRepeated(Unit(' '), padding);
    }
    putBody();
    if (fieldFormat.leftAlign) {
        out.PutRepeated(Unit(' '), padding);
    }
}

// A number as sign, zeros, digits and zeros; the '0' flag widens the leading zeros.
template <typename Unit>
void PutNumber(cFormatOutput<Unit>& out, const sFieldFormat& fieldFormat, bool zeroPadAllowed,
               const char* sign, const char* digits, size_t digitCount, size_t leadingZeros,
               size_t trailingZeros)
{
    size_t signLength = std::strlen(sign);
    size_t length = signLength + leadingZeros + digitCount + trailingZeros;
    if (fieldFormat.zeroPad && zeroPadAllowed && !fieldFormat.leftAlign && fieldFormat.width > length) {
        leadingZeros += fieldFormat.width - length;
        length = fieldFormat.width;
    }
    PutPaddedField(out, fieldFormat, length, [&] {
        out.PutUnits(sign, signLength);
        out.PutRepeated(Unit('0'), leadingZeros);
        out.PutUnits(digits, digitCount);
        out.PutRepeated(Unit('0'), trailingZeros);
    });
}

template <typename Unit>
void PutInteger(cFormatOutput<Unit>& out, const sFieldFormat& fieldFormat, Unit conversion,
                va_list& args)
{
    bool isSigned = conversion == 'd';
    u64 magnitude;
    bool negative = false;
    if (isSigned) {
        i64 value = fieldFormat.longs == 2   ? va_arg(args, long long)
                    : fieldFormat.longs == 1 ? va_arg(args, long)
                                      : va_arg(args, int);
        negative = value < 0;
        magnitude = negative ? 0 - u64(value) : u64(value);
    } else {
        magnitude = fieldFormat.longs == 2   ? va_arg(args, unsigned long long)
                    : fieldFormat.longs == 1 ? va_arg(args, unsigned long)
                                      : va_arg(args, unsigned int);
    }
    u32 base = (conversion == 'x' || conversion == 'X') ? 16 : 10;
    const char* digitSet = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];
    size_t count = 0;
    for (u64 rest = magnitude; rest != 0; rest /= base) {
        digits[sizeof(digits) - 1 - count++] = digitSet[rest % base];
    }
    // At least one digit without a precision; precision 0 prints no digit for 0. With a
    // precision the '0' flag is ignored.
    size_t minimumDigits = fieldFormat.hasPrecision ? fieldFormat.precision : 1;
    size_t leadingZeros = minimumDigits > count ? minimumDigits - count : 0;
    PutNumber(out, fieldFormat, !fieldFormat.hasPrecision, negative ? "-" : "",
              digits + sizeof(digits) - count, count, leadingZeros, 0);
}

// The digits come from snprintf in the C locale (always '.'), which also does the
// rounding; padding is ours so that any width fits the buffer.
template <typename Unit>
void PutFixed(cFormatOutput<Unit>& out, const sFieldFormat& fieldFormat, double value)
{
    size_t precision = fieldFormat.hasPrecision ? fieldFormat.precision : 6;
    size_t exactPrecision =
        precision < kMaxExactFractionDigits ? precision : kMaxExactFractionDigits;
    // Up to 309 integer digits, a sign, a point and the fraction.
    char text[kMaxExactFractionDigits + 320];
    int length = std::snprintf(text, sizeof(text), "%.*f", int(exactPrecision), value);
    if (length < 0) {
        return;
    }
    bool finite = std::isfinite(value);
    const char* sign = text[0] == '-' ? "-" : "";
    size_t signLength = std::strlen(sign);
    PutNumber(out, fieldFormat, finite, sign, text + signLength, size_t(length) - signLength, 0,
              finite ? precision - exactPrecision : 0);
}

template <typename Unit>
size_t UnitsBefore(const Unit* text, const sFieldFormat& fieldFormat)
{
    size_t length = 0;
    size_t limit = fieldFormat.hasPrecision ? fieldFormat.precision : SIZE_MAX;
    while (length < limit && text[length] != 0) {
        ++length;
    }
    return length;
}

template <typename Unit>
void PutText(cFormatOutput<Unit>& out, const sFieldFormat& fieldFormat, const Unit* text)
{
    if (text == nullptr) {
        // As glibc: "(null)", or nothing when a precision below 6 would cut it.
        static constexpr Unit kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
        text = (fieldFormat.hasPrecision && fieldFormat.precision < 6) ? kNull + 6 : kNull;
    }
    size_t length = UnitsBefore(text, fieldFormat);
    PutPaddedField(out, fieldFormat, length, [&] { out.PutUnits(text, length); });
}

template <typename Unit>
size_t FormatUnits(Unit* buffer, size_t capacity, const Unit* format, va_list& args)
{
    if (buffer == nullptr || format == nullptr || capacity == 0) {
        return 0;
    }
    cFormatOutput<Unit> out(buffer, capacity);
    const Unit* p = format;
    while (*p != 0 && !out.IsFull()) {
        if (*p != '%') {
            out.Put(*p++);
            continue;
        }
        const Unit* start = p++;
        sFieldFormat fieldFormat = ParseFieldFormat(p);
        Unit conversion = *p;
        switch (conversion) {
        case 'd':
        case 'u':
        case 'x':
        case 'X':
            PutInteger(out, fieldFormat, conversion, args);
            break;
        case 'f':
            PutFixed(out, fieldFormat, va_arg(args, double));
            break;
        case 'c': {
            Unit unit = Unit(va_arg(args, int));
            PutPaddedField(out, fieldFormat, 1, [&] { out.Put(unit); });
            break;
        }
        case 's':
            PutText(out, fieldFormat, va_arg(args, const Unit*));
            break;
        case '%':
            out.Put(Unit('%'));
            break;
        default:
            // Unknown: copied as it stands, including the unit that ended it (if any).
            out.PutUnits(start, size_t(p - start) + (conversion != 0 ? 1 : 0));
            break;
        }
        if (conversion != 0) {
            ++p;
        }
    }
    return out.Finish();
}

// ---- Scanning ----

template <typename Unit>
i32 ScanUnits(const Unit* text, const Unit* format, va_list& args)
{
    if (text == nullptr || format == nullptr) {
        return 0;
    }
    i32 fields = 0;
    while (*format != 0) {
        if (IsBlankChar(char16_t(*format))) {
            while (IsBlankChar(char16_t(*format))) {
                ++format;
            }
            while (IsBlankChar(char16_t(*text))) {
                ++text;
            }
            continue;
        }
        if (*format != '%') {
            if (*text != *format) {
                return fields;
            }
            ++text;
            ++format;
            continue;
        }
        if (format[1] != 'd') {
            return fields;
        }
        format += 2;
        while (IsBlankChar(char16_t(*text))) {
            ++text;
        }
        bool negative = *text == '-';
        if (*text == '-' || *text == '+') {
            ++text;
        }
        if (!IsDecimalDigit(*text)) {
            return fields;
        }
        // |INT32_MIN| bounds the magnitude; the accumulator stops growing past it.
        i64 magnitude = 0;
        for (; IsDecimalDigit(*text); ++text) {
            if (magnitude <= i64(1) << 31) {
                magnitude = magnitude * 10 + i64(*text - '0');
            }
        }
        i64 value = negative ? -magnitude : magnitude;
        if (value < INT32_MIN || value > INT32_MAX) {
            return fields;
        }
        *va_arg(args, int*) = int(value);
        ++fields;
    }
    return fields;
}

} // namespace

size_t FormatWide(char16_t* buffer, size_t capacity, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    size_t written = FormatUnits(buffer, capacity, format, args);
    va_end(args);
    return written;
}

size_t FormatNarrow(char* buffer, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    size_t written = FormatUnits(buffer, capacity, format, args);
    va_end(args);
    return written;
}

i32 ScanNarrow(const char* text, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    i32 fields = ScanUnits(text, format, args);
    va_end(args);
    return fields;
}

i32 ScanWide(const char16_t* text, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    i32 fields = ScanUnits(text, format, args);
    va_end(args);
    return fields;
}

i64 ParseInt64Narrow(const char* text)
{
    if (text == nullptr) {
        return 0;
    }
    while (IsBlankByte(u8(*text))) {
        ++text;
    }
    if (*text == 0) {
        return 0;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    u64 base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    auto digitValue = [base](char c) {
        int value = HexDigitValue(c);
        return u64(value) < base ? value : -1;
    };
    if (digitValue(*text) < 0) {
        return -1;
    }
    const u64 limit = negative ? u64(1) << 63 : (u64(1) << 63) - 1;
    u64 value = 0;
    for (int digit; (digit = digitValue(*text)) >= 0; ++text) {
        if (value > (limit - u64(digit)) / base) {
            return -1;
        }
        value = value * base + u64(digit);
    }
    // Two's complement: 0 - 2^63 as u64 is the bit pattern of INT64_MIN.
    return negative ? i64(0 - value) : i64(value);
}

i32 ParseHexPair(const char16_t* text)
{
    if (text == nullptr) {
        return -1;
    }
    int high = HexDigitValue(text[0]);
    if (high < 0) {
        return -1;
    }
    int low = HexDigitValue(text[1]);
    if (low < 0) {
        return -1;
    }
    return high * 16 + low;
}
