// The edit box on lines that mix directions, with the system's faces, against FriBidi's
// visual map (the `fribidi` program, libfribidi-bin): pressing Right walks the caret over
// the character boundaries from the screen's left to its right, clicking a boundary puts
// the caret where the keys put it, and between two characters that are neighbours in the
// text the caret stands between them in the text as well. The selection picture
// editbidi_selection.png is written to QEL_SNAPSHOT_OUT when set (looked at by eye).
#include "base/utf.h"
#include "controlstest.h"
#include "gui/controls/edit.h"
#include "gui/core/keys.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

class EditBidiTest : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
        host = std::make_unique<cHeadlessHost>();
        application = std::make_unique<cCIApplication>();
        ASSERT_TRUE(application->SetUpWindowSystem(host.get()));
        ASSERT_TRUE(form.AttachChild(&edit, 10, 10, 400, 24));
        window = Open(&form, 420, 44);
        ASSERT_NE(window, nullptr);
        edit.Activate();
    }
    void Key(i32 vk, bool shift = false) { host->KeyDown(vk, shift, false, false, window); }

    qeltest::cRecordingForm form;
    cEditChild edit;
    cWindowTranslator* window = nullptr;
};

// FriBidi's visual-to-logical map of a line: the text index shown at each screen place.
std::vector<i32> VisualToLogical(const std::string& utf8)
{
    int status = 0;
    std::istringstream out(qeltest::RunCommand(
        "printf '%s\\n' " + qeltest::ShellQuote(utf8) + " | fribidi --nopad --novisual --vtol", &status));
    EXPECT_EQ(status, 0) << "fribidi (libfribidi-bin) missing";
    std::vector<i32> map;
    for (i32 index; out >> index;) {
        map.push_back(index);
    }
    return map;
}

TEST_F(EditBidiTest, CaretWalksAndClicksInFriBidiDisplayOrder)
{
    // Hebrew inside a left-to-right line, and Latin inside a right-to-left one (one
    // UTF-16 unit and one cluster per character, so FriBidi's indices are the units).
    for (const char* utf8 : {"ab \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D cd", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D ab \xD7\x9B\xD7\x9F"}) {
        _guardchar<char16_t> text;
        ASSERT_TRUE(Utf8ToWideString(utf8, -1, text));
        const i32 length = i32(text.Length());
        const std::vector<i32> visual = VisualToLogical(utf8);
        ASSERT_EQ(i32(visual.size()), length);
        std::vector<i32> edges(static_cast<size_t>(length));
        std::unique_ptr<cCanvas> measure(CreateMemoryCanvas(1, 1));
        measure->SelectFont(form.GetDefaultFont());
        ASSERT_TRUE(measure->FitTextW(text.Get(), length, edges.data()));
        const auto advance = [&](i32 unit) { return edges[size_t(unit)] - (unit > 0 ? edges[size_t(unit) - 1] : 0); };

        ASSERT_TRUE(edit.SetTextN(text.Get(), length));
        for (i32 i = 0; i <= length; ++i) {
            Key(kVkLeft);
        }
        std::vector<i32> walked;
        i32 boundaryX = 0; // the screen x of the boundary before visual place k
        for (i32 k = 0; k <= length; ++k) {
            if (k > 0) {
                Key(kVkRight);
                boundaryX += advance(visual[size_t(k) - 1]);
            }
            const i32 caret = edit.GetCaret();
            walked.push_back(caret);
            // Inside a run the neighbours on the screen are neighbours in the text.
            if (k > 0 && k < length && std::abs(visual[size_t(k)] - visual[size_t(k) - 1]) == 1) {
                EXPECT_EQ(caret, std::max(visual[size_t(k)], visual[size_t(k) - 1])) << utf8 << " place " << k;
            }
            host->AdvanceTime(1000); // no double click
            host->Click(10 + 2 + boundaryX, 20);
            EXPECT_EQ(edit.GetCaret(), caret) << utf8 << " click at place " << k;
        }
        std::vector<i32> sorted = walked;
        std::sort(sorted.begin(), sorted.end());
        for (i32 i = 0; i <= length; ++i) {
            EXPECT_EQ(sorted[size_t(i)], i) << utf8 << ": every caret place is reached once";
        }
    }
}

// "ab |שלום cd" shows its Hebrew as םולש; Shift+Right from the start goes over "ab " and then over ם on the
// screen, which puts the caret between ו and ם in the text: the selection "ab שלו" shows as
// two bands with the unselected ם between them.
TEST_F(EditBidiTest, SelectionShowsAsTheBandsOfItsCharacters)
{
    const std::u16string text = u"ab \u05E9\u05DC\u05D5\u05DD cd";
    ASSERT_TRUE(edit.SetTextN(text.c_str(), -1));
    Key(kVkHome);
    for (i32 i = 0; i < 4; ++i) {
        Key(kVkRight, true);
    }
    ASSERT_EQ(edit.GetSelectionStart(), 0);
    ASSERT_EQ(edit.GetSelectionEnd(), 5);
    host->Pump();
    std::vector<i32> edges(text.size());
    std::unique_ptr<cCanvas> measure(CreateMemoryCanvas(1, 1));
    measure->SelectFont(form.GetDefaultFont());
    ASSERT_TRUE(measure->FitTextW(text.data(), i32(text.size()), edges.data()));
    // Middles of the boxes on the screen: a, then ם at the Hebrew's left end and ש at its
    // right end, then c.
    const i32 hebrewLeft = edges[2];
    const i32 hebrewRight = edges[6];
    const struct { i32 x; bool selected; } probes[] = {
        {edges[0] / 2, true},
        {hebrewLeft + (edges[6] - edges[5]) / 2, false},
        {hebrewRight - (edges[3] - edges[2]) / 2, true},
        {edges[7] + (edges[8] - edges[7]) / 2, false},
    };
    sSize cell;
    ASSERT_TRUE(measure->MeasureTextW(u"W", 1, &cell));
    const u32 selection = PixelFromColour(GetTheme()->GetColour(17));
    for (const auto& probe : probes) {
        // The text cell's top row: inside a selection band, above the glyphs.
        EXPECT_EQ(qeltest::ElementPixel(*host, &edit, 2 + probe.x, (24 - cell.height) / 2) == selection, probe.selected)
            << probe.x;
    }
    if (const char* folder = std::getenv("QEL_SNAPSHOT_OUT")) {
        EXPECT_TRUE(SaveCanvasPng(std::string(folder) + "/editbidi_selection.png", *host->GetCanvas(window)));
    }
}

} // namespace
