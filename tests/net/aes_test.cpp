// AES: the known answers run through the CBC and GCM vector tests on both paths; here the
// 32-bit counter mode at its wrap and the cipher object's refusals.
#include "cryptopaths.h"
#include "net/crypto/aescipher.h"
#include "net/crypto/byteorder.h"
#include "vectors.h"

using namespace nettest;

namespace {

class AesPaths : public PathTest
{
};

} // namespace

// The counter counts in its last 32 bits only: past 0xffffffff it wraps without carrying
// into byte 11 (SP 800-38D 6.2), which libcrypto's 128-bit counter would do.
TEST_P(AesPaths, Ctr32WrapsWithoutCarry)
{
    std::mt19937_64 random(7);
    const Bytes key = RandomBytes(random, 32);
    sAesKeySchedule schedule;
    ASSERT_TRUE(AesSetEncryptKey(schedule, key.data(), 256));
    const Bytes data = RandomBytes(random, 16 * 21);
    Bytes counter = RandomBytes(random, 16);
    StoreBe32(counter.data() + 12, 0xfffffff6u); // wraps after 10 blocks
    Bytes expected = data;
    Bytes running = counter;
    for (size_t b = 0; b < 21; ++b) {
        u8 stream[16];
        ASSERT_TRUE(AesEncryptBlock(schedule, running.data(), stream));
        for (int i = 0; i < 16; ++i) {
            expected[16 * b + i] ^= stream[i];
        }
        StoreBe32(running.data() + 12, LoadBe32(running.data() + 12) + 1);
    }
    Bytes out = data;
    AesCtr32Blocks(schedule, counter.data(), out.data(), out.data(), 21);
    EXPECT_EQ(ToHex(out), ToHex(expected));
    EXPECT_EQ(ToHex(counter), ToHex(running));
}

QEL_INSTANTIATE_PATHS(AesPaths);

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
