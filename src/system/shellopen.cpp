#include "system/shellopen.h"

#include "base/paths.h"
#include "base/utf.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

bool IsBlank(char16_t unit)
{
    return unit == u' ' || unit == u'\t';
}

// Waits for a child nobody else waits for, so that it never lingers as a zombie. One
// thread per child, blocked in waitpid; ignoring SIGCHLD instead would break every other
// waitpid in the process.
void ReapInBackground(pid_t child)
{
    try {
        std::thread([child] {
            int status;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the child stays a zombie until the process ends, which is
        // better than blocking the caller until it exits.
    }
}

bool WaitForSuccess(pid_t child)
{
    int status;
    pid_t result;
    while ((result = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    return result == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The options of a detached child: a session of its own (it outlives us and our
// terminal) and standard input and outputs on /dev/null, so nothing is shown.
class cDetachedSpawn
{
public:
    cDetachedSpawn()
    {
        ::posix_spawnattr_init(&m_attributes);
        ::posix_spawn_file_actions_init(&m_actions);
        m_ready = ::posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSID) == 0 &&
                  ::posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
                  ::posix_spawn_file_actions_addopen(&m_actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
                  ::posix_spawn_file_actions_addopen(&m_actions, 2, "/dev/null", O_WRONLY, 0) == 0;
    }
    ~cDetachedSpawn()
    {
        ::posix_spawn_file_actions_destroy(&m_actions);
        ::posix_spawnattr_destroy(&m_attributes);
    }
    cDetachedSpawn(const cDetachedSpawn&) = delete;
    cDetachedSpawn& operator=(const cDetachedSpawn&) = delete;

    bool SetFolder(const char* folder)
    {
        m_ready = m_ready && ::posix_spawn_file_actions_addchdir_np(&m_actions, folder) == 0;
        return m_ready;
    }

    enum class eLookup { SearchPath, ExactPath };

    // Starts the child and hands it to a reaper.
    bool Start(const char* program, char* const* arguments, eLookup lookup)
    {
        if (!m_ready) {
            return false;
        }
        pid_t child;
        const int error =
            lookup == eLookup::SearchPath
                ? ::posix_spawnp(&child, program, &m_actions, &m_attributes, arguments, environ)
                : ::posix_spawn(&child, program, &m_actions, &m_attributes, arguments, environ);
        if (error != 0) {
            return false;
        }
        ReapInBackground(child);
        return true;
    }

private:
    posix_spawnattr_t m_attributes;
    posix_spawn_file_actions_t m_actions;
    bool m_ready;
};

// The desktop's handler for a document, folder or address: xdg-open. The text is one
// argument of its own, never parsed by a shell.
bool OpenWithDesktop(const char16_t* text)
{
    _guardchar<char> target;
    if (!WideToFileName(text, -1, target) || target.IsEmpty()) {
        return false;
    }
    char program[] = "xdg-open";
    char* arguments[] = {program, target.Get(), nullptr};
    return cDetachedSpawn().Start(program, arguments, cDetachedSpawn::eLookup::SearchPath);
}

// Runs a split command line and waits for it.
bool RunAndWait(const std::vector<std::u16string>& words)
{
    std::vector<_guardchar<char>> bytes(words.size());
    std::vector<char*> arguments;
    for (size_t index = 0; index < words.size(); ++index) {
        if (!WideToFileName(words[index].c_str(), i64(words[index].size()), bytes[index])) {
            return false;
        }
        // An empty argument is a real one ("" on the command line).
        arguments.push_back(bytes[index].IsEmpty() ? const_cast<char*>("") : bytes[index].Get());
    }
    arguments.push_back(nullptr);
    if (arguments[0][0] == 0) {
        return false;
    }
    pid_t child;
    if (::posix_spawnp(&child, arguments[0], nullptr, nullptr, arguments.data(), environ) != 0) {
        return false;
    }
    return WaitForSuccess(child);
}

// Starts a program file without arguments in its own folder, as opening a program on the
// desktop does. The path is made absolute first: the change of folder happens before the
// program is looked up.
bool StartProgram(const std::string& path)
{
    std::string absolute = path;
    if (path[0] != '/') {
        char folder[PATH_MAX];
        if (::getcwd(folder, sizeof(folder)) == nullptr) {
            return false;
        }
        absolute = std::string(folder) + "/" + path;
    }
    size_t slash = absolute.rfind('/');
    std::string folder = slash == 0 ? "/" : absolute.substr(0, slash);
    cDetachedSpawn spawn;
    std::vector<char> program(absolute.begin(), absolute.end());
    program.push_back(0);
    char* arguments[] = {program.data(), nullptr};
    return spawn.SetFolder(folder.c_str()) &&
           spawn.Start(program.data(), arguments, cDetachedSpawn::eLookup::ExactPath);
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

// The bytes an address may hold: the unreserved and reserved characters of RFC 3986 2.2
// and 2.3 plus '%' for escapes. Blanks, quotes, '<', '>', '\', '^', '`', '{', '|', '}'
// and everything outside ASCII are refused.
bool IsAddressUnit(char16_t unit)
{
    if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) {
        return true;
    }
    return unit != 0 && unit < 0x80 && std::strchr("!#$%&'()*+,-./:;=?@[]_~", char(unit)) != nullptr;
}

bool AreAddressUnits(const char16_t* text)
{
    for (; *text != 0; ++text) {
        if (!IsAddressUnit(*text)) {
            return false;
        }
    }
    return true;
}

// `text` starts with `scheme` (ASCII, lower case), compared ignoring case (RFC 3986 3.1).
bool StartsWithScheme(const char16_t* text, const char* scheme)
{
    for (; *scheme != 0; ++text, ++scheme) {
        char16_t unit = *text;
        if (unit >= u'A' && unit <= u'Z') {
            unit = char16_t(unit + 32);
        }
        if (unit != char16_t(*scheme)) {
            return false;
        }
    }
    return true;
}

// The authority (up to the first '/', '?' or '#') holds a host: what follows the last
// '@' and precedes the port is not empty.
bool HasHost(const char16_t* rest)
{
    std::u16string authority;
    for (; *rest != 0 && *rest != u'/' && *rest != u'?' && *rest != u'#'; ++rest) {
        authority += *rest;
    }
    size_t at = authority.rfind(u'@');
    std::u16string host = at == std::u16string::npos ? authority : authority.substr(at + 1);
    if (!host.empty() && host[0] == u'[') {
        size_t close = host.find(u']');
        return close != std::u16string::npos && close > 1;
    }
    return !host.empty() && host[0] != u':';
}

bool IsAllowedAddress(const char16_t* text)
{
    if (!AreAddressUnits(text)) {
        return false;
    }
    for (const char* scheme : {"http://", "https://"}) {
        if (StartsWithScheme(text, scheme)) {
            return HasHost(text + std::strlen(scheme));
        }
    }
    return StartsWithScheme(text, "mailto:") && text[7] != 0;
}

bool IsAllowedPath(const char16_t* text)
{
    if (text[0] != u'/') {
        return false;
    }
    for (const char16_t* unit = text; *unit != 0; ++unit) {
        if (*unit < 0x20 || (*unit >= 0x7F && *unit <= 0x9F)) {
            return false;
        }
    }
    return GetPathKind(text) != kPathMissing;
}

} // namespace

std::vector<std::u16string> SplitCommandLine(const char16_t* text)
{
    std::vector<std::u16string> words;
    if (text == nullptr) {
        return words;
    }
    const char16_t* cursor = text;
    while (IsBlank(*cursor)) {
        ++cursor;
    }
    if (*cursor == 0) {
        return words;
    }
    // The program: quotes only group, backslashes are path separators.
    std::u16string& program = words.emplace_back();
    for (bool quoted = false; *cursor != 0 && (quoted || !IsBlank(*cursor)); ++cursor) {
        if (*cursor == u'"') {
            quoted = !quoted;
        } else {
            program += *cursor;
        }
    }
    while (true) {
        while (IsBlank(*cursor)) {
            ++cursor;
        }
        if (*cursor == 0) {
            return words;
        }
        std::u16string& word = words.emplace_back();
        bool quoted = false;
        while (*cursor != 0 && (quoted || !IsBlank(*cursor))) {
            if (*cursor == u'\\') {
                size_t backslashes = 0;
                while (*cursor == u'\\') {
                    ++backslashes;
                    ++cursor;
                }
                if (*cursor == u'"') {
                    word.append(backslashes / 2, u'\\');
                    if (backslashes % 2 == 1) {
                        word += u'"';
                        ++cursor;
                    }
                } else {
                    word.append(backslashes, u'\\');
                }
            } else if (*cursor == u'"') {
                if (quoted && cursor[1] == u'"') {
                    word += u'"';
                    cursor += 2;
                } else {
                    quoted = !quoted;
                    ++cursor;
                }
            } else {
                word += *cursor++;
            }
        }
    }
}

bool ShellOpen(const char16_t* text)
{
    if (text == nullptr || text[0] == 0) {
        return false;
    }
    if (GetPathKind(text) == kPathMissing) {
        std::vector<std::u16string> words = SplitCommandLine(text);
        if (words.size() > 1) {
            return RunAndWait(words);
        }
    }
    _guardchar<char> path;
    if (WideToFileName(text, -1, path) && !path.IsEmpty() && IsExecutableFile(path.Get())) {
        return StartProgram(path.Get());
    }
    return OpenWithDesktop(text);
}

bool ShellOpenLink(const char16_t* text)
{
    if (text == nullptr || !(IsAllowedAddress(text) || IsAllowedPath(text))) {
        return false;
    }
    return OpenWithDesktop(text);
}
