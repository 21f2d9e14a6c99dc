#pragma once
// Values of the RFC 8448 example handshakes (the draft text that became the RFC): one
// section at a time, each value found as the first "label (N octets):" dump after a step
// heading such as "{server}  send handshake record:".
#include "support/testsupport.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace nettest {

class cRfc8448Trace
{
public:
    cRfc8448Trace()
    {
        std::ifstream file(qeltest::SharedDataPath(
            "net/rfc8448-equivalent-draft-ietf-tls-tls13-vectors.txt"));
        for (std::string line; std::getline(file, line);) {
            m_lines.push_back(line);
        }
    }
    bool Loaded() const { return !m_lines.empty(); }

    // Restricts reading to the numbered section whose heading starts with `title`
    // ("3.  Simple 1-RTT Handshake"), cursor at its start. False when absent.
    bool EnterSection(const std::string& title)
    {
        m_cursor = m_end = m_lines.size();
        for (size_t i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].rfind(title, 0) == 0) {
                m_cursor = i;
            } else if (m_cursor < m_lines.size() && IsSectionHeading(m_lines[i])) {
                m_end = i;
                break;
            }
        }
        return m_cursor < m_lines.size();
    }

    // Moves past the next line containing `step` and reads the `label` dump after it.
    // Empty (and a test failure) when either is missing in the section.
    std::vector<uint8_t> Read(const std::string& step, const std::string& label)
    {
        while (m_cursor < m_end && m_lines[m_cursor].find(step) == std::string::npos) {
            ++m_cursor;
        }
        EXPECT_LT(m_cursor, m_end) << "step " << step;
        const std::string key = label + " (";
        size_t at = m_cursor + 1;
        while (at < m_end && m_lines[at].find(key) == std::string::npos) {
            ++at;
        }
        EXPECT_LT(at, m_end) << "label " << label << " after " << step;
        if (at >= m_end) {
            return {};
        }
        const std::string& first = m_lines[at];
        const size_t count = std::stoul(first.substr(first.find(key) + key.size()));
        std::vector<uint8_t> value;
        AppendHexPairs(first.substr(first.find("):") + 2), value);
        while (value.size() < count && ++at < m_end) {
            AppendHexPairs(m_lines[at], value);
        }
        EXPECT_EQ(value.size(), count) << label << " after " << step;
        m_cursor = at;
        return value;
    }

private:
    static bool IsSectionHeading(const std::string& line)
    {
        size_t i = 0;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        return i > 0 && line.compare(i, 3, ".  ") == 0;
    }

    // Appends the line's bytes when every token is a hex pair (page headers and
    // footers between the lines of a dump are not).
    static void AppendHexPairs(const std::string& line, std::vector<uint8_t>& value)
    {
        std::vector<uint8_t> bytes;
        size_t i = 0;
        while (i < line.size()) {
            if (line[i] == ' ') {
                ++i;
                continue;
            }
            if (i + 1 >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[i])) ||
                !std::isxdigit(static_cast<unsigned char>(line[i + 1])) ||
                (i + 2 < line.size() && line[i + 2] != ' ')) {
                return;
            }
            bytes.push_back(static_cast<uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
            i += 2;
        }
        value.insert(value.end(), bytes.begin(), bytes.end());
    }

    std::vector<std::string> m_lines;
    size_t m_cursor = 0;
    size_t m_end = 0;
};

} // namespace nettest
