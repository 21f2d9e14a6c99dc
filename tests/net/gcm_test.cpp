// AES-GCM on both paths against CAVP, Wycheproof, the 5-byte-AAD record vectors and
// libcrypto; tag checks and argument refusals.
#include "cryptopaths.h"
#include "net/crypto/gcm.h"
#include "vectors.h"

#include <openssl/evp.h>

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
    sSealed sealed;
    EXPECT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
    sealed.cipher.resize(plain.size());
    sealed.tag.resize(16);
    sealed.ok = GcmSealAny(context, nonce.data(), nonce.size(), aad.data(), aad.size(),
                           plain.data(), plain.size(), sealed.cipher.data(), sealed.tag.data());
    return sealed;
}

// Opens in place (the record layer's way) and returns whether the tag matched.
bool Open(const Bytes& key, const Bytes& nonce, const Bytes& aad, Bytes& text, const Bytes& tag)
{
    sGcmKey context;
    EXPECT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
    return GcmOpenAny(context, nonce.data(), nonce.size(), aad.data(), aad.size(), text.data(),
                      text.size(), text.data(), tag.data());
}

const EVP_CIPHER* ReferenceGcm(size_t keyBytes)
{
    return keyBytes == 16 ? EVP_aes_128_gcm() : keyBytes == 24 ? EVP_aes_192_gcm() : EVP_aes_256_gcm();
}

sSealed ReferenceSeal(const Bytes& key, const Bytes& nonce, const Bytes& aad, const Bytes& plain)
{
    sSealed sealed;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, ReferenceGcm(key.size()), nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce.size()), nullptr);
    EVP_EncryptInit_ex(ctx, nullptr, nullptr, key.data(), nonce.data());
    int written = 0;
    if (!aad.empty()) {
        EVP_EncryptUpdate(ctx, nullptr, &written, aad.data(), static_cast<int>(aad.size()));
    }
    sealed.cipher.resize(plain.size());
    if (!plain.empty()) {
        EVP_EncryptUpdate(ctx, sealed.cipher.data(), &written, plain.data(), static_cast<int>(plain.size()));
    }
    EVP_EncryptFinal_ex(ctx, nullptr, &written);
    sealed.tag.resize(16);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, sealed.tag.data());
    EVP_CIPHER_CTX_free(ctx);
    sealed.ok = true;
    return sealed;
}

} // namespace

