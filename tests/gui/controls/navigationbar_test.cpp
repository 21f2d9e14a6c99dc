// The navigation bar on the headless host: crumbs, history, states, Stop, and the
// progress animator against a Python oracle.
#include "base/clock.h"
#include "gui/controls/navigationbar.h"
#include "payloadform.h"
#include "support/shellcommand.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

using namespace qeltest;

namespace {

// A provider whose listing waits until released or stopped and ends with `result`.
class cGateProvider : public cNavigationProvider
{
public:
    ~cGateProvider() override { (void)Stop(1000); }
    bool CanNavigate(const char16_t* path) override { return path != nullptr && path[0] == u'/'; }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        gate.notify_all();
    }
    std::atomic<i32> result{0};

protected:
    i32 List(const char16_t*, const char16_t*) override
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!released && !IsStopRequested()) {
            gate.wait_for(lock, std::chrono::milliseconds(5));
        }
        released = false;
        return IsStopRequested() ? 1 : result.load();
    }

private:
    std::mutex mutex;
    std::condition_variable gate;
    bool released = false;
};

// Records the fractions posted to it.
class cFractionSink : public cChildElement
{
public:
    bool OnAction(cChildElement*, cChildAction* action) override
    {
        if (auto* progress = dynamic_cast<cNaviFakeProgressRecvAction*>(action)) {
            fractions.push_back(progress->GetFraction());
        }
        return true;
    }
    std::vector<f64> fractions;
};

class NavigationBar : public cPayloadFormTest
{
protected:
    void SetUp() override
    {
        cPayloadFormTest::SetUp();
        form.GetClientPanel()->AddChildAt(&bar, 0, 0, -1, 22);
        host->Pump();
    }
    void Press(cToolBarChild* toolbar, i32 id)
    {
        (void)PostAction(toolbar, new cToolBarChild::cTbButtonAction(id));
        host->Pump();
    }
    cNavigationChild bar;
};

std::u16string Crumbs(cNavigationChild& bar)
{
    std::u16string out;
    for (i32 id = 0; id < 6; ++id) {
        const char16_t* text = nullptr;
        const char16_t* path = nullptr;
        if (bar.GetCrumb(id, text, path)) {
            out += std::u16string(u"[") + char16_t(u'0' + id) + u" " + text + u" " + path + u"]";
        }
    }
    return out;
}

} // namespace

TEST_F(NavigationBar, CrumbsOfAbsoluteAndDrivePaths)
{
    const struct
    {
        bool showRoot;
        const char16_t* path;
        const char16_t* crumbs;
    } cases[] = {
        {true, u"/a//b/", u"[1 / /][2 a /a][3 b /a//b]"},
        {false, u"/a//b/", u"[2 a /a][3 b /a//b]"},
        {true, u"X:/y", u"[1 X: X:][2 y X:/y]"},
        {true, nullptr, u""},
    };
    for (const auto& test : cases) {
        bar.SetShowRoot(test.showRoot);
        EXPECT_TRUE(bar.SetPath(test.path));
        EXPECT_EQ(Crumbs(bar), test.crumbs);
        // Button 0 opens the path box; one button per crumb.
        EXPECT_NE(bar.GetCrumbBar()->GetButton(0), nullptr);
        EXPECT_EQ(bar.GetCrumbBar()->GetButton(4), nullptr);
    }
}

