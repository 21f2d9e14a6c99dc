#pragma once
// Worker jobs and the progress sink.
//
// A job runs its body on a thread of its own. Stopping is cooperative: Stop requests the
// stop and waits for the body to return; no thread is killed or forced to unwind, so a
// body that blocks must use time-outs or poll IsStopRequested.
//
// A class derived from cJob MUST stop its job in its own destructor, before its members
// go: by the time ~cJob runs, the derived part (and its Run) no longer exists.
#include "base/locks.h"
#include "base/types.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// The result handed to OnFinished when the body ended by an escaping exception.
inline constexpr i32 kJobResultCrashed = -1;

class cJob
{
public:
    cJob() = default;
    virtual ~cJob();
    cJob(const cJob&) = delete;
    cJob& operator=(const cJob&) = delete;

    // Stops a previous run (4000 ms), clears the stop flag and starts the thread. False
    // when the thread cannot be created or the previous run is still alive (also when
    // called from the job's own thread).
    bool Start();
    // Sets the stop flag under the job lock and calls OnStopRequested.
    void RequestStop();
    bool IsStopRequested() const { return m_stopRequested.load(std::memory_order_acquire); }
    // True from Start until OnFinished has returned on the worker.
    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
    // Requests the stop and waits for the thread to end. True when it ended within
    // `timeoutMs`; when it did not, keeps waiting and answers false once it has ended.
    // Called from the job's own thread it only requests the stop and answers false.
    bool Stop(u32 timeoutMs);

protected:
    // The body, on the worker thread.
    virtual i32 Run() = 0;
    // Called by RequestStop (on the requesting thread, under the job lock), so that a job
    // blocked on something of its own can wake itself.
    virtual void OnStopRequested() {}
    // Called on the worker thread with Run's result (or kJobResultCrashed).
    virtual void OnFinished(i32 result) {}

    // The job lock, held while the stop flag changes.
    cCriticalSection m_jobLock;

private:
    void ThreadBody();
    bool IsOwnThread() const;
    // Joins a finished or finishing thread; waits at most `timeoutMs` for it to finish
    // before joining anyway. True when it finished in time.
    bool JoinThread(u32 timeoutMs);

    std::mutex m_controlMutex; // serialises Start/Stop/join from other threads
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
    std::atomic<std::thread::id> m_threadId{};
    std::mutex m_doneMutex;
    std::condition_variable m_done;
};

// A progress sink that long operations report to.
class cProgressNotifyTarget
{
public:
    virtual ~cProgressNotifyTarget() = default;
    // A fraction of the work (the progress form reads it as a percentage 0..100). False
    // asks the work to end.
    virtual bool SetProgress(f64 value) = 0;
    virtual void SetStage(i32 stage) = 0;
    virtual bool IsCancelled() = 0;
    void Delete() { delete this; }
};
