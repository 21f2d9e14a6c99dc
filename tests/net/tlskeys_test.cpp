// The TLS 1.3 key schedule against the RFC 8448 simple 1-RTT trace (SHA-256) and an
// OpenSSL-made SHA-384 chain; the TLS 1.2 PRF against OpenSSL's TLS1-PRF output.
#include "net/crypto/hkdf.h"
#include "net/crypto/hmac.h"
#include "net/tls/tlskeys.h"
#include "net/tls/tlsprf.h"
#include "vectors.h"

using namespace nettest;

namespace {

// Reads the labelled hex dumps of the trace ("label (N octets):  hex ..."), whose values
// run on over following lines and across page breaks.
class cTrace
{
public:
    explicit cTrace(const std::string& path)
    {
        std::ifstream file(path);
        std::string line;
        while (std::getline(file, line)) {
            m_lines.push_back(line);
        }
    }
    bool Loaded() const { return !m_lines.empty(); }

    // Moves the cursor to the first line at or after it that contains `anchor`.
    void Seek(const std::string& anchor)
    {
        while (m_cursor < m_lines.size() && m_lines[m_cursor].find(anchor) == std::string::npos) {
            ++m_cursor;
        }
        ASSERT_LT(m_cursor, m_lines.size()) << "trace anchor " << anchor;
    }
    // The next value called `label` after the cursor.
    Bytes Next(const std::string& label)
    {
        const std::string key = "      " + label + " (";
        size_t at = m_cursor;
        while (at < m_lines.size() && m_lines[at].rfind(key, 0) != 0) {
            ++at;
        }
        EXPECT_LT(at, m_lines.size()) << "trace label " << label;
        if (at >= m_lines.size()) {
            return {};
        }
        const std::string& first = m_lines[at];
        const size_t count = std::strtoul(first.c_str() + key.size(), nullptr, 10);
        Bytes value;
        std::string rest = first.substr(first.find("):") + 2);
        for (;;) {
            std::istringstream tokens(rest);
            std::string token;
            bool hexLine = true;
            Bytes lineBytes;
            while (tokens >> token) {
                if (token.size() != 2 || !std::isxdigit(static_cast<unsigned char>(token[0])) ||
                    !std::isxdigit(static_cast<unsigned char>(token[1]))) {
                    hexLine = false;
                    break;
                }
                lineBytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
            }
            if (hexLine) {
                value.insert(value.end(), lineBytes.begin(), lineBytes.end());
            }
            if (value.size() >= count || ++at >= m_lines.size()) {
                break;
            }
            rest = m_lines[at];
        }
        EXPECT_EQ(value.size(), count) << label;
        m_cursor = at;
        return value;
    }

private:
    std::vector<std::string> m_lines;
    size_t m_cursor = 0;
};

Bytes Field(const uint8_t* data, size_t size) { return Bytes(data, data + size); }

} // namespace

