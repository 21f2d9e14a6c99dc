// The reviewed pictures of the message box, drawn with the fixed-advance test font and
// compared pixel for pixel with the goldens in tests/data/gui/controls (see the README
// there for how they were made).
#include "gui/controlstest.h"
#include "gui/core/keys.h"
#include "gui/dialogs/messagebox.h"

#include <string>

namespace {

using qeltest::ExpectMatchesGolden;

using SnapshotTest = qeltest::cGuiTest;

// The message box in its four kinds, with its default captions and buttons. The Show...
// names keep the captions as the program expects them: ShowWarningMessage says
// "Information", ShowInfoMessage "Warning"; a given caption replaces the default.
TEST_F(SnapshotTest, MessageBoxKinds)
{
    cCustomForm form;
    ASSERT_NE(Open(&form, 400, 300), nullptr);
    using tWrapper = bool (*)(cChildElement*, const char16_t*, const char16_t*);
    const struct
    {
        tWrapper wrapper;
        const char* name;
        const char16_t* text;
        const char16_t* title;
    } kinds[] = {
        {ShowWarningMessage, "message_information.png", u"Update for this software is not required.", u"Information"},
        {AskQuestion, "message_question.png", u"Do you want to overwrite the existing file?\nIt was saved today.",
         u"Confirm"},
        {ShowInfoMessage, "message_warning.png", u"Unable to write data to the file!\n\nCheck the free space.",
         u"Warning"},
        {ShowErrorMessage, "message_error.png", u"Unable to create the target file!", u"Error"},
        {AskConfirmation, nullptr, u"Sure?", u"Confirm"},
    };
    for (const auto& kind : kinds) {
        for (const char16_t* caption : {static_cast<const char16_t*>(nullptr), u"Given"}) {
            std::u16string title;
            host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& box) {
                h.Pump(); // the first button takes the focus
                title = h.GetTitle(&box);
                if (kind.name != nullptr && caption == nullptr) {
                    ExpectMatchesGolden(*h.GetCanvas(&box), kind.name);
                }
                h.KeyDown(kVkEscape);
            });
            EXPECT_FALSE(kind.wrapper(&form, kind.text, caption));
            EXPECT_EQ(title, caption != nullptr ? caption : kind.title);
        }
    }
}

} // namespace
