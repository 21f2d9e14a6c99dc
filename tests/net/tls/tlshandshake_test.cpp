// The TLS handshake against the RFC 8448 traces (replayed byte for byte with the client's
// key and ClientHello injected, in-process through the engine, the server's bytes cut at
// every offset) and against re-framed server flights sealed by libcrypto.
#include "net/engineplay.h"
#include "net/vectors.h"
#include "recordsealer.h"
#include "rfc8448trace.h"

#include <openssl/hmac.h>

using namespace nettest;

namespace {

Bytes Slice(const Bytes& bytes, size_t start, size_t end)
{
    return Bytes(bytes.begin() + long(start), bytes.begin() + long(end));
}

// The values of one RFC 8448 example (section 3 or 7).
struct sTraceExample
{
    Bytes m_clientPrivate;
    Bytes m_clientHello;        // message
    Bytes m_clientHelloRecord;
    Bytes m_serverHelloRecord;
    Bytes m_serverChangeCipherSpec; // section 7 only
    Bytes m_flightRecord;
    Bytes m_flightPlaintext;    // EE | Certificate | CertificateVerify | Finished
    Bytes m_clientFinishedRecord;
};

sTraceExample ReadSimpleExample(cRfc8448Trace& trace)
{
    sTraceExample example;
    EXPECT_TRUE(trace.EnterSection("3.  Simple 1-RTT Handshake"));
    example.m_clientPrivate = trace.Read("{client}  create an ephemeral x25519 key pair:", "private key");
    example.m_clientHello = trace.Read("{client}  send handshake record:", "payload");
    example.m_clientHelloRecord = trace.Read("", "complete record");
    example.m_serverHelloRecord = trace.Read("{server}  send handshake record:", "complete record");
    example.m_flightPlaintext = trace.Read("{server}  send handshake record:", "payload");
    example.m_flightRecord = trace.Read("", "complete record");
    example.m_clientFinishedRecord = trace.Read("{client}  send handshake record:", "complete record");
    return example;
}

// The client engine against `flight` (after the trace's ClientHello, which it must send
// first): whether it opened, and what it sent after the ClientHello.
struct sEngineRun
{
    eTlsEngineState m_state;
    Bytes m_clientSent;
};

sEngineRun RunAgainstFlight(const sTraceExample& example, const Bytes& flight)
{
    sEngineRig rig; // the trace certificate is self-signed and expired: the verifier accepts
    rig.m_hooks.m_privateKey = example.m_clientPrivate;
    rig.m_hooks.m_clientHello = example.m_clientHello;
    EXPECT_TRUE(rig.m_engine.Start("server"));
    EXPECT_EQ(ToHex(TakeSent(rig.m_engine)), ToHex(example.m_clientHelloRecord));
    Feed(rig.m_engine, flight);
    const Bytes sent = TakeSent(rig.m_engine);
    rig.m_engine.EndOfInput(); // a flight cut short fails here
    return {rig.m_engine.GetState(), sent};
}

const Bytes kChangeCipherSpec = {0x14, 0x03, 0x03, 0x00, 0x01, 0x01};

// The RFC 8448 3 server handshake key and IV (the server's write keys for handshake data).
struct sFlightKeys
{
    Bytes m_key;
    Bytes m_iv;
};

sFlightKeys ReadFlightKeys(cRfc8448Trace& trace)
{
    EXPECT_TRUE(trace.EnterSection("3.  Simple 1-RTT Handshake"));
    sFlightKeys keys;
    keys.m_key = trace.Read("{server}  derive write traffic keys for handshake data:", "key expanded");
    keys.m_iv = trace.Read("", "iv expanded");
    return keys;
}

// The four messages of the server flight, split by their headers.
std::vector<Bytes> SplitMessages(const Bytes& plaintext)
{
    std::vector<Bytes> messages;
    size_t at = 0;
    while (at + 4 <= plaintext.size()) {
        const size_t size = 4 + ((size_t(plaintext[at + 1]) << 16) | (size_t(plaintext[at + 2]) << 8) |
                                 plaintext[at + 3]);
        messages.push_back(Slice(plaintext, at, at + size));
        at += size;
    }
    return messages;
}

// Seals each piece (handshake content, inner type 22) as its own record, in order.
Bytes SealPieces(const sFlightKeys& keys, const std::vector<Bytes>& pieces)
{
    Bytes flight;
    uint64_t sequence = 0;
    for (const Bytes& piece : pieces) {
        Bytes inner = piece;
        inner.push_back(22);
        const Bytes record = SealTls13Record(keys.m_key, keys.m_iv, sequence++, inner);
        flight.insert(flight.end(), record.begin(), record.end());
    }
    return flight;
}

class TlsHandshakeReplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QEL_REQUIRE(m_trace.Loaded(), "RFC 8448 trace in the shared test data");
        m_example = ReadSimpleExample(m_trace);
        m_keys = ReadFlightKeys(m_trace);
        m_messages = SplitMessages(m_example.m_flightPlaintext);
        ASSERT_EQ(m_messages.size(), 4u);
        m_expected = JoinBytes({kChangeCipherSpec, m_example.m_clientFinishedRecord});
    }

    // The client must finish with exactly the trace's client Finished record.
    void ExpectFinishes(const Bytes& flight)
    {
        const sEngineRun run = RunAgainstFlight(m_example, JoinBytes({m_example.m_serverHelloRecord, flight}));
        EXPECT_EQ(ToHex(run.m_clientSent), ToHex(m_expected));
    }
    void ExpectFails(const Bytes& flight)
    {
        const sEngineRun run = RunAgainstFlight(m_example, JoinBytes({m_example.m_serverHelloRecord, flight}));
        EXPECT_EQ(run.m_state, eTlsEngineState::Failed);
        EXPECT_TRUE(run.m_clientSent.empty()) << "nothing goes out after a failure";
    }

    cRfc8448Trace m_trace;
    sTraceExample m_example;
    sFlightKeys m_keys;
    std::vector<Bytes> m_messages;
    Bytes m_expected;
};

} // namespace

