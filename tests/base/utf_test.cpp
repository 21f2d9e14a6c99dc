#include "base/utf.h"

#include "support/scratchfolder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Bytes as pairs of hex digits, UTF-16 units as groups of four.
template <typename Text>
Text FromHex(const std::string& hex)
{
    const size_t digits = 2 * sizeof(typename Text::value_type);
    Text text;
    for (size_t i = 0; i + digits <= hex.size(); i += digits) {
        text.push_back(typename Text::value_type(std::stoul(hex.substr(i, digits), nullptr, 16)));
    }
    return text;
}

// Our conversions stop at a zero (the result is zero-terminated), Python's do not.
template <typename Text>
Text BeforeZero(const Text& text)
{
    return text.substr(0, text.find(typename Text::value_type(0)));
}

std::u16string Decode(bool fileName, const std::string& bytes)
{
    _guardchar<char16_t> out;
    bool ok = fileName ? FileNameToWide(bytes.data(), i64(bytes.size()), out)
                       : Utf8ToWideString(bytes.data(), i64(bytes.size()), out);
    EXPECT_TRUE(ok);
    return out.GetOrEmpty();
}

// Encodes; "-" stands for a refused conversion.
std::string Encode(bool fileName, const std::u16string& units)
{
    _guardchar<char> out;
    bool ok = fileName ? WideToFileName(units.data(), i64(units.size()), out)
                       : WideToUtf8String(units.data(), i64(units.size()), out);
    if (!ok) {
        EXPECT_TRUE(out.IsEmpty());
        return "-";
    }
    return out.GetOrEmpty();
}

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (u8 byte : bytes) {
        hex += {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15]};
    }
    return hex;
}

} // namespace

// Every line of the table made from Python's codecs: the general decoder against
// decode('utf-8','replace'), the file-name pair against 'surrogateescape', and the
// encoders against encode() with U+FFFD / surrogateescape.
TEST(Utf, MatchesPythonCodecsTable)
{
    std::string path = qeltest::LocalDataPath("utf8_cases.tsv");
    std::ifstream table(path);
    ASSERT_TRUE(table) << path;
    std::string line;
    int decodeCases = 0;
    int encodeCases = 0;
    while (std::getline(table, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        fields.resize(4);
        SCOPED_TRACE(line);
        if (fields[0] == "D") {
            std::string bytes = BeforeZero(FromHex<std::string>(fields[1]));
            EXPECT_EQ(Decode(false, bytes), BeforeZero(FromHex<std::u16string>(fields[2])));
            std::u16string escaped = Decode(true, bytes);
            EXPECT_EQ(escaped, BeforeZero(FromHex<std::u16string>(fields[3])));
            EXPECT_EQ(Hex(Encode(true, escaped)), Hex(bytes));
            ++decodeCases;
        } else if (fields[0] == "E") {
            std::u16string units = FromHex<std::u16string>(fields[1]);
            EXPECT_EQ(Hex(Encode(false, units)), fields[2]);
            std::string fileName = Encode(true, units);
            EXPECT_EQ(fileName == "-" ? fileName : Hex(fileName), fields[3]);
            ++encodeCases;
        }
    }
    EXPECT_GT(decodeCases, 900);
    EXPECT_GT(encodeCases, 300);
}
