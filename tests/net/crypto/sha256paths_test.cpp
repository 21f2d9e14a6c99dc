// Every SHA-256 compression this processor offers (portable, BMI2 build, SHA extensions)
// against libcrypto's SHA-256 on random messages of every length class.
#include "net/crypto/hmac.h"
#include "net/vectors.h"
#include "testhooks/nethooks.h"

#include <openssl/sha.h>
#include <random>

using namespace nettest;

TEST(Sha256Paths, EachAgreesWithLibcrypto)
{
    std::mt19937 random(17);
    for (const tSha256Blocks path : {Sha256CompressBlocksPortable, Sha256Bmi2Blocks(), Sha256ShaExtensionBlocks()}) {
        if (path == nullptr) {
            continue; // not on this processor
        }
        SelectSha256BlocksForTesting(path);
        for (size_t length : {0, 1, 55, 56, 63, 64, 65, 127, 128, 1000, 4099}) {
            Bytes message(length);
            for (uint8_t& byte : message) {
                byte = uint8_t(random());
            }
            u8 ours[32];
            uint8_t theirs[32];
            Sha256(message.data(), i64(length), ours);
            SHA256(message.data(), length, theirs);
            EXPECT_EQ(ToHex(ours, 32), ToHex(theirs, 32)) << length;
        }
    }
    SelectSha256BlocksForTesting(nullptr);
}
