// The record layer: record sizes and sequence numbers checked by libcrypto opening what an
// engine opened by the RFC 8448 handshake seals, records sealed by libcrypto (good,
// padded, empty, split tickets, tampered, cut, oversized) as it receives them, and the
// TLS 1.2 constant-time MAC and padding check against libcrypto's HMAC.
#include "net/crypto/aescipher.h"
#include "net/engineplay.h"
#include "net/tls/tlscbcmac.h"
#include "net/tls/tlsrecord.h"
#include "recordsealer.h"
#include "rfc8448trace.h"

#include <openssl/hmac.h>

using namespace nettest;

namespace {

const Bytes kServerMac = Hex("e0e1e2e3e4e5e6e7e8e9eaebecedeeeff0f1f2f3");

// An engine opened by the RFC 8448 3 handshake, with the trace's application keys.
class cTraceEngine
{
public:
    cTraceEngine()
    {
        cRfc8448Trace trace;
        EXPECT_TRUE(trace.Loaded());
        EXPECT_TRUE(trace.EnterSection("3.  Simple 1-RTT Handshake"));
        m_rig.m_hooks.m_privateKey = trace.Read("{client}  create an ephemeral x25519 key pair:", "private key");
        m_rig.m_hooks.m_clientHello = trace.Read("{client}  send handshake record:", "payload");
        const Bytes serverHello = trace.Read("{server}  send handshake record:", "complete record");
        const Bytes flight = trace.Read("{server}  send handshake record:", "complete record");
        m_serverKey = trace.Read("{server}  derive write traffic keys for application data:", "key expanded");
        m_serverIv = trace.Read("", "iv expanded");
        m_clientKey = trace.Read("{client}  derive write traffic keys for application data:", "key expanded");
        m_clientIv = trace.Read("", "iv expanded");
        EXPECT_TRUE(m_rig.m_engine.Start("server"));
        TakeSent(m_rig.m_engine);
        Feed(m_rig.m_engine, JoinBytes({serverHello, flight}));
        TakeSent(m_rig.m_engine);
        EXPECT_EQ(m_rig.m_engine.GetState(), eTlsEngineState::Open);
    }

    cTlsEngine& Engine() { return m_rig.m_engine; }
    void PeerSends(const Bytes& bytes) { Feed(m_rig.m_engine, bytes); }
    // The plaintext waiting, up to `capacity` bytes.
    std::string ReceiveOnce(size_t capacity = 1 << 16)
    {
        std::string buffer(capacity, '\0');
        buffer.resize(m_rig.m_engine.ReadPlaintext(reinterpret_cast<u8*>(buffer.data()), u32(capacity)));
        return buffer;
    }
    bool HasFailed() const { return m_rig.m_engine.GetState() == eTlsEngineState::Failed; }

    sEngineRig m_rig;
    Bytes m_serverKey, m_serverIv, m_clientKey, m_clientIv;
};

Bytes Inner(const std::string& data, uint8_t type, size_t padding = 0)
{
    Bytes inner(data.begin(), data.end());
    inner.push_back(type);
    inner.insert(inner.end(), padding, 0);
    return inner;
}

Bytes Counting(size_t size)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = uint8_t(i * 7 + 3);
    }
    return data;
}

} // namespace

