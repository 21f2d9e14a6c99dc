#pragma once
// The lowest layer of the HTTP client: an IPv4 TCP connection over POSIX sockets with a
// bounded connect time and a receive time-out. Nothing here knows HTTP or TLS; the HTTP
// transport derives from cTCPClient and adds TLS.
//
// Last error codes (GetLastError):
//   0 the last send, receive or connect succeeded
//   1 socket() or poll() failed, send failed, recv failed other than by a time-out
//   2 the connect did not complete within the time given
//   3 the connect failed after waiting (SO_ERROR set, e.g. refused)
//   4 no socket; the peer closed the connection; the host name did not resolve
//   5 connect failed at once (not EINPROGRESS); recv timed out
#include "base/types.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <netinet/in.h>

inline constexpr i32 kConnectTimedOut = 2; // the last error after a connect
inline constexpr i32 kSocketTimedOut = 5;  // the last error after a receive

struct sSocketTimeout
{
    i32 m_seconds;
    i32 m_microseconds;
};

class cTCPSocket
{
public:
    cTCPSocket();
    cTCPSocket(const cTCPSocket&) = delete;
    cTCPSocket& operator=(const cTCPSocket&) = delete;
    // Closes the socket.
    virtual ~cTCPSocket();

    // One send of up to `length` bytes; the count taken (callers loop), 0 on failure.
    // A peer that has closed gives 0 and code 1, never SIGPIPE.
    virtual i32 Send(const void* buffer, i32 length);
    // One recv with the given time-out, or the socket's own when null. 0 on failure,
    // time-out (code 5) or an orderly close by the peer (code 4).
    virtual i32 Receive(void* buffer, i32 length, const sSocketTimeout* timeout);

    // One recv with the socket's own receive time-out, bypassing the virtual Receive:
    // the HTTP transport feeds the TLS engine with it.
    i32 ReceiveRaw(void* buffer, i32 length);

    // Shuts the connection down in both directions from any thread, without closing
    // the handle: a recv or poll in progress on the owning thread returns at once.
    void Abort();

    bool IsConnected() const { return m_handle.load() >= 0; }
    i32 GetLastError() const { return m_lastError; }
    void SetLastError(i32 code) { m_lastError = code; }
    void SetReceiveTimeout(const sSocketTimeout& timeout) { m_receiveTimeout = timeout; }
    // The HTTP layer's second pair; no socket option is set from it.
    void SetSecondTimeout(const sSocketTimeout& timeout) { m_secondTimeout = timeout; }
    // Every later receive waits at most until `deadline` and, once it has passed, fails
    // at once as timed out (code 5), whatever its own time-out; the default value sets
    // none. A peer that trickles bytes then cannot hold a receiver past it.
    void SetReceiveDeadline(std::chrono::steady_clock::time_point deadline)
    {
        m_receiveDeadline = deadline;
    }

    // Shutdown both ways, close, handle -1. Nothing when there is no socket.
    void Close();


protected:
    // Stores a new handle, closing any other first.
    void SetHandle(int handle);
    sockaddr_in& PeerAddress() { return m_peerAddress; }

private:
    // Sets SO_RCVTIMEO when it differs from what the socket has; false on failure.
    bool ApplyReceiveTimeout(const sSocketTimeout& timeout);
    // `timeout` shortened to the time left before the receive deadline; false once that
    // has passed.
    bool FitToDeadline(sSocketTimeout& timeout) const;
    // recv with EINTR retried; sets the last error.
    i32 RecvOnce(void* buffer, i32 length);
    // False, with code 4 without a socket, when there is nothing to transfer.
    bool CanTransfer(int handle, i32 length);

    // Read atomically so that Abort may run on another thread; Abort and Close take
    // m_closeMutex, so that Abort never shuts down a number that Close has just released
    // and another connection has reused.
    std::atomic<int> m_handle{-1};
    std::mutex m_closeMutex;
    sSocketTimeout m_receiveTimeout;
    sSocketTimeout m_secondTimeout;
    std::chrono::steady_clock::time_point m_receiveDeadline;
    i64 m_appliedTimeoutMs = -1; // what SO_RCVTIMEO holds; -1 unknown
    i32 m_lastError = 0;
    sockaddr_in m_peerAddress;
};

class cTCPClient : public cTCPSocket
{
public:
    // Connects to the IPv4 `address` (four bytes, network order) and `port`, waiting at
    // most `timeoutMs`. False with the code set (1, 2, 3 or 5).
    virtual bool Connect(const u8* address, u16 port, u32 timeoutMs);
};

// Closes any open socket of `client`, resolves `host` and calls the client's virtual
// Connect with a 20000 ms limit. A host that does not resolve gives code 4.
[[nodiscard]] bool ConnectToHost(cTCPClient& client, const char* host, u16 port);

// A dotted quad (exactly four decimal fields 0..255, the whole text) is taken as it
// stands; anything else goes to the resolver (getaddrinfo, IPv4 only), whose first
// address is taken. False when nothing resolves.
[[nodiscard]] bool ResolveHostAddress(const char* host, u8* address);

// Shutdown both ways and close; nothing when there is no socket.
void CloseConnection(cTCPSocket& socket);

// Network start-up before the first connection. POSIX sockets need no library start-up,
// so it always succeeds; callers keep the step so that a failure would still fail them.
[[nodiscard]] bool NetworkStartup();

// A name resolver that replaces getaddrinfo behind ResolveHostAddress when set; null in
// the program. Only the test hooks (testhooks/nethooks.h) set it.
using tHostResolver = bool (*)(const char* host, u8* address);
extern std::atomic<tHostResolver> g_hostResolver;
