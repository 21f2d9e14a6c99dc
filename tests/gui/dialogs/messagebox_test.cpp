// The message box: client sizes from the lines and the results of every way to end it
// (an unshown question never answers "Yes"). Where the labels, icon and buttons go, and
// each wrapper's caption and buttons, are checked with the goldens in snapshot_test.cpp.
#include "gui/controlstest.h"
#include "gui/core/keys.h"
#include "gui/dialogs/messagebox.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using tScript = std::function<void(cHeadlessHost&, cWindowTranslator&)>;

cToolBarChild* ToolBar(cWindowTranslator& window)
{
    for (cChildElement* child : window.GetRoot()->GetChildren()) {
        if (auto* bar = dynamic_cast<cToolBarChild*>(child)) {
            return bar;
        }
    }
    return nullptr;
}

// Clicks the toolbar button of `id`.
void ClickButton(cHeadlessHost& host, cWindowTranslator& window, i32 id)
{
    cButtonChild* button = ToolBar(window)->GetButton(id);
    ASSERT_NE(button, nullptr);
    const sPoint origin = button->GetOriginInRoot();
    host.Click(origin.x + button->GetWidth() / 2, origin.y + button->GetHeight() / 2, kMouseLeft, &window);
}

class MessageBoxTest : public qeltest::cFormTest
{
};

// Enter and "Yes"/"Ok" end with 1, Escape and "No" with 0; a box that could not be shown
// ends with -1, which MessageBox counts as true and the Ask wrappers as "No".
TEST_F(MessageBoxTest, ResultsOfEveryEnding)
{
    const tScript enter = [](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(kVkReturn); };
    const tScript escape = [](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(kVkEscape); };
    const tScript clickYes = [](cHeadlessHost& h, cWindowTranslator& w) { ClickButton(h, w, 1); };
    const tScript clickNo = [](cHeadlessHost& h, cWindowTranslator& w) { ClickButton(h, w, 2); };
    const tScript tabEnter = [](cHeadlessHost& h, cWindowTranslator&) {
        h.Pump(); // "Yes" takes the focus first
        h.KeyDown(kVkTab);
        h.KeyDown(kVkReturn);
    };
    const tScript nothing = [](cHeadlessHost&, cWindowTranslator&) {};
    struct sCase
    {
        const char* what;
        bool question;
        const tScript* script; // null: no script, the run ends with -1 at once
        bool result;
        i32 code;
    };
    const sCase cases[] = {
        {"ok: enter", false, &enter, true, 1},
        {"ok: escape", false, &escape, false, 0},
        {"ok: no script", false, nullptr, true, -1},
        {"question: escape", true, &escape, false, 0},
        {"question: yes", true, &clickYes, true, 1},
        {"question: no", true, &clickNo, false, 0},
        {"question: tab to no, enter", true, &tabEnter, false, 0},
        {"question: left open", true, &nothing, false, -1},
    };
    for (const sCase& c : cases) {
        if (c.script != nullptr) {
            host->PushModalScript(*c.script);
        }
        const size_t runs = host->GetRunLog().size();
        const bool result = c.question ? AskQuestion(&form, u"Proceed?", nullptr)
                                       : ShowErrorMessage(&form, u"Failed.", nullptr);
        EXPECT_EQ(result, c.result) << c.what;
        ASSERT_EQ(host->GetRunLog().size(), runs + 1) << c.what;
        EXPECT_EQ(host->GetRunLog().back().code, c.code) << c.what;
    }

    // No window at all: the run ends with -1 without a dialog.
    host->FailNextWindowOpen();
    EXPECT_TRUE(MessageBox(&form, u"x", nullptr, 5, kMessageError, kMessageOk));
    host->FailNextWindowOpen();
    EXPECT_FALSE(AskConfirmation(&form, u"x", nullptr));

    // Nothing to show: false without a run.
    const size_t runs = host->GetRunLog().size();
    EXPECT_FALSE(MessageBox(nullptr, u"x", nullptr, 5, kMessageError, kMessageOk));
    EXPECT_FALSE(MessageBox(&form, nullptr, nullptr, 5, kMessageError, kMessageOk));
    EXPECT_FALSE(AskQuestion(nullptr, u"x", nullptr));
    EXPECT_EQ(host->GetRunLog().size(), runs);
}

} // namespace
