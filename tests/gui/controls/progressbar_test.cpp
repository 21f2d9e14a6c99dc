// The progress bar: the exact timeline of posted positions and washes on a virtual
// clock, pixels against an independent composition (Python + netpbm's pamscale), the
// flat box, goldens, and threads driving and destroying bars on the real clock.
#include "controlstest.h"
#include "gui/controls/progressbar.h"
#include "platform/drawtesttools.h"
#include "progressclock.h"

#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using qeltest::cVirtualClock;
using qeltest::ElementPixel;
using tTimeline = std::vector<std::string>;

// A bar that logs the position and wash actions it receives as "t:P<position>" and
// "t:W<tenths>" at the virtual time they are dispatched.
class cRecordingBar : public cProgressChild
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        const std::string at = std::to_string(cVirtualClock::Get().NowMs()) + ":";
        if (source == this) {
            if (auto* position = dynamic_cast<cSetProgressRequestAction*>(action)) {
                log.push_back(at + "P" + std::to_string(position->GetPosition()));
            } else if (auto* wash = dynamic_cast<cSetOpacityRequestAction*>(action)) {
                const long tenths = std::lround(wash->GetWash() * 10);
                EXPECT_DOUBLE_EQ(wash->GetWash(), tenths * 0.1);
                log.push_back(at + "W" + std::to_string(tenths));
            }
        }
        return cProgressChild::OnAction(source, action);
    }

    tTimeline log;
};

// "t:P<v>" for the positions start + i (target - start) / 10 posted every 30 ms from
// `atMs`, then the target 30 ms after the last step.
void AddSteps(tTimeline& timeline, u64 atMs, i64 start, i64 target)
{
    for (i64 i = 0; i < 10; ++i) {
        timeline.push_back(std::to_string(atMs + 30 * i) + ":P" + std::to_string(start + i * (target - start) / 10));
    }
    timeline.push_back(std::to_string(atMs + 300) + ":P" + std::to_string(target));
}

// "t:W<level>" from `from` to `to` tenths, 30 ms apart from `atMs`.
void AddWashes(tTimeline& timeline, u64 atMs, i32 from, i32 to)
{
    const i32 direction = from < to ? 1 : -1;
    for (i32 level = from;; level += direction) {
        timeline.push_back(std::to_string(atMs) + ":W" + std::to_string(level));
        atMs += 30;
        if (level == to) {
            break;
        }
    }
}

// Bars on the virtual clock in a form of their own; they go, and the helper threads
// are joined, once time runs freely again.
class cVirtualTimeBarTest : public qeltest::cFormTest
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
        for (std::thread& helper : helpers) {
            helper.join();
        }
        bars.clear();
        cGuiTest::TearDown();
    }

    // A styled bar whose job has reached its first sleep.
    template <typename tBar = cProgressChild>
    tBar* AddBar(i32 width, i32 height)
    {
        auto* bar = new tBar;
        bars.emplace_back(bar);
        form.GetClientPanel()->AttachChild(bar, 5, 0, width, height);
        cVirtualClock::Get().Settle(bars.size());
        return bar;
    }

    std::vector<std::unique_ptr<cProgressChild>> bars;
    std::vector<std::thread> helpers;
};

class ProgressTimelineTest : public cVirtualTimeBarTest
{
protected:
    void SetUp() override
    {
        cVirtualTimeBarTest::SetUp();
        bar = AddBar<cRecordingBar>(300, 18);
        bar->SetRange(1000);
    }

    // Pumps at the present time, then after every millisecond up to `targetMs`.
    void RunTo(u64 targetMs)
    {
        host->Pump();
        cVirtualClock::Get().AdvanceTo(targetMs, [this](u64) { host->Pump(); });
    }
    // Runs `call` on a helper thread (calls that may sleep must not run on the thread
    // that advances time) and lets it go as far as it can at the present time.
    void OnHelper(std::function<void()> call)
    {
        helpers.push_back(cVirtualClock::Get().Spawn(std::move(call)));
        cVirtualClock::Get().Settle();
    }
    void SetPositionAt(u64 atMs, i32 position)
    {
        RunTo(atMs);
        OnHelper([this, position] { bar->SetPosition(position); });
    }
    u32 BarPixel(i32 x, i32 y) { return ElementPixel(*host, bar, x, y) & 0xFFFFFF; }

