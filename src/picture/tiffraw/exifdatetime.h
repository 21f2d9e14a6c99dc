#pragma once
// Exif date and time texts ("YYYY:MM:DD HH:MM:SS", Exif 2.3 section 4.6.5, DateTime).
#include "base/datetime.h"
#include "base/types.h"

// Parses the text up to its first NUL within `length` bytes: exactly 10 characters
// "YYYY:MM:DD" or 19 "YYYY:MM:DD HH:MM:SS", with digits and separators where they
// belong and fields in range. Blank dates and "0000:00:00 00:00:00" are false.
[[nodiscard]] bool ParseExifDateTime(const char* text, u32 length, sDateTime& out);