// RFC 8448 3 in-process, the server's bytes (hello, flight, ticket, data) cut once at every
// offset: the engine sends the trace's Finished, hands out the trace's data and ends in
// order at the close_notify whatever the record boundaries; its data record is the trace's.
TEST(TlsHandshakeTrace, SimpleHandshakeSplitAtEveryOffset)
{
    cRfc8448Trace trace;
    QEL_REQUIRE(trace.Loaded(), "RFC 8448 trace in the shared test data");
    const sTraceExample example = ReadSimpleExample(trace);
    const Bytes ticketRecord = trace.Read("{server}  send handshake record:", "complete record");
    const Bytes clientData = trace.Read("{client}  send application_data record:", "payload");
    const Bytes clientDataRecord = trace.Read("", "complete record");
    const Bytes serverData = trace.Read("{server}  send application_data record:", "payload");
    const Bytes serverDataRecord = trace.Read("", "complete record");
    const Bytes serverAlertRecord = trace.Read("{server}  send alert record:", "complete record");
    const Bytes serverStream = JoinBytes({example.m_serverHelloRecord, example.m_flightRecord, ticketRecord,
                                          serverDataRecord});
    const Bytes expected = JoinBytes({kChangeCipherSpec, example.m_clientFinishedRecord});
    for (size_t cut = 1; cut < serverStream.size(); ++cut) {
        SCOPED_TRACE(cut);
        sEngineRig rig;
        rig.m_hooks.m_privateKey = example.m_clientPrivate;
        rig.m_hooks.m_clientHello = example.m_clientHello;
        ASSERT_TRUE(rig.m_engine.Start("server"));
        ASSERT_EQ(TakeSent(rig.m_engine), example.m_clientHelloRecord);
        Bytes plaintext;
        ASSERT_TRUE(Feed(rig.m_engine, Slice(serverStream, 0, cut), SIZE_MAX, &plaintext));
        ASSERT_TRUE(Feed(rig.m_engine, Slice(serverStream, cut, serverStream.size()), SIZE_MAX, &plaintext));
        ASSERT_EQ(ToHex(TakeSent(rig.m_engine)), ToHex(expected));
        ASSERT_EQ(plaintext, serverData);
        if (cut == 1) {
            // The trace's client data (the 50 bytes 00..31) seals to the trace's record.
            ASSERT_EQ(clientData.size(), 50u);
            EXPECT_EQ(rig.m_engine.WritePlaintext(clientData.data(), 50), 50u);
            EXPECT_EQ(ToHex(TakeSent(rig.m_engine)), ToHex(clientDataRecord));
        }
        ASSERT_TRUE(Feed(rig.m_engine, serverAlertRecord));
        ASSERT_EQ(rig.m_engine.GetState(), eTlsEngineState::Closed) << "close_notify ends the data in order";
        if (cut > 1) {
            continue;
        }
        // The verifier saw the Certificate and the content the CertificateVerify signs.
        const cRecordingVerifier& seen = rig.m_verifier;
        ASSERT_GT(seen.m_certificate.size(), 4u);
        EXPECT_EQ(seen.m_certificate[0], 11);
        EXPECT_EQ(seen.m_verifyMessage[0], 15);
        ASSERT_EQ(seen.m_signedContent.size(), 64 + 34 + 32u);
        EXPECT_EQ(Bytes(seen.m_signedContent.begin(), seen.m_signedContent.begin() + 64), Bytes(64, 0x20));
        EXPECT_EQ(std::string(seen.m_signedContent.begin() + 64, seen.m_signedContent.begin() + 98),
                  std::string("TLS 1.3, server CertificateVerify", 34));
        const sTlsSession& session = rig.m_engine.GetSession();
        ASSERT_GT(session.m_skippedMessage.GetCount(), 0);
        EXPECT_EQ(session.m_skippedMessage.GetData()[0], 4) << "the NewSessionTicket is kept as the skipped message";
    }
}

