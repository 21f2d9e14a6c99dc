// The XPM reader on hand-written texts: the token rules, the colour forms and cut texts.
#include "picture/core/xpmreader.h"
#include "rasterformats.h"

namespace {

using rastertest::Bytes;

TEST(XpmReader, HandWrittenTexts)
{
    const std::string start = "/* XPM */\nstatic char *x[] = {\n";
    const std::string red = "\"1 1 1 2\",\n\"ab c #FF0000\",\n\"ab\"\n};\n";
    const std::string twoRows = start + "\"1 2 1 2\",\n\"ab c #FF0000\",\n";
    rastertest::ExpectCraftedCases(
        [] { return new cPictXPM; },
        {
            {"6 digits", Bytes(start + red), true, {0xFFFF0000}},
            {"12 digits",
             Bytes(start + "\"1 1 1 2\",\n\"ab c #FFFF00000000\",\n\"ab\"\n};\n"),
             true,
             {0xFFFF0000}},
            {"None, comments over lines",
             Bytes(start +
                   "/* two\nlines */ \"2 1 2 1\", /**/\n\"a c None\",\"b c #0000ff\",\n\"ab\"};"),
             true,
             {0, 0xFF0000FF}},
            {"blank line first", Bytes("\n  " + start + red), true, {0xFFFF0000}},
            {"CR LF",
             Bytes("/* XPM */\r\nstatic char *x[] = {\r\n\"1 1 1 1\",\r\n\"a c "
                   "#010203\",\r\n\"a\"\r\n"),
             true,
             {0xFF010203}},
            // Load skips a byte order mark; the probe (and so the factory) refuses it.
            {"byte order mark", Bytes("\xEF\xBB\xBF" + start + red), false, {0xFFFF0000}},
            {"brace on the next line", Bytes("/* XPM */\nstatic char *x[]\n= {\n" + red), true, {}},
            {"#define first", Bytes("#define x_width 1\n" + start + red), false, {}},
            {"row one short",
             Bytes(start + "\"2 1 1 2\",\n\"ab c #FF0000\",\n\"abx\"\n};\n"),
             true,
             {}},
            {"5 characters per pixel",
             Bytes(start + "\"1 1 1 5\",\n\"abcde c #FF0000\",\n\"abcde\"};"),
             false,
             {}},
            {"unknown key",
             Bytes(start + "\"1 1 1 2\",\n\"ab c #FF0000\",\n\"cd\"\n};\n"),
             true,
             {}},
            {"duplicate key",
             Bytes(start + "\"1 1 2 2\",\n\"ab c #FF0000\",\n\"ab c #00FF00\",\n\"ab\"\n};\n"),
             true,
             {}},
            {"colour name", Bytes(start + "\"1 1 1 2\",\n\"ab c red\",\n\"ab\"\n};\n"), true, {}},
            {"comma missing",
             Bytes(start + "\"1 1 1 2\"\n\"ab c #FF0000\",\n\"ab\"\n};\n"),
             true,
             {}},
            {"quote missing",
             Bytes(start + "\"1 1 1 2\",\n\"ab c #FF0000,\n\"ab\"\n};\n"),
             true,
             {}},
            // A text cut short keeps the rows it has, the others cleared; one cut before the
            // first row has no picture.
            {"cut after a row", Bytes(twoRows + "\"ab\",\n"), true, {0xFFFF0000, 0}},
            {"cut before the rows", Bytes(twoRows), true, {}},
            {"width beyond int", Bytes(start + "\"99999999999 1 1 1\",\n"), false, {}},
        });
}

} // namespace
