// Scripted server flights, fed to the engine in-process, against the ServerHello parser:
// the host name limits of the ClientHello, hostile ServerHellos, and scripted TLS 1.2
// flights. What the client does next tells how far it got: the handshake keys it logs
// (TLS 1.3) or the ClientKeyExchange it sends (TLS 1.2).
#include "net/engineplay.h"
#include "net/vectors.h"

using namespace nettest;

namespace {

Bytes Message(uint8_t type, const Bytes& body)
{
    return JoinBytes({{type, uint8_t(body.size() >> 16), uint8_t(body.size() >> 8), uint8_t(body.size())}, body});
}

Bytes Record(uint8_t type, const Bytes& body, uint8_t minor = 3)
{
    return JoinBytes({{type, 3, minor, uint8_t(body.size() >> 8), uint8_t(body.size())}, body});
}

Bytes Extension(uint16_t type, const Bytes& body)
{
    return JoinBytes({{uint8_t(type >> 8), uint8_t(type), uint8_t(body.size() >> 8), uint8_t(body.size())}, body});
}

const Bytes kServerKey = Hex("de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f"); // RFC 7748 6.1
const Bytes kServerRandom(32, 0x5a);

// A ServerHello body: version, random, session id, suite, compression, extensions.
Bytes ServerHelloBody(const Bytes& random, const Bytes& sessionId, Bytes suite, const Bytes& extensions,
                      bool withExtensions = true)
{
    Bytes body = JoinBytes({{3, 3}, random, {uint8_t(sessionId.size())}, sessionId, suite, {0}});
    if (withExtensions) {
        body = JoinBytes({body, {uint8_t(extensions.size() >> 8), uint8_t(extensions.size())}, extensions});
    }
    return body;
}

Bytes Tls13Extensions(const Bytes& versions, const Bytes& keyShare)
{
    return JoinBytes({Extension(43, versions), Extension(51, keyShare)});
}

const Bytes kVersions13 = {3, 4};
const Bytes kShare = JoinBytes({{0x00, 0x1d, 0x00, 0x20}, kServerKey});

struct sRun
{
    bool m_connected;
    Bytes m_clientHello; // the record
    Bytes m_afterHello;  // what the client sent after it
    std::vector<std::string> m_keyLog;
    cRecordingVerifier m_seen; // the scripted certificates are dummies: it accepts them
};

// The engine against `flight`, sent after the ClientHello; then the server's end.
sRun PlayFlight(const Bytes& flight, const std::string& host = "example.test")
{
    sRun run;
    cTestHooks hooks;
    cTlsEngine engine(run.m_seen);
    InstallTlsEngineHooksForTesting(engine, &hooks);
    const bool started = engine.Start(host.c_str());
    run.m_clientHello = TakeSent(engine);
    if (started) {
        Feed(engine, flight);
        run.m_afterHello = TakeSent(engine);
        engine.EndOfInput();
    }
    run.m_connected = engine.GetState() == eTlsEngineState::Open;
    run.m_keyLog = hooks.m_keyLog;
    return run;
}

Bytes ServerHelloRecord(const Bytes& body) { return Record(22, Message(2, body)); }

// A TLS 1.2 flight in one record: ServerHello without extensions, Certificate,
// ServerKeyExchange (x25519 with a dummy signature) and ServerHelloDone.
Bytes Tls12Flight(const Bytes& random, Bytes suite, const Bytes& serverKey, const Bytes& extra = {})
{
    const Bytes certificate = Message(11, {0, 0, 3, 0, 0, 0});
    const Bytes keyExchange = Message(12, JoinBytes({{3, 0, 0x1d, 32}, serverKey, {4, 1, 0, 2, 0xab, 0xcd}}));
    return Record(22, JoinBytes({Message(2, ServerHelloBody(random, Bytes(32, 2), suite, {}, false)), certificate,
                            extra, keyExchange, Message(14, {})}));
}

} // namespace

TEST(TlsClientHello, HostNamesAtAndBeyondTheLimit)
{
    EXPECT_EQ(PlayFlight({}, "127.0.0.1").m_clientHello.size(), 192u + 9) << "server name also for an address";
    EXPECT_EQ(PlayFlight({}, std::string(253, 'a')).m_clientHello.size(), 192u + 253);
    EXPECT_TRUE(PlayFlight({}, std::string(254, 'a')).m_clientHello.empty());
}