TEST_F(NavigationBar, HistoryMostRecentFirstAndTypedPathsAreCleaned)
{
    for (const char16_t* path : {u"/a", u"/b", u"/a", u"", static_cast<const char16_t*>(nullptr)}) {
        EXPECT_TRUE(bar.SetPath(path));
    }
    Press(bar.GetCrumbBar(), 0);
    cComboBoxChild* box = bar.GetPathBox();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateEditing);
    EXPECT_TRUE(box->IsVisible());
    EXPECT_FALSE(bar.GetProgressBar()->IsVisible());
    std::vector<std::u16string> items;
    for (i32 index = 0; box->Select(index, false); ++index) {
        items.push_back(box->GetText());
    }
    EXPECT_EQ(items, (std::vector<std::u16string>{u"/a", u"/b"}));
    form.Take();
    // Enter in the box navigates to the cleaned text; without a provider it is posted.
    ASSERT_TRUE(box->GetField()->SetTextN(u"\"\\a\\c\\ \"", -1));
    box->Activate();
    host->KeyDown(0x0D);
    host->Pump();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateBusy);
    EXPECT_STREQ(reinterpret_cast<const char*>(bar.GetPath()), reinterpret_cast<const char*>(u"/a/c"));
    EXPECT_EQ(form.Find(cNavigationChild::cNaviSetPathAction::kCode, &bar).size(), 1u);
    EXPECT_EQ(form.okCount, 0);
    // Escape in the box ends editing (the first one drops the field's selection).
    (void)PostJobAction(&bar, new cChildElement::cChildAction(cNavigationChild::kListingTakenCode));
    host->Pump();
    Press(bar.GetCrumbBar(), 0);
    EXPECT_EQ(box->GetSelectedIndex(), 0);
    host->KeyDown(0x1B);
    host->KeyDown(0x1B);
    host->Pump();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateIdle);
    EXPECT_EQ(form.cancelCount, 0);
}

TEST_F(NavigationBar, BusyAndIdleStatesAndStopWithoutProvider)
{
    ASSERT_TRUE(bar.NavigateTo(u"/x"));
    host->Pump();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateBusy);
    EXPECT_TRUE(bar.GetStopBar()->IsVisible());
    EXPECT_FALSE(bar.GetCrumbBar()->IsEnabled());
    EXPECT_EQ(bar.GetCrumbBar()->GetRect().width + bar.GetStopBar()->GetRect().width, bar.GetWidth());
    Press(bar.GetStopBar(), 1);
    EXPECT_EQ(form.Find(cNavigationChild::kStopWithoutProviderCode, &bar).size(), 1u);
    (void)PostJobAction(&bar, new cChildElement::cChildAction(cNavigationChild::kListingTakenCode));
    host->Pump();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateIdle);
    EXPECT_FALSE(bar.GetStopBar()->IsVisible());
    EXPECT_TRUE(bar.GetCrumbBar()->IsEnabled());
    EXPECT_EQ(bar.GetCrumbBar()->GetRect().width, bar.GetWidth());
}

// Stopped, failed and successful listings all end in the ready action (an empty path);
// a second listing cannot start while one runs.
TEST_F(NavigationBar, EveryListingEndReachesTheForm)
{
    cGateProvider provider;
    bar.SetProvider(&provider);
    form.onRecord = [&](const sPayloadRecord& record) {
        if (record.source == &bar && record.code == cNavigationChild::cNaviSetPathAction::kCode) {
            (void)PostJobAction(&bar, new cChildElement::cChildAction(cNavigationChild::kListingTakenCode));
        }
    };
    for (const char* how : {"stop", "fail", "succeed"}) {
        form.Take();
        ASSERT_TRUE(bar.NavigateTo(u"/folder")) << how;
        EXPECT_FALSE(bar.NavigateTo(u"/other")) << how;
        EXPECT_FALSE(bar.NavigateTo(u"relative")) << how;
        provider.result = std::string(how) == "fail" ? 1 : 0;
        if (std::string(how) == "stop") {
            Press(bar.GetStopBar(), 1);
        } else {
            provider.Release();
        }
        EXPECT_TRUE(host->PumpUntil([&] { return bar.GetState() == cNavigationChild::kStateIdle; }, 2000)) << how;
        EXPECT_EQ(form.Find(cNavigationChild::kStopWithoutProviderCode).size(), 0u);
    }
    EXPECT_STREQ(reinterpret_cast<const char*>(bar.GetPath()), reinterpret_cast<const char*>(u"/folder"));
}

