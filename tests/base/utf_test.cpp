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

// Explicit lengths cut, even inside a sequence or a pair (the cut half is lone); a
// terminator within the length ends the text; null and empty give the empty (null) text.
TEST(Utf, LengthsNullsAndRefusedSurrogates)
{
    const std::tuple<const char*, i64, std::u16string> decodes[] = {
        {"abc\xC3\xA9", -1, u"abc\u00E9"}, {"abc\xC3\xA9", 4, u"abc\uFFFD"}, {"ab\0cd", 5, u"ab"},
        {nullptr, 10, u""}, {"", -1, u""}};
    for (const auto& [bytes, length, expected] : decodes) {
        _guardchar<char16_t> wide;
        ASSERT_TRUE(Utf8ToWideString(bytes, length, wide));
        EXPECT_EQ(wide.Get() == nullptr ? u"" : std::u16string(wide.Get()), expected);
        EXPECT_EQ(wide.IsEmpty(), expected.empty());
    }
    const std::tuple<const char16_t*, i64, std::string> encodes[] = {
        {u"x\U0001F600y", 3, "x\xF0\x9F\x98\x80"}, {u"x\U0001F600y", 2, "x\xEF\xBF\xBD"},
        {nullptr, -1, ""}, {u"", -1, ""}};
    for (const auto& [units, length, expected] : encodes) {
        _guardchar<char> narrow;
        ASSERT_TRUE(WideToUtf8String(units, length, narrow));
        EXPECT_EQ(Hex(narrow.GetOrEmpty()), Hex(expected));
        EXPECT_EQ(narrow.IsEmpty(), expected.empty());
    }
    // File names: escapes exist only for 0x80..0xFF, and a refused name is left empty.
    _guardchar<char> name;
    for (const char16_t* refused : {u"a\xD800.txt", u"a\xDC41"}) {
        ASSERT_TRUE(name.Assign("previous"));
        EXPECT_FALSE(WideToFileName(refused, -1, name));
        EXPECT_TRUE(name.IsEmpty());
    }
    ASSERT_TRUE(WideToFileName(u"a\xDC80", -1, name));
    EXPECT_STREQ(name.Get(), "a\x80");
}

// Names that are not UTF-8 made on disk, listed with readdir, converted to wide and back
// must open the very same files.
TEST(Utf, UndecodableNamesOnDiskReopen)
{
    qeltest::cScratchFolder scratch;
    const std::string folder = scratch.Path();
    const std::vector<std::string> names = {
        "\xFF\xFE.txt", "\xC3(", "\xED\xA0\x80x", "caf\xC3\xA9", "\xF0\x9F\x98\x80\x80", "\xE2\x82"};
    for (const std::string& name : names) {
        scratch.MakeFile(name, name);
    }
    std::set<std::string> seen;
    DIR* listing = ::opendir(folder.c_str());
    ASSERT_NE(listing, nullptr);
    while (dirent* entry = ::readdir(listing)) {
        const std::string listed = entry->d_name;
        if (listed == "." || listed == "..") {
            continue;
        }
        _guardchar<char16_t> wide;
        _guardchar<char> back;
        ASSERT_TRUE(FileNameToWide(listed.c_str(), -1, wide) && WideToFileName(wide.Get(), -1, back));
        EXPECT_EQ(qeltest::ReadText(folder + "/" + back.Get()), listed) << Hex(listed);
        seen.insert(listed);
    }
    ::closedir(listing);
    EXPECT_EQ(seen, std::set<std::string>(names.begin(), names.end()));
}
