// The progress bar: pixels of the composed picture and the flat box, actions of other
// elements passing through, goldens, and threads driving and destroying bars on the
// real clock. (The gradient stretch is checked against pamscale in the resample tests.)
#include "gui/controls/progressbar.h"
#include "gui/controlstest.h"
#include "gui/progressclock.h"

#include <atomic>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using qeltest::cVirtualClock;
using qeltest::ElementPixel;

// Time stands still: the jobs never take a request, so only the test's own actions
// change what the bars show. The bars go once time runs freely again.
class ProgressPixelTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cVirtualClock::Get().Install(0);
        cFormTest::SetUp();
    }
    void TearDown() override
    {
        cVirtualClock::Get().Uninstall();
        bars.clear();
        cGuiTest::TearDown();
    }

    // A bar whose job has reached its first sleep, in the form or (width 0) as the root
    // of a window of its own, so that the window is the bar.
    cProgressChild* AddBar(i32 width, i32 height)
    {
        auto* bar = new cProgressChild;
        bars.emplace_back(bar);
        if (width > 0) {
            form.GetClientPanel()->AttachChild(bar, 5, 0, width, height);
        } else {
            Open(bar, 240, 18);
        }
        cVirtualClock::Get().Settle(bars.size());
        return bar;
    }
    void Show(cProgressChild* bar, i32 maximum, i32 position, f64 wash, u32 fill = GetTheme()->GetColour(14))
    {
        bar->SetRange(maximum);
        bar->Start();
        bar->SetFillColour(fill, true);
        host->Pump(); // Start's position 0 first: the GUI queue would overtake it
        PostAction(bar, new cProgressChild::cSetProgressRequestAction(position));
        PostAction(bar, new cProgressChild::cSetOpacityRequestAction(wash));
        host->Pump();
    }
    u32 Pixel(cProgressChild* bar, i32 x, i32 y) { return ElementPixel(*host, bar, x, y) & 0xFFFFFF; }

    std::vector<std::unique_ptr<cProgressChild>> bars;
};

// A wash outside 0..1 (or NaN) is held to the range instead of wrapping bytes; fully
// washed the inside is the fill, hue and all (pure red as a GDI colour must not come out
// blue); bars too thin for the gradients draw the flat box.
TEST_F(ProgressPixelTest, WashIsHeldToItsRangeAndThinBarsDrawTheFlatBox)
{
    cProgressChild* bar = AddBar(10, 22);
    Show(bar, 1000, 1000, std::nan(""));
    EXPECT_EQ(Pixel(bar, 8, 1), cProgressChild::kDoneColumn[0]);
    PostAction(bar, new cProgressChild::cSetOpacityRequestAction(7.5));
    host->Pump();
    EXPECT_EQ(ElementPixel(*host, bar, 8, 1), qeltest::ThemePixel(14));
    bar->SetFillColour(0x0000FF, true);
    host->Pump();
    EXPECT_EQ(Pixel(bar, 8, 1), 0xFF0000u);

    cProgressChild* thin = AddBar(40, 2);
    Show(thin, 1000, 500, 0.0);
    EXPECT_TRUE(thin->IsStarted());
    EXPECT_EQ(ElementPixel(*host, thin, 10, 0), qeltest::ThemePixel(21));
    // Shrinking a running bar to 2 pixels falls back to the flat box as well.
    bar->SetBounds(5, 40, 10, 2);
    host->Pump();
    EXPECT_EQ(ElementPixel(*host, bar, 4, 1), qeltest::ThemePixel(21));
}

TEST_F(ProgressPixelTest, SnapshotsMatchTheGoldens)
{
    auto expectGolden = [this](cProgressChild* bar, const std::string& name) {
        host->Pump();
        qeltest::ExpectMatchesGolden(*host->GetCanvas(bar->GetWindow()), "../progress/" + name);
    };
    cProgressChild* flat = AddBar(0, 0);
    flat->SetRange(1000);
    expectGolden(flat, "bar_flat.png");
    const struct
    {
        i32 position;
        f64 wash;
        const char* name;
    } states[] = {{375, 0.5, "bar_375_wash05.png"}, {375, 0.0, "bar_375.png"}, {1000, 0.0, "bar_full.png"}};
    for (const auto& state : states) {
        cProgressChild* bar = AddBar(0, 0);
        Show(bar, 1000, state.position, state.wash);
        expectGolden(bar, state.name);
    }
}

// --- the job on the real clock --------------------------------------------------------------

// Logs the positions the job posts to the bar.
class cPositionLog : public cProgressChild
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (auto* position = dynamic_cast<cSetProgressRequestAction*>(action); position != nullptr && source == this) {
            positions.push_back(position->GetPosition());
        }
        return cProgressChild::OnAction(source, action);
    }
    std::vector<i32> positions;
};

class ProgressThreadTest : public qeltest::cFormTest
{
};

