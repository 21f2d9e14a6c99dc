// The navigation bar on the headless host: crumbs, history, states, Stop, listings that
// end every way, the progress animator's fractions, and pictures.
#include "base/clock.h"
#include "gui/dialogs/navigationbar.h"
#include "payloadform.h"
#include "testhooks/basehooks.h"

#include <chrono>
#include <thread>

using namespace qeltest;

namespace {

class NavigationBar : public cPayloadFormTest
{
protected:
    void SetUp() override
    {
        cPayloadFormTest::SetUp();
        form.GetClientPanel()->AddChildAt(&bar, 0, 0, -1, 22);
        host->Pump();
    }
    void Post(cChildElement* to, cChildElement::cChildAction* action)
    {
        (void)PostJobAction(to, action);
        host->Pump();
    }
    void Taken() { Post(&bar, new cChildElement::cChildAction(cNavigationChild::kListingTakenCode)); }
    void Settle() // the bar's own job animates in real time, ten 30 ms steps
    {
        for (i32 step = 0; step < 20; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            host->Pump();
        }
    }
    cNavigationChild bar;
};

} // namespace

TEST_F(NavigationBar, CrumbsHistoryAndTypedPaths)
{
    const struct { bool showRoot; const char16_t *path, *crumbs; } cases[] = {
        {true, u"/a//b/", u"[1 / /][2 a /a][3 b /a//b]"},
        {false, u"/a//b/", u"[2 a /a][3 b /a//b]"},
        {true, u"X:/y", u"[1 X: X:][2 y X:/y]"},
        {true, nullptr, u""},
    };
    for (const auto& test : cases) {
        bar.SetShowRoot(test.showRoot);
        EXPECT_TRUE(bar.SetPath(test.path));
        std::u16string crumbs;
        for (i32 id = 0; id < 6; ++id) {
            const char16_t* text = nullptr;
            const char16_t* path = nullptr;
            if (bar.GetCrumb(id, text, path) && bar.GetCrumbBar()->GetButton(id) != nullptr) {
                crumbs += std::u16string(u"[") + char16_t(u'0' + id) + u" " + text + u" " + path + u"]";
            }
        }
        EXPECT_EQ(crumbs, test.crumbs);
    }
    // Button 0 opens the path box: visited paths most recent first, each once.
    Post(bar.GetCrumbBar(), new cToolBarChild::cTbButtonAction(0));
    cComboBoxChild* box = bar.GetPathBox();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateEditing);
    EXPECT_FALSE(bar.GetProgressBar()->IsVisible());
    std::vector<std::u16string> items;
    for (i32 index = 0; box->Select(index, false); ++index) {
        items.push_back(box->GetText());
    }
    EXPECT_EQ(items, (std::vector<std::u16string>{u"X:/y", u"/a//b/"}));
    // Enter in the box goes to the cleaned text (posted: there is no provider) and never
    // reaches OnOK.
    ASSERT_TRUE(box->GetField()->SetTextN(u"\"\\a\\c\\ \"", -1));
    box->Activate();
    host->KeyDown(0x0D);
    host->Pump();
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateBusy);
    EXPECT_EQ(std::u16string(bar.GetPath()), u"/a/c/");
    EXPECT_EQ(form.Find(cNavigationChild::cNaviSetPathAction::kCode, &bar).size(), 1u);
    EXPECT_EQ(form.okCount, 0);
}

// Busy and idle states; Stop without a provider is posted to the form (with one, the
// file chooser's tests stop real listings). Fractions arriving after the bar went idle
// never start the progress again; the listing's end stops it.
TEST_F(NavigationBar, StatesStopAndLateFractions)
{
    cProgressChild* progress = bar.GetProgressBar();
    ASSERT_TRUE(bar.NavigateTo(u"/x"));
    Post(&bar, new cNaviFakeProgressRecvAction(0.0));
    EXPECT_TRUE(progress->IsStarted());
    EXPECT_EQ(bar.GetState(), cNavigationChild::kStateBusy);
    EXPECT_TRUE(bar.GetStopBar()->IsVisible());
    EXPECT_FALSE(bar.GetCrumbBar()->IsEnabled());
    Post(bar.GetStopBar(), new cToolBarChild::cTbButtonAction(1));
    EXPECT_EQ(form.Find(cNavigationChild::kStopWithoutProviderCode, &bar).size(), 1u);
    Taken();
    EXPECT_FALSE(bar.GetStopBar()->IsVisible() || progress->IsStarted());
    Post(&bar, new cNaviFakeProgressRecvAction(0.0));
    Post(&bar, new cNaviFakeProgressRecvAction(0.5));
    EXPECT_FALSE(progress->IsStarted());
}

// Pictures: the busy bar half way with its Stop button, then the path box with the
// history. The bar's fill moves on its own thread and the animator's first move, 1.4 s in,
// starts it again, so the busy picture is awaited inside that window, and the attempt made
// again when a loaded machine misses it.
TEST_F(NavigationBar, Snapshots)
{
    drawtest::sRgbImage busy;
    LoadGolden("navigationbar_busy.png", busy);
    std::string difference = "never drawn";
    for (i32 attempt = 0; attempt < 5 && !busy.pixels.empty() && !difference.empty(); ++attempt) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1300);
        ASSERT_TRUE(bar.NavigateTo(u"/usr/share/doc"));
        Post(&bar, new cNaviFakeProgressRecvAction(0.0));
        Settle();
        Post(&bar, new cNaviFakeProgressRecvAction(0.5));
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            host->Pump();
            difference = FirstDifference(*host->GetCanvas(window), busy);
        } while (!difference.empty() && std::chrono::steady_clock::now() < deadline);
        Taken();
        Settle();
    }
    EXPECT_TRUE(difference.empty()) << "navigationbar_busy.png differs first at " << difference;
    bar.SetPath(u"/home/user");
    Post(bar.GetCrumbBar(), new cToolBarChild::cTbButtonAction(0));
    ExpectMatchesGolden(*host->GetCanvas(window), "navigationbar_editing.png");
}

// The animator's fractions with sleeps that return at once: they start at 0, rise at
// every step and stay below 1, 0.570 after 1.5 s.
TEST_F(NavigationBar, AnimatorFractionsRiseTowardsOne)
{
    std::vector<f64> fractions;
    class cSink : public cChildElement
    {
    public:
        explicit cSink(std::vector<f64>* out) : m_out(out) {}
        bool OnAction(cChildElement*, cChildAction* action) override
        {
            m_out->push_back(dynamic_cast<cNaviFakeProgressRecvAction&>(*action).GetFraction());
            return true;
        }
        std::vector<f64>* m_out;
    } sink(&fractions);
    form.GetClientPanel()->AddChildAt(&sink, 0, 0, 1, 1);
    const sClockHook hook{[](void*) { return u64(std::chrono::steady_clock::now().time_since_epoch().count() / 1000 + 1); },
                          [](void*, u32) { std::this_thread::yield(); }, nullptr};
    SetClockHook(&hook);
    cFakeNavigationProgressJob animator;
    animator.Begin(&sink);
    EXPECT_TRUE(host->PumpUntil([&] { return fractions.size() >= 26; }, 5000));
    (void)animator.Stop(1000);
    SetClockHook(nullptr);
    ASSERT_GE(fractions.size(), 26u);
    EXPECT_EQ(fractions[0], 0.0);
    for (size_t step = 1; step < fractions.size(); ++step) {
        EXPECT_TRUE(fractions[step] > fractions[step - 1] && fractions[step] < 1.0) << step;
    }
    EXPECT_EQ(i32(fractions[25] * 1000), 570);
}
