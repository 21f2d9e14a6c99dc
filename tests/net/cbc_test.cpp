// CBC chaining over AES on both paths (SP 800-38A, CAVP, Wycheproof with the caller's
// PKCS#7 check, libcrypto) and over an 8-byte toy cipher for the generic path; IV
// handling, refusals and cipher ownership.
#include "cryptopaths.h"
#include "net/crypto/aescipher.h"
#include "net/crypto/cbc.h"
#include "vectors.h"

#include <openssl/evp.h>

using namespace nettest;

namespace {

class CbcPaths : public PathTest
{
};

struct sCbcResult
{
    bool ok = false;
    Bytes out;
};

enum class eWay { Encrypt, Decrypt };

// Runs a fresh CBC with an AES key and IV over `data`, in place or not, in pieces of
// `piece` bytes (0 = all at once).
sCbcResult RunCbc(eWay way, const Bytes& key, const Bytes& iv, const Bytes& data, bool inPlace,
                  size_t piece = 0)
{
    cBlockCBC cbc;
    auto* cipher = new cAESCipher();
    EXPECT_TRUE(cipher->SetKey(key.data(), static_cast<u32>(key.size() * 8)));
    EXPECT_TRUE(cbc.SetCipherOwned(cipher));
    cbc.SetIV(iv.data(), static_cast<u32>(iv.size()));
    sCbcResult result;
    result.out = inPlace ? data : Bytes(data.size(), 0xEE);
    const u8* in = inPlace ? result.out.data() : data.data();
    result.ok = true;
    const size_t step = piece == 0 ? data.size() : piece;
    for (size_t at = 0; at < data.size() && result.ok; at += step) {
        const u32 n = static_cast<u32>(std::min(step, data.size() - at));
        result.ok = way == eWay::Encrypt ? cbc.Encrypt(in + at, result.out.data() + at, n)
                                         : cbc.Decrypt(in + at, result.out.data() + at, n);
    }
    return result;
}

Bytes ReferenceCbc(eWay way, const Bytes& key, const Bytes& iv, const Bytes& data)
{
    const EVP_CIPHER* type = key.size() == 16 ? EVP_aes_128_cbc()
                           : key.size() == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, type, nullptr, key.data(), iv.data(), way == eWay::Encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(data.size());
    int written = 0;
    EVP_CipherUpdate(ctx, out.data(), &written, data.data(), static_cast<int>(data.size()));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

// A toy 8-byte block cipher (byte-wise add and rotate; not a cipher anyone should use) to
// drive the generic block-size path, and to count deletions.
class cToyCipher final : public cBlockCipher
{
public:
    explicit cToyCipher(int* deletions = nullptr) : m_deletions(deletions) {}
    ~cToyCipher() override
    {
        if (m_deletions != nullptr) {
            ++*m_deletions;
        }
    }
    i32 GetKind() const override { return 99; }
    bool SupportsKeySize(u32 bits) const override { return bits == 8; }
    bool SetKey(const u8* key, u32 bits) override
    {
        m_key = key != nullptr ? key[0] : 0;
        return bits == 8;
    }
    u32 GetBlockSize() const override { return 8; }
    bool EncryptBlock(const u8* in, u8* out) override
    {
        u8 t[8];
        for (int i = 0; i < 8; ++i) {
            t[(i + 1) % 8] = static_cast<u8>(in[i] + m_key + i);
        }
        std::memcpy(out, t, 8);
        return true;
    }
    bool DecryptBlock(const u8* in, u8* out) override
    {
        u8 t[8];
        for (int i = 0; i < 8; ++i) {
            t[i] = static_cast<u8>(in[(i + 1) % 8] - m_key - i);
        }
        std::memcpy(out, t, 8);
        return true;
    }
    cBlockCipher* Clone() const override { return new cToyCipher(); }

private:
    int* m_deletions;
    u8 m_key = 0;
};

} // namespace

// SP 800-38A F.2.1-F.2.2 (CBC-AES128) and F.2.5-F.2.6 (CBC-AES256), in and out of place.
TEST_P(CbcPaths, Sp80038aVectors)
{
    const Bytes iv = Hex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain = Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                            "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const struct {
        const char* key;
        const char* cipher;
    } cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c",
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
         "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
         "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
    };
    for (const auto& c : cases) {
        for (bool inPlace : {false, true}) {
            const sCbcResult encrypted = RunCbc(eWay::Encrypt, Hex(c.key), iv, plain, inPlace);
            ASSERT_TRUE(encrypted.ok);
            EXPECT_EQ(ToHex(encrypted.out), c.cipher);
            const sCbcResult decrypted = RunCbc(eWay::Decrypt, Hex(c.key), iv, Hex(c.cipher), inPlace);
            ASSERT_TRUE(decrypted.ok);
            EXPECT_EQ(ToHex(decrypted.out), ToHex(plain));
        }
    }
}

