#include "picture/tiffraw/exifdatetime.h"

namespace {

bool ReadDigits(const char* text, int count, int& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

bool ParseExifDateTime(const char* text, u32 length, sDateTime& out)
{
    if (text == nullptr) {
        return false;
    }
    u32 used = 0;
    while (used < length && text[used] != '\0') {
        ++used;
    }
    if (used != 10 && used != 19) {
        return false;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!ReadDigits(text, 4, year) || text[4] != ':' || !ReadDigits(text + 5, 2, month) ||
        text[7] != ':' || !ReadDigits(text + 8, 2, day)) {
        return false;
    }
    if (used == 19) {
        if (text[10] != ' ' || !ReadDigits(text + 11, 2, hour) || text[13] != ':' ||
            !ReadDigits(text + 14, 2, minute) || text[16] != ':' || !ReadDigits(text + 17, 2, second)) {
            return false;
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    out.m_year = u16(year);
    out.m_month = u8(month);
    out.m_day = u8(day);
    out.m_hour = u8(hour);
    out.m_minute = u8(minute);
    out.m_second = u8(second);
    return true;
}