// RFC 8448 3: shared secret and transcript in, every secret, key, IV and Finished out.
TEST(TlsKeySchedule, Rfc8448SimpleHandshakeSha256)
{
    const std::string path = SharedDataPath("net/rfc8448-equivalent-draft-ietf-tls-tls13-vectors.txt");
    cTrace trace(path);
    QEL_REQUIRE(trace.Loaded(), path);
    trace.Seek("3.  Simple 1-RTT Handshake");
    trace.Seek("construct a ClientHello");
    const Bytes clientHello = trace.Next("ClientHello");
    trace.Seek("construct a ServerHello");
    const Bytes serverHello = trace.Next("ServerHello");
    trace.Seek("extract secret \"handshake\"");
    const Bytes shared = trace.Next("IKM");
    const Bytes handshakeSecret = trace.Next("secret");
    trace.Seek("derive secret \"tls13 c hs traffic\"");
    const Bytes helloHash = trace.Next("hash");
    const Bytes clientHsTraffic = trace.Next("expanded");
    trace.Seek("derive secret \"tls13 s hs traffic\"");
    const Bytes serverHsTraffic = trace.Next("expanded");
    trace.Seek("derive write traffic keys for handshake data");
    const Bytes serverHsKey = trace.Next("key expanded");
    const Bytes serverHsIv = trace.Next("iv expanded");
    trace.Seek("construct a EncryptedExtensions");
    const Bytes encryptedExtensions = trace.Next("EncryptedExtensions");
    trace.Seek("construct a Certificate handshake");
    const Bytes certificate = trace.Next("Certificate");
    trace.Seek("construct a CertificateVerify");
    const Bytes certificateVerify = trace.Next("CertificateVerify");
    trace.Seek("calculate finished \"tls13 finished\"");
    const Bytes serverFinishedKey = trace.Next("expanded");
    const Bytes serverFinished = trace.Next("finished");
    trace.Seek("construct a Finished handshake");
    const Bytes serverFinishedMessage = trace.Next("Finished");
    trace.Seek("derive secret \"tls13 c ap traffic\"");
    const Bytes finishedHash = trace.Next("hash");
    const Bytes clientApTraffic = trace.Next("expanded");
    trace.Seek("derive secret \"tls13 s ap traffic\"");
    const Bytes serverApTraffic = trace.Next("expanded");
    trace.Seek("derive write traffic keys for application data");
    const Bytes serverApKey = trace.Next("key expanded");
    const Bytes serverApIv = trace.Next("iv expanded");
    trace.Seek("derive read traffic keys for handshake data");
    const Bytes clientHsKey = trace.Next("key expanded");
    const Bytes clientHsIv = trace.Next("iv expanded");
    trace.Seek("{client}  calculate finished \"tls13 finished\":");
    const Bytes clientFinishedKey = trace.Next("expanded");
    const Bytes clientFinished = trace.Next("finished");
    trace.Seek("{client}  derive write traffic keys for application data");
    const Bytes clientApKey = trace.Next("key expanded");
    const Bytes clientApIv = trace.Next("iv expanded");

    sTLSHashCtx transcript;
    ASSERT_TRUE(TranscriptInit(transcript, kTlsAes128GcmSha256));
    TranscriptUpdate(transcript, clientHello.data(), clientHello.size());
    TranscriptUpdate(transcript, serverHello.data(), serverHello.size());
    u8 hash[48];
    ASSERT_TRUE(TranscriptHash(transcript, hash));
    EXPECT_EQ(ToHex(hash, 32), ToHex(helloHash));

    sTls13KeyBlock block = {};
    u8 secret[48];
    ASSERT_TRUE(DeriveHandshakeSecrets(transcript, shared.data(), block, secret));
    EXPECT_EQ(ToHex(secret, 32), ToHex(handshakeSecret));
    EXPECT_EQ(ToHex(block.m_clientSecret, 32), ToHex(clientHsTraffic));
    EXPECT_EQ(ToHex(block.m_serverSecret, 32), ToHex(serverHsTraffic));
    EXPECT_EQ(ToHex(block.m_serverKey, 16), ToHex(serverHsKey));
    EXPECT_EQ(ToHex(block.m_serverIv, 12), ToHex(serverHsIv));
    EXPECT_EQ(ToHex(block.m_clientKey, 16), ToHex(clientHsKey));
    EXPECT_EQ(ToHex(block.m_clientIv, 12), ToHex(clientHsIv));
    EXPECT_EQ(block.m_keyBits, 128);

    // The server Finished over ClientHello..CertificateVerify.
    for (const Bytes* message : {&encryptedExtensions, &certificate, &certificateVerify}) {
        TranscriptUpdate(transcript, message->data(), message->size());
    }
    u8 finishedKey[48];
    u8 mac[48];
    ASSERT_TRUE(ComputeFinishedKey(transcript, block.m_serverSecret, finishedKey));
    EXPECT_EQ(ToHex(finishedKey, 32), ToHex(serverFinishedKey));
    ASSERT_TRUE(TranscriptHash(transcript, hash));
    ASSERT_TRUE(FinishedMac(transcript, finishedKey, hash, mac));
    EXPECT_EQ(ToHex(mac, 32), ToHex(serverFinished));
    EXPECT_EQ(ToHex(Field(serverFinishedMessage.data() + 4, 32)), ToHex(serverFinished));

    // The client Finished and the application keys over ClientHello..server Finished.
    TranscriptUpdate(transcript, serverFinishedMessage.data(), serverFinishedMessage.size());
    ASSERT_TRUE(TranscriptHash(transcript, hash));
    EXPECT_EQ(ToHex(hash, 32), ToHex(finishedHash));
    ASSERT_TRUE(ComputeFinishedKey(transcript, block.m_clientSecret, finishedKey));
    EXPECT_EQ(ToHex(finishedKey, 32), ToHex(clientFinishedKey));
    ASSERT_TRUE(FinishedMac(transcript, finishedKey, hash, mac));
    EXPECT_EQ(ToHex(mac, 32), ToHex(clientFinished));

    ASSERT_TRUE(DeriveApplicationSecrets(transcript, secret, block));
    EXPECT_EQ(ToHex(block.m_clientSecret, 32), ToHex(clientApTraffic));
    EXPECT_EQ(ToHex(block.m_serverSecret, 32), ToHex(serverApTraffic));
    EXPECT_EQ(ToHex(block.m_serverKey, 16), ToHex(serverApKey));
    EXPECT_EQ(ToHex(block.m_serverIv, 12), ToHex(serverApIv));
    EXPECT_EQ(ToHex(block.m_clientKey, 16), ToHex(clientApKey));
    EXPECT_EQ(ToHex(block.m_clientIv, 12), ToHex(clientApIv));

    sTlsGcmContext reading;
    ASSERT_TRUE(SetupRecordKey(block, reading, eRecordDirection::Reading));
    EXPECT_EQ(ToHex(reading.m_iv, 12), ToHex(serverApIv));
    sTlsGcmContext writing;
    ASSERT_TRUE(SetupRecordKey(block, writing, eRecordDirection::Writing));
    EXPECT_EQ(ToHex(writing.m_iv, 12), ToHex(clientApIv));
}

