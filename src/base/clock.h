#pragma once
// Clocks and sleeping, with one process-wide hook so that tests can drive time.
#include "base/types.h"

// Microseconds of the monotonic clock; never 0.
u64 MicrosecondClock();
// Milliseconds of the monotonic clock, wrapping at 2^32: callers subtract unsigned.
u32 MillisecondTick();
// Suspends the calling thread; resumes after signals until the time has passed.
void SleepMilliseconds(u32 milliseconds);

// A test clock. While installed, the three functions above ask it instead of the system.
struct sClockHook
{
    u64 (*m_microseconds)(void* context);
    void (*m_sleep)(void* context, u32 milliseconds);
    void* m_context;
};
// Installs `hook` (copied), or the system clock again for null.
void SetClockHook(const sClockHook* hook);
