// The update answer: the version line against glibc's sscanf("%d.%d.%d.%d") on random
// lines and FormatVersion; the line structure and UTF-8 text table.
#include "net/update/updateanswer.h"

#include "base/utf.h"
#include "support/testsupport.h"

#include <cstdio>
#include <optional>
#include <random>
#include <string>

namespace {

// A literal with its inner zero bytes.
template <size_t N>
std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

std::u16string Wide(const _guardchar<char16_t>& text) { return text.GetOrEmpty(); }

bool Parse(const std::string& body, sUpdateAnswer& answer)
{
    return ParseUpdateAnswer(reinterpret_cast<const u8*>(body.data()), body.size(), answer);
}

constexpr u64 Version(u64 major, u64 minor, u64 sub = 0, u64 build = 0)
{
    return major << 48 | minor << 32 | sub << 16 | build;
}

// The version the service's line gives, or nullopt when the answer must fail.
std::optional<u64> VersionOf(const std::string& line)
{
    sUpdateAnswer answer;
    if (!Parse(line + "\r\nhttps://dl/\r\nhttps://w/\r\n", answer)) {
        return std::nullopt;
    }
    return answer.m_version;
}

} // namespace

// The forms the random sscanf comparison below cannot reach (other letters, long lines,
// long digit runs), each with FormatVersion's text of the version.
TEST(UpdateAnswer, VersionLineFormsAndTheirText)
{
    const struct
    {
        const char* m_line;
        std::optional<u64> m_version;
        const char16_t* m_text;
    } cases[] = {
        {"1.0.0.5", Version(1, 0, 0, 5), u"1.0.0.5"},
        {"1.0.3", Version(1, 0, 3), u"1.0.3"},
        {"1.0", Version(1, 0), u"1.0"},
        {"0.0", 0, u"0.0"},
        {"0.0.1", Version(0, 0, 1), u"0.0.1"},
        {"65535.65535.65535.65535", 0xFFFFFFFFFFFFFFFFull, u"65535.65535.65535.65535"},
        {"2.1 beta", Version(2, 1), u"2.1"},
        {"0065535.1", Version(65535, 1), u"65535.1"},
        {"v2.1", std::nullopt, nullptr},
        {"99999999999999999999.1", std::nullopt, nullptr},
        {"1.99999999999999999999", std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_line);
        EXPECT_EQ(VersionOf(c.m_line), c.m_version);
        if (c.m_version) {
            EXPECT_EQ(Wide(FormatVersion(*c.m_version)), std::u16string(c.m_text));
        }
    }
}

// For lines whose numbers stay in int range, the result must be exactly what
// sscanf("%d.%d.%d.%d") gives with at least two fields, each 0..65535.
TEST(UpdateAnswer, VersionLineMatchesSscanf)
{
    static const char kAlphabet[] = "0123456789..........  \t\n\v\f+-x";
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        const size_t length = 1 + random() % 16;
        size_t digitRun = 0;
        while (line.size() < length) {
            const char c = kAlphabet[random() % (sizeof(kAlphabet) - 1)];
            const bool digit = c >= '0' && c <= '9';
            if (digit && digitRun == 6) {
                continue; // keep sscanf inside int range, where it is defined
            }
            digitRun = digit ? digitRun + 1 : 0;
            line += c;
        }
        int parts[4] = {0, 0, 0, 0};
        const int fields = std::sscanf(line.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
        bool inRange = fields >= 2;
        for (int i = 0; i < fields; ++i) {
            inRange = inRange && parts[i] >= 0 && parts[i] <= 65535;
        }
        const std::optional<u64> expected =
            inRange ? std::optional<u64>(Version(u64(parts[0]), u64(parts[1]), u64(parts[2]), u64(parts[3])))
                    : std::nullopt;
        ASSERT_EQ(VersionOf(line), expected) << "line \"" << line << "\"";
    }
}

TEST(UpdateAnswer, LineStructure)
{
    const struct
    {
        std::string m_body;
        bool m_ok;
        std::u16string m_download, m_site, m_notes;
    } cases[] = {
        {"2.1\r\nhttps://dl.example/setup.exe\r\nhttps://w/\r\n", true, u"https://dl.example/setup.exe", u"https://w/", u""},
        {"2.1\r\n\r\n\n\r\nDL\r\n\r\n\r\nSITE\r\n\r\nline one\r\nline two\n", true, u"DL", u"SITE", u"line one\r\nline two\n"},
        {"2.1\rDL\rSITE\rnotes", true, u"DL", u"SITE", u"notes"},
        {"2.1\r\nDL\r\nSITE\r", true, u"DL", u"SITE", u""},
        // An LF inside a line is part of it; only CR ends a line.
        {"2.1\r\nD\nL\r\nSITE\r\n", true, u"D\nL", u"SITE", u""},
        {"2.1\r\nDL\r\nSITE", false, u"", u"", u""},
        {"2.1\r\nDL\r\n\r\n", false, u"", u"", u""},
        {"2.1\r\nDL", false, u"", u"", u""},
        {"2.1\r\n", false, u"", u"", u""},
        {"2.1", false, u"", u"", u""},
        {"\r\n2.1\r\nDL\r\nSITE\r\n", false, u"", u"", u""},
        {"2.1\nDL\nSITE\n", false, u"", u"", u""},
        {"", false, u"", u"", u""},
        // A zero byte would cut an address short; it ends the version line and the notes.
        {Bytes("2.1\r\nD\0L\r\nSITE\r\n"), false, u"", u"", u""},
        {Bytes("2.1\0junk\r\nDL\r\nSITE\r\nab\0cd"), true, u"DL", u"SITE", u"ab"},
        // Texts arrive as UTF-16; invalid UTF-8 gives one replacement character per bad
        // sequence.
        {"2.1\r\nhttps://dl/Gr\xC3\xB6\xC3\x9F" "e.exe\r\nhttps://w/\xE6\x97\xA5\r\nGr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x98\x80\r\n",
         true, u"https://dl/Größe.exe", u"https://w/日", u"Größe \U0001F600\r\n"},
        {"2.1\r\nDL\r\nSITE\r\n\xFF\xC3", true, u"DL", u"SITE", u"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.m_body));
        sUpdateAnswer answer;
        answer.m_version = 99;
        ASSERT_EQ(Parse(c.m_body, answer), c.m_ok);
        EXPECT_EQ(Wide(answer.m_downloadAddress), c.m_download);
        EXPECT_EQ(Wide(answer.m_webSiteAddress), c.m_site);
        EXPECT_EQ(Wide(answer.m_releaseNotes), c.m_notes);
        EXPECT_EQ(answer.m_version, c.m_ok ? Version(2, 1) : 0u);
    }
}