// CAVP encryption files, every Taglen: the published tag is a prefix of ours. IV lengths
// of 8, 96 and 1024 bits take both derivations of J0.
TEST_P(GcmPaths, CavpEncryptExtIv)
{
    size_t checked = 0;
    for (const char* bits : {"128", "192", "256"}) {
        const std::string path = CavpPath(std::string("ciphers/AES/GCM/gcmEncryptExtIV") + bits + ".rsp");
        const auto records = ReadVectorFile(path);
        QEL_REQUIRE(!records.empty(), path);
        for (const auto& record : records) {
            if (!record.Has("Key")) {
                continue;
            }
            const sSealed sealed = Seal(record.Data("Key"), record.Data("IV"), record.Data("AAD"),
                                        record.Data("PT"));
            ASSERT_TRUE(sealed.ok);
            ASSERT_EQ(ToHex(sealed.cipher), record.Text("CT")) << path << " " << record.Text("Count");
            const Bytes tag = record.Data("Tag");
            ASSERT_EQ(ToHex(sealed.tag.data(), tag.size()), ToHex(tag)) << path;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20000u);
}

// CAVP decryption files with full tags: FAIL entries must be refused.
TEST_P(GcmPaths, CavpDecrypt)
{
    size_t refused = 0;
    for (const char* bits : {"128", "192", "256"}) {
        const std::string path = CavpPath(std::string("ciphers/AES/GCM/gcmDecrypt") + bits + ".rsp");
        const auto records = ReadVectorFile(path);
        QEL_REQUIRE(!records.empty(), path);
        for (const auto& record : records) {
            if (!record.Has("Key") || record.Header("Taglen") != "128") {
                continue;
            }
            Bytes text = record.Data("CT");
            const bool opened = Open(record.Data("Key"), record.Data("IV"), record.Data("AAD"), text,
                                     record.Data("Tag"));
            if (record.Has("FAIL")) {
                EXPECT_FALSE(opened) << path << " " << record.Text("Count");
                ++refused;
            } else {
                ASSERT_TRUE(opened) << path << " " << record.Text("Count");
                EXPECT_EQ(ToHex(text), record.Text("PT"));
            }
        }
    }
    EXPECT_GT(refused, 100u);
}

// Wycheproof: valid cases give exactly ct and tag; modified tags fail; an empty nonce is
// refused by both directions.
TEST_P(GcmPaths, Wycheproof)
{
    const std::string path = SharedDataPath("wycheproof/aes_gcm_test.json");
    const sJson root = ReadJsonFile(path);
    QEL_REQUIRE(root.kind == sJson::eKind::Object, path);
    const size_t count = ForEachWycheproofTest(root, [](const sJson& group, const sJson& test) {
        ASSERT_EQ(group["tagSize"].Int(), 128);
        const Bytes key = test["key"].Data();
        const Bytes nonce = test["iv"].Data();
        const Bytes aad = test["aad"].Data();
        const Bytes message = test["msg"].Data();
        const sSealed sealed = Seal(key, nonce, aad, message);
        Bytes text = test["ct"].Data();
        const bool opened = Open(key, nonce, aad, text, test["tag"].Data());
        const std::string id = "tcId " + std::to_string(test["tcId"].Int());
        if (test["result"].text == "valid") {
            ASSERT_TRUE(sealed.ok) << id;
            EXPECT_EQ(ToHex(sealed.cipher), test["ct"].text) << id;
            EXPECT_EQ(ToHex(sealed.tag), test["tag"].text) << id;
            EXPECT_TRUE(opened) << id;
            EXPECT_EQ(ToHex(text), test["msg"].text) << id;
        } else {
            EXPECT_FALSE(opened) << id;
            if (nonce.empty()) {
                EXPECT_FALSE(sealed.ok) << id;
            }
        }
    });
    EXPECT_EQ(count, 316u);
}

// The record layer's form: 5 bytes of AAD, nonces of 12, 8 and 60 bytes, lengths up to
// 16385.
TEST_P(GcmPaths, RecordVectorsWithFiveByteAad)
{
    const std::string path = SharedDataPath("net/gcm_aad5_vectors.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    for (const auto& record : records) {
        const Bytes key = record.Data("KEY");
        const Bytes nonce = record.Data("NONCE");
        const Bytes aad = record.Data("AAD");
        const Bytes plain = record.Data("PT");
        ASSERT_EQ(aad.size(), 5u);
        sGcmKey context;
        ASSERT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
        Bytes text = plain;
        u8 tag[16];
        ASSERT_TRUE(GcmSeal(context, nonce.data(), nonce.size(), aad.data(), text.data(), text.size(),
                            text.data(), tag));
        EXPECT_EQ(ToHex(text), record.Text("CT")) << "COUNT " << record.Text("COUNT");
        EXPECT_EQ(ToHex(tag, 16), record.Text("TAG"));
        EXPECT_TRUE(GcmOpen(context, nonce.data(), nonce.size(), aad.data(), text.data(),
                            text.size(), text.data(), tag));
        EXPECT_EQ(ToHex(text), ToHex(plain));
    }
    EXPECT_GE(records.size(), 24u);
}

// Every single-bit change of cipher text, tag or AAD of a 17-byte record fails the check.
TEST_P(GcmPaths, EveryFlippedBitFailsOpen)
{
    std::mt19937_64 random(17);
    const Bytes key = RandomBytes(random, 16);
    const Bytes nonce = RandomBytes(random, 12);
    const Bytes aad = RandomBytes(random, 5);
    const sSealed sealed = Seal(key, nonce, aad, RandomBytes(random, 17));
    ASSERT_TRUE(sealed.ok);
    sGcmKey context;
    ASSERT_TRUE(GcmSetKey(context, key.data(), 128));
    Bytes scratch(17);
    size_t cases = 0;
    auto check = [&](Bytes cipher, Bytes tag, Bytes header) {
        EXPECT_FALSE(GcmOpen(context, nonce.data(), 12, header.data(), cipher.data(), 17,
                             scratch.data(), tag.data()));
        ++cases;
    };
    for (size_t bit = 0; bit < 17 * 8; ++bit) {
        Bytes cipher = sealed.cipher;
        cipher[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        check(cipher, sealed.tag, aad);
    }
    for (size_t bit = 0; bit < 16 * 8; ++bit) {
        Bytes tag = sealed.tag;
        tag[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        check(sealed.cipher, tag, aad);
    }
    for (size_t bit = 0; bit < 5 * 8; ++bit) {
        Bytes header = aad;
        header[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        check(sealed.cipher, sealed.tag, header);
    }
    EXPECT_EQ(cases, 304u);
    EXPECT_TRUE(GcmOpen(context, nonce.data(), 12, aad.data(), sealed.cipher.data(), 17,
                        scratch.data(), sealed.tag.data()));
}

// Random key sizes, nonce lengths, AAD and text lengths 0..20,000 against libcrypto.
TEST_P(GcmPaths, RandomMessagesMatchLibcrypto)
{
    std::mt19937_64 random(0x6c3);
    const size_t nonceLengths[] = {12, 12, 12, 1, 8, 16, 60};
    for (int n = 0; n < 300; ++n) {
        const Bytes key = RandomBytes(random, 16 + 8 * (random() % 3));
        const Bytes nonce = RandomBytes(random, nonceLengths[random() % 7]);
        const Bytes aad = RandomBytes(random, random() % 3 == 0 ? random() % 600 : 5);
        const size_t length = n < 40 ? static_cast<size_t>(n) : random() % 20001;
        const Bytes plain = RandomBytes(random, length);
        const sSealed ours = Seal(key, nonce, aad, plain);
        const sSealed reference = ReferenceSeal(key, nonce, aad, plain);
        ASSERT_TRUE(ours.ok);
        ASSERT_EQ(ToHex(ours.cipher), ToHex(reference.cipher)) << "length " << length;
        ASSERT_EQ(ToHex(ours.tag), ToHex(reference.tag)) << "length " << length;
        Bytes text = ours.cipher;
        ASSERT_TRUE(Open(key, nonce, aad, text, ours.tag));
        ASSERT_EQ(text, plain);
    }
}

QEL_INSTANTIATE_PATHS(GcmPaths);

// The carry-less-multiply GHASH and the table method agree on random keys and data, and
// the table's single multiplication agrees with both.
TEST(Ghash, ClmulAndTableAgree)
{
    const sGhashPath* clmul = GhashClmulPath();
    if (clmul == nullptr) {
        GTEST_SKIP() << "no carry-less multiply on this processor";
    }
    std::mt19937_64 random(0x6a54);
    for (int n = 0; n < 2000; ++n) {
        sGcmKey key;
        ASSERT_TRUE(GcmSetKey(key, RandomBytes(random, 16).data(), 128));
        const size_t blocks = random() % 40;
        const Bytes data = RandomBytes(random, 16 * blocks);
        Bytes byTable = RandomBytes(random, 16);
        Bytes byClmul = byTable;
        Bytes bySingle = byTable;
        GhashTablePath().m_absorb(key, byTable.data(), data.data(), blocks);
        clmul->m_absorb(key, byClmul.data(), data.data(), blocks);
        for (size_t b = 0; b < blocks; ++b) {
            for (int i = 0; i < 16; ++i) {
                bySingle[i] ^= data[16 * b + i];
            }
            GhashMultiply(key, bySingle.data());
        }
        ASSERT_EQ(ToHex(byClmul), ToHex(byTable)) << "blocks " << blocks;
        ASSERT_EQ(ToHex(bySingle), ToHex(byTable));
    }
}

TEST(Gcm, RefusesBadArguments)
{
    sGcmKey key;
    const Bytes keyBytes(32, 1);
    EXPECT_FALSE(GcmSetKey(key, nullptr, 128));
    EXPECT_FALSE(GcmSetKey(key, keyBytes.data(), 0));
    EXPECT_FALSE(GcmSetKey(key, keyBytes.data(), 64));
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
