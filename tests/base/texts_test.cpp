#include "base/texts.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

int Sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

std::u16string RandomWide(std::mt19937& random)
{
    // A small alphabet makes equal prefixes common; the high units check unsigned order.
    const char16_t alphabet[] = {u'a', u'B', u'b', 0x00C4, 0x00E4, 0xD800, 0xFFFF, 0x0391};
    std::u16string text(random() % 5, u' ');
    for (char16_t& unit : text) {
        unit = alphabet[random() % 8];
    }
    return text;
}

std::string RandomNarrow(std::mt19937& random)
{
    const char alphabet[] = {'a', 'A', 'z', 'Z', '[', '`', '@', '\xC4', '\xE4', '\x80'};
    std::string text(random() % 5, ' ');
    for (char& c : text) {
        c = alphabet[random() % 10];
    }
    return text;
}

} // namespace

// std::u16string orders by char16_t values, unsigned, and finds units: the independent
// references for the wide texts; glibc's strcasecmp in the C locale folds ASCII only and
// compares unsigned bytes.
TEST(Texts, CompareAndFindAgainstStdStringAndStrcasecmp)
{
    std::mt19937 random(3);
    for (int round = 0; round < 20000; ++round) {
        const std::u16string a = RandomWide(random);
        const std::u16string b = RandomWide(random);
        ASSERT_EQ(CompareWide(a.c_str(), b.c_str()), Sign(a.compare(b)));
        const char16_t unit = u"aBb\u00C4"[random() % 4];
        const size_t first = a.find(unit);
        const size_t last = a.rfind(unit);
        ASSERT_EQ(FindWideChar(a.c_str(), unit), first == a.npos ? nullptr : a.c_str() + first);
        ASSERT_EQ(FindLastWideChar(a.c_str(), unit), last == a.npos ? nullptr : a.c_str() + last);
        const std::string x = RandomNarrow(random);
        const std::string y = RandomNarrow(random);
        const size_t count = random() % 6;
        ASSERT_EQ(CompareNarrowNoCase(x.c_str(), y.c_str()), Sign(strcasecmp(x.c_str(), y.c_str()))) << x << "/" << y;
        ASSERT_EQ(CompareNarrowNoCaseN(x.c_str(), y.c_str(), count), Sign(strncasecmp(x.c_str(), y.c_str(), count)));
    }
    EXPECT_TRUE(WideLength(nullptr) == 0 && WideLength(u"ab\U0001F600") == 4);
    EXPECT_TRUE(CompareWide(nullptr, u"") == 0 && CompareWide(nullptr, nullptr) == 0 &&
                CompareWide(nullptr, u"a") == -1 && CompareWide(u"a", nullptr) == 1);
    EXPECT_TRUE(CompareNarrowNoCase(nullptr, "a") == -1 && CompareNarrowNoCase("a", nullptr) == -1 &&
                CompareNarrowNoCase(nullptr, nullptr) == -1 && CompareNarrowNoCaseN(nullptr, "a", 0) == -1);
    EXPECT_TRUE(FindWideChar(static_cast<const char16_t*>(nullptr), u'a') == nullptr &&
                FindLastWideChar(static_cast<const char16_t*>(nullptr), u'a') == nullptr &&
                FindWideChar(u"abc", 0) == nullptr);
}

// The generated table against our own reading of the same UnicodeData.txt field.
TEST(Texts, ToLowerCharMatchesUnicodeData)
{
    const char* path = "/usr/share/unicode/UnicodeData.txt";
    std::ifstream data(path);
    QEL_REQUIRE(data.good(), path);
    std::vector<char16_t> expected(0x10000);
    for (u32 unit = 0; unit < 0x10000; ++unit) {
        expected[unit] = char16_t(unit);
    }
    int mapped = 0;
    for (std::string line; std::getline(data, line);) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ';');) {
            fields.push_back(field);
        }
        if (fields.size() < 14 || fields[13].empty()) {
            continue;
        }
        unsigned long source = std::stoul(fields[0], nullptr, 16);
        unsigned long target = std::stoul(fields[13], nullptr, 16);
        if (source < 0x10000 && target < 0x10000) {
            expected[source] = char16_t(target);
            ++mapped;
        }
    }
    EXPECT_GT(mapped, 1000);
    for (u32 unit = 0; unit < 0x10000; ++unit) {
        ASSERT_EQ(u32(ToLowerChar(char16_t(unit))), u32(expected[unit])) << std::hex << unit;
    }
}

