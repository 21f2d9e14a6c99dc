#pragma once
// A virtual clock for the progress tests: while installed, MillisecondTick reads virtual
// time and SleepMilliseconds returns only once the test has advanced virtual time past
// the sleeper's wake time.
//
// Advancing goes one millisecond at a time and, after each, waits until every thread the
// clock woke has gone back to sleep (or declared itself done), so whatever a job posts
// at virtual time t has been posted before the test looks at t. Threads the test starts
// are launched with Spawn, which counts them as running until they sleep or end, so
// their first effects are also in place before time moves on.
//
// The clock is one process-wide object that never goes away: a thread that picked up the
// hook just before it was removed may still call into it. Uninstall lets every sleeper go
// and makes later sleeps real, so jobs can be stopped and joined afterwards.
#include "base/clock.h"
#include "base/types.h"
#include "testhooks/basehooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qeltest {

class cVirtualClock
{
public:
    static cVirtualClock& Get()
    {
        static cVirtualClock clock;
        return clock;
    }

    void Install(u64 startMs)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_nowMs = startMs;
            m_freeRunning = false;
            m_runnable = 0;
            m_sleepers.clear();
        }
        const sClockHook hook{&Microseconds, &Sleep, this};
        SetClockHook(&hook);
    }

    void Uninstall()
    {
        SetClockHook(nullptr);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_freeRunning = true;
        m_sleepers.clear();
        m_changed.notify_all();
    }

    u64 NowMs()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nowMs;
    }

    // Runs `body` on a new thread that counts as running until it sleeps or ends.
    std::thread Spawn(std::function<void()> body)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_runnable;
        }
        return std::thread([this, body = std::move(body)] {
            t_counted = true;
            body();
            Done();
        });
    }

    // Waits (in real time) until no woken or spawned thread is still running and at
    // least `sleepers` threads sleep.
    void Settle(size_t sleepers = 0)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool settled = m_changed.wait_for(lock, std::chrono::seconds(20), [&] {
            return m_runnable == 0 && m_sleepers.size() >= sleepers;
        });
        ASSERT_TRUE(settled) << "virtual time " << m_nowMs << ": threads did not settle";
    }

    // Advances to `targetMs` one millisecond at a time, settling after each and then
    // calling `eachMs` (on the test thread) with the new time.
    void AdvanceTo(u64 targetMs, const std::function<void(u64)>& eachMs = {})
    {
        while (NowMs() < targetMs) {
            const u64 now = NowMs() + 1;
            StepTo(now);
            if (eachMs) {
                eachMs(now);
            }
        }
    }

    // Moves to `targetMs` in one step: every sleeper due by then wakes (late) at once.
    void JumpTo(u64 targetMs) { StepTo(targetMs); }

private:
    struct sSleeper
    {
        u64 wakeMs;
        bool released = false;
    };

    void StepTo(u64 targetMs)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_nowMs = std::max(m_nowMs, targetMs);
            for (sSleeper* sleeper : m_sleepers) {
                if (sleeper->wakeMs <= m_nowMs) {
                    sleeper->released = true;
                    ++m_runnable;
                }
            }
            std::erase_if(m_sleepers, [](const sSleeper* s) { return s->released; });
            m_changed.notify_all();
        }
        Settle();
    }

    static u64 Microseconds(void* context)
    {
        return static_cast<cVirtualClock*>(context)->NowMs() * 1000u;
    }

    static void Sleep(void* context, u32 milliseconds)
    {
        auto* clock = static_cast<cVirtualClock*>(context);
        std::unique_lock<std::mutex> lock(clock->m_mutex);
        clock->ReleaseCount();
        if (clock->m_freeRunning) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
            return;
        }
        sSleeper sleeper{clock->m_nowMs + milliseconds};
        clock->m_sleepers.push_back(&sleeper);
        clock->m_changed.notify_all();
        clock->m_changed.wait(lock, [&] { return sleeper.released || clock->m_freeRunning; });
        // Released by AdvanceTo: running until the next sleep. Released by Uninstall:
        // nobody counts any more.
        t_counted = sleeper.released && !clock->m_freeRunning;
        if (!sleeper.released) {
            std::erase(clock->m_sleepers, &sleeper);
        }
    }

    // The calling thread stops counting as running (it sleeps or ends). Under m_mutex.
    void ReleaseCount()
    {
        if (t_counted) {
            t_counted = false;
            --m_runnable;
            m_changed.notify_all();
        }
    }

    void Done()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ReleaseCount();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    u64 m_nowMs = 0;
    bool m_freeRunning = false;
    i32 m_runnable = 0;
    std::vector<sSleeper*> m_sleepers;
    static inline thread_local bool t_counted = false;
};

} // namespace qeltest