    cRecordingBar* bar = nullptr;
};

TEST_F(ProgressTimelineTest, StartShowsZeroAndWashesTheGradientsIn)
{
    bar->Start();
    bar->Start(); // a second start posts nothing
    RunTo(500);
    tTimeline expected{"0:P0"};
    AddWashes(expected, 30, 10, 0);
    EXPECT_EQ(bar->log, expected);
    EXPECT_TRUE(bar->IsStarted());
}

TEST_F(ProgressTimelineTest, RequestsAnimateInTenStepsAndLowerOnesRestartFromZero)
{
    bar->Start();
    SetPositionAt(47, 500);   // cuts the wash short
    SetPositionAt(400, 300);  // below 500: from 0
    SetPositionAt(720, 300);  // already there: just the target
    SetPositionAt(750, -5);   // clamped to 0
    SetPositionAt(780, 2000); // clamped to the maximum
    RunTo(1110);
    bar->SetRange(0); // ignored: the maximum stays 1000
    SetPositionAt(1111, 2000);
    RunTo(1300);

    tTimeline expected{"0:P0", "30:W10", "50:W0"};
    AddSteps(expected, 80, 0, 500);
    AddSteps(expected, 410, 0, 300);
    expected.push_back("740:P300");
    expected.push_back("770:P0");
    AddSteps(expected, 800, 0, 1000);
    expected.push_back("1130:P1000");
    EXPECT_EQ(bar->log, expected);
}

TEST_F(ProgressTimelineTest, ANewRequestEndsTheStepsAtTheirTarget)
{
    bar->Start();
    SetPositionAt(47, 500);
    SetPositionAt(185, 800); // seen at the job's look at 190
    RunTo(600);
    tTimeline expected{"0:P0", "30:W10", "50:W0", "80:P0", "110:P50", "140:P100", "170:P150", "190:P500"};
    AddSteps(expected, 220, 500, 800);
    EXPECT_EQ(bar->log, expected);
}

TEST_F(ProgressTimelineTest, StopFillsUpThenWashesBackToTheFlatBox)
{
    bar->Start();
    SetPositionAt(47, 500);
    RunTo(402);
    // Off the job's 5 ms grid, so that its look and the stop never fall on one tick.
    OnHelper([this] { bar->Stop(eProgressStop::FillThenWash); });
    RunTo(500);
    EXPECT_TRUE(bar->IsStarted());
    EXPECT_EQ(BarPixel(0, 0), cProgressChild::kBorderPixel); // the composed picture
    RunTo(601);
    EXPECT_TRUE(bar->IsStarted());
    RunTo(602);
    EXPECT_FALSE(bar->IsStarted());
    RunTo(700);
    // Washing in while the flag is clear: the flat box, outlined in the frame colour.
    EXPECT_EQ(BarPixel(0, 0), qeltest::ThemePixel(21) & 0xFFFFFF);
    EXPECT_EQ(BarPixel(150, 9), qeltest::ThemePixel(14) & 0xFFFFFF);
    RunTo(1000);

    tTimeline expected{"0:P0", "30:W10", "50:W0"};
    AddSteps(expected, 80, 0, 500);
    for (i32 i = 0; i < 7; ++i) { // 500 .. 800 until the wash request at 602
        expected.push_back(std::to_string(410 + 30 * i) + ":P" + std::to_string(500 + 50 * i));
    }
    expected.push_back("605:P1000");
    AddWashes(expected, 635, 0, 10);
    EXPECT_EQ(bar->log, expected);
}