TEST(TlsRecordWrite, Tls13SizesAndSequenceNumbers)
{
    cTraceEngine pair;
    const Bytes hundred = Counting(100);
    ASSERT_EQ(pair.Engine().WritePlaintext(hundred.data(), 100), 100u);
    const Bytes record = TakeSent(pair.Engine());
    ASSERT_EQ(record.size(), 5 + 101 + 16u);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 5), (Bytes{0x17, 3, 3, 0, 117}));
    Bytes expected = hundred;
    expected.push_back(23);
    EXPECT_EQ(OpenTls13RecordWithLibcrypto(pair.m_clientKey, pair.m_clientIv, 0, record), expected);

    // 40000 bytes: 16384 + 16384 + 7232, one record each, consecutive sequence numbers;
    // nothing more is taken while a record waits to be sent.
    const Bytes large = Counting(40000);
    size_t at = 0;
    for (uint64_t sequence = 1; sequence <= 3; ++sequence) {
        const u32 taken = pair.Engine().WritePlaintext(large.data() + at, u32(large.size() - at));
        ASSERT_EQ(taken, sequence < 3 ? 16384u : 7232u);
        EXPECT_EQ(pair.Engine().WritePlaintext(large.data(), 1), 0u);
        const Bytes piece = OpenTls13RecordWithLibcrypto(pair.m_clientKey, pair.m_clientIv, sequence,
                                                        TakeSent(pair.Engine()));
        ASSERT_EQ(piece.size(), taken + 1u);
        EXPECT_EQ(Bytes(piece.begin(), piece.end() - 1), Bytes(large.begin() + long(at), large.begin() + long(at + taken)));
        at += taken;
    }
}

// Records sealed with the RFC 8448 3 server application key, after the handshake.
class TlsRecordReframed : public ::testing::Test
{
protected:
    Bytes Seal(const Bytes& inner) { return SealTls13Record(m_pair.m_serverKey, m_pair.m_serverIv, m_sequence++, inner); }

    cTraceEngine m_pair;
    uint64_t m_sequence = 0;
};

TEST_F(TlsRecordReframed, PaddingEmptyRecordsAndSplitTickets)
{
    // A NewSessionTicket split over two records, with its header split too.
    const Bytes ticket = {4, 0, 0, 9, 0, 0, 0, 30, 1, 2, 3, 4, 0};
    Bytes first(ticket.begin(), ticket.begin() + 2);
    first.push_back(22);
    Bytes second(ticket.begin() + 2, ticket.end());
    second.push_back(22);
    m_pair.PeerSends(Seal(first));
    m_pair.PeerSends(Seal(second));
    m_pair.PeerSends(Seal(Inner("", 23)));                // empty: skipped
    m_pair.PeerSends(Seal(Inner("padded data", 23, 200))); // zeros after the type
    EXPECT_EQ(m_pair.ReceiveOnce(), "padded data");
    const sTlsSession& session = m_pair.Engine().GetSession();
    EXPECT_EQ(Bytes(session.m_skippedMessage.GetData(), session.m_skippedMessage.GetData() + session.m_skippedMessage.GetCount()),
              ticket);

    // 32 empty records in a row are still waited through.
    for (int i = 0; i < 32; ++i) {
        m_pair.PeerSends(Seal(Inner("", 23)));
    }
    m_pair.PeerSends(Seal(Inner("after 32", 23)));
    EXPECT_EQ(m_pair.ReceiveOnce(), "after 32");

    // The close_notify alert ends the data in order.
    m_pair.PeerSends(Seal(Inner(std::string("\x01\x00", 2), 21)));
    EXPECT_EQ(m_pair.ReceiveOnce(), "");
    EXPECT_EQ(m_pair.Engine().GetState(), eTlsEngineState::Closed);
}

// Forty empty records in a row end the data: a peer cannot keep the reader busy for free.
TEST_F(TlsRecordReframed, FortyEmptyRecordsEndTheData)
{
    for (int i = 0; i < 40; ++i) {
        m_pair.PeerSends(Seal(Inner("", 23)));
    }
    m_pair.PeerSends(Seal(Inner("late", 23)));
    EXPECT_EQ(m_pair.ReceiveOnce(), "");
    EXPECT_TRUE(m_pair.HasFailed());
}

