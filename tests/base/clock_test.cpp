#include "base/clock.h"
#include "base/datetime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

TEST(Clock, MonotonicAndNeverZero)
{
    u64 first = MicrosecondClock();
    SleepMilliseconds(20);
    u64 second = MicrosecondClock();
    EXPECT_NE(first, 0u);
    EXPECT_GE(second - first, 20000u);
    u32 tick = MillisecondTick();
    EXPECT_LE(u32(MillisecondTick() - tick), 1000u);
}

TEST(Clock, HookDrivesClocksAndSleep)
{
    struct sFakeTime
    {
        u64 m_now = 0;
    } fake;
    sClockHook hook{[](void* context) { return static_cast<sFakeTime*>(context)->m_now; },
                    [](void* context, u32 ms) { static_cast<sFakeTime*>(context)->m_now += ms * 1000ull; },
                    &fake};
    fake.m_now = (u64(0xFFFFFFFF) - 5) * 1000; // the millisecond tick wraps soon
    SetClockHook(&hook);
    u32 before = MillisecondTick();
    SleepMilliseconds(10);
    u32 after = MillisecondTick();
    SetClockHook(nullptr);
    EXPECT_EQ(u32(after - before), 10u) << "callers subtract unsigned across the wrap";
    EXPECT_LT(after, before);
    EXPECT_NE(MicrosecondClock(), fake.m_now);
}

TEST(DateTime, MatchesTheSystemsUtcCalendar)
{
    // Expected values from `date -u -d @s` (GNU date), which nobody here wrote.
    struct sCase
    {
        i64 m_seconds;
        const char* m_text;
    } cases[] = {
        {0, "1970-01-01 00:00:00"},          {-1, "1969-12-31 23:59:59"},
        {951782400, "2000-02-29 00:00:00"},  {4107542399, "2100-02-28 23:59:59"},
        {4107542400, "2100-03-01 00:00:00"}, {2147483647, "2038-01-19 03:14:07"},
        {253402300799, "9999-12-31 23:59:59"}, {-62135596800, "0001-01-01 00:00:00"},
        {-86401, "1969-12-30 23:59:59"},
    };
    for (const sCase& c : cases) {
        sDateTime d = UnixTimeToDateTime(c.m_seconds);
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", d.m_year, d.m_month, d.m_day,
                      d.m_hour, d.m_minute, d.m_second);
        EXPECT_EQ(std::string(text), c.m_text) << c.m_seconds;
    }
}

TEST(DateTime, AgreesWithDateCommandOnRandomSeconds)
{
    if (std::system("date -u -d @0 > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no GNU date";
    }
    u64 state = 12345;
    for (int i = 0; i < 40; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        i64 seconds = i64(state >> 20) % 253402300799LL - 62135596800LL / 2;
        std::string command = "date -u -d @" + std::to_string(seconds) + " '+%Y-%m-%d %H:%M:%S'";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char expected[64] = {};
        ASSERT_NE(std::fgets(expected, sizeof expected, pipe), nullptr);
        pclose(pipe);
        sDateTime d = UnixTimeToDateTime(seconds);
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u\n", d.m_year, d.m_month,
                      d.m_day, d.m_hour, d.m_minute, d.m_second);
        EXPECT_STREQ(text, expected) << seconds;
    }
}

TEST(DateTime, ExtremesClampTheYear)
{
    EXPECT_EQ(UnixTimeToDateTime(INT64_MAX).m_year, 65535);
    EXPECT_EQ(UnixTimeToDateTime(INT64_MIN).m_year, 0);
}
