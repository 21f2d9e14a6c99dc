// The edit box on mixed-direction lines against FriBidi's visual map (`fribidi`): Right
// walks the caret over the boundaries from left to right, a click on a boundary agrees,
// and between two characters neighbouring in the text the caret is between them there.
#include "base/utf.h"
#include "gui/controls/edit.h"
#include "gui/controlstest.h"
#include "gui/core/keys.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace {

TEST(EditBidi, CaretWalksAndClicksInFriBidiDisplayOrder)
{
    qeltest::cRecordingForm form; // the widgets outlive the application, as in the fixtures
    cEditChild edit;
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    cHeadlessHost host;
    cCIApplication application;
    ASSERT_TRUE(application.SetUpWindowSystem(&host));
    ASSERT_TRUE(form.AttachChild(&edit, 10, 10, 400, 24));
    sWindowParams params;
    params.screenRect = {0, 0, 420, 44};
    cWindowTranslator* window = application.GetWindowMaker()->OpenWindow(&form, params);
    ASSERT_NE(window, nullptr);
    edit.Activate();
    // Hebrew in a left-to-right line, Latin in a right-to-left one: one unit per character.
    for (const char* utf8 : {"ab \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D cd", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D ab \xD7\x9B\xD7\x9F"}) {
        _guardchar<char16_t> text;
        ASSERT_TRUE(Utf8ToWideString(utf8, -1, text) && edit.SetTextN(text.Get(), -1));
        std::istringstream map(qeltest::RunCommand("printf '%s\\n' " + qeltest::ShellQuote(utf8) +
                                                   " | fribidi --nopad --novisual --vtol"));
        std::vector<i32> visual{std::istream_iterator<i32>(map), std::istream_iterator<i32>()};
        const i32 length = i32(text.Length());
        ASSERT_EQ(i32(visual.size()), length) << "fribidi (libfribidi-bin)";
        std::vector<i32> edges(static_cast<size_t>(length) + 1);
        host.GetCanvas(window)->SelectFont(form.GetDefaultFont());
        ASSERT_TRUE(host.GetCanvas(window)->FitTextW(text.Get(), length, edges.data() + 1));
        for (i32 i = 0; i <= length; ++i) {
            host.KeyDown(kVkLeft, false, false, false, window);
        }
        std::vector<i32> walked;
        for (i32 k = 0, x = 0; k <= length; x += k < length ? edges[visual[k] + 1] - edges[visual[k]] : 0, ++k) {
            if (k > 0) {
                host.KeyDown(kVkRight, false, false, false, window);
            }
            walked.push_back(edit.GetCaret());
            if (k > 0 && k < length && std::abs(visual[k] - visual[k - 1]) == 1) {
                EXPECT_EQ(walked.back(), std::max(visual[k], visual[k - 1])) << utf8 << " place " << k;
            }
            host.AdvanceTime(1000); // no double click
            host.Click(10 + 2 + x, 20, 1, window);
            EXPECT_EQ(edit.GetCaret(), walked.back()) << utf8 << " click at place " << k;
        }
        std::sort(walked.begin(), walked.end());
        EXPECT_EQ(std::unique(walked.begin(), walked.end()) - walked.begin(), length + 1) << utf8;
    }
}

} // namespace
