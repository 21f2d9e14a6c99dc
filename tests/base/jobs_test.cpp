#include "base/exception.h"
#include "base/jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// A job whose body waits for the stop flag, counting its runs and results.
class cWaitingJob : public cJob
{
public:
    ~cWaitingJob() override { Stop(4000); }

    std::atomic<int> m_runs{0};
    std::atomic<int> m_lastResult{0};
    std::atomic<int> m_stopHooks{0};
    std::atomic<bool> m_sawRunningInFinish{false};

protected:
    i32 Run() override
    {
        ++m_runs;
        while (!IsStopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 7;
    }
    void OnStopRequested() override { ++m_stopHooks; }
    void OnFinished(i32 result) override
    {
        m_sawRunningInFinish = IsRunning();
        m_lastResult = result;
    }
};

enum class eThrowKind
{
    Base,
    Standard,
    Other
};

class cThrowingJob : public cJob
{
public:
    explicit cThrowingJob(eThrowKind kind) : m_kind(kind) {}
    ~cThrowingJob() override { Stop(4000); }
    std::atomic<int> m_result{0};

protected:
    i32 Run() override
    {
        switch (m_kind) {
        case eThrowKind::Base:
            throw cException("_typebuf::Out of bounds", "base/buffers", 1);
        case eThrowKind::Standard:
            throw std::runtime_error("x");
        case eThrowKind::Other:
            throw 42;
        }
        return 0;
    }
    void OnFinished(i32 result) override { m_result = result; }

private:
    eThrowKind m_kind;
};

// A job that calls Start and Stop on itself from its own thread.
class cSelfStoppingJob : public cJob
{
public:
    ~cSelfStoppingJob() override { Stop(4000); }
    std::atomic<int> m_startAnswer{-1};
    std::atomic<int> m_stopAnswer{-1};

protected:
    i32 Run() override
    {
        m_startAnswer = Start() ? 1 : 0;
        m_stopAnswer = Stop(10) ? 1 : 0;
        return IsStopRequested() ? 1 : 0;
    }
};

// A body that ignores the stop flag for a while: Stop must still not return before it ends.
class cSlowJob : public cJob
{
public:
    ~cSlowJob() override { Stop(4000); }
    std::atomic<bool> m_ended{false};

protected:
    i32 Run() override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        m_ended = true;
        return 0;
    }
};

} // namespace

TEST(Job, RunsStopsAndRestarts)
{
    cWaitingJob job;
    EXPECT_FALSE(job.IsRunning());
    ASSERT_TRUE(job.Start());
    EXPECT_TRUE(job.IsRunning());
    EXPECT_TRUE(job.Stop(4000));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(job.m_lastResult, 7);
    EXPECT_TRUE(job.m_sawRunningInFinish) << "IsRunning must hold until OnFinished returned";
    EXPECT_GE(job.m_stopHooks, 1);

    // A second Start clears the stop flag, and a Start over a running job stops it first.
    ASSERT_TRUE(job.Start());
    ASSERT_TRUE(job.Start());
    EXPECT_TRUE(job.Stop(4000));
    EXPECT_EQ(job.m_runs, 3);
}

TEST(Job, EscapingExceptionsBecomeAFailureResult)
{
    for (eThrowKind kind : {eThrowKind::Base, eThrowKind::Standard, eThrowKind::Other}) {
        cThrowingJob job(kind);
        ASSERT_TRUE(job.Start());
        job.Stop(4000);
        EXPECT_EQ(job.m_result, kJobResultCrashed);
    }
}

TEST(Job, StartAndStopFromTheJobsOwnThreadDoNotJoinItself)
{
    cSelfStoppingJob job;
    ASSERT_TRUE(job.Start());
    EXPECT_TRUE(job.Stop(4000));
    EXPECT_EQ(job.m_startAnswer, 0);
    EXPECT_EQ(job.m_stopAnswer, 0);
}

TEST(Job, StopNeverReturnsWhileTheBodyRuns)
{
    cSlowJob job;
    ASSERT_TRUE(job.Start());
    EXPECT_FALSE(job.Stop(10)) << "the body outlives the time-out";
    EXPECT_TRUE(job.m_ended);
    EXPECT_FALSE(job.IsRunning());
}

TEST(Job, ManyThreadsStartAndStopOneJob)
{
    cWaitingJob job;
    std::thread threads[4];
    for (auto& thread : threads) {
        thread = std::thread([&] {
            for (int i = 0; i < 50; ++i) {
                if (job.Start()) {
                    job.RequestStop();
                }
                job.Stop(4000);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(job.IsRunning());
}
