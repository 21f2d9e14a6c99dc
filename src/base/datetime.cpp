#include "base/datetime.h"

namespace {

// Floor division for a positive divisor: C++ division truncates toward zero, which would
// put negative times on the wrong day.
i64 FloorDiv(i64 value, i64 divisor)
{
    i64 quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}

} // namespace

sDateTime UnixTimeToDateTime(i64 seconds)
{
    // The remainder is taken directly: days * 86400 can leave the i64 range near its ends.
    i64 secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
    }
    const i64 days = FloorDiv(seconds, 86400);

    // Civil from days: eras of 400 years (146097 days) starting on 0000-03-01, so that
    // the leap day is the last day of a year.
    const i64 shifted = days + 719468;
    const i64 era = FloorDiv(shifted, 146097);
    const i64 dayOfEra = shifted - era * 146097;
    const i64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const i64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const i64 monthIndex = (5 * dayOfYear + 2) / 153; // 0 = March
    const i64 day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const i64 month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    i64 year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    if (year < 0) {
        year = 0;
    } else if (year > 65535) {
        year = 65535;
    }
    sDateTime result;
    result.m_year = u16(year);
    result.m_month = u8(month);
    result.m_day = u8(day);
    result.m_hour = u8(secondOfDay / 3600);
    result.m_minute = u8(secondOfDay / 60 % 60);
    result.m_second = u8(secondOfDay % 60);
    return result;
}
