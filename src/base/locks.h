#pragma once
// Locks. A critical section is recursive: its owner may enter it again, as the list
// view and the label do when a locked operation calls another locked operation.
#include "base/types.h"

#include <condition_variable>
#include <mutex>

class cCriticalSection
{
public:
    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    bool TryEnter() { return m_mutex.try_lock(); }

    // Lockable, so that std::scoped_lock and std::condition_variable_any work with it.
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool try_lock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// Enters on construction and leaves on destruction, so that every path leaves.
class cSafeCriticalSectionAccess
{
public:
    explicit cSafeCriticalSectionAccess(cCriticalSection& section) : m_section(section)
    {
        m_section.Enter();
    }
    ~cSafeCriticalSectionAccess() { m_section.Leave(); }
    cSafeCriticalSectionAccess(const cSafeCriticalSectionAccess&) = delete;
    cSafeCriticalSectionAccess& operator=(const cSafeCriticalSectionAccess&) = delete;

private:
    cCriticalSection& m_section;
};

// An event that a worker waits on until another thread sets it. Manual reset: it stays
// set until Reset.
class cSyncEvent
{
public:
    void Set();
    void Reset();
    // Waits until the event is set or the time-out passes; a negative time-out waits
    // without end. True when the event was set.
    bool Wait(i32 timeoutMs);
    bool IsSet();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;
};