// RFC 8448 7: the server sends a ChangeCipherSpec after its ServerHello.
TEST(TlsHandshakeTrace, CompatibilityModeReplaysByteForByte)
{
    cRfc8448Trace trace;
    QEL_REQUIRE(trace.Loaded(), "RFC 8448 trace in the shared test data");
    ASSERT_TRUE(trace.EnterSection("7.  Compatibility Mode"));
    sTraceExample example;
    example.m_clientPrivate = trace.Read("{client}  create an ephemeral x25519 key pair:", "private key");
    example.m_clientHello = trace.Read("{client}  send handshake record:", "payload");
    example.m_clientHelloRecord = trace.Read("", "complete record");
    example.m_serverHelloRecord = trace.Read("{server}  send handshake record:", "complete record");
    example.m_serverChangeCipherSpec = trace.Read("{server}  send change_cipher_spec record:", "complete record");
    example.m_flightRecord = trace.Read("{server}  send handshake record:", "complete record");
    const Bytes clientChangeCipherSpec = trace.Read("{client}  send change_cipher_spec record:", "complete record");
    example.m_clientFinishedRecord = trace.Read("{client}  send handshake record:", "complete record");
    ASSERT_EQ(clientChangeCipherSpec, kChangeCipherSpec);

    const Bytes expected = JoinBytes({clientChangeCipherSpec, example.m_clientFinishedRecord});
    const Bytes serverStream =
        JoinBytes({example.m_serverHelloRecord, example.m_serverChangeCipherSpec, example.m_flightRecord});
    // Every record whole, then the stream cut at every offset inside the ServerHello and
    // the ChangeCipherSpec (the flight's cuts are the 1-RTT replay's).
    for (size_t cut = 0; cut <= example.m_serverHelloRecord.size() + 6; ++cut) {
        SCOPED_TRACE(cut);
        sEngineRig rig;
        rig.m_hooks.m_privateKey = example.m_clientPrivate;
        rig.m_hooks.m_clientHello = example.m_clientHello;
        ASSERT_TRUE(rig.m_engine.Start("server"));
        ASSERT_EQ(TakeSent(rig.m_engine), example.m_clientHelloRecord);
        ASSERT_TRUE(Feed(rig.m_engine, Slice(serverStream, 0, cut)));
        ASSERT_TRUE(Feed(rig.m_engine, Slice(serverStream, cut, serverStream.size())));
        ASSERT_EQ(rig.m_engine.GetState(), eTlsEngineState::Open);
        ASSERT_EQ(ToHex(TakeSent(rig.m_engine)), ToHex(expected));
    }
}

