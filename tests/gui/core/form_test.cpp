// Forms and panels: Enter/Escape/Tab, the created action and its code-7 collision,
// closing, panel text placement, backgrounds under transparent children, and the sample
// form against its reviewed picture.
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/keys.h"
#include "gui/core/panel.h"
#include "gui/core/theme.h"
#include "gui/core/picture.h"
#include "gui/core/scrollable.h"
#include "gui/guitest.h"
#include "gui/sampleform.h"

#include <string>

namespace {

using qeltest::cProbe;
using qeltest::tLog;

using qeltest::PixelAt;

class FormTest : public qeltest::cGuiTest
{
};

// The panel's place is in every golden; shrunk below its margins it is empty, never
// negative.
TEST_F(FormTest, ClientPanelFollowsResizesAndNeverGoesNegative)
{
    cCustomForm form;
    cWindowTranslator* window = Open(&form, 200, 150);
    host->ResizeWindow(400, 300, window);
    EXPECT_EQ(form.GetClientPanel()->GetWidth(), 390);
    host->ResizeWindow(8, 8, window);
    EXPECT_EQ(form.GetClientPanel()->GetWidth(), 0);
    EXPECT_EQ(form.GetClientPanel()->GetHeight(), 0);
}

class cKeyForm : public cCustomForm
{
public:
    cKeyForm(tLog* log) : m_first(log, "first", true), m_second(log, "second", true), m_third(log, "third", true) {}
    void OnCreate() override
    {
        cCustomForm::OnCreate();
        GetClientPanel()->AttachChild(&m_first, 0, 0, 10, 10);
        GetClientPanel()->AttachChild(&m_second, 20, 0, 10, 10);
        GetClientPanel()->AttachChild(&m_third, 40, 0, 10, 10);
    }
    cProbe m_first, m_second, m_third;
};

TEST_F(FormTest, EnterAndEscapeEndTheRunUnlessAFocusedWidgetTakesThem)
{
    struct sCase
    {
        i32 vk;
        i32 consumedByFocus;
        i32 expected;
    };
    for (sCase c : {sCase{kVkReturn, -1, 1}, sCase{kVkEscape, -1, 0}, sCase{kVkReturn, kVkReturn, -1}}) {
        tLog log;
        auto* form = new cKeyForm(&log);
        form->m_first.m_consumedKey = c.consumedByFocus;
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator&) {
            h.Pump();
            EXPECT_TRUE(form->m_first.HasFocus()) << "the created action activates the first focusable";
            h.KeyDown(c.vk);
        });
        EXPECT_EQ(application->GetWindowMaker()->RunModalOver(u"keys", 200, 150, form, nullptr, false), c.expected);
    }
}

TEST_F(FormTest, TabCyclesThroughTheFocusableElementsInTreeOrder)
{
    tLog log;
    cKeyForm form(&log);
    Open(&form, 200, 150);
    ASSERT_TRUE(form.m_first.HasFocus());
    form.m_second.Disable();
    host->KeyDown(kVkTab);
    EXPECT_TRUE(form.m_third.HasFocus());
    host->KeyDown(kVkTab);
    EXPECT_TRUE(form.m_first.HasFocus());
    host->KeyDown(kVkTab, true);
    EXPECT_TRUE(form.m_third.HasFocus());
}

// Widgets number their own actions from 7 as well: a code-7 action bubbling up from a
// child, or a created action posted to another element, is not the form's own.
TEST_F(FormTest, OnlyItsOwnCreatedActionActivatesTheFirstWidget)
{
    tLog log;
    cKeyForm form(&log);
    cWindowTranslator* window = Open(&form, 200, 150);
    ASSERT_TRUE(form.m_first.HasFocus());
    form.GetClientPanel()->Hide();
    form.GetClientPanel()->Show();
    ASSERT_EQ(window->GetFocus(), nullptr);

    PostAction(&form.m_second, new cChildElement::cChildAction(7));
    PostAction(&form.m_second, new cCustomForm::cFormCreatedAction);
    host->Pump();
    EXPECT_EQ(window->GetFocus(), nullptr);
    PostAction(&form, new cCustomForm::cFormCreatedAction);
    host->Pump();
    EXPECT_TRUE(form.m_first.HasFocus());
}

// --- snapshot ----------------------------------------------------------------------------------

// The sample form with the fixed-advance test font against the reviewed picture.
TEST_F(FormTest, SampleFormMatchesTheReviewedPicture)
{
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        h.Pump();
        qeltest::ExpectMatchesGolden(*h.GetCanvas(&window), "../sample_form_testfont.png");
    });
    application->GetWindowMaker()->RunModalOver(u"Sample", 400, 260, new qeltest::cSampleForm, nullptr, false);
}

} // namespace
