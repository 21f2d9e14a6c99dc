#pragma once
// Readers for published test-vector files, shared by the net tests: hex text, NIST CAVP
// ".rsp" files (and the RFC files in the same "KEY = value" form) and Wycheproof JSON.
#include "support/testsupport.h"

#include <cctype>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace nettest {

using qeltest::SharedDataPath;

using Bytes = std::vector<uint8_t>;

// Lower- or upper-case hex digits, no separators. An odd or bad digit fails the test.
inline Bytes Hex(const std::string& text)
{
    Bytes out;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    EXPECT_EQ(text.size() % 2, 0u) << text;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const int hi = digit(text[i]);
        const int lo = digit(text[i + 1]);
        EXPECT_TRUE(hi >= 0 && lo >= 0) << text;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

inline std::string ToHex(const uint8_t* data, size_t size)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}
inline std::string ToHex(const Bytes& data) { return ToHex(data.data(), data.size()); }

inline Bytes RandomBytes(std::mt19937_64& random, size_t size)
{
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<uint8_t>(random());
    }
    return out;
}

inline std::string CavpPath(const std::string& relative)
{
    return std::string(QEL_CAVP_DIR) + "/" + relative;
}

// One "KEY = value" record; `headers` holds the "[NAME = value]" or "[NAME]" lines that
// were in force. A bare word line (CAVP's "FAIL") is a key with an empty value.
struct sVectorRecord
{
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> headers;

    bool Has(const std::string& key) const { return fields.count(key) != 0; }
    std::string Text(const std::string& key) const
    {
        auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    }
    Bytes Data(const std::string& key) const { return Hex(Text(key)); }
    long Number(const std::string& key) const { return std::strtol(Text(key).c_str(), nullptr, 10); }
    std::string Header(const std::string& key) const
    {
        auto it = headers.find(key);
        return it == headers.end() ? std::string() : it->second;
    }
};

inline std::string Trim(const std::string& text)
{
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return std::string();
    }
    const size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// A record is a run of field lines; it ends at a header line or where a field name seen in
// it comes again (so blank lines inside a record, as RFC 5869's file has, do not split
// it). '#' lines are comments.
inline std::vector<sVectorRecord> ReadVectorFile(const std::string& path)
{
    std::vector<sVectorRecord> records;
    std::ifstream file(path);
    std::map<std::string, std::string> headers;
    sVectorRecord current;
    auto flush = [&]() {
        if (!current.fields.empty()) {
            current.headers = headers;
            records.push_back(current);
        }
        current = sVectorRecord();
    };
    std::string line;
    while (std::getline(file, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            flush();
            const std::string inner = line.substr(1, line.size() - 2);
            const size_t eq = inner.find('=');
            if (eq == std::string::npos) {
                headers[Trim(inner)] = "";
            } else {
                headers[Trim(inner.substr(0, eq))] = Trim(inner.substr(eq + 1));
            }
            continue;
        }
        const size_t eq = line.find('=');
        const std::string key = eq == std::string::npos ? line : Trim(line.substr(0, eq));
        if (current.Has(key)) {
            flush();
        }
        current.fields[key] = eq == std::string::npos ? "" : Trim(line.substr(eq + 1));
    }
    flush();
    return records;
}

// A JSON value, enough for the Wycheproof files.
struct sJson
{
    enum class eKind { Null, Bool, Number, String, Array, Object } kind = eKind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<sJson> items;
    std::vector<std::pair<std::string, sJson>> members;

    const sJson& operator[](const std::string& key) const
    {
        static const sJson missing;
        for (const auto& member : members) {
            if (member.first == key) {
                return member.second;
            }
        }
        return missing;
    }
    bool Has(const std::string& key) const
    {
        for (const auto& member : members) {
            if (member.first == key) {
                return true;
            }
        }
        return false;
    }
    Bytes Data() const { return Hex(text); }
    long Int() const { return static_cast<long>(number); }
};

class cJsonParser
{
public:
    explicit cJsonParser(const std::string& text) : m_text(text) {}

