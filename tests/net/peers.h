#pragma once
// Loopback ports and scratch folders for the peer processes of the interop tests.
#include "support/childprocess.h"
#include "support/scratchfolder.h"
#include "support/testsupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// Servers run as child processes, each in its working folder.
using qeltest::cChildProcess;

// Runs a command line through /bin/sh in `folder` and waits; true for exit code 0.
inline bool RunShell(const std::string& command, const std::string& folder)
{
    const std::string line = "cd '" + folder + "' && " + command;
    return std::system(line.c_str()) == 0;
}

} // namespace nettest