TEST_F(TlsRecordReframed, RecordsThatEndTheConnection)
{
    struct sBad
    {
        const char* m_name;
        Bytes m_record;
        eTlsFailure m_reason;
    };
    // Each record is the first after the handshake: sequence number 0.
    const auto first = [&](const Bytes& inner) { return SealTls13Record(m_pair.m_serverKey, m_pair.m_serverIv, 0, inner); };
    Bytes tampered = first(Inner("data", 23));
    tampered[7] ^= 1;
    const std::vector<sBad> bad = {
        {"AllZeroInnerPlaintext", first(Bytes(20, 0)), eTlsFailure::RecordAuthentication},
        {"TamperedCipherText", tampered, eTlsFailure::RecordAuthentication},
        {"WrongSequenceNumber", SealTls13Record(m_pair.m_serverKey, m_pair.m_serverIv, 5, Inner("data", 23)), eTlsFailure::RecordAuthentication},
        {"KeyUpdateRequestOf2", first(Inner(std::string("\x18\x00\x00\x01\x02", 5), 22)), eTlsFailure::MalformedRecord},
        {"KeyUpdateOfTwoBytes", first(Inner(std::string("\x18\x00\x00\x02\x00\x00", 6), 22)), eTlsFailure::MalformedRecord},
        {"KeyUpdateNotEndingItsRecord", first(Inner(std::string("\x18\x00\x00\x01\x00\x04", 6), 22)), eTlsFailure::MalformedRecord},
        {"FatalAlert", first(Inner(std::string("\x02\x28", 2), 21)), eTlsFailure::AlertReceived},
        {"UnknownInnerType", first(Inner("data", 24)), eTlsFailure::MalformedRecord},
        {"PlainHandshakeRecord", Bytes{22, 3, 3, 0, 4, 4, 0, 0, 0}, eTlsFailure::MalformedRecord},
        {"OversizedLength", Bytes{23, 3, 3, 0x41, 0x01}, eTlsFailure::MalformedRecord},
        {"OnlyATag", JoinBytes({Bytes{23, 3, 3, 0, 16}, Bytes(16, 0)}), eTlsFailure::RecordAuthentication},
        {"CutShort", Bytes{23, 3, 3, 0, 40, 1, 2, 3}, eTlsFailure::ClosedEarly},
        {"BadVersion", JoinBytes({Bytes{23, 2, 0, 0, 17}, Bytes(17, 0)}), eTlsFailure::MalformedRecord},
        {"TooMuchData", first(Inner(std::string(16385, 'x'), 23)), eTlsFailure::RecordAuthentication},
    };
    for (const sBad& test : bad) {
        SCOPED_TRACE(test.m_name);
        cTraceEngine pair;
        pair.PeerSends(test.m_record);
        pair.PeerSends(SealTls13Record(m_pair.m_serverKey, m_pair.m_serverIv, 1, Inner("good", 23)));
        pair.Engine().EndOfInput();
        EXPECT_EQ(pair.ReceiveOnce(), "") << "the good record after it is never handed out";
        EXPECT_TRUE(pair.HasFailed());
        EXPECT_EQ(pair.Engine().GetFailure(), test.m_reason);
    }
}

