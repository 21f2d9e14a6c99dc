#include "base/texts.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
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

TEST(GuardChar, EmptyTextIsNull)
{
    _guardchar<char16_t> text;
    EXPECT_EQ(text.Get(), nullptr);
    EXPECT_NE(text.GetOrEmpty(), nullptr);
    EXPECT_EQ(text.GetOrEmpty()[0], 0);
    ASSERT_TRUE(text.Assign(u"x"));
    ASSERT_TRUE(text.Assign(u""));
    EXPECT_EQ(text.Get(), nullptr);
    ASSERT_TRUE(text.Assign(u"x"));
    ASSERT_TRUE(text.Assign(nullptr));
    EXPECT_EQ(text.Get(), nullptr);
    ASSERT_TRUE(text.AssignN(u"abc", 0));
    EXPECT_TRUE(text.IsEmpty());
    ASSERT_TRUE(text.Append(u""));
    EXPECT_EQ(text.Get(), nullptr);
}

TEST(GuardChar, AssignNCopiesAtMostNAndStopsAtTerminator)
{
    _guardchar<char> text;
    ASSERT_TRUE(text.AssignN("abcdef", 3));
    EXPECT_STREQ(text.Get(), "abc");
    EXPECT_EQ(text.Length(), 3u);
    // The source has no terminator within n units: only n are read.
    const char unterminated[4] = {'w', 'x', 'y', 'z'};
    ASSERT_TRUE(text.AssignN(unterminated, 4));
    EXPECT_STREQ(text.Get(), "wxyz");
    ASSERT_TRUE(text.AssignN("ab\0cd", 5));
    EXPECT_STREQ(text.Get(), "ab");
}

TEST(GuardChar, AssignAndAppendFromItsOwnText)
{
    _guardchar<char16_t> text;
    ASSERT_TRUE(text.Assign(u"hello"));
    ASSERT_TRUE(text.Assign(text.Get() + 2));
    EXPECT_EQ(std::u16string(text.Get()), u"llo");
    ASSERT_TRUE(text.Append(text.Get()));
    EXPECT_EQ(std::u16string(text.Get()), u"llollo");
    ASSERT_TRUE(text.Append(nullptr));
    EXPECT_EQ(text.Length(), 6u);
}

TEST(GuardChar, CopiesAreIndependentAndMovesEmptyTheSource)
{
    _guardchar<char> first;
    ASSERT_TRUE(first.Assign("one"));
    _guardchar<char> copy(first);
    ASSERT_NE(copy.Get(), first.Get());
    ASSERT_TRUE(first.Assign("two"));
    EXPECT_STREQ(copy.Get(), "one");
    copy = first;
    EXPECT_STREQ(copy.Get(), "two");
    _guardchar<char>& same = copy;
    copy = same; // self-assignment keeps the text
    EXPECT_STREQ(copy.Get(), "two");

    _guardchar<char> moved(std::move(first));
    EXPECT_STREQ(moved.Get(), "two");
    EXPECT_EQ(first.Get(), nullptr);
    copy = std::move(moved);
    EXPECT_STREQ(copy.Get(), "two");
    EXPECT_EQ(moved.Get(), nullptr);
}

TEST(GuardChar, AllocateTruncateAndRefusedSizes)
{
    _guardchar<char16_t> text;
    char16_t* room = text.Allocate(4);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room[4], 0);
    std::copy_n(u"abcd", 4, room);
    text.Truncate(2);
    EXPECT_EQ(std::u16string(text.Get()), u"ab");
    text.Truncate(0);
    EXPECT_EQ(text.Get(), nullptr);
    EXPECT_EQ(text.Allocate(0), nullptr);
    // Sizes whose byte count overflows, or that no machine has, fail without throwing.
    EXPECT_EQ(text.Allocate(SIZE_MAX / 2), nullptr);
    EXPECT_EQ(text.Allocate(size_t(1) << 60), nullptr);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(Texts, WideLengthAndCompareWideAgainstStdString)
{
    EXPECT_EQ(WideLength(nullptr), 0u);
    EXPECT_EQ(WideLength(u"ab\U0001F600"), 4u);
    EXPECT_EQ(CompareWide(nullptr, u""), 0);
    EXPECT_EQ(CompareWide(nullptr, nullptr), 0);
    EXPECT_EQ(CompareWide(nullptr, u"a"), -1);
    EXPECT_EQ(CompareWide(u"a", nullptr), 1);
    std::mt19937 random(3);
    for (int round = 0; round < 20000; ++round) {
        std::u16string a = RandomWide(random);
        std::u16string b = RandomWide(random);
        // std::u16string orders by char16_t values, unsigned: the independent order.
        ASSERT_EQ(CompareWide(a.c_str(), b.c_str()), Sign(a.compare(b)));
    }
}

