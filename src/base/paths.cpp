#include "base/paths.h"

#include "base/utf.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Units of the character at `index`: 2 for a surrogate pair, else 1 (a lone surrogate,
// such as an escaped file-name byte, is a character of its own).
size_t CharacterUnits(const char16_t* text, size_t index, size_t length)
{
    return IsHighSurrogate(text[index]) && index + 1 < length && IsLowSurrogate(text[index + 1]) ? 2 : 1;
}

// One pattern against the whole name, by the greedy star method: on a mismatch, the most
// recent '*' takes one more character of the name and matching resumes after it. An
// earlier '*' never needs to be revisited, because anything the later '*' could not
// absorb an earlier one could not either; so the work is bounded by
// length(name) x length(pattern) and no pattern can make it exponential.
bool MatchPattern(const char16_t* name, size_t nameLength, const char16_t* pattern, size_t patternLength)
{
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = SIZE_MAX; // position after the most recent '*'
    size_t starName = 0;           // name position that '*' currently reaches
    while (n < nameLength) {
        if (p < patternLength && pattern[p] == u'*') {
            starPattern = ++p;
            starName = n;
        } else if (p < patternLength && pattern[p] == u'?') {
            ++p;
            n += CharacterUnits(name, n, nameLength);
        } else if (p < patternLength && ToLowerChar(pattern[p]) == ToLowerChar(name[n])) {
            ++p;
            ++n;
        } else if (starPattern != SIZE_MAX) {
            starName += CharacterUnits(name, starName, nameLength);
            n = starName;
            p = starPattern;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == u'*') {
        ++p;
    }
    return p == patternLength;
}

bool IsPatternBlank(char16_t unit)
{
    return unit == u' ' || unit == u'\t';
}

} // namespace

ePathKind GetPathKind(const char16_t* path)
{
    _guardchar<char> bytes;
    struct stat info;
    if (path == nullptr || !WideToFileName(path, -1, bytes) || bytes.IsEmpty() || ::stat(bytes.Get(), &info) != 0) {
        return kPathMissing;
    }
    if (S_ISREG(info.st_mode)) {
        return kPathFile;
    }
    if (S_ISDIR(info.st_mode)) {
        return kPathFolder;
    }
    return kPathDevice;
}

void CleanPathText(_guardchar<char16_t>& text)
{
    char16_t* units = text.Get();
    if (units == nullptr) {
        return;
    }
    size_t length = text.Length();
    size_t start = units[0] == u'"' ? 1 : 0;
    for (size_t index = start; index < length; ++index) {
        if (units[index] == u'\\') {
            units[index] = u'/';
        }
    }
    size_t end = length;
    while (end > start && (units[end - 1] == u' ' || units[end - 1] == u'"')) {
        --end;
    }
    if (start != 0) {
        std::memmove(units, units + start, (end - start) * sizeof(char16_t));
    }
    if (end - start != length) {
        text.Truncate(end - start);
    }
}

bool GetHomeFolder(_guardchar<char16_t>& folder)
{
    folder.Clear();
    std::string home;
    const char* environment = std::getenv("HOME");
    if (environment != nullptr && environment[0] != 0) {
        home = environment;
    } else {
        long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 16384);
        struct passwd entry;
        struct passwd* found = nullptr;
        while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
               buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
        }
        if (found == nullptr || found->pw_dir == nullptr) {
            return false;
        }
        home = found->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/') {
        home.pop_back();
    }
    return !home.empty() && FileNameToWide(home.c_str(), i64(home.size()), folder);
}

bool CreateDirectoryPath(const char16_t* path)
{
    _guardchar<char> bytes;
    if (path == nullptr || !WideToFileName(path, -1, bytes) || bytes.IsEmpty()) {
        return false;
    }
    if (::mkdir(bytes.Get(), 0777) == 0) {
        return true;
    }
    struct stat info;
    return errno == EEXIST && ::stat(bytes.Get(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MatchWildcardList(const char16_t* name, const char16_t* list)
{
    if (list == nullptr) {
        return true;
    }
    size_t nameLength = WideLength(name);
    const char16_t* names = name != nullptr ? name : u"";
    bool anyPattern = false;
    const char16_t* cursor = list;
    while (true) {
        const char16_t* end = cursor;
        while (*end != 0 && *end != u';') {
            ++end;
        }
        const char16_t* first = cursor;
        const char16_t* last = end;
        while (first < last && IsPatternBlank(*first)) {
            ++first;
        }
        while (last > first && IsPatternBlank(last[-1])) {
            --last;
        }
        if (first < last) {
            anyPattern = true;
            if (MatchPattern(names, nameLength, first, size_t(last - first))) {
                return true;
            }
        }
        if (*end == 0) {
            return !anyPattern;
        }
        cursor = end + 1;
    }
}
