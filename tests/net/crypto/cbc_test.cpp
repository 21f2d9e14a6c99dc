// CBC chaining over AES on both paths (CAVP fed in every way); IV restarts, refusals and
// cipher ownership; the AES cipher's refusals. (The AES known answers also run through
// the GCM tests on both paths, the counter's wrap among Wycheproof's cases.)
#include "cryptopaths.h"
#include "net/crypto/aescipher.h"
#include "net/crypto/cbc.h"
#include "net/vectors.h"

using namespace nettest;

namespace {

class CbcPaths : public PathTest
{
};

enum class eWay { Encrypt, Decrypt };

// A fresh CBC with an AES key and IV over `data`, in place or not, fed in `pieces`
// (FeedPieces); an empty result when a call fails.
Bytes RunCbc(eWay way, const Bytes& key, const Bytes& iv, const Bytes& data, bool inPlace,
             const std::vector<size_t>& pieces = {})
{
    cBlockCBC cbc;
    auto* cipher = new cAESCipher();
    EXPECT_TRUE(cipher->SetKey(key.data(), static_cast<u32>(key.size() * 8)));
    EXPECT_TRUE(cbc.SetCipherOwned(cipher));
    cbc.SetIV(iv.data(), static_cast<u32>(iv.size()));
    Bytes out = inPlace ? data : Bytes(data.size(), 0xEE);
    bool ok = true;
    FeedPieces(data, pieces, [&](const u8* at, size_t size) {
        const size_t offset = static_cast<size_t>(at - data.data());
        const u8* in = inPlace ? out.data() + offset : at;
        if (size != 0) {
            ok = ok && (way == eWay::Encrypt ? cbc.Encrypt(in, out.data() + offset, u32(size))
                                             : cbc.Decrypt(in, out.data() + offset, u32(size)));
        }
    });
    return ok ? out : Bytes();
}

// A cipher that only counts its deletions.
class cCountedCipher final : public cBlockCipher
{
public:
    explicit cCountedCipher(int& deletions) : m_deletions(deletions) {}
    ~cCountedCipher() override { ++m_deletions; }
    i32 GetKind() const override { return 99; }
    bool SupportsKeySize(u32) const override { return false; }
    bool SetKey(const u8*, u32) override { return false; }
    u32 GetBlockSize() const override { return 8; }
    bool EncryptBlock(const u8*, u8*) override { return false; }
    bool DecryptBlock(const u8*, u8*) override { return false; }
    cBlockCipher* Clone() const override { return new cCountedCipher(m_deletions); }

private:
    int& m_deletions;
};

} // namespace

// Every CAVP CBC file, fed whole, block by block and split at every block; every other
// record in place.
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
                SCOPED_TRACE(path + " COUNT " + record.Text("COUNT"));
                const bool encrypt = record.headers.count("DECRYPT") == 0;
                const Bytes in = record.Data(encrypt ? "PLAINTEXT" : "CIPHERTEXT");
                ExpectEveryFeeding(in, record.Text(encrypt ? "CIPHERTEXT" : "PLAINTEXT"), [&](const auto& pieces) {
                    return RunCbc(encrypt ? eWay::Encrypt : eWay::Decrypt, record.Data("KEY"), record.Data("IV"), in,
                                  checked % 2 == 1, pieces);
                }, 16);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 2000u);
}

QEL_INSTANTIATE_PATHS(CbcPaths);