// Requests end at their (clamped) targets, a lower one fills again from the left, a
// zero range is ignored, and a stop fills up and washes back to the flat box.
TEST_F(ProgressThreadTest, RequestsReachTheirTargetsAndAStopWashesBackToTheFlatBox)
{
    cPositionLog bar;
    form.GetClientPanel()->AttachChild(&bar, 5, 0, 300, 18);
    bar.SetRange(1000);
    bar.SetRange(0);
    auto reaches = [&](i32 position) {
        return host->PumpUntil([&] { return !bar.positions.empty() && bar.positions.back() == position; }, 5000);
    };
    bar.SetPosition(800);
    ASSERT_TRUE(reaches(800));
    const size_t lowerFrom = bar.positions.size();
    bar.SetPosition(300);
    ASSERT_TRUE(reaches(300));
    EXPECT_EQ(bar.positions.at(lowerFrom), 0);
    bar.SetPosition(2000);
    EXPECT_TRUE(reaches(1000));
    bar.Stop(eProgressStop::FillThenWash);
    EXPECT_TRUE(host->PumpUntil(
        [&] { return !bar.IsStarted() && ElementPixel(*host, &bar, 150, 9) == qeltest::ThemePixel(14); }, 5000));
    EXPECT_EQ(ElementPixel(*host, &bar, 0, 0), qeltest::ThemePixel(21));
    form.GetClientPanel()->DetachChild(&bar);
}

// The steps towards the widest range (9 x (2^31 - 1) needs 64 bits) climb and end at it.
TEST_F(ProgressThreadTest, StepsOfTheWidestRangeClimbToIt)
{
    cPositionLog bar;
    form.GetClientPanel()->AttachChild(&bar, 5, 0, 300, 18);
    bar.SetRange(2147483647);
    bar.SetPosition(2147483647);
    EXPECT_TRUE(host->PumpUntil([&] { return !bar.positions.empty() && bar.positions.back() == 2147483647; }, 5000));
    for (size_t i = 1; i < bar.positions.size(); ++i) {
        EXPECT_LE(bar.positions[i - 1], bar.positions[i]);
    }
    // An immediate stop ends the bar at once; a second one finds nothing to stop.
    bar.Stop(eProgressStop::Immediate);
    EXPECT_FALSE(bar.IsStarted());
    bar.Stop(eProgressStop::Immediate);
    form.GetClientPanel()->DetachChild(&bar);
}

TEST_F(ProgressThreadTest, ABarWithoutARunningJobNeverHangsItsCaller)
{
    // Never styled: its job never ran, so nobody would take the wash request.
    cProgressChild loose;
    loose.SetRange(100);
    loose.SetPosition(50);
    EXPECT_TRUE(loose.IsStarted());
    loose.Stop(eProgressStop::FillThenWash);
    EXPECT_FALSE(loose.IsStarted());
}

TEST_F(ProgressThreadTest, ThreeThreadsDriveOneBarWhileItPaints)
{
    cProgressChild bar;
    form.GetClientPanel()->AttachChild(&bar, 5, 0, 580, 18);
    bar.SetRange(1000);
    std::atomic<bool> done{false};
    std::vector<std::thread> drivers;
    for (u32 seed = 1; seed <= 3; ++seed) {
        drivers.emplace_back([&, seed] {
            std::mt19937 random(seed);
            for (i32 i = 0; i < 30; ++i) {
                const i32 position = i32(random() % 1200) - 100;
                switch (random() % 5) {
                case 0:
                    bar.Stop(eProgressStop::Immediate);
                    break;
                case 1:
                    if (seed == 1) {
                        bar.Stop(eProgressStop::FillThenWash);
                    }
                    break;
                case 2:
                    bar.SetPosition(position, eProgressWait::NoWait);
                    break;
                default:
                    bar.SetPosition(position);
                    break;
                }
            }
        });
    }
    std::thread finisher([&] {
        for (std::thread& driver : drivers) {
            driver.join();
        }
        done = true;
    });
    while (!done) {
        host->PumpUntil([&] { return done.load(); }, 5);
        ASSERT_NE(host->GetCanvas(window), nullptr);
    }
    finisher.join();
    // Whatever the interleaving, a last request ends up shown: done left of
    // F = 321 x 580 / 1000 = 186, remaining right of it.
    bar.SetPosition(321);
    EXPECT_TRUE(host->PumpUntil(
        [&] { return ElementPixel(*host, &bar, 185, 9) != ElementPixel(*host, &bar, 186, 9); }, 3000));
    form.GetClientPanel()->DetachChild(&bar);
}

TEST_F(ProgressThreadTest, BarsDestroyedWhileTheirAnimationPosts)
{
    for (i32 round = 0; round < 20; ++round) {
        auto bar = std::make_unique<cProgressChild>();
        form.GetClientPanel()->AttachChild(bar.get(), 5, 0, 300, 18);
        bar->SetRange(1000);
        bar->SetPosition(1000, eProgressWait::NoWait);
        host->PumpUntil([] { return false; }, u32(5 + round * 3));
        bar.reset(); // actions it posted meanwhile are dropped unrun
        host->Pump();
    }
}

} // namespace
