#include "base/textfile.h"

#include "support/piecestream.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qeltest::cPieceStream;

std::vector<std::u16string> ReadAllLines(cFileIOTarget& stream, u64 start)
{
    std::vector<std::u16string> lines;
    cTextFileReader reader(&stream, start, eTextEncoding::Utf8);
    _guardchar<char16_t> line;
    while (reader.ReadLine(line)) {
        lines.push_back(line.GetOrEmpty());
    }
    // The end is final.
    EXPECT_FALSE(reader.ReadLine(line));
    return lines;
}

// Python's bytes.splitlines() splits on LF, CR and CR LF only; each line is then decoded
// with decode('utf-8', 'replace'), the same substitution as ours.
std::vector<std::u16string> PythonLines(const std::string& data, u64 start)
{
    qeltest::cScratchFolder folder;
    const std::string path = folder.MakeFile("text", data);
    const std::string script = "import sys\n"
                               "data = open(sys.argv[1], 'rb').read()[int(sys.argv[2]):]\n"
                               "for line in data.splitlines():\n"
                               "    print(line.decode('utf-8', 'replace').encode('utf-16-le').hex())";
    int status = -1;
    std::istringstream output(qeltest::RunCommand("/usr/bin/python3 -c " + qeltest::ShellQuote(script) + " " +
                                                  path + " " + std::to_string(start), &status));
    EXPECT_EQ(status, 0);
    std::vector<std::u16string> lines;
    for (std::string hex; std::getline(output, hex);) {
        std::u16string line;
        for (size_t i = 0; i + 3 < hex.size(); i += 4) {
            line.push_back(char16_t(std::stoul(hex.substr(i + 2, 2) + hex.substr(i, 2), nullptr, 16)));
        }
        lines.push_back(line);
    }
    return lines;
}

// Places `bytes` so that they straddle the refill boundary 64 KB after `start`.
std::string Straddling(u64 start, const std::string& bytes, size_t before)
{
    std::string text(start, '#');
    text += "first line\n";
    text.append(65536 - before - 11, 'x');
    text += bytes;
    text += "tail\nlast";
    return text;
}

} // namespace

TEST(TextFileReader, LineEndsAndLastLine)
{
    struct
    {
        std::string data;
        std::vector<std::u16string> lines;
    } const cases[] = {
        {"", {}}, {"a", {u"a"}}, {"a\n", {u"a"}}, {"a\n\n", {u"a", u""}}, {"\n", {u""}}, {"\r\n", {u""}},
        {"a\rb\r\nc\n\rd", {u"a", u"b", u"c", u"", u"d"}}, {"a\r", {u"a"}}, {"a\r\r\n", {u"a", u""}},
        {"caf\xC3\xA9\n\xFF\xE2\x82\n", {u"caf\u00E9", u"\uFFFD\uFFFD"}},
    };
    for (const auto& entry : cases) {
        for (u32 maxRead : {1u, 2u, 65536u}) {
            cPieceStream stream(entry.data, {maxRead});
            EXPECT_EQ(ReadAllLines(stream, 0), entry.lines) << entry.data << " / " << maxRead;
        }
    }
}

// CR LF pairs and 2-, 3- and 4-byte sequences cut by the 64 KB refill, at both start
// offsets the callers use, against Python.
TEST(TextFileReader, RefillBoundariesAgainstPython)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "/usr/bin/python3");
    for (u64 start : {0u, 3u}) {
        for (const std::string& bytes :
             {std::string("\r\n"), std::string("\xC3\xA9"), std::string("\xE2\x82\xAC"),
              std::string("\xF0\x9F\x98\x80"), std::string("\r\r\n"), std::string("\n\r")}) {
            for (size_t before = 1; before < bytes.size(); ++before) {
                std::string text = Straddling(start, bytes, before);
                SCOPED_TRACE(testing::Message() << "start " << start << " before " << before
                                                << " bytes " << bytes.size());
                cPieceStream stream(text, {1u << 20});
                EXPECT_EQ(ReadAllLines(stream, start), PythonLines(text, start));
            }
        }
    }
}
