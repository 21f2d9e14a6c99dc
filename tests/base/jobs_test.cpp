#include "base/exception.h"
#include "base/jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

enum class eBody
{
    WaitForStop,    // until the stop flag is set; result 7
    Slow,           // 150 ms, ignoring the stop flag
    StartAndStop,   // calls Start and Stop on its own thread
    ThrowBase,      // the buffers' exception
    ThrowStandard,  // a std::exception
    ThrowOther,     // anything else
};

class cTestJob : public cJob
{
public:
    explicit cTestJob(eBody body) : m_body(body) {}
    ~cTestJob() override { Stop(4000); }

    std::atomic<int> m_runs{0};
    std::atomic<int> m_result{0};
    std::atomic<int> m_stopHooks{0};
    std::atomic<int> m_startAnswer{-1};
    std::atomic<int> m_stopAnswer{-1};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_sawRunningInFinish{false};

protected:
    i32 Run() override
    {
        ++m_runs;
        switch (m_body) {
        case eBody::WaitForStop:
            while (!IsStopRequested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return 7;
        case eBody::Slow:
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            m_ended = true;
            return 0;
        case eBody::StartAndStop:
            m_startAnswer = Start() ? 1 : 0;
            m_stopAnswer = Stop(10) ? 1 : 0;
            return 0;
        case eBody::ThrowBase: throw cException("_typebuf::Out of bounds", "base/buffers", 1);
        case eBody::ThrowStandard: throw std::runtime_error("x");
        case eBody::ThrowOther: throw 42;
        }
        return 0;
    }
    void OnStopRequested() override { ++m_stopHooks; }
    void OnFinished(i32 result) override
    {
        m_sawRunningInFinish = IsRunning();
        m_result = result;
    }

private:
    eBody m_body;
};

} // namespace

TEST(Job, EscapingExceptionsBecomeAFailureResult)
{
    for (eBody body : {eBody::ThrowBase, eBody::ThrowStandard, eBody::ThrowOther}) {
        cTestJob job(body);
        ASSERT_TRUE(job.Start());
        job.Stop(4000);
        EXPECT_EQ(job.m_result, kJobResultCrashed);
    }
}

// Start and Stop from the job's own thread must not join it; Stop never returns while the
// body runs, even past its time-out.
TEST(Job, StopNeverJoinsItselfNorReturnsWhileTheBodyRuns)
{
    cTestJob self(eBody::StartAndStop);
    ASSERT_TRUE(self.Start());
    EXPECT_TRUE(self.Stop(4000));
    EXPECT_TRUE(self.m_startAnswer == 0 && self.m_stopAnswer == 0);
    cTestJob slow(eBody::Slow);
    ASSERT_TRUE(slow.Start());
    EXPECT_FALSE(slow.Stop(10)) << "the body outlives the time-out";
    EXPECT_TRUE(slow.m_ended);
    EXPECT_FALSE(slow.IsRunning());
}

TEST(Job, ManyThreadsStartAndStopOneJob)
{
    cTestJob job(eBody::WaitForStop);
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
