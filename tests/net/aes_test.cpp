// AES on both paths against FIPS 197, the CAVP ECB files and libcrypto; the cipher object's
// key handling and refusals.
#include "cryptopaths.h"
#include "net/crypto/aescipher.h"
#include "net/crypto/byteorder.h"
#include "vectors.h"

#include <openssl/evp.h>

using namespace nettest;

namespace {

class AesPaths : public PathTest
{
};

Bytes EcbEncrypt(const Bytes& key, const Bytes& plain)
{
    sAesKeySchedule schedule;
    EXPECT_TRUE(AesSetEncryptKey(schedule, key.data(), static_cast<u32>(key.size() * 8)));
    Bytes out(plain.size());
    for (size_t at = 0; at < plain.size(); at += 16) {
        EXPECT_TRUE(AesEncryptBlock(schedule, plain.data() + at, out.data() + at));
    }
    return out;
}

Bytes EcbDecrypt(const Bytes& key, const Bytes& cipher)
{
    sAesKeySchedule schedule;
    EXPECT_TRUE(AesSetDecryptKey(schedule, key.data(), static_cast<u32>(key.size() * 8)));
    Bytes out(cipher.size());
    for (size_t at = 0; at < cipher.size(); at += 16) {
        EXPECT_TRUE(AesDecryptBlock(schedule, cipher.data() + at, out.data() + at));
    }
    return out;
}

const EVP_CIPHER* ReferenceEcb(size_t keyBytes)
{
    return keyBytes == 16 ? EVP_aes_128_ecb() : keyBytes == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}

Bytes ReferenceEncrypt(const Bytes& key, const Bytes& block)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, ReferenceEcb(key.size()), nullptr, key.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(16);
    int written = 0;
    EVP_EncryptUpdate(ctx, out.data(), &written, block.data(), 16);
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

} // namespace

