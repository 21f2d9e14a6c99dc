// Modal runs on the headless host: nested scripted runs, ownership of the root on every
// path, blocked owners, placement, popups with a grab, hints, clipboard and wake-ups
// from jobs.
#include "base/clock.h"
#include "base/jobs.h"
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/hint.h"
#include "gui/core/keys.h"
#include "gui/guitest.h"

#include <chrono>

namespace {

using qeltest::cProbe;
using qeltest::tLog;

// A form that counts its deletions and notes whether its window was already gone.
struct sDeaths
{
    i32 count = 0;
    bool windowOpenAtDeath = false;
};

class cMortalForm : public cCustomForm
{
public:
    cMortalForm(sDeaths* deaths, cHeadlessHost* host) : m_deaths(deaths), m_host(host) {}
    ~cMortalForm() override
    {
        ++m_deaths->count;
        if (m_host != nullptr) {
            for (cWindowTranslator* window : m_host->GetWindows()) {
                m_deaths->windowOpenAtDeath |= window->GetRoot() == this;
            }
        }
    }

private:
    sDeaths* m_deaths;
    cHeadlessHost* m_host;
};

class ModalTest : public qeltest::cGuiTest
{
protected:
    i32 Run(cChildElement* form, i32 width = 200, i32 height = 120, cChildElement* owner = nullptr)
    {
        return application->GetWindowMaker()->RunModalOver(u"title", width, height, form, owner, false);
    }
};

TEST_F(ModalTest, TheRunDeletesItsRootOnEveryPath)
{
    sDeaths deaths;
    // Ended by the script.
    host->PushModalScript([](cHeadlessHost&, cWindowTranslator& window) { window.GetRoot()->EndModal(4); });
    EXPECT_EQ(Run(new cMortalForm(&deaths, host.get())), 4);
    EXPECT_EQ(deaths.count, 1);
    // No script: -1 at once.
    EXPECT_EQ(Run(new cMortalForm(&deaths, host.get())), -1);
    EXPECT_EQ(deaths.count, 2);
    // A script that leaves the run open.
    host->PushModalScript([](cHeadlessHost& h, cWindowTranslator&) { h.Pump(); });
    EXPECT_EQ(Run(new cMortalForm(&deaths, host.get())), -1);
    EXPECT_EQ(deaths.count, 3);
    // No window.
    host->FailNextWindowOpen();
    EXPECT_EQ(Run(new cMortalForm(&deaths, host.get())), -1);
    EXPECT_EQ(deaths.count, 4);
    EXPECT_FALSE(deaths.windowOpenAtDeath);
    EXPECT_TRUE(host->GetWindows().empty());

    const auto& runs = host->GetRunLog();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_FALSE(runs[0].endedByHost);
    EXPECT_TRUE(runs[1].endedByHost);
    EXPECT_TRUE(runs[2].endedByHost);

    // Without an application there is no host: the element's run deletes the form too.
    cChildElement element;
    application.reset();
    EXPECT_EQ(element.RunModal(u"none", 10, 10, new cMortalForm(&deaths, nullptr), false), -1);
    EXPECT_EQ(deaths.count, 5);
}

// A form whose code-20 action runs a nested form and keeps the nested end code.
class cNestingForm : public cCustomForm
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (source == this && action->GetCode() == 20) {
            m_nestedResult = RunModal(u"nested", 150, 100, new cNestingForm, false);
            return true;
        }
        return cCustomForm::OnAction(source, action);
    }
    i32 m_nestedResult = -100;
};

// Ending an outer run from inside an inner one takes effect when the inner run returns;
// the outer loop dispatches nothing more.
TEST_F(ModalTest, AnOuterRunEndsAfterItsInnerOnes)
{
    cNestingForm* outer = new cNestingForm;
    tLog log;
    cProbe* late = nullptr;
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator&) {
        late = new cProbe(&log, "late");
        outer->GetClientPanel()->AttachChild(late, 0, 0, 1, 1);
        outer->PostCode(20);
        h.Pump();
        late->PostCode(3);
        h.Pump();
    });
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        outer->EndModal(7);
        EXPECT_FALSE(window.IsRunEnded());
        window.GetRoot()->EndModal(2);
        outer->EndModal(8); // a run ends once
    });
    EXPECT_EQ(Run(outer), 7);
    EXPECT_TRUE(log.empty());
    delete late;
    // EndModal outside any run is ignored.
    cCustomForm loose;
    loose.EndModal(3);
}

