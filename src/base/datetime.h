#pragma once
// Calendar dates.
#include "base/types.h"

struct sDateTime
{
    u16 m_year; // 0 = none
    u8 m_month;
    u8 m_day;
    u8 m_hour;
    u8 m_minute;
    u8 m_second;
};

// Seconds since 1970-01-01 00:00:00 UTC to a UTC civil date (proleptic Gregorian; no time
// zone). Negative seconds are before 1970; the year is clamped to 0..65535.
sDateTime UnixTimeToDateTime(i64 seconds);
