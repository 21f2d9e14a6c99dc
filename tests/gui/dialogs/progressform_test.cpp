// The standard progress form: how it ends (result codes, Stop, Escape, the close
// request), status lines and the refresh throttle on a virtual clock, and the snapshots
// (which hold the layout).
#include "gui/controlstest.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/progressform.h"
#include "gui/progressclock.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

using qeltest::cVirtualClock;

// A progress form whose body is a test function.
class cScriptedProgressForm : public cStdBasicProgressForm
{
public:
    using tBody = std::function<i32(cScriptedProgressForm&)>;

    explicit cScriptedProgressForm(tBody body, std::atomic<i32>* deaths = nullptr)
        : m_body(std::move(body)), m_deaths(deaths)
    {
    }
    ~cScriptedProgressForm() override
    {
        cJob::Stop(4000); // the body is a member of this class
        if (m_deaths != nullptr) {
            ++*m_deaths;
        }
    }

    using cStdBasicProgressForm::SetShowEstimate;

    cProgressChild* Bar() { return dynamic_cast<cProgressChild*>(GetClientPanel()->GetChildren().at(0)); }
    cStaticElement* Status() { return dynamic_cast<cStaticElement*>(GetClientPanel()->GetChildren().at(1)); }
    cToolBarChild* Toolbar() { return dynamic_cast<cToolBarChild*>(Bar()->GetChildren().at(0)); }
    std::u16string StatusText() { return Status()->GetText(); }

protected:
    i32 Run() override { return m_body(*this); }

private:
    tBody m_body;
    std::atomic<i32>* m_deaths;
};

