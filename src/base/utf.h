#pragma once
// UTF-8 <-> UTF-16 conversions. Two families:
// - General text (code page 65001 behaviour): invalid UTF-8 becomes U+FFFD, one per
//   maximal subpart (Unicode 15.0, 3.9 "U+FFFD Substitution of Maximal Subparts"), and a
//   lone surrogate becomes U+FFFD (EF BF BD).
// - File names, lossless: a byte that does not decode becomes the lone surrogate
//   U+DC00 + byte (U+DC80..U+DCFF; only bytes >= 0x80 can fail) and goes back to the same
//   byte, so every name a folder listing returns opens again.
// A negative `length` means up to the terminator; otherwise at most `length` units are
// converted, still stopping at a terminator. Null or empty input gives an empty (null)
// result.
// False when memory is short; the output is then empty.
#include "base/texts.h"

[[nodiscard]] bool WideToUtf8String(const char16_t* text, i64 length, _guardchar<char>& out);
[[nodiscard]] bool Utf8ToWideString(const char* text, i64 length, _guardchar<char16_t>& out);

[[nodiscard]] bool FileNameToWide(const char* name, i64 length, _guardchar<char16_t>& out);
// Also false when the name holds a lone surrogate outside U+DC80..U+DCFF: no byte
// sequence stands for it, so the file operation must fail rather than touch another name.
[[nodiscard]] bool WideToFileName(const char16_t* name, i64 length, _guardchar<char>& out);
