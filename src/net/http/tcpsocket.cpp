#include "net/http/tcpsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr sSocketTimeout kDefaultTimeout = {20, 0};
constexpr u32 kHostConnectTimeoutMs = 20000;

bool ResolveWithGetaddrinfo(const char* host, u8* address)
{
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) {
        return false;
    }
    bool found = false;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            std::memcpy(address, &in->sin_addr.s_addr, 4);
            found = true;
            break;
        }
    }
    ::freeaddrinfo(list);
    return found;
}

enum class eSocketMode { Blocking, NonBlocking };

bool SetSocketMode(int handle, eSocketMode mode)
{
    const int flags = ::fcntl(handle, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    const int wanted = mode == eSocketMode::Blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(handle, F_SETFL, wanted) == 0;
}

// Waits until a non-blocking connect has an outcome: 0, or the last error code 2 (time-out)
// or 1 (poll failed). poll, not select: a descriptor above 1023 would overflow an fd_set.
// Linux reports a failed connect as writable (with POLLERR/POLLHUP), so the caller's
// SO_ERROR check decides.
i32 WaitForConnect(int handle, u32 timeoutMs)
{
    i64 left = timeoutMs;
    timespec began;
    ::clock_gettime(CLOCK_MONOTONIC, &began);
    for (;;) {
        pollfd entry = {handle, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left < INT32_MAX ? left : INT32_MAX));
        if (ready > 0) {
            return 0;
        }
        if (ready == 0) {
            return 2;
        }
        if (errno != EINTR) {
            return 1;
        }
        timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const i64 spent = (now.tv_sec - began.tv_sec) * 1000 + (now.tv_nsec - began.tv_nsec) / 1000000;
        left = i64(timeoutMs) - spent;
        if (left < 0) {
            left = 0;
        }
    }
}

i64 TimeoutMilliseconds(const sSocketTimeout& timeout)
{
    return i64(timeout.m_seconds) * 1000 + timeout.m_microseconds / 1000;
}

} // namespace

std::atomic<tHostResolver> g_hostResolver{nullptr};

cTCPSocket::cTCPSocket() : m_receiveTimeout(kDefaultTimeout), m_secondTimeout(kDefaultTimeout)
{
    std::memset(&m_peerAddress, 0, sizeof(m_peerAddress));
}

cTCPSocket::~cTCPSocket() { Close(); }

void cTCPSocket::Close()
{
    std::lock_guard<std::mutex> guard(m_closeMutex);
    const int handle = m_handle.exchange(-1);
    if (handle >= 0) {
        ::shutdown(handle, SHUT_RDWR);
        ::close(handle);
    }
    m_appliedTimeoutMs = -1;
}

void cTCPSocket::SetHandle(int handle)
{
    Close();
    m_handle.store(handle);
}


void cTCPSocket::Abort()
{
    std::lock_guard<std::mutex> guard(m_closeMutex);
    const int handle = m_handle.load();
    if (handle >= 0) {
        ::shutdown(handle, SHUT_RDWR);
    }
}

bool cTCPSocket::CanTransfer(int handle, i32 length)
{
    m_lastError = handle < 0 ? 4 : 0;
    return handle >= 0 && length > 0;
}

