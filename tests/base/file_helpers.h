#pragma once
// Test helpers for files: a temporary folder removed with everything in it at the end of
// a test, running a reference tool and reading what it prints, file names between bytes
// and wide text, and environment variables set for one test. Shared by the base and
// platform tests.
#include "base/utf.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qeltest {

class cScratchFolder
{
public:
    // In `parent`, /tmp unless a test needs a faster file system (/dev/shm).
    explicit cScratchFolder(const std::string& parent = "/tmp")
    {
        std::string pattern = parent + "/qeltest.XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~cScratchFolder()
    {
        if (!m_path.empty()) {
            ::nftw(m_path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
        }
    }
    cScratchFolder(const cScratchFolder&) = delete;
    cScratchFolder& operator=(const cScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Join(const std::string& name) const { return m_path + "/" + name; }

private:
    static int RemoveOne(const char* path, const struct stat*, int, struct FTW*)
    {
        ::chmod(path, 0700); // a folder a test made unreadable must still go
        ::remove(path);
        return 0;
    }

    std::string m_path;
};

// Single-quotes a text for /bin/sh.
inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs `command` through /bin/sh and returns its standard output; the exit status goes
// to `status` (-1 when it did not exit normally).
inline std::string RunCommand(const std::string& command, int* status = nullptr)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) {
            *status = -1;
        }
        return output;
    }
    char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        output.append(buffer, count);
    }
    int result = ::pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    return output;
}

// The whole content of a file; empty when it cannot be read.
inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// File-name bytes as wide text and back, through the lossless conversion.
inline std::u16string WideName(const std::string& bytes)
{
    _guardchar<char16_t> wide;
    return FileNameToWide(bytes.c_str(), i64(bytes.size()), wide) ? wide.GetOrEmpty() : u"<unconvertible>";
}

inline std::string NameBytes(const char16_t* wide)
{
    _guardchar<char> bytes;
    return WideToFileName(wide, -1, bytes) ? bytes.GetOrEmpty() : "<unencodable>";
}

// Sets (or, with null, removes) an environment variable and puts the old state back at
// the end of the test.
class cEnvironmentVariable
{
public:
    cEnvironmentVariable(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        m_old = m_had ? old : "";
        Set(value);
    }
    ~cEnvironmentVariable()
    {
        Set(m_had ? m_old.c_str() : nullptr);
    }
    cEnvironmentVariable(const cEnvironmentVariable&) = delete;
    cEnvironmentVariable& operator=(const cEnvironmentVariable&) = delete;

    void Set(const char* value)
    {
        if (value != nullptr) {
            ::setenv(m_name.c_str(), value, 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name;
    bool m_had;
    std::string m_old;
};

} // namespace qeltest
