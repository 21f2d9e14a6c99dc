#include "base/format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <random>
#include <string>
#include <vector>

namespace {

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// The wide forms take UTF-16 for %s: narrow text arguments are widened, others pass.
class cWideArguments
{
public:
    template <typename Value>
    Value operator()(Value value)
    {
        return value;
    }
    const char16_t* operator()(const char* text)
    {
        return text == nullptr ? nullptr : m_texts.emplace_back(Widen(text)).c_str();
    }

private:
    std::list<std::u16string> m_texts;
};

// Formats with glibc's snprintf (C locale: the test program never sets another) and with
// ours, narrow and wide, at capacities from 0 to past the length: the output must be
// the same prefix, always terminated, and nothing written past the capacity.
// The formats come from the test tables as data, so both formatters take them as
// variables here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Args>
void ExpectLikeSnprintf(const char* format, Args... args)
{
    SCOPED_TRACE(format);
    int length = std::snprintf(nullptr, 0, format, args...);
    ASSERT_GE(length, 0);
    std::string expected(size_t(length) + 1, '\0');
    std::snprintf(expected.data(), expected.size(), format, args...);
    expected.resize(size_t(length));
    std::u16string wideFormat = Widen(format);
    cWideArguments widen;

    for (size_t capacity : {size_t(0), size_t(1), size_t(2), size_t(3), expected.size() / 2, expected.size(),
                            expected.size() + 1, expected.size() + 8}) {
        SCOPED_TRACE(capacity);
        const size_t kept = capacity == 0 ? 0 : std::min(expected.size(), capacity - 1);
        std::string narrow(capacity + 1, '#');
        std::u16string wide(capacity + 1, u'#');
        ASSERT_EQ(FormatNarrow(narrow.data(), capacity, format, args...), kept);
        ASSERT_EQ(FormatWide(wide.data(), capacity, wideFormat.c_str(), widen(args)...), kept);
        // Terminated after the kept prefix (when there is room at all), nothing past the capacity.
        const std::string expectedNarrow = capacity == 0 ? "#" : expected.substr(0, kept) + '\0';
        EXPECT_EQ(narrow.substr(0, expectedNarrow.size()), expectedNarrow);
        EXPECT_EQ(wide.substr(0, expectedNarrow.size()), Widen(expectedNarrow));
        EXPECT_TRUE(narrow[capacity] == '#' && wide[capacity] == u'#');
    }
}
#pragma GCC diagnostic pop

template <typename Value>
void ExpectGridLikeSnprintf(const std::vector<const char*>& formats,
                            const std::vector<Value>& values)
{
    for (const char* format : formats) {
        for (Value value : values) {
            SCOPED_TRACE(std::to_string(value));
            ExpectLikeSnprintf(format, value);
        }
    }
}

// Scans with glibc's sscanf as the peer; sscanf's -1 (nothing converted) is our 0.
void ExpectLikeSscanf(const char* text, const char* format)
{
    SCOPED_TRACE(std::string("text \"") + text + "\" format \"" + format + "\"");
    int expected[4] = {-7, -7, -7, -7};
    int fields[4] = {-7, -7, -7, -7};
    const int expectedCount =
        std::max(std::sscanf(text, format, &expected[0], &expected[1], &expected[2], &expected[3]), 0);
    ASSERT_EQ(ScanNarrow(text, format, &fields[0], &fields[1], &fields[2], &fields[3]), expectedCount);
    int second[4] = {-7, -7, -7, -7};
    int wide[4] = {-7, -7, -7, -7};
    EXPECT_EQ(ScanNarrow2(text, format, &second[0], &second[1], &second[2], &second[3]), expectedCount);
    EXPECT_EQ(ScanWide(Widen(text).c_str(), Widen(format).c_str(), &wide[0], &wide[1], &wide[2], &wide[3]),
              expectedCount);
    for (int i = 0; i < expectedCount; ++i) {
        EXPECT_TRUE(fields[i] == expected[i] && second[i] == expected[i] && wide[i] == expected[i]) << i;
    }
}

} // namespace