TEST_F(ProgressTimelineTest, StepsOfTheWidestRangeDoNotOverflow)
{
    // 9 x (2^31 - 1) needs 64 bits.
    const i32 maximum = 2147483647;
    bar->SetRange(maximum);
    bar->Start();
    SetPositionAt(47, maximum);
    RunTo(400);
    tTimeline expected{"0:P0", "30:W10", "50:W0"};
    AddSteps(expected, 80, 0, maximum);
    EXPECT_EQ(bar->log, expected);
}

TEST_F(ProgressTimelineTest, ImmediateStopCutsTheWashAndWashesIn)
{
    bar->Start();
    RunTo(100);
    bar->Stop(eProgressStop::Immediate);
    EXPECT_FALSE(bar->IsStarted());
    bar->Stop(eProgressStop::Immediate); // not started: nothing
    RunTo(500);
    tTimeline expected{"0:P0", "30:W10", "60:W9", "90:W8", "105:W0"};
    AddWashes(expected, 135, 0, 10);
    EXPECT_EQ(bar->log, expected);
}

TEST_F(ProgressTimelineTest, AWashRequestNotYetTakenIsWaitedFor)
{
    bar->Start(); // the wash-out request waits for the job's look at 30
    RunTo(7);
    std::atomic<bool> returned{false};
    OnHelper([&] {
        bar->SetPosition(500); // polls at 17, 27 and 37
        returned = true;
    });
    RunTo(36);
    EXPECT_FALSE(returned);
    RunTo(37);
    EXPECT_TRUE(returned);
    RunTo(500);
    // Taken at 30, the wash is cut at the job's look at 40; the steps start at 70.
    tTimeline expected{"0:P0", "30:W10", "40:W0"};
    AddSteps(expected, 70, 0, 500);
    EXPECT_EQ(bar->log, expected);
}

TEST_F(ProgressTimelineTest, ABarWithoutARunningJobNeverHangsItsCaller)
{
    // Never styled: its job never ran, so nobody would take the wash request.
    cProgressChild loose;
    loose.SetRange(100);
    OnHelper([&] { loose.SetPosition(50); });
    EXPECT_TRUE(loose.IsStarted());
    OnHelper([&] { loose.Stop(eProgressStop::FillThenWash); }); // 40 sleeps of 5 ms
    RunTo(200);
    EXPECT_FALSE(loose.IsStarted());
}

// --- pixels ---------------------------------------------------------------------------------

struct sPixelCase
{
    std::string name;
    i32 width;
    i32 height;
    i32 maximum;
    i32 position;
    f64 wash;
    u32 fillColour; // 0x00BBGGRR
};

// Fills stand for GDI colours; the oracle takes pixel order.
std::string PixelHex(u32 colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "%06X", PixelFromColour(colour) & 0xFFFFFFu);
    return text;
}

// Time stands still: the jobs never take a request, so only the test's own actions
// change what the bars show.
class ProgressPixelTest : public cVirtualTimeBarTest
{
protected:
    void Show(cProgressChild* bar, const sPixelCase& c)
    {
        bar->SetRange(c.maximum);
        bar->Start();
        bar->SetFillColour(c.fillColour, true);
        host->Pump(); // Start's position 0 first: the GUI queue would overtake it
        PostAction(bar, new cProgressChild::cSetProgressRequestAction(c.position));
        PostAction(bar, new cProgressChild::cSetOpacityRequestAction(c.wash));
        host->Pump();
    }
    std::vector<u32> Painted(cProgressChild* bar)
    {
        std::vector<u32> pixels;
        for (i32 y = 0; y < bar->GetHeight(); ++y) {
            for (i32 x = 0; x < bar->GetWidth(); ++x) {
                pixels.push_back(ElementPixel(*host, bar, x, y) & 0xFFFFFF);
            }
        }
        return pixels;
    }
};

