#pragma once
// A temporary folder removed with everything in it at the end of a test, and a way to run
// a reference tool and read what it prints. Shared by the base and platform tests.
#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qeltest {

class cScratchFolder
{
public:
    cScratchFolder()
    {
        char pattern[] = "/tmp/qeltest.XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
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

} // namespace qeltest
