// Forms and panels: the client panel's place, Enter/Escape/Tab, the created action and
// its code-7 collision, closing, panel painting and backgrounds under transparent
// children.
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/keys.h"
#include "gui/core/panel.h"
#include "gui/core/theme.h"
#include "guitestfixture.h"

namespace {

using qeltest::cProbe;
using qeltest::tLog;

u32 PixelAt(cCanvas* canvas, i32 x, i32 y)
{
    return canvas->GetPixels()[size_t(y) * size_t(canvas->GetStride()) + size_t(x)];
}

class FormTest : public qeltest::cGuiTest
{
};

// The panel must leave room for a toolbar in the frame above and the button bar below,
// in every size the stock forms use.
TEST_F(FormTest, ClientPanelClearsTheFrameToolbarAndTheButtonBar)
{
    const cCITheme* theme = GetTheme();
    i32 toolbarBottom = theme->GetMetric(3) + theme->GetMetric(5);
    for (sSize size : {sSize{600, 106}, sSize{350, 110}, sSize{500, 450}, sSize{300, 350}}) {
        cCustomForm form;
        ASSERT_NE(Open(&form, size.width, size.height), nullptr);
        sRect panel = form.GetClientPanel()->GetRect();
        EXPECT_EQ(panel.x, 5);
        EXPECT_EQ(panel.width, size.width - 10);
        EXPECT_GE(panel.y, toolbarBottom);
        // Placed from the far edges (value + size + 1): a button bar at y -1 - m8 - m7,
        // the update form's buttons at y -33, a path box in the panel at y -26, 18 high.
        i32 barTop = size.height - theme->GetMetric(8) - theme->GetMetric(7);
        i32 pathBoxBottom = i32(panel.Bottom()) - 26 + 1 + 18;
        EXPECT_LE(pathBoxBottom, barTop);
        EXPECT_LE(panel.Bottom(), size.height - 33 + 1);
        if (size.height == 106) {
            EXPECT_GE(panel.height, 36);
        }
    }

    cCustomForm form;
    cWindowTranslator* window = Open(&form, 200, 150);
    host->ResizeWindow(400, 300, window);
    EXPECT_EQ(form.GetClientPanel()->GetWidth(), 390);
    EXPECT_EQ(form.GetClientPanel()->GetRect().Bottom(), 300 - theme->GetMetric(7) - theme->GetMetric(8));
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

TEST_F(FormTest, ClosingAsksTheFormFirst)
{
    struct cStubborn : cCustomForm
    {
        bool CanCloseSelf() override { return ++m_asked > 1; }
        i32 m_asked = 0;
    };
    auto* form = new cStubborn;
    bool stayedOpen = false;
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        h.RequestClose();
        stayedOpen = !window.IsRunEnded();
        h.RequestClose();
    });
    EXPECT_EQ(application->GetWindowMaker()->RunModalOver(u"close", 100, 100, form, nullptr, false), 0);
    EXPECT_TRUE(stayedOpen);
}

class PanelPaint : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        root.SetBackColour(0x000000);
        window = Open(&root, 120, 60);
        root.AttachChild(&panel, 10, 10, 100, 40);
        panel.SetBackColour(0x0000FF);
    }
    cCanvas* Canvas() { return host->GetCanvas(window); }

    cPanelChild root;
    cPanelChild panel;
    cWindowTranslator* window = nullptr;
};