TEST_F(ProgressPixelTest, ComposedBarMatchesTheOracle)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3") && qeltest::HaveTool("pamscale") &&
                    qeltest::HaveTool("pnmtoplainpnm"),
                "/usr/bin/python3 and netpbm");
    const u32 themeFill = GetTheme()->GetColour(14);
    const u32 red = 0x000000FF; // pure red as a GDI colour: must not come out blue
    std::vector<sPixelCase> cases;
    for (i32 width : {3, 10, 580}) {
        for (i32 height : {3, 18, 22, 40}) {
            for (i32 position : {0, 1, 1000 / 3, 1000}) {
                for (f64 wash : {0.0, 0.3, 1.0}) {
                    for (u32 fill : {themeFill, red}) {
                        std::ostringstream name;
                        name << "w" << width << "h" << height << "p" << position << "s" << wash * 10 << "f" << fill;
                        cases.push_back({name.str(), width, height, 1000, position, wash, fill});
                    }
                }
            }
        }
    }
    // A range where position x width leaves 32 bits.
    cases.push_back({"large_third", 580, 18, 2147483647, 2147483647 / 3, 0.0, themeFill});
    cases.push_back({"large_almost", 580, 22, 2147483647, 2147483646, 0.3, red});

    drawtest::cTempFolder folder;
    {
        std::ofstream list(folder.File("cases.txt"));
        for (const sPixelCase& c : cases) {
            list << c.name << ' ' << c.width << ' ' << c.height << ' ' << c.maximum << ' ' << c.position << ' '
                 << c.wash << ' ' << PixelHex(c.fillColour) << '\n';
        }
    }
    int exitCode = -1;
    drawtest::RunCommand("/usr/bin/python3 '" + std::string(QEL_SOURCE_DIR) + "/tools/testdata/progress_oracle.py' '" +
                             folder.File("cases.txt") + "' '" + folder.File("") + "'",
                         &exitCode);
    ASSERT_EQ(exitCode, 0);

    for (const sPixelCase& c : cases) {
        cProgressChild* bar = AddBar(c.width, c.height);
        Show(bar, c);
        const drawtest::sRgbImage expected = drawtest::ReadPpm(drawtest::ReadFileBytes(folder.File(c.name + ".ppm")));
        ASSERT_EQ(expected.width, c.width) << c.name;
        ASSERT_EQ(expected.height, c.height) << c.name;
        const std::vector<u32> painted = Painted(bar);
        // Only the stretched columns may differ, by rounding: 22 rows are the columns'
        // own 20, the border is never mixed, and wash 1 is the fill whatever the column.
        const bool exact = c.height == 22 || c.wash == 1.0;
        i32 mismatches = 0;
        for (i32 y = 0; y < c.height; ++y) {
            for (i32 x = 0; x < c.width; ++x) {
                const u32 ours = painted[size_t(y) * c.width + x];
                const u32 theirs = expected.pixels[size_t(y) * c.width + x];
                const bool border = y == 0 || x == 0 || y == c.height - 1 || x == c.width - 1;
                i32 worst = 0;
                for (i32 shift = 0; shift < 24; shift += 8) {
                    worst = std::max(worst, std::abs(i32((ours >> shift) & 0xFF) - i32((theirs >> shift) & 0xFF)));
                }
                if (worst > (exact || border ? 0 : 1) && mismatches++ < 3) {
                    ADD_FAILURE() << c.name << " at (" << x << ", " << y << "): " << std::hex << ours << " against "
                                  << theirs;
                }
            }
        }
        if (c.wash == 1.0 && c.width >= 3 && c.height >= 3) {
            // Fully washed, the inside is the flat box's fill, hue and all.
            EXPECT_EQ(painted[size_t(c.width) + 1], PixelFromColour(c.fillColour) & 0xFFFFFF) << c.name;
        }
        form.GetClientPanel()->DetachChild(bar);
    }
}