// Fractions that arrive after the bar went idle never start it again; 1.0 stops it in
// any state.
TEST_F(NavigationBar, LateFractionsLeaveAnIdleBarAlone)
{
    cProgressChild* progress = bar.GetProgressBar();
    for (f64 fraction : {0.0, 0.5}) {
        (void)PostJobAction(&bar, new cNaviFakeProgressRecvAction(fraction));
    }
    host->Pump();
    EXPECT_FALSE(progress->IsStarted());
    ASSERT_TRUE(bar.NavigateTo(u"/x"));
    (void)PostJobAction(&bar, new cNaviFakeProgressRecvAction(0.0));
    host->Pump();
    EXPECT_TRUE(progress->IsStarted());
    (void)PostJobAction(&bar, new cChildElement::cChildAction(cNavigationChild::kListingTakenCode));
    host->Pump();
    EXPECT_FALSE(progress->IsStarted());
}

// The positions against the same double loop in Python (math.atan is the C library's
// atan), with sleeps that return at once.
class FakeNavigationProgress : public cGuiTest
{
};

TEST_F(FakeNavigationProgress, FractionsMatchPython)
{
    const std::string oracle = RunCommand(
        "/usr/bin/python3 -c 'import math\nv=0.0\nfor i in range(31):\n"
        "    if v>=0.25: print(repr(0.6366197723675814*math.atan(v-0.25)))\n    v+=0.05'");
    std::vector<std::string> expected;
    std::istringstream lines(oracle);
    for (std::string line; std::getline(lines, line);) {
        expected.push_back(line);
    }
    ASSERT_EQ(expected.size(), 26u);
    EXPECT_EQ(expected[0], "0.0");

    cFractionSink sink;
    ASSERT_NE(Open(&sink, 100, 22), nullptr);
    const sClockHook hook{[](void*) {
                              return u64(std::chrono::duration_cast<std::chrono::microseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count()) + 1;
                          },
                          [](void*, u32) { std::this_thread::yield(); }, nullptr};
    SetClockHook(&hook);
    cFakeNavigationProgressJob animator;
    animator.Begin(&sink);
    EXPECT_TRUE(host->PumpUntil([&] { return sink.fractions.size() >= expected.size(); }, 5000));
    (void)animator.Stop(1000);
    SetClockHook(nullptr);
    ASSERT_GE(sink.fractions.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        char text[40];
        std::snprintf(text, sizeof(text), "%.17g", sink.fractions[index]);
        EXPECT_EQ(std::stod(expected[index]), sink.fractions[index]) << index << " " << text;
    }
    EXPECT_EQ(i32(sink.fractions[1] * 1000), 31);
    EXPECT_EQ(i32(sink.fractions[20] * 1000), 500);
    EXPECT_EQ(i32(sink.fractions[25] * 1000), 570);
}

// Pictures: the busy bar half way with its Stop button, and the path box with the history.
TEST_F(NavigationBar, Snapshots)
{
    ASSERT_TRUE(bar.NavigateTo(u"/usr/share/doc"));
    // The bar's job animates in real time (ten 30 ms steps); the animator's own first
    // move comes 1.4 s after the navigation, so both requests settle before it.
    auto settle = [&] {
        for (i32 step = 0; step < 20; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            host->Pump();
        }
    };
    for (f64 fraction : {0.0, 0.5}) {
        (void)PostJobAction(&bar, new cNaviFakeProgressRecvAction(fraction));
        settle();
    }
    ExpectMatchesGolden(*host->GetCanvas(window), "navigationbar_busy.png");
    (void)PostJobAction(&bar, new cChildElement::cChildAction(cNavigationChild::kListingTakenCode));
    settle();
    bar.SetPath(u"/home/user");
    Press(bar.GetCrumbBar(), 0);
    ExpectMatchesGolden(*host->GetCanvas(window), "navigationbar_editing.png");
}