// A body that waits (in real time) for the cancel and returns `result`.
cScriptedProgressForm::tBody UntilCancelled(i32 result)
{
    return [result](cScriptedProgressForm& form) {
        while (!form.IsCancelRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return result;
    };
}

cScriptedProgressForm* Scripted(cWindowTranslator& window)
{
    return dynamic_cast<cScriptedProgressForm*>(window.GetRoot());
}

// Pumps until the run ends (the end action arrives); false after five seconds.
bool PumpUntilTheRunEnds(cHeadlessHost& host, cWindowTranslator& window)
{
    host.PumpUntil([] { return false; }, 5000);
    return window.IsRunEnded();
}

// Runs `call` on a helper thread and moves virtual time on in 5 ms steps, pumping, until
// it returns (the bar's first position waits for its job to take the wash request).
void OnHelper(cHeadlessHost& host, std::function<void()> call)
{
    cVirtualClock& clock = cVirtualClock::Get();
    std::atomic<bool> done{false};
    std::thread helper = clock.Spawn([&] {
        call();
        done = true;
    });
    clock.Settle();
    while (!done) {
        clock.AdvanceTo(clock.NowMs() + 5, [&](u64) { host.Pump(); });
    }
    helper.join();
}

// The progress forms run over the fixture's form.
class ProgressFormTest : public qeltest::cFormTest
{
protected:
    i32 Run(cScriptedProgressForm* form, cHeadlessHost::tModalScript script)
    {
        host->PushModalScript(std::move(script));
        return RunProgressForm(&this->form, form, u"Working");
    }
};

TEST_F(ProgressFormTest, TheStopButtonCancelsLikeEscape)
{
    const i32 result = Run(new cScriptedProgressForm(UntilCancelled(9)), [](cHeadlessHost& h, cWindowTranslator& window) {
        // Panel (5, 34) + bar (5, 0) + toolbar (528, 0): the button's middle.
        h.Click(5 + 5 + 528 + 26, 34 + 9);
        h.Pump();
        EXPECT_TRUE(Scripted(window)->IsCancelRequested());
        EXPECT_TRUE(Scripted(window)->IsCancelled());
        EXPECT_TRUE(PumpUntilTheRunEnds(h, window));
    });
    EXPECT_EQ(result, 9);
}

TEST_F(ProgressFormTest, CloseRequestIsRefusedWhileTheJobRuns)
{
    std::atomic<bool> sawCancel{false};
    std::atomic<bool> mayReturn{false};
    auto body = [&](cScriptedProgressForm& form) {
        while (!form.IsCancelRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sawCancel = true;
        while (!mayReturn) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 4;
    };
    const i32 result = Run(new cScriptedProgressForm(body), [&](cHeadlessHost& h, cWindowTranslator& window) {
        h.RequestClose();
        EXPECT_TRUE(h.PumpUntil([&] { return sawCancel.load(); }, 5000));
        EXPECT_FALSE(window.IsRunEnded()); // the body decides when to return
        mayReturn = true;
        EXPECT_TRUE(PumpUntilTheRunEnds(h, window));
    });
    EXPECT_EQ(result, 4);
}

TEST_F(ProgressFormTest, EscapeAfterTheJobEndedButBeforeItsEndActionGivesZero)
{
    // Also the path of a job that never ran: Escape finds no job running.
    const i32 result = Run(new cScriptedProgressForm([](cScriptedProgressForm&) { return 6; }),
                           [](cHeadlessHost& h, cWindowTranslator& window) {
                               while (Scripted(window)->IsRunning()) {
                                   std::this_thread::sleep_for(std::chrono::milliseconds(1));
                               }
                               h.KeyDown(kVkEscape); // the end action is still queued
                           });
    EXPECT_EQ(result, 0);
    // The queued end action found its form gone and was dropped.
    host->Pump();
}

TEST_F(ProgressFormTest, RunnerOwnsTheFormOnEveryPath)
{
    std::atomic<i32> deaths{0};
    EXPECT_EQ(RunProgressForm(nullptr, new cScriptedProgressForm(UntilCancelled(1), &deaths), u"x"), 0);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(RunProgressForm(&form, nullptr, u"x"), 0);
    host->FailNextWindowOpen();
    EXPECT_EQ(RunProgressForm(&form, new cScriptedProgressForm(UntilCancelled(1), &deaths), u"x"), -1);
    EXPECT_EQ(deaths, 2);
}

// --- status lines on the virtual clock ---------------------------------------------------

struct sReport
{
    u64 atMs; // from the form's creation
    f64 percent;
};

// A form started at virtual time `startMs` receives the reports at their times (each on
// a helper thread, as the job would make them); returns the status line after each.
class ProgressStatusTest : public ProgressFormTest
{
protected:
    // `before` runs in the form's script before the first report.
    std::vector<std::u16string> Statuses(u64 startMs, const std::vector<sReport>& reports,
                                         const std::function<void(cScriptedProgressForm&)>& before = {})
    {
        cVirtualClock& clock = cVirtualClock::Get();
        clock.Install(startMs);
        std::vector<std::u16string> statuses;
        auto* created = new cScriptedProgressForm(UntilCancelled(0));
        Run(created, [&](cHeadlessHost& h, cWindowTranslator& window) {
            cScriptedProgressForm* form = Scripted(window);
            clock.Settle(1); // the bar's job sleeps
            if (before) {
                before(*form);
            }
            for (const sReport& report : reports) {
                clock.JumpTo(startMs + report.atMs);
                OnHelper(h, [form, report] { form->OnProgress(report.percent); });
                statuses.push_back(form->StatusText());
            }
            clock.Uninstall();
            h.KeyDown(kVkEscape);
            PumpUntilTheRunEnds(h, window);
        });
        return statuses;
    }

};

std::string Narrow(const std::u16string& text)
{
    std::string narrow;
    for (char16_t unit : text) {
        narrow.push_back(unit < 0x80 ? char(unit) : '?');
    }
    return narrow;
}

// The percentage is held to 0..100 (NaN is 0, which shows nothing yet), the estimate to
// 99:59:59, and hours are not wrapped.
TEST_F(ProgressStatusTest, StatusLinesOverATable)
{
    const struct
    {
        f64 percent;
        u64 elapsedMs;
        const char* status;
    } cases[] = {
        {25, 10000, "Operation progress: 25.0%. Time consumed: 00:00:10. Estimated time left: 00:00:30."},
        {99.99, 3600000, "Operation progress: 99.9%. Time consumed: 01:00:00. Estimated time left: 00:00:00."},
        {150, 5000, "Operation progress: 100.0%. Time consumed: 00:00:05. Estimated time left: 00:00:00."},
        {std::numeric_limits<f64>::quiet_NaN(), 5000, "Starting..."},
        {-5, 5000, "Starting..."},
        {1e-7, 10000, "Operation progress: 0.0%. Time consumed: 00:00:10. Estimated time left: 99:59:59."},
        {50, 360000000, "Operation progress: 50.0%. Time consumed: 100:00:00. Estimated time left: 99:59:59."},
        {12.5, 4294000000ull, "Operation progress: 12.5%. Time consumed: 1192:46:40. Estimated time left: 99:59:59."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(Statuses(1000000, {{c.elapsedMs, c.percent}}).at(0)), c.status);
    }
    // Without the estimate: the elapsed time only.
    const std::vector<std::u16string> plain =
        Statuses(1000000, {{10000, 25}}, [](cScriptedProgressForm& form) { form.SetShowEstimate(false); });
    EXPECT_EQ(plain.at(0), u"Operation is in progress; elapsed time: 00:00:10.");
}

TEST_F(ProgressStatusTest, RefreshesAtMostEveryHalfSecondAcrossATickWrap)
{
    // 300 ms after a refresh nothing changes; 600 ms after it the line refreshes.
    std::vector<std::u16string> statuses = Statuses(1000000, {{1000, 10}, {1300, 20}, {1600, 30}});
    EXPECT_EQ(statuses.at(0), statuses.at(1));
    EXPECT_NE(statuses.at(1), statuses.at(2));
    EXPECT_NE(statuses.at(2).find(u"30.0%"), std::u16string::npos);

    // The tick wraps 512 ms after the form starts: still a refresh > 500 ms apart.
    statuses = Statuses(0xFFFFFE00ull, {{100, 10}, {400, 20}, {700, 30}});
    EXPECT_NE(statuses.at(0).find(u"10.0%. Time consumed: 00:00:00."), std::u16string::npos);
    EXPECT_EQ(statuses.at(1), statuses.at(0));
    EXPECT_NE(statuses.at(2).find(u"30.0%"), std::u16string::npos);

    // Within the first 500 ms of the tick itself, the first report is throttled too.
    statuses = Statuses(100, {{300, 10}, {601, 20}});
    EXPECT_EQ(statuses.at(0), u"Starting...");
    EXPECT_NE(statuses.at(1).find(u"20.0%"), std::u16string::npos);
}

} // namespace

namespace {

using tTakeSnapshot = std::function<void(const cCanvas& canvas, const std::string& name)>;

// The form as a user sees it, over `owner`: starting, at 25 % after 10 s with the
// animation settled (with the focused Stop button, and without focus: the transparent
// button over the bar's gradient), and with the pointer on the pressed Stop button.
void RenderFormStates(cHeadlessHost& host, cCustomForm& owner, const tTakeSnapshot& take)
{
    cVirtualClock& clock = cVirtualClock::Get();
    const u64 start = 1000000;
    clock.Install(start);
    auto snapshot = [&](cWindowTranslator& window, const std::string& name) {
        host.Pump();
        const cCanvas* canvas = host.GetCanvas(&window);
        ASSERT_NE(canvas, nullptr);
        take(*canvas, name);
    };
    // Panel (5, 34) + bar (5, 0) + toolbar (528, 0): on the button.
    const i32 buttonX = 5 + 5 + 528 + 26;
    const i32 buttonY = 34 + 9;
    host.PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        cScriptedProgressForm* form = Scripted(window);
        clock.Settle(1);
        snapshot(window, "form_starting");
        clock.JumpTo(start + 10000);
        OnHelper(h, [form] { form->OnProgress(25); });
        clock.AdvanceTo(clock.NowMs() + 400, [&](u64) { h.Pump(); }); // wash and ten steps
        snapshot(window, "form_25");
        // The created action gave the Stop button the focus, which draws its face;
        // without it the transparent button shows the bar's gradient.
        window.ChangeFocus(nullptr, kFocusByCode, false, false);
        snapshot(window, "form_25_unfocused");
        h.MouseMove(buttonX, buttonY);
        h.MouseDown(buttonX, buttonY);
        snapshot(window, "form_stop_pressed");
        h.MouseUp(buttonX, buttonY);
        clock.Uninstall();
        EXPECT_TRUE(PumpUntilTheRunEnds(h, window));
    });
    EXPECT_EQ(RunProgressForm(&owner, new cScriptedProgressForm(UntilCancelled(0)), u"Working"), 0);
    clock.Uninstall();
}

TEST_F(ProgressFormTest, SnapshotsMatchTheGoldens)
{
    RenderFormStates(*host, form, [](const cCanvas& canvas, const std::string& name) {
        qeltest::ExpectMatchesGolden(canvas, "../progress/" + name + ".png");
    });
}

} // namespace