TEST_F(ProgressPixelTest, WashIsHeldToItsRangeAndTooSmallBarsDrawTheFlatBox)
{
    cProgressChild* bar = AddBar(10, 22);
    Show(bar, {"", 10, 22, 1000, 1000, 0.0, GetTheme()->GetColour(14)});
    const u32 doneRow0 = cProgressChild::kDoneColumn[0];
    EXPECT_EQ(ElementPixel(*host, bar, 8, 1) & 0xFFFFFF, doneRow0);
    // A wash outside 0..1 (or NaN) is held to the range instead of wrapping bytes.
    PostAction(bar, new cProgressChild::cSetOpacityRequestAction(std::nan("")));
    host->Pump();
    EXPECT_EQ(ElementPixel(*host, bar, 8, 1) & 0xFFFFFF, doneRow0);
    PostAction(bar, new cProgressChild::cSetOpacityRequestAction(7.5));
    host->Pump();
    EXPECT_EQ(ElementPixel(*host, bar, 8, 1), qeltest::ThemePixel(14));

    // Two pixels high: nothing is composed, the flat box is drawn.
    cProgressChild* thin = AddBar(40, 2);
    Show(thin, {"", 40, 2, 1000, 500, 0.0, GetTheme()->GetColour(14)});
    EXPECT_TRUE(thin->IsStarted());
    EXPECT_EQ(ElementPixel(*host, thin, 10, 0), qeltest::ThemePixel(21));
    // Shrinking a running bar to 2 pixels falls back to the flat box as well.
    bar->SetBounds(5, 40, 10, 2);
    host->Pump();
    EXPECT_EQ(ElementPixel(*host, bar, 4, 1), qeltest::ThemePixel(21));
}

TEST_F(ProgressPixelTest, ForeignActionsPassThroughTheBar)
{
    // The form's Stop toolbar lies on the bar: its code-7 button action and code-8 bar
    // press bubble through the bar's OnAction and must reach the form untouched.
    cProgressChild* bar = AddBar(200, 18);
    cChildElement child;
    bar->AttachChild(&child, 150, 0, 50, 18);
    PostAction(&child, new cProgressChild::cSetProgressRequestAction(5));
    PostAction(&child, new cProgressChild::cSetOpacityRequestAction(0.5));
    child.PostCode(8);
    bar->PostCode(7); // a plain code 7 from the bar itself is no position either
    host->Pump();
    const std::vector<qeltest::sActionRecord> expected = {
        {&child, 7, -1}, {&child, 8, -1}, {&child, 8, -1}, {bar, 7, -1}};
    EXPECT_EQ(form.actions, expected);
    bar->DetachChild(&child);
}

// Each golden bar is the root of a window of its own size, so the window is the bar.
TEST_F(ProgressPixelTest, SnapshotsMatchTheGoldens)
{
    auto barWindow = [this] {
        auto* bar = new cProgressChild;
        bars.emplace_back(bar);
        Open(bar, 240, 18);
        cVirtualClock::Get().Settle(bars.size());
        return bar;
    };
    // The goldens live beside the other controls' under tests/data/gui/progress.
    auto expectGolden = [this](cProgressChild* bar, const std::string& name) {
        host->Pump();
        qeltest::ExpectMatchesGolden(*host->GetCanvas(bar->GetWindow()), "../progress/" + name);
    };
    const u32 fill = GetTheme()->GetColour(14);
    cProgressChild* flat = barWindow();
    flat->SetRange(1000);
    expectGolden(flat, "bar_flat.png");
    for (const auto& [wash, name] : {std::pair{0.5, "bar_375_wash05.png"}, std::pair{0.0, "bar_375.png"}}) {
        cProgressChild* bar = barWindow();
        Show(bar, {"", 240, 18, 1000, 375, wash, fill});
        expectGolden(bar, name);
    }
    cProgressChild* full = barWindow();
    Show(full, {"", 240, 18, 1000, 1000, 0.0, fill});
    expectGolden(full, "bar_full.png");
}

// --- threads on the real clock --------------------------------------------------------------

class ProgressThreadTest : public qeltest::cFormTest
{
};

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
