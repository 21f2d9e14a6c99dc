// The XPM reader on hand-written texts: the token rules, the colour forms and cut texts;
// colour names and visual keys against libXpm on an X server's colour database.
#include "picture/formats/xpmreader.h"
#include "picture/rasterformats.h"
#include "support/scratchfolder.h"

namespace {

using rastertest::Bytes;

const std::string kStart = "/* XPM */\nstatic char *x[] = {\n";

// A text of the three strings after `start`.
std::vector<u8> Xpm(const std::string& values, const std::string& colours, const std::string& row,
                    const std::string& start = kStart)
{
    return Bytes(start + "\"" + values + "\",\n\"" + colours + "\",\n\"" + row + "\"\n};\n");
}

TEST(XpmReader, HandWrittenTexts)
{
    const u32 red = 0xFFFF0000;
    const std::string twoRows = kStart + "\"1 2 1 2\",\n\"ab c #FF0000\",\n";
    const std::vector<rastertest::sCraftedCase> cases = {
        {"6 digits", Xpm("1 1 1 2", "ab c #FF0000", "ab"), {red}},
        {"12 digits", Xpm("1 1 1 2", "ab c #FFFF00000000", "ab"), {red}},
        {"None, comments",
         Bytes(kStart +
               "/* two\nlines */ \"2 1 2 1\", /**/\n\"a c None\",\"b c #0000ff\",\n\"ab\"};"),
         {0, 0xFF0000FF}},
        {"blank line, CR LF",
         Bytes("\r\n /* XPM */\r\nstatic char *x[] = {\r\n\"1 1 1 1\",\r\n"
               "\"a c #010203\",\r\n\"a\"\r\n"),
         {0xFF010203}},
        // Load skips a byte order mark; the probe (and so the factory) refuses it.
        {"byte order mark",
         Xpm("1 1 1 2", "ab c #FF0000", "ab", "\xEF\xBB\xBF" + kStart),
         {red},
         false},
        {"brace on the next line",
         Xpm("1 1 1 2", "ab c #FF0000", "ab", "/* XPM */\nstatic char *x[]\n= {\n"),
         {}},
        {"#define first",
         Xpm("1 1 1 2", "ab c #FF0000", "ab", "#define x_width 1\n" + kStart),
         {},
         false},
        {"row one short", Xpm("2 1 1 2", "ab c #FF0000", "abx"), {}},
        {"5 characters per pixel", Xpm("1 1 1 5", "abcde c #FF0000", "abcde"), {}, false},
        {"unknown key", Xpm("1 1 1 2", "ab c #FF0000", "cd"), {}},
        {"duplicate key", Xpm("1 1 2 2", "ab c #FF0000\",\n\"ab c #00FF00", "ab"), {}},
        {"colour name", Xpm("1 1 1 2", "ab c red", "ab"), {red}},
        {"unknown colour name", Xpm("1 1 1 2", "ab c reddish", "ab"), {}},
        {"symbolic name only", Xpm("1 1 1 2", "ab s red", "ab"), {}},
        {"word before any visual", Xpm("1 1 1 2", "ab red c red", "ab"), {}},
        {"visual without value", Xpm("1 1 1 2", "ab c", "ab"), {}},
        {"comma missing", Bytes(kStart + "\"1 1 1 2\"\n\"ab c #FF0000\",\n\"ab\"};"), {}},
        {"quote missing", Bytes(kStart + "\"1 1 1 2\",\n\"ab c #FF0000,\n\"ab\"};"), {}},
        // A text cut short keeps the rows it has, the others cleared; one cut before the
        // first row has no picture.
        {"cut after a row", Bytes(twoRows + "\"ab\",\n"), {red, 0}},
        {"cut before the rows", Bytes(twoRows), {}},
        {"width beyond int", Bytes(kStart + "\"99999999999 1 1 1\",\n"), {}, false},
    };
    rastertest::ExpectCraftedCases([] { return new cPictXPM; }, cases);
}

// Names in every spelling libXpm takes (spaces, case), each visual key alone and in every
// order, values after a visual's key that look like keys, decoded as libXpm decodes them.
TEST(XpmReader, ColourNamesAndVisualsAgainstLibXpm)
{
    QEL_REQUIRE(qeltest::HaveTool("xvfb-run") && qeltest::HaveTool("cc"), "xvfb, a C compiler");
    const std::vector<std::string> colours = {
        "c green",           "c Light Grey",      "c light  goldenrod yellow", "c GRAY75",
        "c none",            "c DarkSlateGray4",  "s sym m white c gray75",     "m black",
        "g grey50 m white",  "s bg c None",       "g4 #102030 m white",         "m white g4 gray20",
        "s c c #FF8000",     "m m g Navy Blue",   "c\tmedium\tpurple",           "s s c snow"};
    std::string text = kStart + "\"" + std::to_string(colours.size()) + " 2 " +
                       std::to_string(colours.size()) + " 1\",\n";
    std::string row;
    for (size_t i = 0; i < colours.size(); ++i) {
        row += char('A' + i);
        text += "\"" + row.substr(i) + " " + colours[i] + "\",\n";
    }
    text += "\"" + row + "\",\n\"" + std::string(row.rbegin(), row.rend()) + "\"\n};\n";
    const qeltest::cScratchFolder folder;
    picttest::WriteFileBytes(folder.PathOf("names.xpm"), text);
    const std::vector<u32> libxpm = picttest::ToolPixels(
        "cd " + folder.Path() + " && cc -o oracle " + QEL_SOURCE_DIR +
        "/tools/testdata/xpm_oracle.c -lXpm -lX11 && xvfb-run -a -s '-screen 0 64x64x24' "
        "./oracle names.xpm");
    ASSERT_EQ(libxpm.size(), 2 * colours.size());
    EXPECT_EQ(rastertest::Decode([] { return new cPictXPM; }, Bytes(text)), libxpm);
}

} // namespace
