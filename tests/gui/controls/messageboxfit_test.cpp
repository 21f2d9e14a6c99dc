// A message box fits its buttons and the screen: a short or empty text still shows
// every button whole, a line wider than the screen wraps, and every button answers a
// click at its centre.
#include "controlstest.h"
#include "gui/controls/messagebox.h"
#include "gui/core/keys.h"
#include "messageboxtexts.h"

#include <string>

namespace {

class MessageBoxFitTest : public qeltest::cFormTest
{
};

// For each text: the window lies inside the 1024 x 768 screen, every button lies
// inside the window, and clicking the last button ends the box with its answer.
TEST_F(MessageBoxFitTest, EveryButtonIsWholeOnTheScreenAndAnswers)
{
    sSize screen;
    ASSERT_TRUE(host->GetScreenSize(screen));
    for (const qeltest::sMessageBoxCase& c : qeltest::MessageBoxFitCases()) {
        sRect rect;
        size_t lines = 0;
        i32 widest = INT32_MIN; // the most a line's text overhangs its label
        i32 buttons = 0;
        i32 lastId = 0;
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& box) {
            h.Pump();
            ASSERT_TRUE(h.GetWindowRect(&box, rect));
            auto* form = dynamic_cast<cCustomForm*>(box.GetRoot());
            for (cChildElement* child : form->GetClientPanel()->GetChildren()) {
                auto* label = dynamic_cast<cStaticElement*>(child);
                sSize text;
                if (label != nullptr && label->MeasureText(label->GetText(), text, label->GetLabelFont())) {
                    ++lines;
                    widest = std::max(widest, text.width - label->GetWidth());
                }
            }
            --lines; // the icon label
            cButtonChild* last = nullptr;
            for (cChildElement* bar : form->GetChildren()) {
                auto* toolbar = dynamic_cast<cToolBarChild*>(bar);
                for (i32 id = 1; toolbar != nullptr && id <= 2; ++id) {
                    cButtonChild* button = toolbar->GetButton(id);
                    if (button == nullptr) {
                        continue;
                    }
                    const sPoint origin = button->GetOriginInRoot();
                    EXPECT_TRUE(button->IsVisible()) << c.name << " button " << id;
                    EXPECT_GE(origin.x, 0) << c.name;
                    EXPECT_LE(origin.x + button->GetWidth(), rect.width) << c.name << " button " << id;
                    EXPECT_LE(origin.y + button->GetHeight(), rect.height) << c.name;
                    ++buttons;
                    last = button;
                    lastId = id;
                }
            }
            if (const char* folder = std::getenv("QEL_SNAPSHOT_OUT")) {
                EXPECT_TRUE(SaveCanvasPng(std::string(folder) + "/messagebox_" + c.name + ".png", *h.GetCanvas(&box)));
            }
            ASSERT_NE(last, nullptr);
            const sPoint origin = last->GetOriginInRoot();
            h.Click(origin.x + last->GetWidth() / 2, origin.y + last->GetHeight() / 2, kMouseLeft, &box);
        });
        const bool answer = MessageBox(&form, c.text.c_str(), u"Fit", 0, kMessageQuestion, c.buttonKind);
        EXPECT_GE(rect.x, 0) << c.name;
        EXPECT_GE(rect.y, 0) << c.name;
        EXPECT_LE(rect.x + rect.width, screen.width) << c.name;
        EXPECT_LE(rect.y + rect.height, screen.height) << c.name;
        EXPECT_LE(widest, 0) << c.name << ": a line's text is wider than its label";
        EXPECT_GE(lines, c.minLines) << c.name;
        EXPECT_EQ(buttons, c.buttonKind == kMessageYesNo ? 2 : 1) << c.name;
        EXPECT_EQ(answer, lastId == 1) << c.name << ": the clicked button's answer";
    }
}

} // namespace