TEST(TlsServerHello, ValidTls13HelloReachesTheHandshakeKeys)
{
    const sRun run = PlayFlight(ServerHelloRecord(ServerHelloBody(kServerRandom, Bytes(32, 1), {0x13, 0x01},
                                                           Tls13Extensions(kVersions13, kShare))));
    EXPECT_FALSE(run.m_connected);
    EXPECT_EQ(run.m_keyLog.size(), 2u);
    // The same in two records, the message header split between them.
    const Bytes message = Message(2, ServerHelloBody(kServerRandom, Bytes(32, 1), {0x13, 0x02},
                                                     Tls13Extensions(kVersions13, kShare)));
    const sRun split = PlayFlight(JoinBytes({Record(22, Bytes(message.begin(), message.begin() + 2), 1),
                                 Record(22, Bytes(message.begin() + 2, message.end()))}));
    EXPECT_EQ(split.m_keyLog.size(), 2u);
}

// TLS 1.3 hellos, then TLS 1.2 flights that must fail before the key exchange.
TEST(TlsServerHello, HostileHellosFailBeforeAnyKey)
{
    Bytes sentinel = kServerRandom;
    const Bytes downgrade = Hex("444f574e47524401");
    std::copy(downgrade.begin(), downgrade.end(), sentinel.begin() + 24);
    Bytes sentinel11 = sentinel;
    sentinel11[31] = 0;
    // Wycheproof x25519 tcId 32: a low-order point whose shared secret is all zero.
    const Bytes lowOrder = Hex("0000000000000000000000000000000000000000000000000000000000000000");
    const Bytes request = Message(13, {1, 1, 0, 0});
    const Bytes sid(32, 1);
    const Bytes good = Tls13Extensions(kVersions13, kShare);
    Bytes claimsSid = ServerHelloBody(kServerRandom, Bytes(), {0x13, 0x01}, good, false);
    claimsSid.resize(38); // version, random, then a 32-byte session id that is not there
    claimsSid.push_back(32);
    claimsSid.resize(44 - 4, 0);
    struct sHostile
    {
        const char* m_name;
        Bytes m_flight;
    };
    const std::vector<sHostile> hostile = {
        {"SessionIdOf33", ServerHelloRecord(ServerHelloBody(kServerRandom, Bytes(33, 1), {0x13, 0x01}, good))},
        {"BodyShorterThanItsSessionId", ServerHelloRecord(claimsSid)},
        {"OnlyTls12InSupportedVersions", ServerHelloRecord(ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, Tls13Extensions({3, 3}, kShare)))},
        {"AllZeroKeyShare", ServerHelloRecord(ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, Tls13Extensions(kVersions13, JoinBytes({{0, 0x1d, 0, 0x20}, Bytes(32, 0)}))))},
        {"HelloRetryRequestShare", ServerHelloRecord(ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, Tls13Extensions(kVersions13, {0, 0x17})))},
        {"NoKeyShare", ServerHelloRecord(ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, Extension(43, kVersions13)))},
        {"SuiteNotOffered", ServerHelloRecord(ServerHelloBody(kServerRandom, sid, {0x13, 0x03}, good))},
        {"Compression", [&] { Bytes b = ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, good); b[2 + 32 + 1 + 32 + 2] = 1; return ServerHelloRecord(b); }()},
        {"ExtensionPastTheEnd", ServerHelloRecord(ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, JoinBytes({good, {0, 0x2b, 0, 9, 3}})))},
        {"WrongMessageType", Record(22, Message(11, ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, good)))},
        {"AlertInstead", Record(21, {2, 40})},
        {"Sslv3Record", Record(22, Message(2, ServerHelloBody(kServerRandom, sid, {0x13, 0x01}, good)), 0)},
        {"MessageOver64KiB", Record(22, {2, 1, 0, 1})},
        {"DowngradeSentinel", Tls12Flight(sentinel, {0xc0, 0x13}, kServerKey)},
        {"DowngradeSentinelTls11", Tls12Flight(sentinel11, {0xc0, 0x14}, kServerKey)},
        {"Tls13SuiteWithoutSupportedVersions", Tls12Flight(kServerRandom, {0x13, 0x01}, kServerKey)},
        {"GcmSuite", Tls12Flight(kServerRandom, {0xc0, 0x2f}, kServerKey)},
        {"ZeroServerKey", Tls12Flight(kServerRandom, {0xc0, 0x13}, lowOrder)},
        {"CertificateRequestBeforeKeyExchange", Tls12Flight(kServerRandom, {0xc0, 0x13}, kServerKey, request)},
    };
    for (const sHostile& test : hostile) {
        SCOPED_TRACE(test.m_name);
        const sRun run = PlayFlight(test.m_flight);
        EXPECT_FALSE(run.m_connected);
        EXPECT_TRUE(run.m_afterHello.empty());
        EXPECT_TRUE(run.m_keyLog.empty());
    }
}
