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

// A form with the core's pieces: panels with framed and aligned text, a scrolled view
// with both bars, one-line text in each alignment with "..." cutting, justified
// multi-line text and pictures blended over a chequered background.
class cSampleForm : public cCustomForm
{
public:
    void OnCreate() override
    {
        cCustomForm::OnCreate();
        cPanelChild* client = GetClientPanel();
        client->AddChildAt(&m_titled, 0, 0, -1, 24);
        m_titled.SetBorderColour(GetTheme()->GetColour(21));
        m_titled.SetText(u"Panel with centred text");
        client->AttachChild(&m_texts, 0, 30, 220, 150);
        client->AttachChild(&m_list, 230, 30, 150, 110);
        m_list.SetContentWidth(260);
        m_list.SetContentHeight(20 * 18);
        m_list.ScrollTo(30, 3 * 18);
        client->AttachChild(&m_pictures, 230, 146, 150, 34);
    }

private:
    class cTextSamples : public cChildElement
    {
        void OnPaint(cCanvas& canvas) override
        {
            canvas.FillRect(0, 0, GetWidth(), GetHeight(), 0xFFFFFF, GetTheme()->GetColour(21));
            canvas.SetColors(GetTheme()->GetColour(4), 0xFFFFFF);
            const char16_t* names[] = {u"Left", u"Centre", u"Right"};
            for (u32 align = 0; align < 3; ++align) {
                i32 y = 4 + i32(align) * 18;
                canvas.FillRect(4, y, GetWidth() - 8, 16, 0xF8F0E8, 0xE0C8B0);
                canvas.DrawTextInRectW(4, y, GetWidth() - 8, 16, align, false, 3, 3, names[align], -1);
            }
            canvas.DrawTextInRectW(4, 58, 90, 16, kAlignLeft, false, 3, 3, u"Cut with an ellipsis", -1);
            canvas.DrawMultilineTextW(4, 80, GetWidth() - 8, GetHeight() - 84, kAlignJustify, 1.2,
                                      u"Justified text spreads the gaps of every line that ends by wrapping, "
                                      u"while the last line of a paragraph stays left.",
                                      -1, nullptr);
        }
    };

    class cRows : public cScrollableElement
    {
        i32 DefaultBorderWidth() override { return 1; }
        void PaintContent(cCanvas& canvas) override
        {
            canvas.FillRect(0, 0, GetWidth(), GetHeight(), 0xFFFFFF, 0xFFFFFF);
            canvas.SetColors(GetTheme()->GetColour(4), 0xFFFFFF);
            for (i32 row = 0; row < 20; ++row) {
                i32 y = row * 18 - GetScrollY();
                u32 fill = row % 2 ? 0xF4F4F4 : 0xFFFFFF;
                canvas.FillRect(-GetScrollX(), y, GetContentWidth(), 18, fill, fill);
                std::u16string text = u"Row " + std::u16string(1, char16_t(u'A' + row)) + u" of the scrolled content";
                canvas.DrawTextW(4 - GetScrollX(), y + 2, false, text.c_str(), -1);
            }
            sRect view = GetViewRect();
            canvas.SetPen(GetTheme()->GetColour(21), 1);
            canvas.DrawLine(0, 0, view.width, 0);
            canvas.DrawLine(0, 0, 0, view.height);
            canvas.DrawLine(view.width - 1, 0, view.width - 1, view.height);
            canvas.DrawLine(0, view.height - 1, view.width, view.height - 1);
        }
    };

    class cPictures : public cChildElement
    {
        void OnPaint(cCanvas& canvas) override
        {
            for (i32 y = 0; y < GetHeight(); y += 6) {
                for (i32 x = 0; x < GetWidth(); x += 6) {
                    u32 shade = ((x + y) / 6) % 2 ? 0xC0C0C0 : 0xFFFFFF;
                    canvas.FillRect(x, y, 6, 6, shade, shade);
                }
            }
            i32 x = 2;
            for (i32 index : {73, 74, 75, 76, 48}) {
                if (const cPicture* picture = GetTheme()->GetImage(index)) {
                    canvas.DrawPictureBlended(x, 2, picture);
                    x += picture->GetWidth() + 2;
                }
            }
        }
    };

    cPanelChild m_titled;
    cTextSamples m_texts;
    cRows m_list;
    cPictures m_pictures;
};

// The sample form with the fixed-advance test font against the reviewed picture.
TEST_F(FormTest, SampleFormMatchesTheReviewedPicture)
{
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        h.Pump();
        qeltest::ExpectMatchesGolden(*h.GetCanvas(&window), "../sample_form_testfont.png");
    });
    application->GetWindowMaker()->RunModalOver(u"Sample", 400, 260, new cSampleForm, nullptr, false);
}

} // namespace