// RFC 8448 6: the server asks for a client certificate. We have none and answer with an
// empty Certificate (RFC 8446 4.4.2) before our Finished, in one record under the client
// handshake key; the Finished covers that Certificate (checked with libcrypto's HMAC over
// the trace's messages), the application secrets do not (the trace's).
TEST(TlsHandshakeTrace, CertificateRequestAnsweredWithNoCertificate)
{
    cRfc8448Trace trace;
    QEL_REQUIRE(trace.Loaded(), "RFC 8448 trace in the shared test data");
    ASSERT_TRUE(trace.EnterSection("6.  Client Authentication"));
    const Bytes clientPrivate = trace.Read("{client}  create an ephemeral x25519 key pair:", "private key");
    const Bytes clientHello = trace.Read("{client}  send handshake record:", "payload");
    const Bytes clientHelloRecord = trace.Read("", "complete record");
    const Bytes clientHandshakeSecret = trace.Read("{server}  derive secret \"tls13 c hs traffic\":", "expanded");
    const Bytes serverHello = trace.Read("{server}  send handshake record:", "payload");
    const Bytes serverHelloRecord = trace.Read("", "complete record");
    const Bytes flight = trace.Read("{server}  send handshake record:", "payload");
    const Bytes flightRecord = trace.Read("", "complete record");
    const Bytes clientApplicationSecret = trace.Read("{server}  derive secret \"tls13 c ap traffic\":", "expanded");
    const Bytes clientKey = trace.Read("{server}  derive read traffic keys for handshake data:", "key expanded");
    const Bytes clientIv = trace.Read("", "iv expanded");
    ASSERT_EQ(flight[0], 8);

    sEngineRig rig;
    rig.m_hooks.m_privateKey = clientPrivate;
    rig.m_hooks.m_clientHello = clientHello;
    ASSERT_TRUE(rig.m_engine.Start("server"));
    ASSERT_EQ(TakeSent(rig.m_engine), clientHelloRecord);
    ASSERT_TRUE(Feed(rig.m_engine, JoinBytes({serverHelloRecord, flightRecord})));
    ASSERT_EQ(rig.m_engine.GetState(), eTlsEngineState::Open);
    const Bytes sent = TakeSent(rig.m_engine);
    ASSERT_GT(sent.size(), kChangeCipherSpec.size());
    EXPECT_EQ(Slice(sent, 0, 6), kChangeCipherSpec);
    const Bytes plain = OpenTls13RecordWithLibcrypto(clientKey, clientIv, 0, Slice(sent, 6, sent.size()));

    const Bytes emptyCertificate = {11, 0, 0, 4, 0, 0, 0, 0};
    const Bytes transcript = JoinBytes({clientHello, serverHello, flight, emptyCertificate});
    uint8_t hash[32];
    EVP_Digest(transcript.data(), transcript.size(), hash, nullptr, EVP_sha256(), nullptr);
    const Bytes finishedKey = ExpandLabelWithLibcrypto(clientHandshakeSecret, "finished", 32);
    Bytes verifyData(32);
    HMAC(EVP_sha256(), finishedKey.data(), int(finishedKey.size()), hash, sizeof(hash), verifyData.data(), nullptr);
    EXPECT_EQ(ToHex(plain), ToHex(JoinBytes({emptyCertificate, {20, 0, 0, 32}, verifyData, {22}})));
    ASSERT_EQ(rig.m_hooks.m_keyLog.size(), 4u);
    EXPECT_EQ(rig.m_hooks.m_keyLog[2].substr(rig.m_hooks.m_keyLog[2].rfind(' ') + 1), ToHex(clientApplicationSecret));
}

TEST_F(TlsHandshakeReplay, ChangeCipherSpecBetweenEncryptedRecords)
{
    const Bytes first = SealPieces(m_keys, {JoinBytes({m_messages[0], m_messages[1]})});
    Bytes inner = JoinBytes({m_messages[2], m_messages[3]});
    inner.push_back(22);
    const Bytes second = SealTls13Record(m_keys.m_key, m_keys.m_iv, 1, inner);
    ExpectFinishes(JoinBytes({first, kChangeCipherSpec, second}));
    // A second ChangeCipherSpec is one too many.
    ExpectFails(JoinBytes({kChangeCipherSpec, first, kChangeCipherSpec, second}));
}

// A changed Finished, messages out of order or after the Finished, an alert, a cut
// flight, application data too early.
TEST_F(TlsHandshakeReplay, FlightsThatFail)
{
    Bytes finished = m_messages[3];
    finished.back() ^= 0x01;
    ExpectFails(SealPieces(m_keys, {m_messages[0], m_messages[1], m_messages[2], finished}));
    ExpectFails(SealPieces(m_keys, {m_messages[1], m_messages[0], m_messages[2], m_messages[3]}));
    // Bytes of a further message after the Finished would span the key change.
    ExpectFails(SealPieces(m_keys, {m_messages[0], m_messages[1], m_messages[2],
                                    JoinBytes({m_messages[3], Bytes{8, 0}})}));
    // An alert in the flight, and a flight cut short.
    ExpectFails(JoinBytes({SealPieces(m_keys, {m_messages[0]}), Bytes{0x15, 3, 3, 0, 2, 2, 40}}));
    ExpectFails(SealPieces(m_keys, {m_messages[0], m_messages[1]}));
    // Application data before the handshake is done.
    Bytes inner = m_messages[0];
    inner.push_back(23);
    ExpectFails(SealTls13Record(m_keys.m_key, m_keys.m_iv, 0, inner));
}
