// Jobs wake the SDL host's loop: with at most one wake event waiting in SDL's queue
// however many actions are posted, without losing any while real key input keeps
// flowing, and while the windows they post to go.
#include "base/clock.h"
#include "sdltesttools.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using qeltest::cRunScript;
using qeltest::cChildProcess;

// What reached a cCounter; outlives the counter, which its run deletes.
struct sCounts
{
    i32 work = 0;
    std::u16string chars;
};

// Counts the actions and the characters that reach it; ends its run once the expected
// numbers arrived, or with -1 when told to give up.
class cCounter : public cChildElement
{
public:
    enum : i32 { kWork = 20, kGiveUp = 21 };
    cCounter(sCounts* counts, i32 expectedWork, size_t expectedChars)
        : m_counts(counts), m_expectedWork(expectedWork), m_expectedChars(expectedChars)
    {
    }
    bool DefaultFocusCapable() override { return true; }
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        switch (action->GetCode()) {
        case kWork: ++m_counts->work; break;
        case kGiveUp: EndModal(-1); return true;
        default: return false;
        }
        EndWhenComplete();
        return true;
    }
    void OnChar(char16_t unit) override
    {
        m_counts->chars.push_back(unit);
        EndWhenComplete();
    }

private:
    void EndWhenComplete()
    {
        if (m_counts->work == m_expectedWork && m_counts->chars.size() >= m_expectedChars) {
            EndModal(1);
        }
    }

    sCounts* m_counts;
    i32 m_expectedWork;
    size_t m_expectedChars;
};

// Posts kGiveUp to the counter after `seconds`, so that no test waits for ever.
class cWatchdog
{
public:
    cWatchdog(cCounter* target, i32 seconds)
        : m_thread([this, target, seconds] {
              for (i32 tick = 0; tick < seconds * 100 && !m_stop; ++tick) {
                  SleepMilliseconds(10);
              }
              if (!m_stop) {
                  PostJobAction(target, new cChildElement::cChildAction(cCounter::kGiveUp));
              }
          })
    {
    }
    ~cWatchdog()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

using SdlWake = qeltest::cSdlTest;

TEST_F(SdlWake, PostsWhileTheUserTypesLoseNothingAndQueueOneWakeAtMost)
{
    QEL_REQUIRE_X_TOOLS();
    constexpr i32 kPosts = 2000;
    const std::u16string typed = u"typing goes on";
    sCounts counts;
    auto* counter = new cCounter(&counts, kPosts, typed.size());
    const u32 wakeType = host->GetWakeEventType();
    std::atomic<i32> mostQueued{0};
    std::atomic<i32> failedPosts{0};
    std::thread poster;
    cChildProcess typist;
    cRunScript script;
    script.Post([&] {
        ASSERT_TRUE(WaitForFocus(counter->GetWindow()));
        ASSERT_TRUE(typist.Start({"xdotool", "type", "--delay", "40", "typing goes on"}));
        poster = std::thread([&] {
            for (i32 index = 0; index < kPosts; ++index) {
                if (!PostJobAction(counter, new cChildElement::cChildAction(cCounter::kWork))) {
                    ++failedPosts;
                }
                // A worker's repaint request is queued and wakes the loop too; the paint
                // itself happens on the GUI thread.
                if (index % 100 == 0) {
                    counter->Invalidate();
                }
                i32 queued = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, wakeType, wakeType);
                mostQueued = std::max(mostQueued.load(), queued);
            }
        });
        // The run's own loop does the rest.
    });
    i32 code;
    {
        cWatchdog watchdog(counter, 10);
        code = Maker()->RunModalOver(u"wake", 300, 200, counter, nullptr, false);
    }
    if (poster.joinable()) {
        poster.join();
    }
    while (typist.IsRunning()) {
        SleepMilliseconds(5);
    }
    EXPECT_EQ(code, 1) << "gave up with " << counts.work << " actions";
    EXPECT_EQ(failedPosts, 0);
    EXPECT_EQ(counts.work, kPosts);
    EXPECT_EQ(counts.chars, typed);
    EXPECT_LE(mostQueued, 1);
}

// Runs that a job's last post ends, while the pointer moving over the windows wakes the
// loop as well: the window goes while the job may still be waking the loop. Nothing may
// reach the X server for a window that is gone (Xlib ends the process on that error).
TEST_F(SdlWake, JobsEndingTheirRunsRaceTheWindowsGoing)
{
    QEL_REQUIRE_X_TOOLS();
    constexpr i32 kRuns = 20;
    constexpr i32 kPosts = 40;
    // Every dialog opens centred on the screen, under these moves.
    std::vector<std::string> moves{"xdotool"};
    for (i32 step = 0; step < 600; ++step) {
        moves.insert(moves.end(), {"mousemove", std::to_string(490 + step % 40), std::to_string(370 + step % 25),
                                   "sleep", "0.005"});
    }
    cChildProcess pointer;
    ASSERT_TRUE(pointer.Start(moves));
    i32 completed = 0;
    for (i32 run = 0; run < kRuns; ++run) {
        sCounts counts;
        auto* counter = new cCounter(&counts, kPosts, 0);
        std::thread poster;
        cRunScript script;
        script.Post([&] {
            poster = std::thread([counter] {
                for (i32 post = 0; post < kPosts; ++post) {
                    PostJobAction(counter, new cChildElement::cChildAction(cCounter::kWork));
                    std::this_thread::sleep_for(std::chrono::microseconds(post % 5 * 50));
                }
            });
        });
        completed += Maker()->RunModalOver(u"race", 80, 60, counter, nullptr, false) == 1;
        poster.join();
    }
    EXPECT_EQ(completed, kRuns);
}

} // namespace
