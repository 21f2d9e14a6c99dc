// Actions: bubbling with the source, the two queues, the live set with recycled
// addresses, sent actions that block their job, and posting from several threads.
#include "gui/core/canvas.h"
#include "gui/guitest.h"

#include <atomic>
#include <mutex>
#include <new>
#include <thread>

namespace {

using qeltest::cProbe;
using qeltest::tLog;

std::atomic<i32> g_deletedActions{0};

class cCountedAction : public cChildElement::cChildAction
{
public:
    explicit cCountedAction(i32 code) : cChildAction(code) {}
    ~cCountedAction() override { ++g_deletedActions; }
};

class ActionTest : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        g_deletedActions = 0;
        root = std::make_unique<cProbe>(&log, "root");
        panel = std::make_unique<cProbe>(&log, "panel");
        button = std::make_unique<cProbe>(&log, "button");
        ASSERT_NE(Open(root.get(), 100, 100), nullptr);
        root->AttachChild(panel.get(), 0, 0, 50, 50);
        panel->AttachChild(button.get(), 0, 0, 10, 10);
    }

    tLog log;
    std::unique_ptr<cProbe> root, panel, button;
};

TEST_F(ActionTest, BubblesToTheParentsWithTheSourceUntilHandled)
{
    EXPECT_TRUE(PostAction(button.get(), nullptr));
    EXPECT_TRUE(button->PostCode(9));
    panel->m_consumedCode = 9;
    host->Pump();
    EXPECT_EQ(log, (tLog{"button:Action(0,self)", "panel:Action(0,other)", "root:Action(0,other)",
                         "button:Action(9,self)", "panel:Action(9,other)"}));
}

TEST_F(ActionTest, ARecycledAddressDoesNotInheritQueuedActions)
{
    alignas(cProbe) unsigned char storage[sizeof(cProbe)];
    cProbe* first = new (storage) cProbe(&log, "first");
    EXPECT_TRUE(PostAction(first, new cCountedAction(7)));
    first->~cProbe();
    cProbe* second = new (storage) cProbe(&log, "second");
    ASSERT_EQ(static_cast<void*>(first), static_cast<void*>(second));
    EXPECT_TRUE(PostAction(second, new cCountedAction(8)));
    host->Pump();
    EXPECT_EQ(log, (tLog{"second:Action(8,self)"}));
    second->~cProbe();
    EXPECT_EQ(g_deletedActions, 2);
}

class cQuestion : public cChildElement::cSentChildAction
{
public:
    cQuestion() : cSentChildAction(11) {}
    i32 m_answer = 0;
};

class cAnswering : public cChildElement
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (auto* question = dynamic_cast<cQuestion*>(action); question != nullptr && source == this) {
            question->m_answer = 42;
            return true;
        }
        return false;
    }
};

TEST_F(ActionTest, ASentActionBlocksTheJobUntilTheGuiThreadAnswers)
{
    cAnswering answering;
    root->AttachChild(&answering, 0, 0, 1, 1);
    cQuestion question;
    std::atomic<bool> returned{false};
    bool handled = false;
    std::thread job([&] {
        handled = SendJobAction(&answering, &question);
        returned = true;
    });
    // The question is queued, but nothing answers it before the GUI thread pumps.
    while (!HasPendingWork()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned);
    EXPECT_TRUE(host->PumpUntil([&] { return returned.load(); }, 5000));
    job.join();
    EXPECT_TRUE(handled);
    EXPECT_EQ(question.m_answer, 42);

    // The GUI thread cannot wait for itself.
    EXPECT_FALSE(SendJobAction(&answering, &question));
}

TEST_F(ActionTest, ASentActionToAnElementDestroyedMeanwhileReleasesTheJob)
{
    auto doomed = std::make_unique<cAnswering>();
    cQuestion question;
    std::atomic<bool> returned{false};
    bool handled = true;
    std::thread job([&] {
        handled = SendJobAction(doomed.get(), &question);
        returned = true;
    });
    while (!HasPendingWork()) {
        std::this_thread::yield();
    }
    doomed.reset();
    EXPECT_TRUE(host->PumpUntil([&] { return returned.load(); }, 5000));
    job.join();
    EXPECT_FALSE(handled);
    EXPECT_EQ(question.m_answer, 0);
}

// Four threads post 100,000 actions each to 64 elements while the GUI thread replaces
// the elements: an element receives only actions posted while it was the one at its
// slot, and every action is deleted exactly once.
class cSlotElement : public cChildElement
{
public:
    explicit cSlotElement(u64 generation) : m_generation(generation) {}
    bool OnAction(cChildElement* source, cChildAction* action) override;
    u64 m_generation;
    i32 m_received = 0;
};

class cSlotAction : public cCountedAction
{
public:
    explicit cSlotAction(u64 generation) : cCountedAction(12), m_generation(generation) {}
    u64 m_generation;
};

std::atomic<i32> g_wrongReceiver{0};

bool cSlotElement::OnAction(cChildElement* source, cChildAction* action)
{
    auto* slotAction = dynamic_cast<cSlotAction*>(action);
    if (slotAction == nullptr || slotAction->m_generation != m_generation || source != this) {
        ++g_wrongReceiver;
    }
    ++m_received;
    return true;
}

TEST_F(ActionTest, PostsFromFourThreadsReachOnlyLiveElements)
{
    constexpr i32 kSlots = 64;
    constexpr i32 kThreads = 4;
    constexpr i32 kPerThread = 100000;
    struct sSlot
    {
        std::mutex lock;
        std::unique_ptr<cSlotElement> element;
    };
    std::vector<sSlot> slots(kSlots);
    u64 generation = 0;
    for (sSlot& slot : slots) {
        slot.element = std::make_unique<cSlotElement>(++generation);
    }
    g_wrongReceiver = 0;
    std::atomic<i32> posted{0};
    std::atomic<i32> finished{0};
    std::vector<std::thread> producers;
    for (i32 t = 0; t < kThreads; ++t) {
        producers.emplace_back([&, t] {
            for (i32 i = 0; i < kPerThread; ++i) {
                sSlot& slot = slots[size_t((i * 7 + t * 13) % kSlots)];
                std::lock_guard guard(slot.lock);
                if (PostJobAction(slot.element.get(), new cSlotAction(slot.element->m_generation))) {
                    ++posted;
                }
            }
            ++finished;
        });
    }
    i32 received = 0;
    for (i32 round = 0; finished < kThreads; ++round) {
        sSlot& slot = slots[size_t(round % kSlots)];
        {
            std::lock_guard guard(slot.lock);
            received += slot.element->m_received;
            slot.element = std::make_unique<cSlotElement>(++generation);
        }
        for (i32 step = 0; step < 50 && DispatchNextAction(); ++step) {
        }
    }
    for (std::thread& producer : producers) {
        producer.join();
    }
    host->Pump();
    for (sSlot& slot : slots) {
        received += slot.element->m_received;
    }
    EXPECT_EQ(g_wrongReceiver, 0);
    EXPECT_EQ(posted, kThreads * kPerThread);
    EXPECT_EQ(g_deletedActions, kThreads * kPerThread);
    EXPECT_GT(received, 0);
    EXPECT_LT(received, posted.load()) << "no element was replaced with actions queued";
}

} // namespace