// The empty text is null, whatever made it empty; lengths are taken as given but never
// past a terminator.
TEST(GuardChar, EmptyTextsAndLengths)
{
    _guardchar<char16_t> text;
    EXPECT_EQ(text.Get(), nullptr);
    EXPECT_EQ(text.GetOrEmpty()[0], 0);
    for (const char16_t* empty : {u"", static_cast<const char16_t*>(nullptr)}) {
        ASSERT_TRUE(text.Assign(u"x") && text.Assign(empty));
        EXPECT_EQ(text.Get(), nullptr);
    }
    ASSERT_TRUE(text.AssignN(u"abc", 0) && text.Append(u""));
    EXPECT_EQ(text.Get(), nullptr);
    _guardchar<char> narrow;
    const char unterminated[4] = {'w', 'x', 'y', 'z'}; // only n units may be read
    const std::tuple<const char*, int, const char*> cuts[] = {
        {"abcdef", 3, "abc"}, {unterminated, 4, "wxyz"}, {"ab\0cd", 5, "ab"}};
    for (const auto& [source, count, expected] : cuts) {
        ASSERT_TRUE(narrow.AssignN(source, size_t(count)));
        EXPECT_STREQ(narrow.Get(), expected);
    }
    // Sizes whose byte count overflows, or that no machine has, fail without throwing.
    EXPECT_EQ(text.Allocate(0), nullptr);
    EXPECT_EQ(text.Allocate(SIZE_MAX / 2), nullptr);
    EXPECT_EQ(text.Allocate(size_t(1) << 60), nullptr);
    char16_t* room = text.Allocate(4);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room[4], 0);
    std::copy_n(u"abcd", 4, room);
    text.Truncate(2);
    EXPECT_EQ(std::u16string(text.Get()), u"ab");
    text.Truncate(0);
    EXPECT_EQ(text.Get(), nullptr);
}

TEST(Texts, CopyWideToBufferBoundsAndLengths)
{
    struct sCase
    {
        const char16_t* source;
        i64 length;
        size_t capacity;
        size_t copied;
    } const cases[] = {
        {u"abcdefgh", -1, 6, 5}, {u"abc", -1, 1, 0}, {nullptr, 3, 6, 0},
        {u"ab\0cd", 5, 6, 5}, // an explicit length is taken as it stands, terminators included
        {u"abcdef", 2, 6, 2}, {u"abcdefgh", 8, 3, 2},
    };
    for (const sCase& c : cases) {
        char16_t buffer[7];
        std::fill_n(buffer, 7, u'#');
        EXPECT_EQ(CopyWideToBuffer(c.source, c.length, buffer, c.capacity), c.copied) << c.copied;
        EXPECT_EQ(std::u16string(buffer, c.copied), c.source ? std::u16string(c.source, c.copied) : u"");
        EXPECT_EQ(buffer[c.copied], 0);
        EXPECT_EQ(buffer[c.capacity], u'#');
    }
    // Capacity 0 and a null buffer write nothing, not even a terminator.
    char16_t buffer[2] = {u'#', u'#'};
    EXPECT_EQ(CopyWideToBuffer(u"abc", -1, buffer + 1, 0), 0u);
    EXPECT_EQ(CopyWideToBuffer(u"abc", -1, nullptr, 6), 0u);
    EXPECT_TRUE(buffer[0] == u'#' && buffer[1] == u'#');
}

// Assigning or appending a text's own units, copies and moves.
TEST(GuardChar, AliasingCopiesAndMoves)
{
    _guardchar<char16_t> text;
    ASSERT_TRUE(text.Assign(u"hello"));
    ASSERT_TRUE(text.Assign(text.Get() + 2));
    ASSERT_TRUE(text.Append(text.Get()));
    EXPECT_EQ(std::u16string(text.Get()), u"llollo");
    _guardchar<char> first;
    ASSERT_TRUE(first.Assign("one"));
    _guardchar<char> copy(first);
    ASSERT_TRUE(first.Assign("two"));
    EXPECT_STREQ(copy.Get(), "one");
    copy = first;
    _guardchar<char>& same = copy;
    copy = same; // self-assignment keeps the text
    EXPECT_STREQ(copy.Get(), "two");
    _guardchar<char> moved(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    copy = std::move(moved);
    EXPECT_STREQ(copy.Get(), "two");
    EXPECT_EQ(moved.Get(), nullptr);
}
