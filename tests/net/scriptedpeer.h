#pragma once
// Scripted peers: an in-process loopback server that accepts one connection and runs a
// script on its own thread, and raw-descriptor helpers for the scripts. Every wait is
// bounded, so a client that misbehaves fails the test instead of hanging it.
#include "peers.h"

#include <functional>
#include <initializer_list>
#include <netinet/tcp.h>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

using Bytes = std::vector<uint8_t>;

inline Bytes JoinBytes(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

inline void SetReceiveTimeoutMs(int handle, int milliseconds)
{
    timeval value = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof(value));
}

inline bool WriteAllFd(int handle, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(handle, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= size_t(sent);
    }
    return true;
}
inline bool WriteAllFd(int handle, const Bytes& bytes) { return WriteAllFd(handle, bytes.data(), bytes.size()); }
inline bool WriteAllFd(int handle, const std::string& text)
{
    return WriteAllFd(handle, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Up to `size` bytes; fewer when the peer closed or the time-out passed.
inline Bytes ReadFd(int handle, size_t size)
{
    Bytes out(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::recv(handle, out.data() + done, size - done, 0);
        if (got <= 0) {
            break;
        }
        done += size_t(got);
    }
    out.resize(done);
    return out;
}

// Everything until the peer closes or the time-out passes.
inline Bytes ReadToEndFd(int handle)
{
    Bytes out;
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(handle, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            return out;
        }
        out.insert(out.end(), buffer, buffer + got);
    }
}

// Listens on 127.0.0.1 (a port the system picks) and serves one connection with a
// script on a thread. The accepted socket has TCP_NODELAY and a 5 s receive time-out.
class cLoopbackServer
{
public:
    cLoopbackServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::listen(m_listener, 4) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~cLoopbackServer()
    {
        Join();
        ::close(m_listener);
    }
    cLoopbackServer(const cLoopbackServer&) = delete;
    cLoopbackServer& operator=(const cLoopbackServer&) = delete;

    uint16_t Port() const { return m_port; }

    void Serve(std::function<void(int)> script)
    {
        m_thread = std::thread([this, script] {
            pollfd entry = {m_listener, POLLIN, 0};
            if (::poll(&entry, 1, 10000) != 1) {
                return;
            }
            const int handle = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (handle < 0) {
                return;
            }
            const int one = 1;
            ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
            SetReceiveTimeoutMs(handle, 5000);
            script(handle);
            ::shutdown(handle, SHUT_RDWR);
            ::close(handle);
        });
    }

    void Join()
    {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    int m_listener = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
};

} // namespace nettest
