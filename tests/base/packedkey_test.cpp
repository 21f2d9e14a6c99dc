#include "base/packedkey.h"

#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
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

// BytesOf also checks the padding of every key: zeros up to a 4-byte word, at least one.
TEST(PackedKey, OrdersLikeCLocaleSort)
{
    QEL_REQUIRE(qeltest::HaveTool("sort"), "sort (coreutils)");
    std::mt19937 random(77);
    const std::vector<std::string> texts = RandomKeys(random, 900, false);
    qeltest::cScratchFolder folder;
    std::string lines;
    std::vector<sPackedKey> keys;
    for (const std::string& text : texts) {
        lines += text + "\n";
        keys.push_back(KeyOf(text));
    }
    const std::string path = folder.MakeFile("keys", lines);
    std::string sorted = qeltest::RunCommand("LC_ALL=C sort " + qeltest::ShellQuote(path));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const sPackedKey& a, const sPackedKey& b) { return a.Compare(b) < 0; });
    std::string ours;
    for (const sPackedKey& key : keys) {
        ours += BytesOf(key) + "\n";
    }
    EXPECT_TRUE(ours == sorted);
}

TEST(PackedKey, InitFromBytesLengthRules)
{
    const std::tuple<const char*, i64, std::string> cases[] = {
        {"header\0tail", -1, "header"}, {"header\0tail", 11, std::string("header\0tail", 11)},
        {"header", 3, "hea"}, {nullptr, 5, ""}, {"", 0, ""}};
    for (const auto& [bytes, length, expected] : cases) {
        sPackedKey key;
        ASSERT_TRUE(key.InitFromBytes(bytes, length));
        EXPECT_EQ(BytesOf(key), expected);
    }
    EXPECT_EQ(KeyOf("").Compare(sPackedKey()), 0);
}
