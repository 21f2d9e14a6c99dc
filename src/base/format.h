#pragma once
// Bounded formatting, scanning and number parsing in the C locale, whatever the process
// locale is. Our own routines rather than the C library's: the wide forms work on
// char16_t, and the scanner refuses numbers that overflow instead of leaving them
// undefined.
#include "base/types.h"

// printf-style formatting into `buffer` of `capacity` units. Conversions: %d %u %x %X
// (with the length modifiers l and ll), %f, %c, %s and %%; flags '-' and '0', a width and
// a precision (as printf: %02d, %.01f, %08X, %llx). FormatWide's %s takes a
// const char16_t* and %c a char16_t; a null %s prints "(null)". A conversion it does not
// know is copied as it stands and consumes no argument.
// Returns the units written before the terminator: the output is cut at capacity - 1 and
// always terminated. With a null buffer, a null format or a capacity of 0 nothing is
// written and 0 is returned.
size_t FormatWide(char16_t* buffer, size_t capacity, const char16_t* format, ...);
size_t FormatNarrow(char* buffer, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// scanf-style scanning of `text`: %d stores into an int* (blanks skipped, optional sign,
// decimal digits); a blank (tab, LF, CR, space) in the format matches any run of blanks,
// none included; any other format character must match the text. The scan stops at the
// first mismatch, at a %d without digits or whose value leaves the int range, and at any
// other conversion. Returns the number of fields stored; 0 (never -1) when none was.
i32 ScanNarrow(const char* text, const char* format, ...);
// The same routine under its second name.
inline constexpr auto& ScanNarrow2 = ScanNarrow;
i32 ScanWide(const char16_t* text, const char16_t* format, ...);

// The signed 64-bit value at the start of `text`: tab, LF, CR and space skipped, then an
// optional sign, then "0x"/"0X" and hexadecimal digits or decimal digits, up to the first
// other character ("12abc" gives 12). 0 for null, empty or all-blank text; -1 when no
// digit follows, and when the value lies outside the i64 range.
i64 ParseInt64Narrow(const char* text);

// The value 0..255 of the two hexadecimal digits (either case) that start `text`; -1 when
// either is not one, or for null. The second unit is read only when the first is a digit.
i32 ParseHexPair(const char16_t* text);
