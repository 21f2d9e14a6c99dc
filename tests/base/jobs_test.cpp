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
    WaitForStop,   // until the stop flag is set; result 7
    ThrowBase,     // the buffers' exception
    ThrowStandard, // a std::exception
    ThrowOther,    // anything else
};

class cTestJob : public cJob
{
public:
    explicit cTestJob(eBody body) : m_body(body) {}
    ~cTestJob() override { Stop(4000); }

    std::atomic<int> m_result{0};

protected:
    i32 Run() override
    {
        switch (m_body) {
        case eBody::WaitForStop:
            while (!IsStopRequested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return 7;
        case eBody::ThrowBase: throw cException("_typebuf::Out of bounds", "base/buffers", 1);
        case eBody::ThrowStandard: throw std::runtime_error("x");
        case eBody::ThrowOther: throw 42;
        }
        return 0;
    }
    void OnFinished(i32 result) override { m_result = result; }

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