TEST_F(PanelPaint, TextIsPlacedByAlignmentAndMargins)
{
    // The test font: 5 pixels per unit, 13-pixel cells, each glyph a 4 x 9 block from
    // the cell's top + 2. "abc" is 15 x 13.
    panel.SetText(u"abc");
    const u32 text = PixelFromColour(GetTheme()->GetColour(4));
    const u32 back = PixelFromColour(0x0000FF);
    struct sCase
    {
        i32 horizontal;
        i32 vertical;
        i32 marginX;
        i32 marginY;
        i32 left; // of the text, in the panel
        i32 top;
    };
    const sCase cases[] = {
        {cPanelChild::kTextCentred, cPanelChild::kTextCentred, 0, 0, (100 - 15) / 2, (40 - 13) / 2},
        {cPanelChild::kTextLeft, cPanelChild::kTextLeft, 3, 4, 3, 4},
        {cPanelChild::kTextRight, cPanelChild::kTextRight, 3, 4, 100 - 3 - 15, 40 - 4 - 13},
        {cPanelChild::kTextCentred, cPanelChild::kTextCentred, 6, -2, (100 - 15) / 2 + 6, (40 - 13) / 2 - 2},
    };
    for (const sCase& c : cases) {
        panel.SetTextAlignment(c.horizontal, c.vertical);
        panel.SetTextMargins(c.marginX, c.marginY);
        panel.Invalidate();
        cCanvas* canvas = Canvas();
        i32 x = 10 + c.left;
        i32 y = 10 + c.top;
        EXPECT_EQ(PixelAt(canvas, x, y + 2), text) << c.left << "," << c.top;
        EXPECT_EQ(PixelAt(canvas, x + 3, y + 10), text);
        EXPECT_EQ(PixelAt(canvas, x + 4, y + 2), back) << "the gap after the first glyph";
        EXPECT_EQ(PixelAt(canvas, x - 1, y + 2), back);
        EXPECT_EQ(PixelAt(canvas, x, y + 1), back);
    }
}

TEST_F(PanelPaint, BorderIsDrawnOnlyWhenSet)
{
    EXPECT_EQ(PixelAt(Canvas(), 10, 10), PixelFromColour(0x0000FF));
    EXPECT_EQ(PixelAt(Canvas(), 109, 49), PixelFromColour(0x0000FF));
    panel.SetBorderColour(0x00FF00);
    panel.Invalidate();
    EXPECT_EQ(PixelAt(Canvas(), 10, 10), PixelFromColour(0x00FF00));
    EXPECT_EQ(PixelAt(Canvas(), 109, 49), PixelFromColour(0x00FF00));
    EXPECT_EQ(PixelAt(Canvas(), 11, 11), PixelFromColour(0x0000FF));
}

// The nearest ancestor that draws backgrounds fills under a transparent child, told the
// child's rectangle in its own coordinates, with the canvas origin at the child.
TEST_F(PanelPaint, TransparentChildrenShowTheNearestBackground)
{
    struct cPainter : cChildElement
    {
        void OnPaint(cCanvas& canvas) override { canvas.FillRect(0, 0, GetWidth(), GetHeight(), 0xFF0000, 0xFF0000); }
    };
    struct cRecorder : cChildElement
    {
        void OnPaint(cCanvas& canvas) override { m_origin = canvas.GetOrigin(); }
        sPoint m_origin;
    };
    struct cAsking : cPanelChild
    {
        bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override
        {
            m_rect = rect;
            m_origin = canvas.GetOrigin();
            return cPanelChild::OnDrawBackground(canvas, rect);
        }
        sRect m_rect;
        sPoint m_origin;
    };
    cAsking asking;
    panel.AttachChild(&asking, 5, 5, 80, 30);
    asking.SetBackColour(0x00FF00);
    cPainter painter;
    asking.AttachChild(&painter, 10, 5, 50, 20);
    cRecorder child;
    painter.AttachChild(&child, 3, 4, 12, 8);
    child.SetTransparent(true);
    cCanvas* canvas = Canvas();
    EXPECT_EQ(asking.m_rect, (sRect{13, 9, 12, 8}));
    EXPECT_EQ(asking.m_origin, child.m_origin);
    EXPECT_EQ(child.m_origin, (sPoint{10 + 5 + 10 + 3, 10 + 5 + 5 + 4}));
    EXPECT_EQ(PixelAt(canvas, 28, 24), PixelFromColour(0x00FF00));
    EXPECT_EQ(PixelAt(canvas, 39, 31), PixelFromColour(0x00FF00));
    EXPECT_EQ(PixelAt(canvas, 40, 31), PixelFromColour(0xFF0000));
    EXPECT_EQ(PixelAt(canvas, 39, 32), PixelFromColour(0xFF0000));
}

} // namespace
