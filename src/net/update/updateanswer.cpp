#include "net/update/updateanswer.h"

#include "base/format.h"
#include "base/utf.h"

namespace {

constexpr u32 kMaxVersionPart = 65535;
constexpr u32 kVersionParts = 4;

// The blanks a "%d" conversion skips (C isspace in the C locale).
bool IsScanBlank(u8 byte)
{
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

bool IsDigit(u8 byte) { return byte >= '0' && byte <= '9'; }

// Reads "%d.%d.%d.%d" from the version line [at, end): per field blanks, an optional sign,
// at least one digit; the next field only over exactly one ".". The value saturates just
// above the part limit, so that a long run of digits fails instead of overflowing. Returns
// the fields read; `valid` is cleared when one of them lies outside 0..65535.
u32 ScanVersionParts(const u8* at, const u8* end, u32 (&parts)[kVersionParts], bool& valid)
{
    valid = true;
    u32 count = 0;
    while (count < kVersionParts) {
        while (at < end && IsScanBlank(*at)) {
            ++at;
        }
        bool negative = false;
        if (at < end && (*at == '+' || *at == '-')) {
            negative = *at == '-';
            ++at;
        }
        if (at == end || !IsDigit(*at)) {
            break;
        }
        u32 value = 0;
        for (; at < end && IsDigit(*at); ++at) {
            value = value * 10 + u32(*at - '0');
            if (value > kMaxVersionPart) {
                value = kMaxVersionPart + 1;
            }
        }
        valid = valid && value <= kMaxVersionPart && (!negative || value == 0);
        parts[count++] = value;
        if (at == end || *at != '.') {
            break;
        }
        ++at;
    }
    return count;
}

// The version line ends at the first CR; a zero byte ends it too, as it ends the
// terminated copy a "%d" scan would see.
bool ParseVersionLine(const u8* line, size_t length, u64& version)
{
    const u8* end = line;
    while (end < line + length && *end != 0) {
        ++end;
    }
    u32 parts[kVersionParts] = {};
    bool valid = false;
    if (ScanVersionParts(line, end, parts, valid) < 2 || !valid) {
        return false;
    }
    version = u64(parts[0]) << 48 | u64(parts[1]) << 32 | u64(parts[2]) << 16 | u64(parts[3]);
    return true;
}

size_t SkipLineBreaks(const u8* bytes, size_t size, size_t at)
{
    while (at < size && (bytes[at] == '\r' || bytes[at] == '\n')) {
        ++at;
    }
    return at;
}

// The non-empty line from `at` to the next CR; `at` moves onto that CR. A line that
// holds a zero byte fails: its text would end there, and a cut address is another address.
bool TakeAddressLine(const u8* bytes, size_t size, size_t& at, _guardchar<char16_t>& out)
{
    const size_t start = at;
    while (at < size && bytes[at] != '\r') {
        if (bytes[at] == 0) {
            return false;
        }
        ++at;
    }
    return at < size && at > start &&
           Utf8ToWideString(reinterpret_cast<const char*>(bytes + start), i64(at - start), out);
}

} // namespace

bool ParseUpdateAnswer(const u8* bytes, size_t size, sUpdateAnswer& out)
{
    out = sUpdateAnswer();
    sUpdateAnswer answer;
    size_t at = 0;
    while (at < size && bytes[at] != '\r') {
        ++at;
    }
    if (at == 0 || at == size || !ParseVersionLine(bytes, at, answer.m_version)) {
        return false;
    }
    at = SkipLineBreaks(bytes, size, at);
    if (!TakeAddressLine(bytes, size, at, answer.m_downloadAddress)) {
        return false;
    }
    at = SkipLineBreaks(bytes, size, at);
    if (!TakeAddressLine(bytes, size, at, answer.m_webSiteAddress)) {
        return false;
    }
    at = SkipLineBreaks(bytes, size, at);
    // The notes are text for the reader; a zero byte ends them.
    if (at < size && !Utf8ToWideString(reinterpret_cast<const char*>(bytes + at), i64(size - at),
                                       answer.m_releaseNotes)) {
        return false;
    }
    out = std::move(answer);
    return true;
}

_guardchar<char16_t> FormatVersion(u64 version)
{
    const int major = int(version >> 48);
    const int minor = int((version >> 32) & 0xFFFF);
    const int sub = int((version >> 16) & 0xFFFF);
    const int build = int(version & 0xFFFF);
    char16_t text[100];
    if (build != 0) {
        FormatWide(text, 100, u"%d.%d.%d.%d", major, minor, sub, build);
    } else if (sub != 0) {
        FormatWide(text, 100, u"%d.%d.%d", major, minor, sub);
    } else {
        FormatWide(text, 100, u"%d.%d", major, minor);
    }
    _guardchar<char16_t> formatted;
    (void)formatted.Assign(text);
    return formatted;
}
