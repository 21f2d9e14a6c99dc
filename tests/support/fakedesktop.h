#pragma once
// A fake xdg-open first on PATH, for the tests of what the program opens with the desktop.
#include "support/filehelpers.h"
#include "support/scratchfolder.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace qeltest {

// Waits up to two seconds for `condition`.
template <typename Condition>
bool WaitFor(Condition condition)
{
    for (int round = 0; round < 200; ++round) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// The fake logs its arguments (NUL-terminated) and its process id, then sleeps for
// $QEL_TEST_XDG_SLEEP seconds.
class cFakeDesktop
{
public:
    cFakeDesktop()
        : m_path("PATH", (m_folder.Path() + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "")).c_str()),
          m_log("QEL_TEST_XDG_LOG", m_folder.PathOf("log").c_str())
    {
        std::ofstream(m_folder.PathOf("xdg-open"))
            << "#!/bin/sh\nprintf '%s\\0' \"$@\" >> \"$QEL_TEST_XDG_LOG\"\necho $$ >> \"$QEL_TEST_XDG_LOG.pids\"\n"
               "sleep \"${QEL_TEST_XDG_SLEEP:-0}\"\n";
        ::chmod(m_folder.PathOf("xdg-open").c_str(), 0755);
    }

    std::string Log() const { return ReadText(m_folder.PathOf("log")); }
    std::string Pids() const { return ReadText(m_folder.PathOf("log.pids")); }
    const cScratchFolder& Folder() const { return m_folder; }

private:
    cScratchFolder m_folder;
    cEnvironmentVariable m_path;
    cEnvironmentVariable m_log;
};

} // namespace qeltest
