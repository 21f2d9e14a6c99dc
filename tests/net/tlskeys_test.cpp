// The TLS 1.3 key schedule's SHA-384 chain against OpenSSL-made values (the SHA-256 chain
// is checked end to end by the RFC 8448 replays) and the HKDF label limits; the TLS 1.2
// PRF against OpenSSL's TLS1-PRF output.
#include "net/crypto/hkdf.h"
#include "net/crypto/hmac.h"
#include "net/tls/tlskeys.h"
#include "net/tls/tlsprf.h"
#include "vectors.h"

using namespace nettest;

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