// RFC 8446 4.6.3 in the middle of the data, the next traffic secrets derived by
// libcrypto's HKDF from the ones in our key log: the server's records after each KeyUpdate
// come under its next keys; when it asks, our own KeyUpdate goes out under our old keys
// (one for two requests) and our next record under the new ones.
TEST_F(TlsRecordReframed, KeyUpdatesChangeTheKeysMidData)
{
    const auto secret = [&](const std::string& label) {
        for (const std::string& line : m_pair.m_rig.m_hooks.m_keyLog) {
            if (line.rfind(label + " ", 0) == 0) {
                return Hex(line.substr(line.rfind(' ') + 1));
            }
        }
        return Bytes();
    };
    struct sKeys
    {
        Bytes m_secret, m_key, m_iv;
        void Next()
        {
            m_secret = ExpandLabelWithLibcrypto(m_secret, "traffic upd", 32);
            m_key = ExpandLabelWithLibcrypto(m_secret, "key", 16);
            m_iv = ExpandLabelWithLibcrypto(m_secret, "iv", 12);
        }
    };
    sKeys server = {secret("SERVER_TRAFFIC_SECRET_0"), m_pair.m_serverKey, m_pair.m_serverIv};
    sKeys client = {secret("CLIENT_TRAFFIC_SECRET_0"), m_pair.m_clientKey, m_pair.m_clientIv};
    ASSERT_EQ(server.m_secret.size(), 32u);
    const Bytes notRequested = Inner(std::string("\x18\x00\x00\x01\x00", 5), 22);
    const Bytes requested = Inner(std::string("\x18\x00\x00\x01\x01", 5), 22);

    m_pair.PeerSends(SealTls13Record(server.m_key, server.m_iv, 0, Inner("before", 23)));
    EXPECT_EQ(m_pair.ReceiveOnce(), "before");
    m_pair.PeerSends(SealTls13Record(server.m_key, server.m_iv, 1, notRequested));
    server.Next();
    m_pair.PeerSends(SealTls13Record(server.m_key, server.m_iv, 0, Inner("between", 23)));
    EXPECT_EQ(m_pair.ReceiveOnce(), "between");
    EXPECT_TRUE(TakeSent(m_pair.Engine()).empty()) << "not asked: nothing to answer";
    m_pair.PeerSends(SealTls13Record(server.m_key, server.m_iv, 1, requested));
    server.Next();
    m_pair.PeerSends(SealTls13Record(server.m_key, server.m_iv, 0, requested));
    server.Next();
    m_pair.PeerSends(SealTls13Record(server.m_key, server.m_iv, 0, Inner("after", 23)));
    EXPECT_EQ(m_pair.ReceiveOnce(), "after");
    ASSERT_FALSE(m_pair.HasFailed());

    const Bytes answer = TakeSent(m_pair.Engine());
    EXPECT_EQ(OpenTls13RecordWithLibcrypto(client.m_key, client.m_iv, 0, answer), notRequested);
    client.Next();
    ASSERT_EQ(m_pair.Engine().WritePlaintext(reinterpret_cast<const u8*>("GET"), 3), 3u);
    EXPECT_EQ(OpenTls13RecordWithLibcrypto(client.m_key, client.m_iv, 0, TakeSent(m_pair.Engine())), Inner("GET", 23));
}

TEST(TlsCbcMac, RecordCheckFindsDataLengthAndRefusesBadPadding)
{
    for (u32 padding = 0; padding < 20; ++padding) {
        for (u32 dataLength = 0; dataLength < 40; ++dataLength) {
            const u32 size = dataLength + 20 + padding + 1;
            Bytes plain(size);
            for (u32 i = 0; i < dataLength; ++i) {
                plain[i] = uint8_t(i);
            }
            uint8_t header[13] = {0, 0, 0, 0, 0, 0, 0, 3, 23, 3, 3, uint8_t(dataLength >> 8), uint8_t(dataLength)};
            Bytes input(header, header + 13);
            input.insert(input.end(), plain.begin(), plain.begin() + dataLength);
            unsigned int macSize = 0;
            HMAC(EVP_sha1(), kServerMac.data(), 20, input.data(), input.size(), plain.data() + dataLength, &macSize);
            for (u32 i = 0; i <= padding; ++i) {
                plain[dataLength + 20 + i] = uint8_t(padding);
            }
            u32 found = 0;
            const u32 good = CheckTls12CbcRecord(kServerMac.data(), 3, 23, plain.data(), size, found);
            EXPECT_EQ(good, padding < 16 ? 1u : 0u) << padding << " " << dataLength;
            if (good != 0) {
                EXPECT_EQ(found, dataLength);
            }
            if (padding > 0 && padding < 16) {
                plain[dataLength + 20] ^= 1; // the first padding byte
                EXPECT_EQ(CheckTls12CbcRecord(kServerMac.data(), 3, 23, plain.data(), size, found), 0u);
                plain[dataLength + 20] ^= 1;
            }
            plain[dataLength] ^= 0x80; // the MAC
            EXPECT_EQ(CheckTls12CbcRecord(kServerMac.data(), 3, 23, plain.data(), size, found), 0u);
        }
    }
}