// FIPS 197 Appendix C: plaintext 00112233..ff under key 000102.. of each size.
TEST_P(AesPaths, Fips197ExampleVectors)
{
    const Bytes plain = Hex("00112233445566778899aabbccddeeff");
    const struct {
        size_t keyBytes;
        const char* cipher;
    } cases[] = {{16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                 {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                 {32, "8ea2b7ca516745bfeafc49904b496089"}};
    for (const auto& c : cases) {
        Bytes key(c.keyBytes);
        for (size_t i = 0; i < key.size(); ++i) {
            key[i] = static_cast<uint8_t>(i);
        }
        EXPECT_EQ(ToHex(EcbEncrypt(key, plain)), c.cipher);
        EXPECT_EQ(ToHex(EcbDecrypt(key, Hex(c.cipher))), ToHex(plain));

        // In place: the whole input is read before the output is written.
        sAesKeySchedule encrypt, decrypt;
        ASSERT_TRUE(AesSetEncryptKey(encrypt, key.data(), static_cast<u32>(key.size() * 8)));
        ASSERT_TRUE(AesSetDecryptKey(decrypt, key.data(), static_cast<u32>(key.size() * 8)));
        Bytes block = plain;
        ASSERT_TRUE(AesEncryptBlock(encrypt, block.data(), block.data()));
        EXPECT_EQ(ToHex(block), c.cipher);
        ASSERT_TRUE(AesDecryptBlock(decrypt, block.data(), block.data()));
        EXPECT_EQ(ToHex(block), ToHex(plain));
    }
}

// Every CAVP ECB known-answer and multi-block file, both sections.
TEST_P(AesPaths, CavpEcbFiles)
{
    size_t checked = 0;
    for (const char* kind : {"GFSbox", "KeySbox", "VarKey", "VarTxt", "MMT"}) {
        for (const char* bits : {"128", "192", "256"}) {
            const std::string path = CavpPath(std::string("ciphers/AES/ECB/ECB") + kind + bits + ".rsp");
            const auto records = ReadVectorFile(path);
            QEL_REQUIRE(!records.empty(), path);
            for (const auto& record : records) {
                if (!record.Has("KEY")) {
                    continue;
                }
                const Bytes key = record.Data("KEY");
                const std::string plain = record.Text("PLAINTEXT");
                const std::string cipher = record.Text("CIPHERTEXT");
                if (record.headers.count("ENCRYPT") != 0 && record.headers.count("DECRYPT") == 0) {
                    ASSERT_EQ(ToHex(EcbEncrypt(key, Hex(plain))), cipher) << path;
                } else {
                    ASSERT_EQ(ToHex(EcbDecrypt(key, Hex(cipher))), plain) << path;
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 2000u);
}

// The counter-mode and CBC bulk helpers agree with single blocks, including a counter that
// wraps in its last 32 bits without carrying into byte 11.
TEST_P(AesPaths, BulkHelpersMatchSingleBlocks)
{
    std::mt19937_64 random(7);
    const Bytes key = RandomBytes(random, 32);
    sAesKeySchedule encrypt, decrypt;
    ASSERT_TRUE(AesSetEncryptKey(encrypt, key.data(), 256));
    ASSERT_TRUE(AesSetDecryptKey(decrypt, key.data(), 256));
    const Bytes data = RandomBytes(random, 16 * 21);

    Bytes counter = RandomBytes(random, 16);
    counter[12] = counter[13] = counter[14] = 0xff;
    counter[15] = 0xf6; // wraps after 10 blocks
    Bytes expected(data.size());
    Bytes running = counter;
    for (size_t b = 0; b < 21; ++b) {
        u8 stream[16];
        ASSERT_TRUE(AesEncryptBlock(encrypt, running.data(), stream));
        for (int i = 0; i < 16; ++i) {
            expected[16 * b + i] = data[16 * b + i] ^ stream[i];
        }
        StoreBe32(running.data() + 12, LoadBe32(running.data() + 12) + 1);
    }
    Bytes out = data;
    AesCtr32Blocks(encrypt, counter.data(), out.data(), out.data(), 21);
    EXPECT_EQ(ToHex(out), ToHex(expected));
    EXPECT_EQ(ToHex(counter), ToHex(running));

    Bytes chain = RandomBytes(random, 16);
    Bytes previous = chain;
    for (size_t b = 0; b < 21; ++b) {
        ASSERT_TRUE(AesDecryptBlock(decrypt, data.data() + 16 * b, expected.data() + 16 * b));
        for (int i = 0; i < 16; ++i) {
            expected[16 * b + i] ^= previous[i];
        }
        previous.assign(data.begin() + 16 * b, data.begin() + 16 * b + 16);
    }
    out = data;
    AesCbcDecryptBlocks(decrypt, chain.data(), out.data(), out.data(), 21);
    EXPECT_EQ(ToHex(out), ToHex(expected));
    EXPECT_EQ(ToHex(chain), ToHex(previous));
}

QEL_INSTANTIATE_PATHS(AesPaths);

// 10^5 random (key, block) pairs per key size: table == instructions == libcrypto.
TEST(Aes, TableAndInstructionPathsAgreeWithLibcrypto)
{
    const sAesPath* instructions = AesInstructionPath();
    std::mt19937_64 random(0xae5);
    for (size_t keyBytes : {16, 24, 32}) {
        for (int n = 0; n < 100000; ++n) {
            const Bytes key = RandomBytes(random, keyBytes);
            const Bytes block = RandomBytes(random, 16);
            SelectAesPathForTesting(&AesTablePath());
            const Bytes table = EcbEncrypt(key, block);
            ASSERT_EQ(ToHex(EcbDecrypt(key, table)), ToHex(block));
            if (instructions != nullptr) {
                SelectAesPathForTesting(instructions);
                ASSERT_EQ(ToHex(EcbEncrypt(key, block)), ToHex(table));
                ASSERT_EQ(ToHex(EcbDecrypt(key, table)), ToHex(block));
            }
            ASSERT_EQ(ToHex(ReferenceEncrypt(key, block)), ToHex(table));
        }
    }
    SelectAesPathForTesting(nullptr);
}

TEST(Aes, PlainFunctionsRefuseBadArguments)
{
    sAesKeySchedule schedule = {};
    const u8 key[32] = {};
    u8 block[16] = {};
    for (u32 bits : {0u, 64u, 127u, 129u, 512u}) {
        EXPECT_FALSE(AesSetEncryptKey(schedule, key, bits)) << bits;
        EXPECT_FALSE(AesSetDecryptKey(schedule, key, bits)) << bits;
    }
    EXPECT_FALSE(AesSetEncryptKey(schedule, nullptr, 128));
    EXPECT_FALSE(AesEncryptBlock(schedule, block, block)) << "a zeroed schedule holds no key";
    ASSERT_TRUE(AesSetEncryptKey(schedule, key, 128));
    EXPECT_FALSE(AesEncryptBlock(schedule, nullptr, block));
    EXPECT_FALSE(AesEncryptBlock(schedule, block, nullptr));
}

TEST(AesCipher, KeySizesAndBlockSize)
{
    cAESCipher cipher;
    EXPECT_EQ(cipher.GetKind(), 2);
    EXPECT_EQ(cipher.GetBlockSize(), 16u);
    for (u32 bits : {128u, 192u, 256u}) {
        EXPECT_TRUE(cipher.SupportsKeySize(bits));
    }
    for (u32 bits : {0u, 64u, 127u, 129u, 512u}) {
        EXPECT_FALSE(cipher.SupportsKeySize(bits));
        EXPECT_FALSE(cipher.SetKey(Bytes(64).data(), bits));
    }
}

// A new, cloned or wiped cipher refuses block operations until SetKey succeeds again.
TEST(AesCipher, UnkeyedCipherRefusesBlocks)
{
    const Bytes key = Hex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain = Hex("00112233445566778899aabbccddeeff");
    u8 out[16];
    cAESCipher fresh;
    EXPECT_FALSE(fresh.EncryptBlock(plain.data(), out));
    EXPECT_FALSE(fresh.DecryptBlock(plain.data(), out));

    ASSERT_TRUE(fresh.SetKey(key.data(), 128));
    ASSERT_TRUE(fresh.EncryptBlock(plain.data(), out));
    EXPECT_EQ(ToHex(out, 16), "69c4e0d86a7b0430d8cdb78070b4c55a");
    EXPECT_FALSE(fresh.EncryptBlock(nullptr, out));
    EXPECT_FALSE(fresh.DecryptBlock(plain.data(), nullptr));

    std::unique_ptr<cBlockCipher> clone(fresh.Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_FALSE(clone->EncryptBlock(plain.data(), out));

    fresh.Wipe();
    EXPECT_FALSE(fresh.EncryptBlock(plain.data(), out));
    EXPECT_FALSE(fresh.DecryptBlock(plain.data(), out));
    ASSERT_TRUE(fresh.SetKey(key.data(), 128));
    ASSERT_TRUE(fresh.DecryptBlock(Hex("69c4e0d86a7b0430d8cdb78070b4c55a").data(), out));
    EXPECT_EQ(ToHex(out, 16), ToHex(plain));
}
