#pragma once
// Clocks and sleeping, with one process-wide hook so that tests can drive time.
#include "base/types.h"

#include <atomic>
#include <mutex>

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
// Where the test clock is installed; the program never installs one. Only the base test
// hooks (testhooks/basehooks.h) do: under m_lock they copy the hook into m_hook and then
// set m_installed (release), so that a reader that sees it set and takes the lock copies
// a whole hook.
struct sClockHookSlot
{
    std::mutex m_lock;
    sClockHook m_hook{};
    std::atomic<bool> m_installed{false};
};
extern sClockHookSlot g_clockHookSlot;
