#include "base/packedkey.h"

#include "allocation_failure.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

sPackedKey KeyOf(const std::string& bytes)
{
    sPackedKey key;
    EXPECT_TRUE(key.InitFromBytes(bytes.data(), static_cast<i64>(bytes.size())));
    return key;
}

// The key's bytes, checked for the padding rules on the way.
std::string BytesOf(const sPackedKey& key)
{
    _typebuf<u8> bytes;
    EXPECT_TRUE(key.ToBytes(bytes));
    size_t length = static_cast<size_t>(key.GetByteLength());
    size_t padded = static_cast<size_t>(bytes.GetCount());
    EXPECT_EQ(padded % 4, 0u);
    EXPECT_GT(padded, length);
    for (size_t i = length; i < padded; ++i) {
        EXPECT_EQ(bytes.GetData()[i], 0) << "padding byte " << i;
    }
    return std::string(reinterpret_cast<const char*>(bytes.GetData()), length);
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

// Random keys over an alphabet that stresses the compare: zero, ASCII, 0x7F/0x80 (the
// signed-char boundary) and 0xFF, with many shared prefixes.
std::vector<std::string> RandomKeys(std::mt19937& random, size_t count, bool allowZeroAndNewline)
{
    const std::string alphabet = allowZeroAndNewline ? std::string("\0\n\x01" "aAz\x7f\x80\x81\xfe\xff", 11)
                                                     : std::string("\x01" "aAz\x7f\x80\x81\xfe\xff");
    std::vector<std::string> keys;
    while (keys.size() < count) {
        std::string key;
        size_t length = random() % 13;
        for (size_t i = 0; i < length; ++i) {
            key += alphabet[random() % alphabet.size()];
        }
        keys.push_back(key);
        // A proper prefix and an extension of the same key.
        keys.push_back(key.substr(0, key.size() / 2));
        keys.push_back(key + alphabet[random() % alphabet.size()]);
    }
    return keys;
}

} // namespace

TEST(PackedKey, CompareAgreesWithUnsignedByteStringCompare)
{
    std::mt19937 random(20240611);
    std::vector<std::string> texts = RandomKeys(random, 3000, true);
    std::vector<sPackedKey> keys;
    for (const std::string& text : texts) {
        keys.push_back(KeyOf(text));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        // std::string compares through char_traits<char>, whose order is that of
        // unsigned char whatever the signedness of char.
        for (size_t j : {i, (i + 1) % texts.size(), size_t(random() % texts.size())}) {
            int expected = Sign(texts[i].compare(texts[j]));
            ASSERT_EQ(keys[i].Compare(keys[j]), expected)
                << testing::PrintToString(texts[i]) << " vs " << testing::PrintToString(texts[j]);
            ASSERT_EQ(keys[j].Compare(keys[i]), -expected);
        }
    }
}

TEST(PackedKey, OrdersWordBoundaryCasesAsBytes)
{
    // Little-endian packing would let the fourth byte decide before the first.
    EXPECT_EQ(KeyOf("\x01zzz").Compare(KeyOf("\x02" "aaa")), -1);
    // Bytes >= 0x80 sort above ASCII.
    EXPECT_EQ(KeyOf("\x80").Compare(KeyOf("\x7f")), 1);
    EXPECT_EQ(KeyOf("abcd\xff").Compare(KeyOf("abcda")), 1);
    // A proper prefix sorts first, also when the longer key continues with zero bytes
    // that look like the prefix's padding.
    EXPECT_EQ(KeyOf("ab").Compare(KeyOf(std::string("ab\0", 3))), -1);
    EXPECT_EQ(KeyOf(std::string("abcd\0", 5)).Compare(KeyOf("abcd")), 1);
    EXPECT_EQ(KeyOf("").Compare(KeyOf(std::string("\0", 1))), -1);
    EXPECT_EQ(KeyOf("").Compare(sPackedKey()), 0);
    EXPECT_EQ(KeyOf("abcdefgh").Compare(KeyOf("abcdefgh")), 0);
}

TEST(PackedKey, OrdersLikeCLocaleSort)
{
    QEL_REQUIRE(qeltest::HaveTool("sort"), "sort (coreutils)");
    std::mt19937 random(77);
    std::vector<std::string> texts = RandomKeys(random, 900, false);
    char path[] = "/tmp/packedkey_sort_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream file(path, std::ios::binary);
        for (const std::string& text : texts) {
            file << text << '\n';
        }
    }
    std::string command = std::string("LC_ALL=C sort ") + path;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> sorted;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            sorted.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    EXPECT_EQ(pclose(pipe), 0);
    std::remove(path);

    std::vector<sPackedKey> keys;
    for (const std::string& text : texts) {
        keys.push_back(KeyOf(text));
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const sPackedKey& a, const sPackedKey& b) { return a.Compare(b) < 0; });
    ASSERT_EQ(sorted.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(BytesOf(keys[i]), sorted[i]) << "position " << i;
    }
}

