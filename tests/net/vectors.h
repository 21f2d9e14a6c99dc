#pragma once
// Readers for published test-vector files, shared by the net tests: hex text, NIST CAVP
// ".rsp" files (and the RFC files in the same "KEY = value" form), Wycheproof JSON, and the
// one driver that feeds a known answer to a streaming primitive in every way.
#include "support/testsupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace nettest {

using qeltest::SharedDataPath;

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;

// Lower- or upper-case hex digits, no separators. An odd or bad digit fails the test.
inline Bytes Hex(const std::string& text)
{
    Bytes out;
    EXPECT_EQ(text.size() % 2, 0u) << text;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        out.push_back(static_cast<uint8_t>(std::strtoul(pair.c_str(), &end, 16)));
        EXPECT_TRUE(end == pair.c_str() + 2 && std::isxdigit(static_cast<unsigned char>(pair[0]))) << text;
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

inline std::string CavpPath(const std::string& relative) { return std::string(QEL_CAVP_DIR) + "/" + relative; }

// One "KEY = value" record; `headers` holds the "[NAME = value]" or "[NAME]" lines that
// were in force. A bare word line (CAVP's "FAIL") is a key with an empty value.
struct sVectorRecord
{
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> headers;

    bool Has(const std::string& key) const { return fields.count(key) != 0; }
    std::string Text(const std::string& key) const { return Has(key) ? fields.at(key) : std::string(); }
    Bytes Data(const std::string& key) const { return Hex(Text(key)); }
    long Number(const std::string& key) const { return std::strtol(Text(key).c_str(), nullptr, 10); }
    std::string Header(const std::string& key) const
    {
        return headers.count(key) != 0 ? headers.at(key) : std::string();
    }
};

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
    auto trim = [](const std::string& text) {
        const size_t begin = text.find_first_not_of(" \t\r\n");
        return begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
    };
    std::string line;
    while (std::getline(file, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const bool header = line[0] == '[';
        if (header) {
            flush();
            line = line.substr(1, line.size() - 2);
        }
        const size_t eq = line.find('=');
        const std::string key = trim(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
        if (header) {
            headers[key] = value;
            continue;
        }
        if (current.Has(key)) {
            flush();
        }
        current.fields[key] = value;
    }
    flush();
    return records;
}

// A Wycheproof file; an unreadable or malformed file gives a value that is no object.
inline Json ReadJsonFile(const std::string& path)
{
    std::ifstream file(path);
    return Json::parse(file, nullptr, /*allow_exceptions=*/false);
}

inline Bytes HexOf(const Json& value) { return Hex(value.get<std::string>()); }

// Calls `check(group, test)` for every test of every group of a Wycheproof file and
// returns how many ran.
template <typename Check>
size_t ForEachWycheproofTest(const Json& root, Check check)
{
    size_t count = 0;
    for (const Json& group : root.value("testGroups", Json::array())) {
        for (const Json& test : group.value("tests", Json::array())) {
            SCOPED_TRACE("tcId " + test["tcId"].dump());
            check(group, test);
            ++count;
        }
    }
    return count;
}

inline bool HasFlag(const Json& test, const std::string& flag)
{
    const Json flags = test.value("flags", Json::array());
    return std::find(flags.begin(), flags.end(), Json(flag)) != flags.end();
}

// Hands `message` to `take(data, size)` in consecutive pieces of the given sizes; the last
// piece takes what is left.
template <typename Take>
void FeedPieces(const Bytes& message, const std::vector<size_t>& pieces, Take take)
{
    size_t at = 0;
    for (size_t piece : pieces) {
        piece = std::min(piece, message.size() - at);
        take(message.data() + at, piece);
        at += piece;
    }
    take(message.data() + at, message.size() - at);
}

// A known answer fed whole, in pieces of `step` bytes and split in two at every multiple
// of `step`: `run(pieces)` gives the output of `message` fed in those pieces.
template <typename Run>
void ExpectEveryFeeding(const Bytes& message, const std::string& expected, Run run, size_t step = 1)
{
    ASSERT_EQ(ToHex(run(std::vector<size_t>{})), expected) << "whole";
    ASSERT_EQ(ToHex(run(std::vector<size_t>(message.size() / step, step))), expected) << "in pieces of " << step;
    for (size_t split = step; split < message.size(); split += step) {
        ASSERT_EQ(ToHex(run(std::vector<size_t>{split})), expected) << "split at " << split;
    }
}

} // namespace nettest
