// AES-GCM on both paths against CAVP, Wycheproof and the 5-byte-AAD record vectors; tag
// checks and argument refusals.
#include "cryptopaths.h"
#include "net/crypto/gcm.h"
#include "vectors.h"

using namespace nettest;

namespace {

class GcmPaths : public PathTest
{
};

struct sSealed
{
    bool ok = false;
    Bytes cipher;
    Bytes tag;
};

sSealed Seal(const Bytes& key, const Bytes& nonce, const Bytes& aad, const Bytes& plain)
{
    sGcmKey context;
    sSealed sealed{false, Bytes(plain.size()), Bytes(16)};
    EXPECT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
    sealed.ok = GcmSealAny(context, nonce.data(), nonce.size(), aad.data(), aad.size(), plain.data(), plain.size(),
                           sealed.cipher.data(), sealed.tag.data());
    return sealed;
}

// Opens in place (the record layer's way) and returns whether the tag matched.
bool Open(const Bytes& key, const Bytes& nonce, const Bytes& aad, Bytes& text, const Bytes& tag)
{
    sGcmKey context;
    EXPECT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
    return GcmOpenAny(context, nonce.data(), nonce.size(), aad.data(), aad.size(), text.data(), text.size(),
                      text.data(), tag.data());
}

} // namespace

// The CAVP encryption and decryption files: the published tag (any Taglen) is a prefix of
// ours; with full tags the text opens again, and FAIL entries are refused. IV lengths of
// 8, 96 and 1024 bits take both derivations of J0.
TEST_P(GcmPaths, CavpFiles)
{
    size_t sealed = 0;
    size_t refused = 0;
    for (const char* file : {"gcmEncryptExtIV", "gcmDecrypt"}) {
        for (const char* bits : {"128", "192", "256"}) {
            const std::string path = CavpPath(std::string("ciphers/AES/GCM/") + file + bits + ".rsp");
            const auto records = ReadVectorFile(path);
            QEL_REQUIRE(!records.empty(), path);
            for (const auto& record : records) {
                if (!record.Has("Key")) {
                    continue;
                }
                SCOPED_TRACE(path + " " + record.Header("Taglen") + " COUNT " + record.Text("Count"));
                const Bytes key = record.Data("Key"), nonce = record.Data("IV"), aad = record.Data("AAD");
                const Bytes tag = record.Data("Tag");
                Bytes text = record.Data("CT");
                const bool fullTag = tag.size() == 16;
                if (record.Has("FAIL")) {
                    refused += fullTag ? 1 : 0;
                    EXPECT_FALSE(fullTag && Open(key, nonce, aad, text, tag));
                    continue;
                }
                const sSealed ours = Seal(key, nonce, aad, record.Data("PT"));
                ASSERT_TRUE(ours.ok);
                ASSERT_EQ(ToHex(ours.cipher), record.Text("CT"));
                ASSERT_EQ(ToHex(ours.tag.data(), tag.size()), ToHex(tag));
                EXPECT_TRUE(!fullTag || Open(key, nonce, aad, text, tag));
                EXPECT_TRUE(!fullTag || ToHex(text) == record.Text("PT"));
                ++sealed;
            }
        }
    }
    EXPECT_GT(sealed, 20000u);
    EXPECT_GT(refused, 100u);
}

// Wycheproof: valid cases give exactly ct and tag; modified tags fail; an empty nonce is
// refused by both directions.
TEST_P(GcmPaths, Wycheproof)
{
    const std::string path = SharedDataPath("wycheproof/aes_gcm_test.json");
    const Json root = ReadJsonFile(path);
    QEL_REQUIRE(root.is_object(), path);
    const size_t count = ForEachWycheproofTest(root, [](const Json& group, const Json& test) {
        ASSERT_EQ(group["tagSize"], 128);
        const Bytes key = HexOf(test["key"]), nonce = HexOf(test["iv"]), aad = HexOf(test["aad"]);
        const sSealed sealed = Seal(key, nonce, aad, HexOf(test["msg"]));
        Bytes text = HexOf(test["ct"]);
        const bool opened = Open(key, nonce, aad, text, HexOf(test["tag"]));
        if (test["result"] == "valid") {
            ASSERT_TRUE(sealed.ok && opened);
            EXPECT_EQ(ToHex(sealed.cipher), test["ct"].get<std::string>());
            EXPECT_EQ(ToHex(sealed.tag), test["tag"].get<std::string>());
            EXPECT_EQ(ToHex(text), test["msg"].get<std::string>());
        } else {
            EXPECT_FALSE(opened);
            EXPECT_FALSE(nonce.empty() && sealed.ok);
        }
    });
    EXPECT_EQ(count, 316u);
}

// The record layer's form: 5 bytes of AAD, nonces of 12, 8 and 60 bytes, lengths up to
// 16385 (made by make_vectors.py in the shared test data).
TEST_P(GcmPaths, RecordVectorsWithFiveByteAad)
{
    const std::string path = SharedDataPath("net/gcm_aad5_vectors.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    for (const auto& record : records) {
        SCOPED_TRACE("COUNT " + record.Text("COUNT"));
        const Bytes key = record.Data("KEY"), nonce = record.Data("NONCE"), aad = record.Data("AAD");
        ASSERT_EQ(aad.size(), 5u);
        sGcmKey context;
        ASSERT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
        Bytes text = record.Data("PT");
        u8 tag[16];
        ASSERT_TRUE(GcmSeal(context, nonce.data(), nonce.size(), aad.data(), text.data(), text.size(), text.data(), tag));
        EXPECT_EQ(ToHex(text), record.Text("CT"));
        EXPECT_EQ(ToHex(tag, 16), record.Text("TAG"));
        EXPECT_TRUE(GcmOpen(context, nonce.data(), nonce.size(), aad.data(), text.data(), text.size(), text.data(), tag));
        EXPECT_EQ(ToHex(text), record.Text("PT"));
    }
    EXPECT_GE(records.size(), 24u);
}

QEL_INSTANTIATE_PATHS(GcmPaths);

TEST(Gcm, RefusesBadArguments)
{
    sGcmKey key;
    const Bytes keyBytes(32, 1);
    EXPECT_FALSE(GcmSetKey(key, nullptr, 128) || GcmSetKey(key, keyBytes.data(), 0) || GcmSetKey(key, keyBytes.data(), 64));
    ASSERT_TRUE(GcmSetKey(key, keyBytes.data(), 256));
    const u8 nonce[12] = {};
    const u8 aad[5] = {};
    u8 data[16] = {};
    u8 tag[16] = {};
    EXPECT_FALSE(GcmSeal(key, nonce, 0, aad, data, 16, data, tag)) << "empty nonce";
    EXPECT_FALSE(GcmSeal(key, nullptr, 12, aad, data, 16, data, tag));
    EXPECT_FALSE(GcmSeal(key, nonce, 12, aad, nullptr, 16, data, tag));
    EXPECT_FALSE(GcmSeal(key, nonce, 12, aad, data, 16, data, nullptr));
    EXPECT_FALSE(GcmSealAny(key, nonce, 12, nullptr, 3, data, 16, data, tag));
    EXPECT_FALSE(GcmOpen(key, nonce, 12, aad, data, 16, data, nullptr));
    EXPECT_TRUE(GcmSeal(key, nonce, 12, aad, nullptr, 0, nullptr, tag)) << "empty text";
    EXPECT_TRUE(GcmOpen(key, nonce, 12, aad, nullptr, 0, nullptr, tag));
}