// Integers, fixed point, texts, characters and the program's own mixed formats.
TEST(Format, LikeSnprintf)
{
    ExpectGridLikeSnprintf<int>({"%d", "%5d", "%-5d|", "%05d", "%02d", "%04d", "%.3d", "%8.3d",
                                 "%-8.3d|", "%08.3d", "%.0d", "%5.0d", "%-05d|", "%x", "%X",
                                 "%08X", "%-8x|", "%u", "%012u", "[%d]"},
                                {INT_MIN, INT_MIN + 1, -100, -5, -1, 0, 1, 7, 42, 99, 65535,
                                 INT_MAX});
    ExpectGridLikeSnprintf<long long>(
        {"%lld", "%llx", "%llX", "%020lld", "%-22lld|", "%.19lld", "%llu", "0x%016llX"},
        {LLONG_MIN, LLONG_MIN + 1, -1, 0, 1, 4294967296LL, LLONG_MAX});
    ExpectGridLikeSnprintf<long>({"%ld", "%lx", "%lu", "%08lX"}, {LONG_MIN, -1L, 0L, LONG_MAX});
    ExpectGridLikeSnprintf<double>(
        {"%f", "%.01f", "%.1f", "%.0f", "%.2f", "%8.2f", "%-8.2f|", "%08.2f", "%010.3f", "%.15f",
         "%3.0f", "%.01f%%"},
        {0.0, -0.0, 0.05, 0.25, 0.5, 1.5, 2.25, 2.5, 99.95, -99.95, 0.049999, 1e15, 1e300,
         -1e-300, 5e-324, INFINITY, -INFINITY, NAN});
    // Past the exact decimal expansion of any f64 the digits are zeros.
    ExpectGridLikeSnprintf<double>({"%.1200f", "%1300.1150f"}, {5e-324, 0.1, -1e300});
    for (const char* text : {"", "a", "abc", "longer text"}) {
        for (const char* format : {"%s", "%10s", "%-10s|", "%.2s", "%5.2s", "%.0s", "<%s>"}) {
            ExpectLikeSnprintf(format, text);
        }
    }
    for (int c : {'a', 'Z', ' '}) {
        for (const char* format : {"%c", "%3c", "%-3c|", "%c%c"}) {
            ExpectLikeSnprintf(format, c, c);
        }
    }
    for (const char* format : {"100%%", "%%d", "plain text"}) {
        ExpectLikeSnprintf(format);
    }
    // glibc prints "(null)", or nothing when the precision is below 6. Volatile keeps the
    // compiler from warning about the null it would otherwise see.
    const char* volatile none = nullptr;
    ExpectLikeSnprintf("%s|%.3s|%10s|%.6s", none, none, none, none);
    ExpectLikeSnprintf("%d.%d.%d.%d", 1, 20, 300, 65535);
    ExpectLikeSnprintf("%04d%02d%02d_%02d%02d%02d: 0x%08X @ 0x%llX\r\n", 2024, 2, 29, 3, 14, 7,
                       0xC0000005u, 0x7FF612345678ULL);
    ExpectLikeSnprintf("%s (%lld bytes, %.01f%%)", "file.bin", 1234567890123LL, 99.95);
}

// What snprintf cannot check: UTF-16 texts, null arguments, unknown conversions.
TEST(Format, WideTextsNullArgumentsAndUnknownConversions)
{
    char16_t buffer[32];
    // %s takes UTF-16 and copies it unit for unit, surrogate pairs untouched.
    EXPECT_EQ(FormatWide(buffer, 32, u"<%s>|%-6s|%3s", u"a\U0001F600\u00E9", u"\u00E9t\u00E9", u"x"), 17u);
    EXPECT_EQ(std::u16string(buffer), u"<a\U0001F600\u00E9>|\u00E9t\u00E9   |  x");
    EXPECT_EQ(FormatWide(buffer, 32, u"%c%c%s", char16_t(0x263A), char16_t(u'!'),
                         static_cast<const char16_t*>(nullptr)), 8u);
    EXPECT_EQ(std::u16string(buffer), u"\u263A!(null)");
    // Cut between the halves of a pair: the result is only cut, never anything else.
    EXPECT_EQ(FormatWide(buffer, 3, u"a%s", u"\U0001F600"), 2u);
    EXPECT_TRUE(buffer[1] == 0xD83D && buffer[2] == 0);

    char narrow[32] = {'#', '#', '#', '#'};
    EXPECT_EQ(FormatNarrow(narrow, 4, nullptr), 0u);
    EXPECT_EQ(FormatNarrow(nullptr, 4, "%d", 5), 0u);
    EXPECT_EQ(FormatNarrow(narrow + 1, 0, "%d", 5), 0u);
    EXPECT_EQ(narrow[0], '#');
    char16_t wide[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(FormatWide(wide, 4, nullptr), 0u);
    EXPECT_EQ(FormatWide(wide + 1, 0, u"x"), 0u);
    EXPECT_TRUE(wide[0] == u'#' && wide[1] == u'#');
    const char* format = "%y|%5q|%d"; // not a literal: the compiler would reject it
    EXPECT_EQ(FormatNarrow(narrow, 32, format, 7), 8u);
    EXPECT_STREQ(narrow, "%y|%5q|7");
}

TEST(Scan, LikeSscanfOnTheProgramsFormatsAndRandomTexts)
{
    for (const char* format : {"%d.%d.%d.%d", "%d %d %d %d", "%d", "v%d,%d", "%d-%d"}) {
        for (const char* text :
             {"1.2.3.4", "1..2", "", " 1. 2", "  -5.+6.7.8", "1.2.3", "65535.0.0.1", "x",
              "2147483647", "-2147483648", "1 2 3 4", "1\t2\n3\r4", "  1   2 3 4", "1 2", "0x10",
              "12abc", "v3,4", "v 3, 4", "+", "-", "- 5", "3-4", "3 -4", "007.08"}) {
            ExpectLikeSscanf(text, format);
        }
    }
    std::mt19937 random(11);
    const char alphabet[] = "0123456789.. -+\tx";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int digitRun = 0;
        for (size_t i = random() % 14; i != 0; --i) {
            char c = alphabet[random() % (sizeof(alphabet) - 1)];
            // At most nine digits in a row: sscanf's overflow is undefined, not a peer.
            digitRun = (c >= '0' && c <= '9') ? digitRun + 1 : 0;
            if (digitRun <= 9) {
                text.push_back(c);
            }
        }
        ExpectLikeSscanf(text.c_str(), round % 2 ? "%d.%d.%d.%d" : "%d %d %d %d");
    }
}