// The SHA-384 suite: 48-byte zero early secret data, SHA-384("") for "derived".
TEST(TlsKeySchedule, Sha384ChainMatchesOpenssl)
{
    const std::string path = SharedDataPath("net/tls13_sha384_schedule.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(records.size() == 1, path);
    const auto& v = records[0];

    sTLSHashCtx transcript;
    ASSERT_TRUE(TranscriptInit(transcript, kTlsAes256GcmSha384));
    TranscriptUpdate(transcript, reinterpret_cast<const u8*>("CH|SH"), 5);
    u8 hash[48];
    ASSERT_TRUE(TranscriptHash(transcript, hash));
    ASSERT_EQ(ToHex(hash, 48), v.Text("TRANSCRIPT_HASH"));

    // The first two links, computed the way the schedule does.
    const u8 zeros[48] = {};
    u8 early[48];
    HmacSha384(zeros, 48, zeros, 48, early);
    EXPECT_EQ(ToHex(early, 48), v.Text("EARLY_SECRET"));
    u8 empty[48];
    Sha384Empty(empty);
    u8 derived[48];
    ASSERT_TRUE(HkdfExpandLabel384(early, empty, 48, "derived", derived, 48));
    EXPECT_EQ(ToHex(derived, 48), v.Text("DERIVED"));

    sTls13KeyBlock block = {};
    u8 secret[48];
    ASSERT_TRUE(DeriveHandshakeSecrets(transcript, v.Data("SHARED_SECRET").data(), block, secret));
    EXPECT_EQ(ToHex(secret, 48), v.Text("HANDSHAKE_SECRET"));
    EXPECT_EQ(ToHex(block.m_clientSecret, 48), v.Text("C_HS_TRAFFIC"));
    EXPECT_EQ(ToHex(block.m_serverSecret, 48), v.Text("S_HS_TRAFFIC"));
    EXPECT_EQ(ToHex(block.m_clientKey, 32), v.Text("C_HS_KEY"));
    EXPECT_EQ(ToHex(block.m_clientIv, 12), v.Text("C_HS_IV"));
    EXPECT_EQ(block.m_keyBits, 256);
    u8 finishedKey[48];
    ASSERT_TRUE(ComputeFinishedKey(transcript, block.m_serverSecret, finishedKey));
    EXPECT_EQ(ToHex(finishedKey, 48), v.Text("S_FINISHED_KEY"));
}

TEST(TlsKeySchedule, UnknownSuitesAreRefused)
{
    sTLSHashCtx transcript;
    for (u32 suite : {0u, 0x1301u, 0x0313u, 0x13c0u, 0xFFFFu}) {
        EXPECT_FALSE(TranscriptInit(transcript, suite)) << suite;
    }
    u8 out[48];
    sTls13KeyBlock block = {};
    const u8 secret[48] = {};
    EXPECT_FALSE(TranscriptHash(transcript, out));
    EXPECT_FALSE(DeriveHandshakeSecrets(transcript, secret, block, out));
    EXPECT_FALSE(DeriveApplicationSecrets(transcript, secret, block));
    EXPECT_FALSE(ComputeFinishedKey(transcript, secret, out));
    EXPECT_FALSE(FinishedMac(transcript, secret, secret, out));
    EXPECT_EQ(TranscriptHashSize(transcript), 0u);
}

// Taking the hash mid-stream leaves the running hash untouched.
TEST(TlsKeySchedule, TranscriptHashWorksFromACopy)
{
    sTLSHashCtx transcript;
    ASSERT_TRUE(TranscriptInit(transcript, kTlsAes128GcmSha256));
    TranscriptUpdate(transcript, reinterpret_cast<const u8*>("ab"), 2);
    u8 first[32];
    ASSERT_TRUE(TranscriptHash(transcript, first));
    TranscriptUpdate(transcript, reinterpret_cast<const u8*>("c"), 1);
    u8 second[32];
    ASSERT_TRUE(TranscriptHash(transcript, second));
    EXPECT_EQ(ToHex(second, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Hkdf, LabelStructureForKeyOf16Bytes)
{
    u8 label[600];
    const size_t size = BuildHkdfLabel(16, "key", nullptr, 0, label);
    EXPECT_EQ(ToHex(label, size), "001009746c733133206b657900");
}

TEST(Hkdf, LabelAndContextLimits)
{
    const u8 secret[32] = {};
    u8 out[32];
    const std::string longest(249, 'a');
    const Bytes context(256, 1);
    EXPECT_TRUE(HkdfExpandLabel256(secret, nullptr, 0, longest.c_str(), out, 32));
    EXPECT_FALSE(HkdfExpandLabel256(secret, nullptr, 0, (longest + "a").c_str(), out, 32));
    EXPECT_TRUE(HkdfExpandLabel256(secret, context.data(), 255, "key", out, 32));
    EXPECT_FALSE(HkdfExpandLabel256(secret, context.data(), 256, "key", out, 32));
    EXPECT_FALSE(HkdfExpandLabel256(secret, nullptr, 3, "key", out, 32));
    EXPECT_FALSE(HkdfExpandLabel384(secret, nullptr, 0, nullptr, out, 32));
}

// RFC 5246 5 P_SHA256: master secret (48), key expansion (136), both Finished (12).
TEST(Tls12Prf, MatchesOpensslTls1Prf)
{
    const std::string path = SharedDataPath("net/tls12_prf_vectors.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(records.size() == 4, path);
    for (const auto& record : records) {
        const Bytes secret = record.Data("SECRET");
        const Bytes seed = record.Data("SEED");
        const std::string name = record.Text("NAME");
        Bytes out(record.Data("OUT").size());
        ASSERT_TRUE(Tls12Prf(secret.data(), secret.size(), record.Text("LABEL").c_str(), seed.data(),
                             seed.size(), out.data(), out.size()));
        EXPECT_EQ(ToHex(out), record.Text("OUT")) << name;

        if (name == "master") {
            u8 master[48];
            ASSERT_TRUE(Tls12MasterSecret(secret.data(), secret.size(), seed.data(), seed.data() + 32, master));
            EXPECT_EQ(ToHex(master, 48), record.Text("OUT"));
        } else if (name == "keyexp") {
            ASSERT_EQ(out.size(), kTls12KeyBlockSize);
            u8 keyBlock[kTls12KeyBlockSize];
            // The seed is server random | client random.
            ASSERT_TRUE(Tls12KeyExpansion(secret.data(), seed.data() + 32, seed.data(), keyBlock));
            EXPECT_EQ(ToHex(keyBlock, kTls12KeyBlockSize), record.Text("OUT"));
        } else {
            u8 verify[12];
            const auto sender = name == "cfin" ? eFinishedSender::Client : eFinishedSender::Server;
            ASSERT_TRUE(Tls12FinishedVerifyData(secret.data(), sender, seed.data(), verify));
            EXPECT_EQ(ToHex(verify, 12), record.Text("OUT"));
        }
    }
}
