#pragma once
// Peer processes for the interop tests: TLS and HTTP servers started on loopback ports,
// each in its own working folder, and stopped by PID with bounded waits.
#include "support/scratchfolder.h"
#include "support/testsupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace nettest {

// A scratch folder that also writes and reads whole files.
class cScratchFolder : public qeltest::cScratchFolder
{
public:
    void Write(const std::string& name, const std::string& bytes) const { MakeFile(name, bytes); }
    std::string Read(const std::string& name) const { return qeltest::ReadText(PathOf(name)); }
};

// A port on 127.0.0.1 that was free a moment ago: bound to port 0, read, released.
inline uint16_t FindFreeLoopbackPort()
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    uint16_t port = 0;
    if (handle >= 0 && ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (handle >= 0) {
        ::close(handle);
    }
    return port;
}

// True once a TCP connect to 127.0.0.1:port succeeds, polling for up to `timeoutMs`.
inline bool WaitForLoopbackPort(uint16_t port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        ::close(handle);
        if (up) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// One server process. Its standard output and error go to peer.log in its folder.
class cPeerProcess
{
public:
    cPeerProcess() = default;
    cPeerProcess(const cPeerProcess&) = delete;
    cPeerProcess& operator=(const cPeerProcess&) = delete;
    ~cPeerProcess() { Stop(); }

    // posix_spawnp of argv[0] in `folder`, with `environment` ("NAME=value") added.
    bool Start(const std::vector<std::string>& argv, const std::string& folder,
               const std::vector<std::string>& environment = {})
    {
        Stop();
        m_log = folder + "/peer.log";
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            envStrings.emplace_back(*entry);
        }
        envStrings.insert(envStrings.end(), environment.begin(), environment.end());
        std::vector<char*> env;
        for (std::string& entry : envStrings) {
            env.push_back(entry.data());
        }
        env.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        const int error = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        m_pid = error == 0 ? pid : -1;
        return m_pid > 0;
    }

    // The first output line containing `pattern`, waited for up to `timeoutMs`; empty
    // when it never came or the process ended.
    std::string WaitForOutput(const std::string& pattern, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream file(m_log);
            std::string line;
            while (std::getline(file, line)) {
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

    bool IsRunning()
    {
        if (m_pid <= 0) {
            return false;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    std::string Log() const
    {
        std::ifstream file(m_log);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // SIGTERM, then SIGKILL after 2 s; always reaped.
    void Stop()
    {
        if (m_pid <= 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    std::string m_log;
};

// Runs a command line through /bin/sh in `folder` and waits; true for exit code 0.
inline bool RunShell(const std::string& command, const std::string& folder)
{
    const std::string line = "cd '" + folder + "' && " + command;
    return std::system(line.c_str()) == 0;
}

} // namespace nettest
