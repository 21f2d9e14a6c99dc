// HMAC and HKDF against the RFC files (RFC 2202, 4231, 5869) and Wycheproof.
#include "net/crypto/hkdf.h"
#include "net/crypto/hmac.h"
#include "vectors.h"

using namespace nettest;

namespace {

using tHmac = void (*)(const void*, size_t, const u8*, size_t, u8*);

struct sHmacUnderTest
{
    const char* name;
    tHmac hmac;
    size_t size;
    const char* rfcFile;
    const char* wycheproofFile;
};

const sHmacUnderTest kHmacs[] = {
    {"Sha1", HmacSha1, 20, "HMAC/rfc-2202-sha1.txt", "wycheproof/hmac_sha1_test.json"},
    {"Sha256", HmacSha256, 32, "HMAC/rfc-4231-sha256.txt", "wycheproof/hmac_sha256_test.json"},
    {"Sha384", HmacSha384, 48, "HMAC/rfc-4231-sha384.txt", "wycheproof/hmac_sha384_test.json"},
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
// RFC 4231 (including 131-byte keys).
TEST_P(HmacVectors, RfcCases)
{
    const std::string path = CavpPath(Hmac().rfcFile);
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    size_t longKeys = 0;
    for (const auto& record : records) {
        const Bytes key = record.Data("Key");
        EXPECT_EQ(Mac(key, record.Data("Msg")), record.Text("MD"));
        longKeys += key.size() > 64 ? 1 : 0;
    }
    EXPECT_GE(records.size(), 6u);
    EXPECT_GE(longKeys, 2u);
}

// Wycheproof: the first tagSize/8 bytes; modified tags must not match.
TEST_P(HmacVectors, Wycheproof)
{
    const std::string path = SharedDataPath(Hmac().wycheproofFile);
    const sJson root = ReadJsonFile(path);
    QEL_REQUIRE(root.kind == sJson::eKind::Object, path);
    const size_t count = ForEachWycheproofTest(root, [&](const sJson& group, const sJson& test) {
        const size_t tagBytes = static_cast<size_t>(group["tagSize"].Int() / 8);
        const std::string mac = Mac(test["key"].Data(), test["msg"].Data()).substr(0, 2 * tagBytes);
        const bool same = mac == test["tag"].text;
        EXPECT_EQ(same, test["result"].text == "valid") << "tcId " << test["tcId"].Int();
    });
    EXPECT_GT(count, 150u);
}

INSTANTIATE_TEST_SUITE_P(Hmac, HmacVectors, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(kHmacs[info.param].name); });

TEST(Hmac, PartsEqualTheConcatenation)
{
    std::mt19937_64 random(5);
    const Bytes key = RandomBytes(random, 40);
    const Bytes message = RandomBytes(random, 300);
    u8 whole[48], parts[48];
    for (size_t split = 0; split <= message.size(); split += 37) {
        const sHmacPart pieces[2] = {{message.data(), split}, {message.data() + split, message.size() - split}};
        HmacSha384(message.data(), message.size(), key.data(), key.size(), whole);
        HmacSha384Parts(pieces, 2, key.data(), key.size(), parts);
        ASSERT_EQ(ToHex(parts, 48), ToHex(whole, 48));
        HmacSha256(message.data(), message.size(), key.data(), key.size(), whole);
        HmacSha256Parts(pieces, 2, key.data(), key.size(), parts);
        ASSERT_EQ(ToHex(parts, 32), ToHex(whole, 32));
        HmacSha1(message.data(), message.size(), key.data(), key.size(), whole);
        HmacSha1Parts(pieces, 2, key.data(), key.size(), parts);
        ASSERT_EQ(ToHex(parts, 20), ToHex(whole, 20));
    }
}

TEST(Sha256OneShot, MinusOneMeansZeroTerminatedText)
{
    u8 out[32];
    Sha256("abc", -1, out);
    EXPECT_EQ(ToHex(out, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256("abcdef", 3, out);
    EXPECT_EQ(ToHex(out, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// RFC 5869 A.1-A.3: Extract is HMAC(salt, IKM), then Expand.
TEST(Hkdf, Rfc5869Sha256)
{
    const std::string path = CavpPath("KDF/rfc-5869-HKDF-SHA256.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    for (const auto& record : records) {
        const Bytes salt = record.Data("salt");
        const Bytes ikm = record.Data("IKM");
        const Bytes info = record.Data("info");
        u8 prk[32];
        const Bytes zeros(32, 0);
        const Bytes& key = salt.empty() ? zeros : salt;
        HmacSha256(ikm.data(), ikm.size(), key.data(), key.size(), prk);
        EXPECT_EQ(ToHex(prk, 32), record.Text("PRK"));
        Bytes okm(record.Number("L"));
        ASSERT_TRUE(HkdfExpand256(prk, info.data(), info.size(), okm.data(), okm.size()));
        EXPECT_EQ(ToHex(okm), record.Text("OKM"));
    }
}

// Wycheproof HKDF: outputs up to 255 x HashLen are valid, one byte more is refused.
TEST(Hkdf, Wycheproof)
{
    struct sCase {
        const char* file;
        size_t hashSize;
        void (*hmac)(const void*, size_t, const u8*, size_t, u8*);
        bool (*expand)(const u8*, const u8*, size_t, u8*, size_t);
    };
    const sCase cases[] = {{"wycheproof/hkdf_sha256_test.json", 32, HmacSha256, HkdfExpand256},
                           {"wycheproof/hkdf_sha384_test.json", 48, HmacSha384, HkdfExpand384}};
    for (const sCase& c : cases) {
        const std::string path = SharedDataPath(c.file);
        const sJson root = ReadJsonFile(path);
        QEL_REQUIRE(root.kind == sJson::eKind::Object, path);
        size_t refused = 0;
        ForEachWycheproofTest(root, [&](const sJson&, const sJson& test) {
            const Bytes salt = test["salt"].Data();
            const Bytes ikm = test["ikm"].Data();
            const Bytes info = test["info"].Data();
            const Bytes zeros(c.hashSize, 0);
            const Bytes& key = salt.empty() ? zeros : salt;
            u8 prk[48];
            c.hmac(ikm.data(), ikm.size(), key.data(), key.size(), prk);
            Bytes okm(static_cast<size_t>(test["size"].Int()));
            const bool ok = c.expand(prk, info.data(), info.size(), okm.data(), okm.size());
            const std::string id = std::string(c.file) + " tcId " + std::to_string(test["tcId"].Int());
            if (test["result"].text == "valid") {
                ASSERT_TRUE(ok) << id;
                EXPECT_EQ(ToHex(okm), test["okm"].text) << id;
            } else {
                EXPECT_FALSE(ok) << id;
                ++refused;
            }
        });
        EXPECT_EQ(refused, 3u) << c.file;
    }
}

TEST(Hkdf, ExpandRefusesBadArguments)
{
    const u8 prk[48] = {};
    u8 out[64];
    EXPECT_FALSE(HkdfExpand256(nullptr, nullptr, 0, out, 32));
    EXPECT_FALSE(HkdfExpand256(prk, nullptr, 0, nullptr, 32));
    EXPECT_FALSE(HkdfExpand256(prk, nullptr, 0, out, 0));
    EXPECT_FALSE(HkdfExpand384(prk, nullptr, 4, out, 32));
    // A partial last block is the first bytes of T(2).
    u8 full[64];
    ASSERT_TRUE(HkdfExpand256(prk, nullptr, 0, full, 64));
    ASSERT_TRUE(HkdfExpand256(prk, nullptr, 0, out, 33));
    EXPECT_EQ(ToHex(out, 33), ToHex(full, 33));
}
