// A message box fits its buttons and the screen: whatever the text, the window lies on
// the 1024 x 768 screen, the buttons inside the window, every line's text inside its
// label, no line under the buttons, "..." ending a text taller than the screen, and a
// click on the last button ends the box with its answer.
#include "gui/controlstest.h"
#include "gui/core/keys.h"
#include "gui/messageboxtexts.h"

namespace {

class MessageBoxFitTest : public qeltest::cFormTest
{
};

TEST_F(MessageBoxFitTest, EveryButtonIsWholeOnTheScreenAndAnswers)
{
    for (const qeltest::sMessageBoxCase& c : qeltest::MessageBoxFitCases()) {
        sRect rect;
        qeltest::sMessageBoxLayout layout;
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& box) {
            ASSERT_TRUE(h.GetWindowRect(&box, rect));
            layout = qeltest::ReadMessageBox(dynamic_cast<cCustomForm*>(box.GetRoot()));
            if (const char* folder = std::getenv("QEL_SNAPSHOT_OUT")) {
                EXPECT_TRUE(SaveCanvasPng(std::string(folder) + "/messagebox_" + c.name + ".png", *h.GetCanvas(&box)));
            }
            h.Click(layout.bar.x + layout.bar.width - 5, layout.bar.y + layout.bar.height / 2, kMouseLeft, &box);
        });
        const bool answer = MessageBox(&form, c.text.c_str(), u"Fit", 0, kMessageQuestion, c.buttonKind);
        const sRect& bar = layout.bar;
        EXPECT_TRUE(rect.x >= 0 && rect.y >= 0 && rect.x + rect.width <= 1024 && rect.y + rect.height <= 768)
            << c.name;
        EXPECT_TRUE(bar.x >= 0 && bar.y >= 0 && bar.x + bar.width <= rect.width && bar.y + bar.height <= rect.height)
            << c.name;
        EXPECT_LE(layout.overhang, 0) << c.name;
        EXPECT_LE(layout.textBottom, bar.y) << c.name << ": the buttons overlap the text";
        EXPECT_EQ(layout.lastLine == u"...", c.cut) << c.name;
        EXPECT_EQ(answer, c.buttonKind == kMessageOk) << c.name << ": the last button's answer";
    }
}

} // namespace
