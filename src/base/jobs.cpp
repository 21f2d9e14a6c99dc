#include "base/jobs.h"

#include "base/exception.h"

#include <cassert>
#include <chrono>
#include <exception>
#include <system_error>

namespace {

constexpr u32 kDefaultStopTimeoutMs = 4000;

} // namespace

cJob::~cJob()
{
    // The derived class should have stopped the job already; joining here is the last
    // resort, since a joinable std::thread would otherwise end the process.
    assert(!IsRunning() && "a derived job must stop itself in its own destructor");
    Stop(kDefaultStopTimeoutMs);
}

bool cJob::IsOwnThread() const
{
    return m_threadId.load(std::memory_order_acquire) == std::this_thread::get_id();
}

bool cJob::Start()
{
    if (IsOwnThread() && IsRunning()) {
        return false;
    }
    std::lock_guard<std::mutex> control(m_controlMutex);
    if (m_thread.joinable()) {
        RequestStop();
        JoinThread(kDefaultStopTimeoutMs);
    }
    {
        cSafeCriticalSectionAccess guard(m_jobLock);
        m_stopRequested.store(false, std::memory_order_release);
    }
    m_running.store(true, std::memory_order_release);
    try {
        m_thread = std::thread(&cJob::ThreadBody, this);
    } catch (const std::system_error&) {
        m_running.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void cJob::RequestStop()
{
    cSafeCriticalSectionAccess guard(m_jobLock);
    m_stopRequested.store(true, std::memory_order_release);
    OnStopRequested();
}

bool cJob::Stop(u32 timeoutMs)
{
    RequestStop();
    if (IsOwnThread()) {
        return false;
    }
    std::lock_guard<std::mutex> control(m_controlMutex);
    if (!m_thread.joinable()) {
        return true;
    }
    return JoinThread(timeoutMs);
}

bool cJob::JoinThread(u32 timeoutMs)
{
    bool inTime;
    {
        std::unique_lock<std::mutex> lock(m_doneMutex);
        inTime = m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return !IsRunning(); });
    }
    m_thread.join();
    m_threadId.store(std::thread::id(), std::memory_order_release);
    return inTime;
}

void cJob::ThreadBody()
{
    m_threadId.store(std::this_thread::get_id(), std::memory_order_release);
    i32 result = kJobResultCrashed;
    try {
        result = Run();
    } catch (const cException&) {
        result = kJobResultCrashed;
    } catch (const std::exception&) {
        result = kJobResultCrashed;
    } catch (...) {
        result = kJobResultCrashed;
    }
    try {
        OnFinished(result);
    } catch (...) {
    }
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_running.store(false, std::memory_order_release);
    }
    m_done.notify_all();
}