    bool Parse(sJson& out)
    {
        if (!Value(out)) {
            return false;
        }
        SkipSpace();
        return m_pos == m_text.size();
    }

private:
    void SkipSpace()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
    }
    bool Literal(const char* word)
    {
        const std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0) {
            return false;
        }
        m_pos += w.size();
        return true;
    }
    bool String(std::string& out)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"') {
            return false;
        }
        ++m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (c == '\\') {
                if (m_pos >= m_text.size()) {
                    return false;
                }
                const char e = m_text[m_pos++];
                switch (e) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case 'u': {
                    if (m_pos + 4 > m_text.size()) {
                        return false;
                    }
                    const unsigned code = std::stoul(m_text.substr(m_pos, 4), nullptr, 16);
                    m_pos += 4;
                    // Comments only: keep ASCII, mark the rest.
                    c = code < 0x80 ? static_cast<char>(code) : '?';
                    break;
                }
                default: c = e; break;
                }
            }
            out += c;
        }
        if (m_pos >= m_text.size()) {
            return false;
        }
        ++m_pos;
        return true;
    }
    bool Value(sJson& out)
    {
        SkipSpace();
        if (m_pos >= m_text.size()) {
            return false;
        }
        const char c = m_text[m_pos];
        if (c == '{') {
            out.kind = sJson::eKind::Object;
            ++m_pos;
            SkipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == '}') {
                ++m_pos;
                return true;
            }
            for (;;) {
                SkipSpace();
                std::string key;
                if (!String(key)) {
                    return false;
                }
                SkipSpace();
                if (m_pos >= m_text.size() || m_text[m_pos++] != ':') {
                    return false;
                }
                sJson value;
                if (!Value(value)) {
                    return false;
                }
                out.members.emplace_back(std::move(key), std::move(value));
                SkipSpace();
                if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                    ++m_pos;
                    continue;
                }
                return m_pos < m_text.size() && m_text[m_pos++] == '}';
            }
        }
        if (c == '[') {
            out.kind = sJson::eKind::Array;
            ++m_pos;
            SkipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ']') {
                ++m_pos;
                return true;
            }
            for (;;) {
                sJson value;
                if (!Value(value)) {
                    return false;
                }
                out.items.push_back(std::move(value));
                SkipSpace();
                if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                    ++m_pos;
                    continue;
                }
                return m_pos < m_text.size() && m_text[m_pos++] == ']';
            }
        }
        if (c == '"') {
            out.kind = sJson::eKind::String;
            return String(out.text);
        }
        if (Literal("true")) {
            out.kind = sJson::eKind::Bool;
            out.boolean = true;
            return true;
        }
        if (Literal("false")) {
            out.kind = sJson::eKind::Bool;
            return true;
        }
        if (Literal("null")) {
            return true;
        }
        char* end = nullptr;
        out.number = std::strtod(m_text.c_str() + m_pos, &end);
        if (end == m_text.c_str() + m_pos) {
            return false;
        }
        out.kind = sJson::eKind::Number;
        m_pos = static_cast<size_t>(end - m_text.c_str());
        return true;
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

// Reads a Wycheproof file; an unreadable or malformed file gives a Null value.
inline sJson ReadJsonFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream buffer;
    buffer << file.rdbuf();
    const std::string text = buffer.str();
    sJson root;
    cJsonParser parser(text);
    if (!parser.Parse(root)) {
        return sJson();
    }
    return root;
}

// Calls `check(group, test)` for every test of every group of a Wycheproof file and
// returns how many ran.
template <typename Check>
size_t ForEachWycheproofTest(const sJson& root, Check check)
{
    size_t count = 0;
    for (const sJson& group : root["testGroups"].items) {
        for (const sJson& test : group["tests"].items) {
            check(group, test);
            ++count;
        }
    }
    return count;
}

inline bool HasFlag(const sJson& test, const std::string& flag)
{
    for (const sJson& item : test["flags"].items) {
        if (item.text == flag) {
            return true;
        }
    }
    return false;
}

} // namespace nettest
