// A message box fits its buttons and the screen: whatever the text, the window lies on
// the 1024 x 768 screen, the buttons inside the window, every line's text inside its
// label, and a click on the last button ends the box with its answer.
#include "controlstest.h"
#include "gui/core/keys.h"
#include "messageboxtexts.h"

namespace {

class MessageBoxFitTest : public qeltest::cFormTest
{
};

TEST_F(MessageBoxFitTest, EveryButtonIsWholeOnTheScreenAndAnswers)
{
    for (const qeltest::sMessageBoxCase& c : qeltest::MessageBoxFitCases()) {
        sRect rect, bar;
        i32 overhang = INT32_MIN; // the most a line's text overhangs its label
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& box) {
            auto* form = dynamic_cast<cCustomForm*>(box.GetRoot());
            ASSERT_TRUE(h.GetWindowRect(&box, rect));
            for (cChildElement* child : form->GetClientPanel()->GetChildren()) {
                auto* label = dynamic_cast<cStaticElement*>(child);
                sSize text;
                ASSERT_TRUE(label->MeasureText(label->GetText(), text, label->GetLabelFont()));
                overhang = std::max(overhang, text.width - label->GetWidth());
            }
            auto* toolbar = dynamic_cast<cToolBarChild*>(form->GetChildren().back());
            ASSERT_NE(toolbar, nullptr);
            bar = {toolbar->GetOriginInRoot().x, toolbar->GetOriginInRoot().y, toolbar->GetTotalWidth(),
                   toolbar->GetHeight()};
            if (const char* folder = std::getenv("QEL_SNAPSHOT_OUT")) {
                EXPECT_TRUE(SaveCanvasPng(std::string(folder) + "/messagebox_" + c.name + ".png", *h.GetCanvas(&box)));
            }
            h.Click(bar.x + bar.width - 5, bar.y + bar.height / 2, kMouseLeft, &box);
        });
        const bool answer = MessageBox(&form, c.text.c_str(), u"Fit", 0, kMessageQuestion, c.buttonKind);
        EXPECT_TRUE(rect.x >= 0 && rect.y >= 0 && rect.x + rect.width <= 1024 && rect.y + rect.height <= 768)
            << c.name;
        EXPECT_TRUE(bar.x >= 0 && bar.y >= 0 && bar.x + bar.width <= rect.width && bar.y + bar.height <= rect.height)
            << c.name;
        EXPECT_LE(overhang, 0) << c.name;
        EXPECT_EQ(answer, c.buttonKind == kMessageOk) << c.name << ": the last button's answer";
    }
}

} // namespace
