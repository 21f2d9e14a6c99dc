#include "base/locks.h"

#include <chrono>

void cSyncEvent::Set()
{
    // Notified under the lock: a waiter may own the event on its stack and destroy it as
    // soon as it sees the flag, which must not happen while notify_all still runs.
    std::lock_guard<std::mutex> guard(m_mutex);
    m_set = true;
    m_changed.notify_all();
}

void cSyncEvent::Reset()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_set = false;
}

bool cSyncEvent::IsSet()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_set;
}

bool cSyncEvent::Wait(i32 timeoutMs)
{
    std::unique_lock<std::mutex> guard(m_mutex);
    if (timeoutMs < 0) {
        m_changed.wait(guard, [this] { return m_set; });
        return true;
    }
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return m_set; });
}