i32 cTCPSocket::Send(const void* buffer, i32 length)
{
    const int handle = m_handle.load();
    if (!CanTransfer(handle, length)) {
        return 0;
    }
    ssize_t sent;
    do {
        sent = ::send(handle, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        m_lastError = 1;
        return 0;
    }
    m_lastError = 0;
    return static_cast<i32>(sent);
}

bool cTCPSocket::ApplyReceiveTimeout(const sSocketTimeout& timeout)
{
    const i64 milliseconds = TimeoutMilliseconds(timeout);
    if (milliseconds == m_appliedTimeoutMs) {
        return true;
    }
    timeval value = {};
    value.tv_sec = static_cast<time_t>(milliseconds / 1000);
    value.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    if (::setsockopt(m_handle.load(), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof(value)) != 0) {
        return false;
    }
    m_appliedTimeoutMs = milliseconds;
    return true;
}

i32 cTCPSocket::RecvOnce(void* buffer, i32 length)
{
    const int handle = m_handle.load();
    if (!CanTransfer(handle, length)) {
        return 0;
    }
    ssize_t received;
    do {
        received = ::recv(handle, buffer, static_cast<size_t>(length), 0);
    } while (received < 0 && errno == EINTR);
    if (received == 0) {
        m_lastError = 4;
        return 0;
    }
    if (received < 0) {
        m_lastError = (errno == EAGAIN || errno == EWOULDBLOCK) ? 5 : 1;
        return 0;
    }
    m_lastError = 0;
    return static_cast<i32>(received);
}

bool cTCPSocket::FitToDeadline(sSocketTimeout& timeout) const
{
    if (m_receiveDeadline == std::chrono::steady_clock::time_point()) {
        return true;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                          m_receiveDeadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
        return false;
    }
    const i64 own = TimeoutMilliseconds(timeout);
    // SO_RCVTIMEO 0 waits forever.
    if (own <= 0 || own > left) {
        timeout = {i32(left / 1000), i32(left % 1000) * 1000};
    }
    return true;
}

i32 cTCPSocket::Receive(void* buffer, i32 length, const sSocketTimeout* timeout)
{
    if (m_handle.load() < 0) {
        m_lastError = 4;
        return 0;
    }
    sSocketTimeout applied = timeout != nullptr ? *timeout : m_receiveTimeout;
    if (!FitToDeadline(applied)) {
        m_lastError = kSocketTimedOut;
        return 0;
    }
    if (!ApplyReceiveTimeout(applied)) {
        m_lastError = 1;
        return 0;
    }
    return RecvOnce(buffer, length);
}

i32 cTCPSocket::ReceiveRaw(void* buffer, i32 length)
{
    // Qualified: a derived transport's Receive hands out TLS plaintext, not TCP bytes.
    return cTCPSocket::Receive(buffer, length, nullptr);
}

bool cTCPClient::Connect(const u8* address, u16 port, u32 timeoutMs)
{
    Close();
    sockaddr_in& peer = PeerAddress();
    std::memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    std::memcpy(&peer.sin_addr.s_addr, address, 4);

    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        SetLastError(1);
        return false;
    }
    SetHandle(handle);
    const auto fail = [this](i32 code) {
        Close();
        SetLastError(code);
        return false;
    };
    const int one = 1;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    if (!SetSocketMode(handle, eSocketMode::NonBlocking)) {
        return fail(1);
    }
    // A loopback connect may complete at once; otherwise it is waited for.
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) != 0) {
        if (errno != EINPROGRESS) {
            return fail(5);
        }
        const i32 waitError = WaitForConnect(handle, timeoutMs);
        if (waitError != 0) {
            return fail(waitError);
        }
        int error = 0;
        socklen_t size = sizeof(error);
        if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            return fail(3);
        }
    }
    if (!SetSocketMode(handle, eSocketMode::Blocking)) {
        return fail(1);
    }
    SetLastError(0);
    return true;
}

bool ResolveHostAddress(const char* host, u8* address)
{
    if (host == nullptr || *host == 0) {
        return false;
    }
    // inet_pton accepts exactly four decimal fields 0..255 and nothing after them, unlike
    // a "%d.%d.%d.%d" scan that would take "1.2.3.4.example.com" as 1.2.3.4.
    in_addr parsed;
    if (::inet_pton(AF_INET, host, &parsed) == 1) {
        std::memcpy(address, &parsed.s_addr, 4);
        return true;
    }
    const tHostResolver resolver = g_hostResolver.load();
    return resolver != nullptr ? resolver(host, address) : ResolveWithGetaddrinfo(host, address);
}

bool ConnectToHost(cTCPClient& client, const char* host, u16 port)
{
    client.Close();
    u8 address[4];
    if (!ResolveHostAddress(host, address)) {
        client.SetLastError(4);
        return false;
    }
    return client.Connect(address, port, kHostConnectTimeoutMs);
}

void CloseConnection(cTCPSocket& socket) { socket.Close(); }

bool NetworkStartup() { return true; }