TEST_P(CbcPaths, CavpFiles)
{
    size_t checked = 0;
    for (const char* kind : {"GFSbox", "KeySbox", "VarKey", "VarTxt", "MMT"}) {
        for (const char* bits : {"128", "192", "256"}) {
            const std::string path = CavpPath(std::string("ciphers/AES/CBC/CBC") + kind + bits + ".rsp");
            const auto records = ReadVectorFile(path);
            QEL_REQUIRE(!records.empty(), path);
            for (const auto& record : records) {
                if (!record.Has("KEY")) {
                    continue;
                }
                const bool encrypt = record.headers.count("DECRYPT") == 0;
                const sCbcResult result =
                    encrypt ? RunCbc(eWay::Encrypt, record.Data("KEY"), record.Data("IV"), record.Data("PLAINTEXT"), false)
                            : RunCbc(eWay::Decrypt, record.Data("KEY"), record.Data("IV"), record.Data("CIPHERTEXT"), false);
                ASSERT_TRUE(result.ok);
                ASSERT_EQ(ToHex(result.out), record.Text(encrypt ? "CIPHERTEXT" : "PLAINTEXT")) << path;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 2000u);
}

// Wycheproof AES-CBC-PKCS5: decrypt, then the caller's padding check (RFC 5652 6.3).
TEST_P(CbcPaths, WycheproofWithPkcs7Check)
{
    const std::string path = SharedDataPath("wycheproof/aes_cbc_pkcs5_test.json");
    const sJson root = ReadJsonFile(path);
    QEL_REQUIRE(root.kind == sJson::eKind::Object, path);
    const size_t count = ForEachWycheproofTest(root, [](const sJson&, const sJson& test) {
        const Bytes cipher = test["ct"].Data();
        const sCbcResult result = RunCbc(eWay::Decrypt, test["key"].Data(), test["iv"].Data(), cipher, true);
        bool valid = result.ok && !result.out.empty();
        Bytes message;
        if (valid) {
            const size_t pad = result.out.back();
            valid = pad >= 1 && pad <= 16 && pad <= result.out.size();
            for (size_t i = 0; valid && i < pad; ++i) {
                valid = result.out[result.out.size() - 1 - i] == pad;
            }
            if (valid) {
                message.assign(result.out.begin(), result.out.end() - pad);
            }
        }
        const std::string id = "tcId " + std::to_string(test["tcId"].Int());
        if (test["result"].text == "valid") {
            ASSERT_TRUE(valid) << id;
            EXPECT_EQ(ToHex(message), test["msg"].text) << id;
        } else {
            EXPECT_FALSE(valid) << id;
        }
    });
    EXPECT_EQ(count, 216u);
}

// Random messages against libcrypto, whole and fed block-aligned pieces: the chain runs on
// across calls.
TEST_P(CbcPaths, RandomMessagesAndPiecesMatchLibcrypto)
{
    std::mt19937_64 random(0xcbc);
    for (int n = 0; n < 200; ++n) {
        const Bytes key = RandomBytes(random, 16 + 8 * (random() % 3));
        const Bytes iv = RandomBytes(random, 16);
        const Bytes data = RandomBytes(random, 16 * (1 + random() % 70));
        const size_t piece = 16 * (random() % 12);
        const bool inPlace = random() % 2 == 0;
        for (eWay way : {eWay::Encrypt, eWay::Decrypt}) {
            const sCbcResult ours = RunCbc(way, key, iv, data, inPlace, piece);
            ASSERT_TRUE(ours.ok);
            ASSERT_EQ(ToHex(ours.out), ToHex(ReferenceCbc(way, key, iv, data))) << "piece " << piece;
        }
    }
}

QEL_INSTANTIATE_PATHS(CbcPaths);

// A second SetIV restarts the chain; SetIV without bytes restarts with the old IV.
TEST(Cbc, SetIvRestartsTheChain)
{
    const Bytes key(16, 3);
    const Bytes iv = Hex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain(48, 0x41);
    cAESCipher cipher;
    ASSERT_TRUE(cipher.SetKey(key.data(), 128));
    cBlockCBC cbc;
    ASSERT_TRUE(cbc.SetCipherBorrowed(&cipher));
    Bytes first(48), second(48), third(48);
    cbc.SetIV(iv.data(), 16);
    ASSERT_TRUE(cbc.Encrypt(plain.data(), first.data(), 48));
    cbc.SetIV(iv.data(), 16);
    ASSERT_TRUE(cbc.Encrypt(plain.data(), second.data(), 48));
    cbc.SetIV(nullptr, 0);
    ASSERT_TRUE(cbc.Encrypt(plain.data(), third.data(), 48));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third);
    EXPECT_EQ(ToHex(first), ToHex(ReferenceCbc(eWay::Encrypt, key, iv, plain)));
}

TEST(Cbc, RefusesWithoutWriting)
{
    cBlockCBC cbc;
    Bytes data(32, 7);
    Bytes out(32, 0xEE);
    EXPECT_FALSE(cbc.Encrypt(data.data(), out.data(), 32)) << "no cipher";
    EXPECT_FALSE(cbc.Decrypt(data.data(), out.data(), 32)) << "no cipher";
    cAESCipher cipher;
    ASSERT_TRUE(cipher.SetKey(Bytes(16, 1).data(), 128));
    EXPECT_FALSE(cbc.SetCipherBorrowed(nullptr));
    ASSERT_TRUE(cbc.SetCipherBorrowed(&cipher));
    cbc.SetIV(Bytes(16, 2).data(), 16);
    EXPECT_FALSE(cbc.Encrypt(data.data(), out.data(), 0));
    EXPECT_FALSE(cbc.Encrypt(nullptr, out.data(), 32));
    EXPECT_FALSE(cbc.Decrypt(data.data(), nullptr, 32));
    EXPECT_FALSE(cbc.Encrypt(data.data(), out.data(), 31)) << "partial block";
    EXPECT_FALSE(cbc.Decrypt(data.data(), out.data(), 17)) << "partial block";
    EXPECT_EQ(out, Bytes(32, 0xEE));

    cAESCipher unkeyed;
    ASSERT_TRUE(cbc.SetCipherBorrowed(&unkeyed));
    EXPECT_FALSE(cbc.Decrypt(data.data(), out.data(), 32)) << "cipher without a key";
    EXPECT_EQ(out, Bytes(32, 0xEE));
}

// Replacing an owned cipher deletes it once; re-attaching the owned one keeps it alive.
TEST(Cbc, CipherOwnership)
{
    int deletions = 0;
    {
        cBlockCBC cbc;
        auto* first = new cToyCipher(&deletions);
        ASSERT_TRUE(cbc.SetCipherOwned(first));
        ASSERT_TRUE(cbc.SetCipherOwned(first));
        EXPECT_EQ(deletions, 0);
        ASSERT_TRUE(cbc.SetCipherOwned(new cToyCipher(&deletions)));
        EXPECT_EQ(deletions, 1);
        cToyCipher borrowed(&deletions);
        ASSERT_TRUE(cbc.SetCipherBorrowed(&borrowed));
        EXPECT_EQ(deletions, 2);
    }
    EXPECT_EQ(deletions, 3) << "only the borrowed cipher's own destructor remains";
}

// An 8-byte cipher takes the byte-wise path: check it against CBC written out by hand, with
// a 5-byte IV (padded with zeros to 8) and in place.
TEST(Cbc, GenericBlockSizeMatchesHandWrittenChain)
{
    cToyCipher toy;
    ASSERT_TRUE(toy.SetKey(Hex("5a").data(), 8));
    const Bytes iv = Hex("0102030405");
    std::mt19937_64 random(8);
    const Bytes plain = RandomBytes(random, 64);
    Bytes expected(64);
    Bytes chain = {1, 2, 3, 4, 5, 0, 0, 0};
    for (size_t at = 0; at < 64; at += 8) {
        u8 block[8];
        for (int i = 0; i < 8; ++i) {
            block[i] = plain[at + i] ^ chain[i];
        }
        ASSERT_TRUE(toy.EncryptBlock(block, expected.data() + at));
        chain.assign(expected.begin() + at, expected.begin() + at + 8);
    }
    cBlockCBC cbc;
    ASSERT_TRUE(cbc.SetCipherBorrowed(&toy));
    cbc.SetIV(iv.data(), 5);
    Bytes text = plain;
    ASSERT_TRUE(cbc.Encrypt(text.data(), text.data(), 24));
    ASSERT_TRUE(cbc.Encrypt(text.data() + 24, text.data() + 24, 40));
    EXPECT_EQ(ToHex(text), ToHex(expected));
    cbc.SetIV(iv.data(), 5);
    ASSERT_TRUE(cbc.Decrypt(text.data(), text.data(), 64));
    EXPECT_EQ(ToHex(text), ToHex(plain));
}
