#include "base/clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>

sClockHookSlot g_clockHookSlot;

namespace {

u64 SystemMicroseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // The monotonic clock starts at boot; +1 keeps the result away from 0, which callers
    // take as "no clock".
    return u64(now.tv_sec) * 1000000u + u64(now.tv_nsec) / 1000u + 1;
}

void SystemSleep(u32 milliseconds)
{
    timespec remaining{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

bool CopyHook(sClockHook& out)
{
    if (!g_clockHookSlot.m_installed.load(std::memory_order_acquire)) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_clockHookSlot.m_lock);
    if (!g_clockHookSlot.m_installed.load(std::memory_order_relaxed)) {
        return false;
    }
    out = g_clockHookSlot.m_hook;
    return true;
}

} // namespace

u64 MicrosecondClock()
{
    sClockHook hook;
    if (CopyHook(hook) && hook.m_microseconds != nullptr) {
        return hook.m_microseconds(hook.m_context);
    }
    return SystemMicroseconds();
}

u32 MillisecondTick()
{
    return u32(MicrosecondClock() / 1000u);
}

void SleepMilliseconds(u32 milliseconds)
{
    sClockHook hook;
    if (CopyHook(hook) && hook.m_sleep != nullptr) {
        hook.m_sleep(hook.m_context, milliseconds);
        return;
    }
    SystemSleep(milliseconds);
}
