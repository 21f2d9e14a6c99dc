#pragma once
// A program run beside a test without a shell (posix_spawnp): servers on loopback, tools
// driving the X server. Its standard input is a given text, its standard output and
// error go to one log file; it is ended by its own pid (SIGTERM, then SIGKILL after 2 s)
// and always reaped.
#include "support/scratchfolder.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace qeltest {

class cChildProcess
{
public:
    cChildProcess() = default;
    cChildProcess(const cChildProcess&) = delete;
    cChildProcess& operator=(const cChildProcess&) = delete;
    ~cChildProcess() { Stop(); }

    // argv[0] from PATH, run in `folder` (a scratch folder of its own when empty) with
    // `environment` ("NAME=value") added to ours.
    bool Start(const std::vector<std::string>& argv, std::string folder = {},
               const std::vector<std::string>& environment = {}, const std::string& input = {})
    {
        Stop();
        if (folder.empty()) {
            m_ownFolder = std::make_unique<cScratchFolder>();
            folder = m_ownFolder->Path();
        }
        m_log = folder + "/child.log";
        const std::string in = folder + "/child.in";
        std::ofstream(in, std::ios::binary) << input;
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        std::vector<std::string> envStrings(environment);
        for (char** entry = environ; *entry != nullptr; ++entry) {
            envStrings.emplace_back(*entry);
        }
        std::vector<char*> env;
        for (std::string& entry : envStrings) {
            env.push_back(entry.data());
        }
        env.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        const int error = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        m_pid = error == 0 ? pid : -1;
        m_exitCode = -1;
        return m_pid > 0;
    }

    bool IsRunning()
    {
        int status = 0;
        if (m_pid <= 0 || ::waitpid(m_pid, &status, WNOHANG) != m_pid) {
            return m_pid > 0;
        }
        m_pid = -1;
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    // -1 while running or when it did not exit normally.
    int GetExitCode() const { return m_exitCode; }
    std::string Log() const { return ReadText(m_log); }

    // The first output line containing `pattern`, waited for up to `timeoutMs`; empty
    // when it never came or the process ended.
    std::string WaitForOutput(const std::string& pattern, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream file(m_log);
            for (std::string line; std::getline(file, line);) {
                if (line.find(pattern) != std::string::npos) {
                    return line;
                }
            }
            if (!IsRunning()) {
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    void Stop()
    {
        if (m_pid <= 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 200 && IsRunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_exitCode = -1;
    std::string m_log;
    std::unique_ptr<cScratchFolder> m_ownFolder;
};

} // namespace qeltest
