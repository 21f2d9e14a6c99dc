// The TCP client on loopback (a refused connect is among the exchange failures): the
// error codes of timed-out and closed connections, the strict dotted-quad parse before
// the resolver, sends after the peer has gone, and Abort from another thread; the socket
// stream without a connection.
#include "net/http/socketio.h"
#include "net/http/tcpsocket.h"
#include "net/scriptedpeer.h"
#include "testhooks/nethooks.h"

#include <atomic>
#include <chrono>
#include <csignal>

using namespace nettest;

namespace {

const u8 kLoopback[4] = {127, 0, 0, 1};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> g_resolved;

bool RecordingResolver(const char* host, u8* address)
{
    g_resolved.push_back(host);
    const u8 answer[4] = {192, 0, 2, 7};
    std::memcpy(address, answer, 4);
    return std::string(host) != "nowhere.invalid";
}

class cResolverScope
{
public:
    cResolverScope()
    {
        g_resolved.clear();
        SetHostResolverForTesting(RecordingResolver);
    }
    ~cResolverScope() { SetHostResolverForTesting(nullptr); }
};

// A connected peer that sends nothing until released.
class cSilentPeer
{
public:
    cSilentPeer()
    {
        m_server.Serve([this](int) {
            while (!m_release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        EXPECT_TRUE(m_client.Connect(kLoopback, m_server.Port(), 2000));
    }
    ~cSilentPeer() { Release(); }
    void Release()
    {
        m_release = true;
        m_server.Join();
    }
    cTCPClient& Client() { return m_client; }

private:
    cLoopbackServer m_server;
    std::atomic<bool> m_release{false};
    cTCPClient m_client;
};

} // namespace

TEST(TcpClient, SilentPeerTimesOutThenCloseGivesCode4)
{
    cSilentPeer peer;
    cTCPClient& client = peer.Client();
    char buffer[16];
    const sSocketTimeout oneSecond = {1, 0};
    EXPECT_EQ(client.Receive(buffer, sizeof(buffer), &oneSecond), 0);
    EXPECT_EQ(client.GetLastError(), 5);
    peer.Release();
    EXPECT_EQ(client.Receive(buffer, sizeof(buffer), &oneSecond), 0);
    EXPECT_EQ(client.GetLastError(), 4);
}

TEST(TcpClient, SendsAfterThePeerClosedFailWithoutSigpipe)
{
    cLoopbackServer server;
    server.Serve([](int) {});
    cTCPClient client;
    ASSERT_TRUE(client.Connect(kLoopback, server.Port(), 2000));
    server.Join();
    // The first send may still be taken by the kernel; a reset follows and later sends
    // fail (EPIPE) instead of raising SIGPIPE.
    const char data[1024] = {};
    int failures = 0;
    for (int i = 0; i < 20 && failures < 2; ++i) {
        if (client.Send(data, sizeof(data)) == 0) {
            EXPECT_EQ(client.GetLastError(), 1);
            ++failures;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(failures, 2);
}

TEST(TcpClient, AbortFromAnotherThreadEndsAWaitingReceive)
{
    cSilentPeer peer;
    cTCPClient& client = peer.Client();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client.Abort();
    });
    char buffer[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Receive(buffer, sizeof(buffer), nullptr), 0); // 20 s time-out otherwise
    EXPECT_LT(SecondsSince(start), 5.0);
    stopper.join();
}

TEST(ResolveHostAddress, DottedQuadsAreParsedStrictlyBeforeTheResolver)
{
    cResolverScope scope;
    u8 address[4] = {};
    ASSERT_TRUE(ResolveHostAddress("10.0.0.1", address));
    EXPECT_EQ(Bytes(address, address + 4), (Bytes{10, 0, 0, 1}));
    ASSERT_TRUE(ResolveHostAddress("255.255.255.255", address));
    EXPECT_TRUE(g_resolved.empty()) << "no look-up for a dotted quad";

    for (const char* name : {"256.1.1.1", "1.2.3", "1.2.3.4.example.com", "-1.2.3.4", "1.2.3.4 "}) {
        g_resolved.clear();
        ASSERT_TRUE(ResolveHostAddress(name, address)) << name;
        EXPECT_EQ(g_resolved, std::vector<std::string>{name});
        EXPECT_EQ(Bytes(address, address + 4), (Bytes{192, 0, 2, 7})) << name;
    }
    EXPECT_FALSE(ResolveHostAddress("nowhere.invalid", address));
    EXPECT_FALSE(ResolveHostAddress("", address));
    EXPECT_FALSE(ResolveHostAddress(nullptr, address));

    cTCPClient client;
    EXPECT_FALSE(ConnectToHost(client, "nowhere.invalid", 80));
    EXPECT_EQ(client.GetLastError(), 4);
}

// Without a connection nothing is read or sent, and the socket's error is 4.
TEST(SocketIO, WithoutConnection)
{
    cSocketIO stream(nullptr);
    char buffer[8] = {};
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.Read(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(stream.Write(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(stream.Clone(), nullptr);
    cTCPClient unconnected;
    EXPECT_FALSE(cSocketIO(&unconnected).IsOpen());
    EXPECT_EQ(unconnected.Send(buffer, 4), 0);
    EXPECT_EQ(unconnected.GetLastError(), 4);
    EXPECT_EQ(unconnected.Receive(buffer, 4, nullptr), 0);
    EXPECT_EQ(unconnected.GetLastError(), 4);
}
