#include "base/clock.h"
#include "base/datetime.h"
#include "testhooks/basehooks.h"

#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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

// GNU date (which nobody here wrote) on the calendar's edges and random seconds.
TEST(DateTime, AgreesWithDateCommand)
{
    QEL_REQUIRE(std::system("date -u -d @0 > /dev/null 2>&1") == 0, "GNU date");
    std::vector<i64> seconds = {0, -1, -86401, 951782400, 4107542399, 4107542400, 2147483647,
                                253402300799, -62135596800};
    std::mt19937_64 random(12345);
    for (int i = 0; i < 40; ++i) {
        seconds.push_back(i64(random() % 253402300799ULL) - 62135596800LL / 2);
    }
    std::string command;
    std::string ours;
    for (i64 second : seconds) {
        command += "date -u -d @" + std::to_string(second) + " '+%Y-%m-%d %H:%M:%S';";
        const sDateTime d = UnixTimeToDateTime(second);
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u\n", d.m_year, d.m_month, d.m_day,
                      d.m_hour, d.m_minute, d.m_second);
        ours += text;
    }
    EXPECT_EQ(ours, qeltest::RunCommand(command));
    EXPECT_EQ(UnixTimeToDateTime(INT64_MAX).m_year, 65535);
    EXPECT_EQ(UnixTimeToDateTime(INT64_MIN).m_year, 0);
}
