// HMAC against the RFC files (RFC 2202, 4231), HKDF against RFC 5869 and Wycheproof; the
// limits of the TLS 1.3 HKDF-Expand-Label. (The TLS key schedules and the TLS 1.2 PRF are checked
// end to end by the RFC 8448 replays and by the key logs of the interop servers.)
#include "net/crypto/hkdf.h"
#include "net/crypto/hmac.h"
#include "net/vectors.h"

using namespace nettest;

namespace {

struct sHmacUnderTest
{
    const char* name;
    void (*hmac)(const void*, size_t, const u8*, size_t, u8*);
    void (*parts)(const sHmacPart*, size_t, const u8*, size_t, u8*);
    size_t size;
    const char* rfcFile;
};

const sHmacUnderTest kHmacs[] = {
    {"Sha1", HmacSha1, HmacSha1Parts, 20, "HMAC/rfc-2202-sha1.txt"},
    {"Sha256", HmacSha256, HmacSha256Parts, 32, "HMAC/rfc-4231-sha256.txt"},
    {"Sha384", HmacSha384, HmacSha384Parts, 48, "HMAC/rfc-4231-sha384.txt"},
};

class HmacVectors : public ::testing::TestWithParam<size_t>
{
protected:
    const sHmacUnderTest& Hmac() const { return kHmacs[GetParam()]; }
    std::string Mac(const Bytes& key, const Bytes& message) const
    {
        Bytes out(Hmac().size);
        Hmac().hmac(message.data(), message.size(), key.data(), key.size(), out.data());
        return ToHex(out);
    }
};

} // namespace

// RFC 2202 (including the 80-byte keys of cases 6 and 7, longer than SHA-1's block) and
// RFC 4231 (including 131-byte keys), whole and through the parts form fed in every way.
TEST_P(HmacVectors, RfcCases)
{
    const std::string path = CavpPath(Hmac().rfcFile);
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    size_t longKeys = 0;
    for (const auto& record : records) {
        const Bytes key = record.Data("Key");
        const Bytes message = record.Data("Msg");
        EXPECT_EQ(Mac(key, message), record.Text("MD"));
        ExpectEveryFeeding(message, record.Text("MD"), [&](const std::vector<size_t>& pieces) {
            std::vector<sHmacPart> parts;
            FeedPieces(message, pieces, [&](const u8* data, size_t size) { parts.push_back({data, size}); });
            Bytes out(Hmac().size);
            Hmac().parts(parts.data(), parts.size(), key.data(), key.size(), out.data());
            return out;
        });
        longKeys += key.size() > 64 ? 1 : 0;
    }
    EXPECT_GE(records.size(), 6u);
    EXPECT_GE(longKeys, 2u);
}

INSTANTIATE_TEST_SUITE_P(Hmac, HmacVectors, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(kHmacs[info.param].name); });

// A length of -1 means zero-terminated text.
TEST(Sha256OneShot, MinusOneMeansZeroTerminatedText)
{
    u8 whole[32], counted[32];
    Sha256("abc", -1, whole);
    Sha256("abcdef", 3, counted);
    EXPECT_EQ(ToHex(whole, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"); // FIPS 180 B.1
    EXPECT_EQ(ToHex(counted, 32), ToHex(whole, 32));
}

// RFC 5869 A.1-A.3 and Wycheproof: Extract is HMAC(salt, IKM), then Expand; outputs up to
// 255 x HashLen are valid, one byte more is refused.
TEST(Hkdf, Rfc5869AndWycheproof)
{
    struct sHkdf
    {
        size_t hashSize;
        void (*hmac)(const void*, size_t, const u8*, size_t, u8*);
        bool (*expand)(const u8*, const u8*, size_t, u8*, size_t);
    };
    const sHkdf sha256 = {32, HmacSha256, HkdfExpand256}, sha384 = {48, HmacSha384, HkdfExpand384};
    auto derive = [](const sHkdf& hkdf, const Bytes& salt, const Bytes& ikm, const Bytes& info, Bytes& okm,
                     std::string* prkHex = nullptr) {
        const Bytes zeros(hkdf.hashSize, 0);
        const Bytes& key = salt.empty() ? zeros : salt;
        u8 prk[48];
        hkdf.hmac(ikm.data(), ikm.size(), key.data(), key.size(), prk);
        if (prkHex != nullptr) {
            *prkHex = ToHex(prk, hkdf.hashSize);
        }
        return hkdf.expand(prk, info.data(), info.size(), okm.data(), okm.size());
    };
    const auto records = ReadVectorFile(CavpPath("KDF/rfc-5869-HKDF-SHA256.txt"));
    QEL_REQUIRE(!records.empty(), CavpPath("KDF/rfc-5869-HKDF-SHA256.txt"));
    for (const auto& record : records) {
        Bytes okm(record.Number("L"));
        std::string prk;
        ASSERT_TRUE(derive(sha256, record.Data("salt"), record.Data("IKM"), record.Data("info"), okm, &prk));
        EXPECT_EQ(prk, record.Text("PRK"));
        EXPECT_EQ(ToHex(okm), record.Text("OKM"));
    }
    for (const auto& [file, hkdf] : {std::pair{"wycheproof/hkdf_sha256_test.json", sha256},
                                     std::pair{"wycheproof/hkdf_sha384_test.json", sha384}}) {
        const Json root = ReadJsonFile(SharedDataPath(file));
        QEL_REQUIRE(root.is_object(), file);
        size_t refused = 0;
        ForEachWycheproofTest(root, [&](const Json&, const Json& test) {
            Bytes okm(test["size"].get<size_t>());
            const bool ok = derive(hkdf, HexOf(test["salt"]), HexOf(test["ikm"]), HexOf(test["info"]), okm);
            ASSERT_EQ(ok, test["result"] == "valid");
            refused += ok ? 0 : 1;
            EXPECT_TRUE(!ok || ToHex(okm) == test["okm"].get<std::string>());
        });
        EXPECT_EQ(refused, 3u) << file;
    }
}

TEST(Hkdf, ExpandRefusesBadArguments)
{
    const u8 prk[48] = {};
    u8 out[64];
    EXPECT_FALSE(HkdfExpand256(nullptr, nullptr, 0, out, 32));
    EXPECT_FALSE(HkdfExpand256(prk, nullptr, 0, nullptr, 32));
    EXPECT_FALSE(HkdfExpand256(prk, nullptr, 0, out, 0));
    EXPECT_FALSE(HkdfExpand384(prk, nullptr, 4, out, 32)) << "info length without info";
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
