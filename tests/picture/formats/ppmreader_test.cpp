// The PPM/PNM reader on hand-written headers: comments, number limits and the pixel cap.
#include "picture/formats/ppmreader.h"
#include "picture/rasterformats.h"

namespace {

using rastertest::Bytes;
using rastertest::Grey;

TEST(PpmReader, HandWrittenHeaders)
{
    const std::vector<rastertest::sCraftedCase> cases = {
        {"comments", Bytes("P5#c\n2 # c\r 1\t#\n255\n\x07\x09"), {Grey(7), Grey(9)}},
        // After the maximum value a "#" ends the header and its text is pixel data.
        {"# after maxval", Bytes("P5 2 1 255#ab"), {Grey('a'), Grey('b')}},
        {"maxval 15, unscaled", Bytes("P5 2 1 15 \x0f\x03"), {Grey(15), Grey(3)}},
        {"P4 width 10", Bytes("P4 10 1 \xff\xc0"), rastertest::tPixels(10, 0xFF000000)},
        // A "#" glued to the width or height would make a comment the next number.
        {"# after width", Bytes("P5 10#5 5\n255\n"), {}, false},
        {"# after height", Bytes("P5 2 1#x\n255\n\x01\x02"), {}, false},
        {"width 0", Bytes("P5 0 1 255 x"), {}, false},
        {"11 digits", Bytes("P5 12345678901 1 255 x"), {}, false},
        {"above INT32_MAX", Bytes("P5 2147483648 1 255 x"), {}, false},
        {"maxval 0", Bytes("P5 1 1 0 x"), {}, false},
        {"maxval 65536", Bytes("P5 1 1 65536 xx"), {}, false},
        {"P3", Bytes("P3 1 1 255 0 0 0"), {}, false},
        // Past the pixel cap: the header is fine, Load fails before allocating.
        {"65536 x 65537", Bytes("P5 65536 65537 255 x"), {}},
        {"INT32_MAX x 1", Bytes("P5 2147483647 1 255 x"), {}},
    };
    rastertest::ExpectCraftedCases([] { return new cPictPPM; }, cases);
}

} // namespace