TEST(PackedKey, ToBytesGivesTheBytesBackZeroPaddedAndTerminated)
{
    const std::vector<std::pair<std::string, i32>> cases = {
        {"", 4}, {"a", 4}, {"abc", 4}, {"abcd", 8}, {"abcde", 8}, {std::string("\0\xff\0", 3), 4},
        {"0123456789abcdef", 20}};
    for (const auto& [text, paddedSize] : cases) {
        sPackedKey key = KeyOf(text);
        EXPECT_EQ(key.GetByteLength(), static_cast<i32>(text.size()));
        _typebuf<u8> bytes;
        ASSERT_TRUE(key.ToBytes(bytes));
        EXPECT_EQ(bytes.GetCount(), paddedSize) << testing::PrintToString(text);
        EXPECT_EQ(BytesOf(key), text);
    }
}

TEST(PackedKey, InitFromBytesLengthRules)
{
    sPackedKey key;
    ASSERT_TRUE(key.InitFromBytes("header\0tail", -1));
    EXPECT_EQ(BytesOf(key), "header");
    ASSERT_TRUE(key.InitFromBytes("header\0tail", 11));
    EXPECT_EQ(BytesOf(key), std::string("header\0tail", 11));
    ASSERT_TRUE(key.InitFromBytes("header", 3));
    EXPECT_EQ(BytesOf(key), "hea");
    ASSERT_TRUE(key.InitFromBytes(nullptr, 5));
    EXPECT_EQ(key.GetByteLength(), 0);
}

TEST(PackedKey, InitFromWideEncodesUtf8First)
{
    struct sCase
    {
        std::u16string wide;
        std::string utf8;
    };
    // Encodings from the Unicode Standard, table 3-7; a lone surrogate is U+FFFD.
    const std::vector<sCase> cases = {
        {u"A", "A"},
        {u"\u007F\u0080", "\x7F\xC2\x80"},
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        {u"\uFFFF\U00010000", "\xEF\xBF\xBF\xF0\x90\x80\x80"},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
        {u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
        {std::u16string(1, char16_t(0xD800)), "\xEF\xBF\xBD"},
        {std::u16string(1, char16_t(0xDC00)) + u"x", "\xEF\xBF\xBDx"},
        // A zero unit inside an explicit length is a key byte, and it ends a pair.
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
        {std::u16string({char16_t(0xD83D), char16_t(0), char16_t(0xDE00)}),
         std::string("\xEF\xBF\xBD\0\xEF\xBF\xBD", 7)},
        {std::u16string(u"\0\0", 2), std::string("\0\0", 2)},
    };
    for (const sCase& c : cases) {
        sPackedKey key;
        ASSERT_TRUE(key.InitFromWide(c.wide.data(), static_cast<i64>(c.wide.size())));
        EXPECT_EQ(BytesOf(key), c.utf8) << testing::PrintToString(c.utf8);
        EXPECT_EQ(key.Compare(KeyOf(c.utf8)), 0);
    }
    sPackedKey key;
    ASSERT_TRUE(key.InitFromWide(u"stop\0here", -1));
    EXPECT_EQ(BytesOf(key), "stop");
    ASSERT_TRUE(key.InitFromWide(nullptr, -1));
    EXPECT_EQ(key.GetByteLength(), 0);
}

TEST(PackedKey, AllocationFailureLeavesTheKeyEmpty)
{
    sPackedKey key = KeyOf("previous");
    sPackedKey copied = KeyOf("previous");
    sPackedKey wide = KeyOf("previous");
    sPackedKey source = KeyOf("source text");
    cAllocationFailureScope failing(0);
    EXPECT_FALSE(key.InitFromBytes("abc", 3));
    EXPECT_EQ(key.GetByteLength(), 0);
    EXPECT_FALSE(copied.CopyFrom(source));
    EXPECT_EQ(copied.GetByteLength(), 0);
    EXPECT_FALSE(wide.InitFromWide(u"wide", -1));
    EXPECT_EQ(wide.GetByteLength(), 0);
    _typebuf<u8> bytes;
    EXPECT_FALSE(source.ToBytes(bytes));
    EXPECT_EQ(bytes.GetCount(), 0);
    // The empty key needs no memory.
    EXPECT_TRUE(key.InitFromBytes("", 0));
    EXPECT_TRUE(key.CopyFrom(sPackedKey()));
}