// SetIV restarts the chain (without bytes, on the IV held); bad calls write nothing.
TEST(Cbc, SetIvRestartsAndRefusalsWriteNothing)
{
    const Bytes key(16, 3);
    const Bytes iv = Hex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain(48, 0x41);
    std::string expected;
    cAESCipher cipher;
    ASSERT_TRUE(cipher.SetKey(key.data(), 128));
    cBlockCBC cbc;
    Bytes out(48, 0xEE);
    EXPECT_FALSE(cbc.Encrypt(plain.data(), out.data(), 48) || cbc.Decrypt(plain.data(), out.data(), 48)) << "no cipher";
    EXPECT_FALSE(cbc.SetCipherBorrowed(nullptr));
    ASSERT_TRUE(cbc.SetCipherBorrowed(&cipher));
    cbc.SetIV(iv.data(), 16);
    EXPECT_FALSE(cbc.Encrypt(plain.data(), out.data(), 0));
    EXPECT_FALSE(cbc.Encrypt(nullptr, out.data(), 48) || cbc.Decrypt(plain.data(), nullptr, 48));
    EXPECT_FALSE(cbc.Encrypt(plain.data(), out.data(), 31) || cbc.Decrypt(plain.data(), out.data(), 17)) << "partial block";
    EXPECT_EQ(out, Bytes(48, 0xEE));
    for (const u8* bytes : {iv.data(), static_cast<const u8*>(nullptr)}) {
        ASSERT_TRUE(cbc.Encrypt(plain.data(), out.data(), 48));
        expected = expected.empty() ? ToHex(out) : expected;
        EXPECT_EQ(ToHex(out), expected);
        cbc.SetIV(bytes, bytes != nullptr ? 16 : 0);
        ASSERT_TRUE(cbc.Encrypt(plain.data(), out.data(), 48));
        EXPECT_EQ(ToHex(out), expected);
        cbc.SetIV(iv.data(), 16);
    }
    cAESCipher unkeyed;
    ASSERT_TRUE(cbc.SetCipherBorrowed(&unkeyed));
    out.assign(48, 0xEE);
    EXPECT_FALSE(cbc.Decrypt(plain.data(), out.data(), 48)) << "cipher without a key";
    EXPECT_EQ(out, Bytes(48, 0xEE));
}

// Replacing an owned cipher deletes it once; re-attaching the owned one keeps it alive.
TEST(Cbc, CipherOwnership)
{
    int deletions = 0;
    {
        cBlockCBC cbc;
        auto* first = new cCountedCipher(deletions);
        ASSERT_TRUE(cbc.SetCipherOwned(first));
        ASSERT_TRUE(cbc.SetCipherOwned(first));
        EXPECT_EQ(deletions, 0);
        ASSERT_TRUE(cbc.SetCipherOwned(new cCountedCipher(deletions)));
        EXPECT_EQ(deletions, 1);
        cCountedCipher borrowed(deletions);
        ASSERT_TRUE(cbc.SetCipherBorrowed(&borrowed));
        EXPECT_EQ(deletions, 2);
    }
    EXPECT_EQ(deletions, 3) << "only the borrowed cipher's own destructor remains";
}

// Bad key sizes, null pointers, and schedules or ciphers that hold no key (new, cloned or
// wiped) are refused.
TEST(Aes, RefusesBadArguments)
{
    const u8 key[64] = {};
    u8 block[16] = {};
    sAesKeySchedule schedule = {};
    cAESCipher cipher;
    for (u32 bits : {0u, 64u, 127u, 129u, 512u}) {
        EXPECT_FALSE(AesSetEncryptKey(schedule, key, bits)) << bits;
        EXPECT_FALSE(AesSetDecryptKey(schedule, key, bits)) << bits;
        EXPECT_FALSE(cipher.SupportsKeySize(bits) || cipher.SetKey(key, bits)) << bits;
    }
    EXPECT_FALSE(AesSetEncryptKey(schedule, nullptr, 128));
    EXPECT_FALSE(AesEncryptBlock(schedule, block, block)) << "a zeroed schedule holds no key";
    EXPECT_FALSE(cipher.EncryptBlock(block, block) || cipher.DecryptBlock(block, block)) << "new cipher";
    ASSERT_TRUE(AesSetEncryptKey(schedule, key, 128));
    EXPECT_FALSE(AesEncryptBlock(schedule, nullptr, block) || AesEncryptBlock(schedule, block, nullptr));

    ASSERT_TRUE(cipher.SetKey(key, 192));
    ASSERT_TRUE(cipher.EncryptBlock(block, block));
    EXPECT_FALSE(cipher.EncryptBlock(nullptr, block) || cipher.DecryptBlock(block, nullptr));
    std::unique_ptr<cBlockCipher> clone(cipher.Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_FALSE(clone->EncryptBlock(block, block)) << "clone";
    cipher.Wipe();
    EXPECT_FALSE(cipher.EncryptBlock(block, block) || cipher.DecryptBlock(block, block)) << "wiped";
}