TEST(Texts, CompareWideNoCaseFoldsBeyondAscii)
{
    EXPECT_EQ(CompareWideNoCase(u"ABC", u"abc"), 0);
    EXPECT_EQ(CompareWideNoCase(u"\u00C4RGER", u"\u00E4rger"), 0);         // Latin-1
    EXPECT_EQ(CompareWideNoCase(u"\u0391\u0392\u03A3", u"\u03B1\u03B2\u03C3"), 0); // Greek
    EXPECT_EQ(CompareWideNoCase(u"\u0416", u"\u0436"), 0);                   // Cyrillic
    EXPECT_EQ(CompareWideNoCase(u"\uFF21", u"\uFF41"), 0);                   // full-width
    EXPECT_EQ(CompareWideNoCase(u"abc", u"ABD"), -1);
    EXPECT_EQ(CompareWideNoCase(u"abcd", u"ABC"), 1);
    EXPECT_EQ(CompareWideNoCase(nullptr, u""), 0);
    // Z folds to z (0x7A), which sorts after '_' (0x5F).
    EXPECT_EQ(CompareWideNoCase(u"Z", u"_"), 1);
}

// glibc's strcasecmp in the C locale folds ASCII only and compares unsigned bytes.
TEST(Texts, CompareNarrowNoCaseAgainstStrcasecmp)
{
    std::mt19937 random(5);
    for (int round = 0; round < 20000; ++round) {
        std::string a = RandomNarrow(random);
        std::string b = RandomNarrow(random);
        ASSERT_EQ(CompareNarrowNoCase(a.c_str(), b.c_str()), Sign(strcasecmp(a.c_str(), b.c_str())))
            << a << " / " << b;
        size_t count = random() % 6;
        ASSERT_EQ(CompareNarrowNoCaseN(a.c_str(), b.c_str(), count),
                  Sign(strncasecmp(a.c_str(), b.c_str(), count)))
            << a << " / " << b << " / " << count;
    }
    EXPECT_EQ(CompareNarrowNoCase(nullptr, "a"), -1);
    EXPECT_EQ(CompareNarrowNoCase("a", nullptr), -1);
    EXPECT_EQ(CompareNarrowNoCase(nullptr, nullptr), -1);
    EXPECT_EQ(CompareNarrowNoCaseN(nullptr, "a", 0), -1);
    // Bytes above 0x7F have no case here.
    EXPECT_NE(CompareNarrowNoCase("\xC4", "\xE4"), 0);
}

TEST(Texts, FindFirstAndLastAgainstStdString)
{
    std::mt19937 random(9);
    for (int round = 0; round < 5000; ++round) {
        std::u16string text = RandomWide(random);
        char16_t unit = u"aBb\u00C4"[random() % 4];
        const char16_t* first = FindWideChar(text.c_str(), unit);
        const char16_t* last = FindLastWideChar(text.c_str(), unit);
        size_t firstIndex = text.find(unit);
        size_t lastIndex = text.rfind(unit);
        ASSERT_EQ(first, firstIndex == std::u16string::npos ? nullptr : text.c_str() + firstIndex);
        ASSERT_EQ(last, lastIndex == std::u16string::npos ? nullptr : text.c_str() + lastIndex);
    }
    EXPECT_EQ(FindWideChar(static_cast<const char16_t*>(nullptr), u'a'), nullptr);
    EXPECT_EQ(FindLastWideChar(static_cast<const char16_t*>(nullptr), u'a'), nullptr);
    EXPECT_EQ(FindWideChar(u"abc", 0), nullptr);
    char16_t path[] = u"a/b/c";
    *FindLastWideChar(path, u'/') = 0;
    EXPECT_EQ(std::u16string(path), u"a/b");
}

