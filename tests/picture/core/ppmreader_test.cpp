// The PPM/PNM reader on hand-written headers: comments, number limits and the pixel cap.
#include "picture/core/ppmreader.h"
#include "rasterformats.h"

namespace {

using rastertest::Bytes;
using rastertest::Grey;

TEST(PpmReader, HandWrittenHeaders)
{
    rastertest::ExpectCraftedCases(
        [] { return new cPictPPM; },
        {
            {"comment before the width", Bytes("P6#c\n1 1 255\n\x01\x02\x03"), true, {0xFF010203}},
            {"comments between fields",
             Bytes("P5 2 # c\r 1\t#\n255\n\x07\x09"),
             true,
             {Grey(7), Grey(9)}},
            // After the maximum value a "#" ends the header and its text is pixel data.
            {"# after the maximum value", Bytes("P5 2 1 255#ab"), true, {Grey('a'), Grey('b')}},
            {"maximum value 15, unscaled", Bytes("P5 2 1 15 \x0f\x03"), true, {Grey(15), Grey(3)}},
            {"P4 width 10, 2 bytes a row", Bytes("P4 10 1 \xff\xc0"), true,
             rastertest::tPixels(10, 0xFF000000)},
            {"P4 row short", Bytes("P4 10 1 \xff"), true, {}},
            // A "#" glued to the width or height would make a comment the next number.
            {"# after the width", Bytes("P5 10#5 5\n255\n"), false, {}},
            {"# after the height", Bytes("P5 2 1#x\n255\n\x01\x02"), false, {}},
            {"width 0", Bytes("P5 0 1 255 x"), false, {}},
            {"11 digits", Bytes("P5 12345678901 1 255 x"), false, {}},
            {"above INT32_MAX", Bytes("P5 2147483648 1 255 x"), false, {}},
            {"maximum value 0", Bytes("P5 1 1 0 x"), false, {}},
            {"maximum value 65536", Bytes("P5 1 1 65536 xx"), false, {}},
            {"P3", Bytes("P3 1 1 255 0 0 0"), false, {}},
            // Past the pixel cap: the header is fine, Load fails before allocating.
            {"65536 x 65537", Bytes("P5 65536 65537 255 x"), true, {}},
            {"INT32_MAX x 1", Bytes("P5 2147483647 1 255 x"), true, {}},
        });
}

} // namespace