TEST_F(ModalTest, TheOwnerIgnoresInputWhileItsDialogRuns)
{
    tLog log;
    cCustomForm owner;
    cProbe target(&log, "target", true);
    cWindowTranslator* ownerWindow = Open(&owner, 300, 200, 100, 100);
    owner.GetClientPanel()->AttachChild(&target, 0, 0, 50, 50);
    sRect dialogRect;
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        h.GetWindowRect(&window, dialogRect);
        h.Click(10, 40, 1, ownerWindow);
        h.KeyDown('A', false, false, false, ownerWindow);
        h.RequestClose(ownerWindow);
    });
    EXPECT_EQ(Run(new cCustomForm, 100, 60, &target), -1);
    EXPECT_TRUE(log.empty());
    // Centred over the owner's window.
    EXPECT_EQ(dialogRect, (sRect{100 + (300 - 100) / 2, 100 + (200 - 60) / 2, 100, 60}));
    // Afterwards the owner takes input again.
    host->Click(10, 40, 1, ownerWindow);
    EXPECT_FALSE(log.empty());

    // Without an owner the dialog is centred on the screen.
    host->SetScreenSize(800, 600);
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) { h.GetWindowRect(&window, dialogRect); });
    Run(new cCustomForm, 100, 60);
    EXPECT_EQ(dialogRect, (sRect{350, 270, 100, 60}));
}

// A popup root grabs the mouse: presses outside its window reach it (in its own
// coordinates) and end the run, as drop-down menus do.
class cGrabbingPopup : public cChildElement
{
public:
    void OnCreate() override { CaptureMouse(); }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override
    {
        if (down && !ContainsPoint(x, y)) {
            m_outside = {x, y};
            EndModal(-1);
        } else if (!down) {
            EndModal(button);
        }
    }
    sPoint m_outside{1, 1};
};

TEST_F(ModalTest, HintsOpenWithoutFocusAtTheirPlacementAndCloseWithTheirMaster)
{
    cCustomForm owner;
    cWindowTranslator* ownerWindow = Open(&owner, 300, 200);
    sRect rect;
    {
        cHintMaster hints;
        ASSERT_TRUE(hints.ShowHint(&owner, u"two\nlines", {100, 100}, kHintDefaultColour, kHintDefaultColour, 1));
        ASSERT_TRUE(host->GetWindowRect(hints.GetWindow(), rect));
        // Test font: 5 x 13 per line, 3 pixels of padding around.
        EXPECT_EQ(rect, (sRect{100, 100 - (2 * 13 + 6), 5 * 5 + 6, 2 * 13 + 6}));
        EXPECT_EQ(host->GetTopWindow(), ownerWindow);
        cCanvas* canvas = host->GetCanvas(hints.GetWindow());
        EXPECT_EQ(canvas->GetPixels()[canvas->GetStride() * 2 + 28], PixelFromColour(0xE1FFFF));

        ASSERT_TRUE(hints.ShowHint(&owner, u"x", {7, 9}, 0x000000, 0x00FF00, 0));
        ASSERT_TRUE(host->GetWindowRect(hints.GetWindow(), rect));
        EXPECT_EQ(rect, (sRect{7, 9, 5 + 6, 13 + 6}));
        EXPECT_EQ(host->GetWindows().size(), 2u);
        EXPECT_FALSE(hints.ShowHint(&owner, u"", {0, 0}, 0, 0, 0));
        EXPECT_EQ(host->GetWindows().size(), 1u);
        ASSERT_TRUE(hints.ShowHint(&owner, u"again", {0, 0}, 0, 0, 0));
    }
    EXPECT_EQ(host->GetWindows().size(), 1u);
}

TEST_F(ModalTest, ClipboardAndScreenQuestionsNeedAWindow)
{
    cCustomForm form;
    cChildElement loose;
    _guardchar<char16_t> text;
    EXPECT_FALSE(loose.SetClipboardText(u"no", -1));
    sSize screen;
    EXPECT_FALSE(loose.GetMaxWindowSize(screen));
    sSize measured;
    EXPECT_FALSE(loose.MeasureText(u"abc", measured, nullptr));

    Open(&form, 100, 100);
    EXPECT_FALSE(form.GetClipboardText(text));
    EXPECT_TRUE(form.SetClipboardText(u"hello world", 5));
    ASSERT_TRUE(form.GetClipboardText(text));
    EXPECT_EQ(std::u16string(text.Get()), u"hello");
    const u8 raw[] = {1, 2, 3};
    host->SetClipboardBytes(raw, sizeof raw);
    _typebuf<u8> bytes;
    ASSERT_TRUE(form.ReadClipboard(bytes));
    EXPECT_EQ(bytes.GetCount(), 3);
    EXPECT_EQ(bytes[2], 3);
    ASSERT_TRUE(form.GetMaxWindowSize(screen));
    EXPECT_EQ(screen, (sSize{1024, 768}));
    ASSERT_TRUE(form.MeasureText(u"abc", measured, nullptr));
    EXPECT_EQ(measured, (sSize{15, 13}));
}

} // namespace