TEST(Texts, CopyWideToBufferBoundsAndLengths)
{
    char16_t buffer[6];
    // Capacity 0 and a null buffer write nothing, not even a terminator before the buffer.
    std::fill_n(buffer, 6, u'#');
    EXPECT_EQ(CopyWideToBuffer(u"abc", -1, buffer + 1, 0), 0u);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(buffer[1], u'#');
    EXPECT_EQ(CopyWideToBuffer(u"abc", -1, nullptr, 6), 0u);

    EXPECT_EQ(CopyWideToBuffer(u"abcdefgh", -1, buffer, 6), 5u);
    EXPECT_EQ(std::u16string(buffer), u"abcde");
    EXPECT_EQ(CopyWideToBuffer(u"abc", -1, buffer, 1), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(CopyWideToBuffer(nullptr, 3, buffer, 6), 0u);
    EXPECT_EQ(buffer[0], 0);
    // An explicit length is taken as it stands, terminators included.
    EXPECT_EQ(CopyWideToBuffer(u"ab\0cd", 5, buffer, 6), 5u);
    EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"ab\0cd", 5));
    EXPECT_EQ(buffer[5], 0);
    EXPECT_EQ(CopyWideToBuffer(u"abcdef", 2, buffer, 6), 2u);
    EXPECT_EQ(std::u16string(buffer), u"ab");
    EXPECT_EQ(CopyWideToBuffer(u"abcdefgh", 8, buffer, 3), 2u);
    EXPECT_EQ(std::u16string(buffer), u"ab");
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

TEST(Texts, ToLowerCharKnownMappings)
{
    EXPECT_EQ(ToLowerChar(u'A'), u'a');
    EXPECT_EQ(ToLowerChar(u'z'), u'z');
    EXPECT_EQ(ToLowerChar(u'@'), u'@');
    EXPECT_EQ(ToLowerChar(0x00C0), 0x00E0);
    EXPECT_EQ(ToLowerChar(0x00DF), 0x00DF); // sharp s has no simple upper/lower pair
    EXPECT_EQ(ToLowerChar(0x0130), 0x0069); // capital I with dot above: simple mapping is i
    EXPECT_EQ(ToLowerChar(0x0100), 0x0101);
    EXPECT_EQ(ToLowerChar(0x0391), 0x03B1);
    EXPECT_EQ(ToLowerChar(0x0410), 0x0430);
    EXPECT_EQ(ToLowerChar(0x1E9E), 0x00DF); // capital sharp s maps down across pages
    EXPECT_EQ(ToLowerChar(0x2C00), 0x2C30);
    EXPECT_EQ(ToLowerChar(0xFF21), 0xFF41);
    EXPECT_EQ(ToLowerChar(0xD801), 0xD801); // surrogates: unchanged
    EXPECT_EQ(ToLowerChar(0xDC00), 0xDC00);
    EXPECT_EQ(ToLowerChar(0xFFFF), 0xFFFF);
}

TEST(Texts, BlanksAreTabLfCrSpaceOnly)
{
    int blankUnits = 0;
    for (u32 unit = 0; unit < 0x10000; ++unit) {
        blankUnits += IsBlankChar(char16_t(unit)) ? 1 : 0;
    }
    EXPECT_EQ(blankUnits, 4);
    EXPECT_TRUE(IsBlankChar(u'\t') && IsBlankChar(u'\n') && IsBlankChar(u'\r') && IsBlankChar(u' '));
    EXPECT_FALSE(IsBlankChar(u'\v') || IsBlankChar(u'\f') || IsBlankChar(0x00A0));
    int blankBytes = 0;
    for (u32 byte = 0; byte < 0x100; ++byte) {
        blankBytes += IsBlankByte(u8(byte)) ? 1 : 0;
    }
    EXPECT_EQ(blankBytes, 4);
    EXPECT_TRUE(IsBlankByte('\t') && IsBlankByte('\n') && IsBlankByte('\r') && IsBlankByte(' '));
}

TEST(Texts, IsAllZero)
{
    const u8 zeros[5] = {};
    const u8 lastSet[5] = {0, 0, 0, 0, 1};
    EXPECT_TRUE(IsAllZero(zeros, 5));
    EXPECT_FALSE(IsAllZero(lastSet, 5));
    EXPECT_TRUE(IsAllZero(lastSet, 4));
    EXPECT_TRUE(IsAllZero(lastSet, 0));
    EXPECT_FALSE(IsAllZero(nullptr, 0));
    EXPECT_FALSE(IsAllZero(nullptr, 5));
}
