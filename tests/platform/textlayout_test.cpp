// Word wrapping against Python's textwrap (break_long_words and break_on_hyphens off)
// on the paragraphs of the GPL 3 text: with every unit 5 pixels wide and a width of 5N,
// our lines must be textwrap's lines for width N.
#include "gui/core/font.h"
#include "platform/drawtesttools.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"
#include "platform/textlayout.h"
#include "support/testsupport.h"

#include <memory>

#include <sstream>
#include <string>
#include <vector>

namespace {

const char kLicence[] = "/usr/share/common-licenses/GPL-3";

// Prints, per width and paragraph: "P <text>", then "L <line>" per wrapped line.
const char kScript[] = R"PY(
import sys, textwrap
text = open(sys.argv[1], encoding="utf-8").read()
paragraphs = [" ".join(p.split()) for p in text.split("\n\n") if p.strip()]
for width in (20, 37, 60, 72):
    print("W", width)
    for p in paragraphs:
        print("P", p)
        for line in textwrap.wrap(p, width, break_long_words=False, break_on_hyphens=False):
            print("L", line)
)PY";

std::u16string Widen(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// Draws the paragraph with the canvas and the 5 x 13 test font and reads the lines back
// from the pixels: one character cell per 5 pixels, '#' where a block was drawn.
std::vector<std::string> LinesDrawnByCanvas(const std::u16string& paragraph, int columns)
{
    std::vector<std::string> lines;
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(5 * columns + 200, 13 * 40));
    i32 height = 0;
    canvas->SelectFont(GetCachedFont(5, 13, nullptr, false, false, false));
    canvas->SetColors(0x000000, 0xFFFFFF);
    if (!canvas->DrawMultilineTextW(0, 0, 5 * columns, 13 * 40, kAlignLeft, 1.0, paragraph.data(), -1, &height)) {
        return lines;
    }
    for (i32 top = 0; top < height && top < 13 * 40; top += 13) {
        std::string cells;
        for (i32 x = 0; x < canvas->GetWidth(); x += 5) {
            cells += canvas->GetPixels()[(top + 4) * canvas->GetStride() + x] == 0xFF000000u ? '#' : '.';
        }
        lines.push_back(cells.substr(0, cells.find_last_of('#') + 1));
    }
    return lines;
}

std::string Cells(const std::string& line)
{
    std::string cells;
    for (const char c : line) {
        cells += c == ' ' ? '.' : '#';
    }
    return cells;
}

TEST(BreakTextLines, MatchesPythonTextwrapOnTheGplParagraphs)
{
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
    QEL_REQUIRE(qeltest::PathExists(kLicence), kLicence);
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "/usr/bin/python3");
    qeltest::cScratchFolder folder;
    {
        std::ofstream script(folder.PathOf("wrap.py"));
        script << kScript;
    }
    std::istringstream records(
        drawtest::RunCommand("/usr/bin/python3 '" + folder.PathOf("wrap.py") + "' " + kLicence));

    int width = 0;
    std::u16string paragraph;
    std::vector<std::string> expected;
    int paragraphs = 0;
    auto check = [&] {
        if (paragraph.empty()) {
            return;
        }
        ++paragraphs;
        std::vector<i32> advances(paragraph.size(), 5);
        const std::vector<sTextLine> lines =
            BreakTextLines(paragraph.data(), i32(paragraph.size()), advances.data(), 5 * width);
        std::vector<std::string> ours;
        for (const sTextLine& line : lines) {
            ours.emplace_back(paragraph.begin() + line.start, paragraph.begin() + line.end);
            EXPECT_EQ(line.width, 5 * (line.end - line.start));
        }
        ASSERT_EQ(ours, expected) << "width " << width;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].wrapped, i + 1 < lines.size());
        }
        // The canvas end to end, on the paragraphs that fit its 40 lines; a long word
        // is clipped at the width, so it shows as at most `width` cells.
        if (expected.size() <= 40) {
            std::vector<std::string> cells;
            for (const std::string& line : expected) {
                cells.push_back(Cells(line).substr(0, size_t(width)));
            }
            ASSERT_EQ(LinesDrawnByCanvas(paragraph, width), cells) << "width " << width;
        }
    };
    std::string record;
    while (std::getline(records, record)) {
        const std::string tag = record.substr(0, 1);
        const std::string rest = record.size() > 2 ? record.substr(2) : "";
        if (tag == "W" || tag == "P") {
            check();
            paragraph.clear();
            expected.clear();
            if (tag == "W") {
                width = std::stoi(rest);
            } else {
                paragraph = Widen(rest);
            }
        } else if (tag == "L") {
            expected.push_back(rest);
        }
    }
    check();
    EXPECT_GT(paragraphs, 4 * 100);
}

TEST(BreakTextLines, LineFeedsLeadingSpacesLongWordsAndTabs)
{
    const std::u16string text = u"  ab cdefgh\n\nij ";
    std::vector<i32> advances(text.size(), 1);
    const std::vector<sTextLine> lines = BreakTextLines(text.data(), i32(text.size()), advances.data(), 5);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(text.substr(lines[0].start, lines[0].end - lines[0].start), u"  ab"); // paragraph's own indent
    EXPECT_TRUE(lines[0].wrapped);
    EXPECT_EQ(text.substr(lines[1].start, lines[1].end - lines[1].start), u"cdefgh"); // alone, too wide
    EXPECT_EQ(lines[1].width, 6);
    EXPECT_FALSE(lines[1].wrapped);
    EXPECT_EQ(lines[2].start, lines[2].end); // the empty line between the line feeds
    EXPECT_EQ(text.substr(lines[3].start, lines[3].end - lines[3].start), u"ij"); // trailing space dropped
    EXPECT_TRUE(BreakTextLines(text.data(), 0, advances.data(), 5).empty());
    // Tabs (stops every 8) count from the line they land on: the wrapped "bb\tc" is 9 wide.
    const std::u16string tabbed = u"aaaa b\tc bb\tc";
    const std::vector<sTextLine> wrapped = BreakTextLines(tabbed.data(), 13, advances.data(), 10, 8);
    ASSERT_EQ(wrapped.size(), 2u);
    EXPECT_EQ(std::make_pair(wrapped[0].width, wrapped[1].width), std::make_pair(9, 9));
}

TEST(FittingPrefix, StopsOnCodePointBoundaries)
{
    const char16_t text[] = u"a\U0001F600b";
    const i32 advances[] = {3, 4, 0, 3};
    EXPECT_EQ(FittingPrefix(text, 4, advances, 6), 1);  // the pair (4) does not fit after a
    EXPECT_EQ(FittingPrefix(text, 4, advances, 7), 3);
    EXPECT_EQ(FittingPrefix(text, 4, advances, 100), 4);
    EXPECT_EQ(FittingPrefix(text, 4, advances, 0), 0);
}

} // namespace