// Where sscanf has undefined behaviour ours refuses the field; null and unsupported
// conversions end the scan.
TEST(Scan, OutOfRangeNullAndUnsupported)
{
    struct sCase
    {
        const char* text;
        const char* format;
        int count;
    } const cases[] = {
        {"2147483648", "%d", 0}, {"-2147483649", "%d", 0},
        {"1.99999999999999999999999.3.4", "%d.%d.%d.%d", 1},
        {nullptr, "%d", 0}, {"5", nullptr, 0}, {"5 x", "%d %s", 1}, {"5", "%i", 0},
    };
    for (const sCase& c : cases) {
        int fields[4] = {-7, -7, -7, -7};
        EXPECT_EQ(ScanNarrow(c.text, c.format, &fields[0], &fields[1], &fields[2], &fields[3]), c.count)
            << (c.text ? c.text : "null") << " / " << (c.format ? c.format : "null");
        EXPECT_EQ(fields[c.count], -7);
    }
    int field = -7;
    EXPECT_EQ(ScanWide(u"4294967296", u"%d", &field), 0);
    EXPECT_EQ(ScanWide(nullptr, u"%d", &field), 0);
    EXPECT_EQ(field, -7);
}

// What strtoll cannot judge: blanks and empty texts, the exact limits, and a value that
// wraps to 0 modulo 2^64.
TEST(ParseInt64Narrow, Table)
{
    struct
    {
        const char* text;
        i64 value;
    } const cases[] = {
        {"  \t\r\n42", 42}, {"", 0}, {"   ", 0}, {"x", -1},
        {"9223372036854775807", INT64_MAX}, {"9223372036854775808", -1},
        {"-9223372036854775808", INT64_MIN}, {"-9223372036854775809", -1},
        {"0x7FFFFFFFFFFFFFFF", INT64_MAX}, {"0x8000000000000000", -1},
        {"-0x8000000000000000", INT64_MIN}, {"0xFFFFFFFFFFFFFFFF", -1},
        {"184467440737095516160", -1}, // wraps to 0 modulo 2^64 without the check
        {"12abc", 12}, {"0x", -1}, {"0xg", -1}, {"-", -1}, {"+", -1}, {"- 5", -1},
        {"\v5", -1}, // VT is not a blank here
        {nullptr, 0},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ParseInt64Narrow(entry.text), entry.value) << (entry.text ? entry.text : "null");
    }
}

// strtoll in the C locale is the peer for every text that has digits.
TEST(ParseInt64Narrow, RandomTextsLikeStrtoll)
{
    std::mt19937_64 random(13);
    for (int round = 0; round < 50000; ++round) {
        std::string text(random() % 3, ' ');
        text += "+-"[random() % 2];
        bool hex = random() % 2;
        if (hex) {
            text += random() % 2 ? "0x" : "0X";
        }
        const char* digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
        size_t digitCount = std::strlen(digits);
        for (size_t i = random() % (hex ? 18 : 21) + 1; i != 0; --i) {
            text += digits[random() % digitCount];
        }
        text += "\0z9 "[random() % 4];
        errno = 0;
        long long expected = std::strtoll(text.c_str(), nullptr, hex ? 16 : 10);
        if (errno == ERANGE) {
            expected = -1;
        }
        ASSERT_EQ(ParseInt64Narrow(text.c_str()), expected) << text;
    }
}
