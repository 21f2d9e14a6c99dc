// X25519 against RFC 7748 (5.2 vectors and iterations, 6.1 key agreement), every
// Wycheproof case and libcrypto on random keys; the field packing at the edges of p.
#include "net/crypto/fe25519.h"
#include "net/crypto/randompool.h"
#include "net/crypto/x25519.h"
#include "net/crypto/x25519ladder.h"
#include "vectors.h"

#include <openssl/evp.h>

using namespace nettest;

namespace {

Bytes Shared(const Bytes& scalar, const Bytes& point)
{
    Bytes out(32);
    X25519ScalarMult(scalar.data(), out.data(), point.data());
    return out;
}

// RFC 7748 5.2: k = u = 9, then k, u = X25519(k, u), k for the given count.
std::string Iterate(int count)
{
    Bytes k(32, 0), u(32, 0);
    k[0] = u[0] = 9;
    for (int i = 0; i < count; ++i) {
        Bytes next = Shared(k, u);
        u = k;
        k = next;
    }
    return ToHex(k);
}

Bytes ReferencePublic(const Bytes& privateKey)
{
    EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, privateKey.data(), 32);
    Bytes out(32);
    size_t size = 32;
    EXPECT_EQ(EVP_PKEY_get_raw_public_key(key, out.data(), &size), 1);
    EVP_PKEY_free(key);
    return out;
}

Bytes ReferenceShared(const Bytes& privateKey, const Bytes& peerPublic)
{
    EVP_PKEY* own = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, privateKey.data(), 32);
    EVP_PKEY* peer = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peerPublic.data(), 32);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(own, nullptr);
    Bytes out(32);
    size_t size = 32;
    EXPECT_EQ(EVP_PKEY_derive_init(ctx), 1);
    EXPECT_EQ(EVP_PKEY_derive_set_peer(ctx, peer), 1);
    EXPECT_EQ(EVP_PKEY_derive(ctx, out.data(), &size), 1);
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(peer);
    EVP_PKEY_free(own);
    return out;
}

enum class eLadder { Portable, Avx2 };

// Runs a test on each ladder (the AVX2 one is skipped where the processor lacks AVX2).
class X25519Ladders : public ::testing::TestWithParam<eLadder>
{
protected:
    void SetUp() override
    {
        const sX25519Ladder* ladder =
            GetParam() == eLadder::Portable ? &X25519PortableLadder() : X25519Avx2Ladder();
        if (ladder == nullptr) {
            GTEST_SKIP() << "no AVX2 on this processor";
        }
        SelectX25519LadderForTesting(ladder);
    }
    void TearDown() override { SelectX25519LadderForTesting(nullptr); }
};

} // namespace

TEST_P(X25519Ladders, Rfc7748Section5Vectors)
{
    const std::string path = CavpPath("asymmetric/X25519/rfc7748.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    for (const auto& record : records) {
        const Bytes scalar = record.Data("INPUT_SCALAR");
        EXPECT_EQ(ToHex(Shared(scalar, record.Data("INPUT_U"))), record.Text("OUTPUT_U"));
        EXPECT_EQ(ToHex(scalar), record.Text("INPUT_SCALAR")) << "the caller's scalar stays unclamped";
    }
}

TEST_P(X25519Ladders, Rfc7748IteratedOnceAndAThousandTimes)
{
    EXPECT_EQ(Iterate(1), "422c8e7a6227d7bca1350b3e2bb7279f7897b87bb6854b783c60e80311ae3079");
    EXPECT_EQ(Iterate(1000), "684cf59ba83309552800ef566f2f4d3c1c3887c49360e3875f2eb94d99532c51");
}

// The million-iteration value takes minutes; run it on demand with
// --gtest_also_run_disabled_tests --gtest_filter='X25519Slow.*'.
TEST(X25519Slow, DISABLED_Rfc7748IteratedAMillionTimes)
{
    EXPECT_EQ(Iterate(1000000), "7c3911e0ab2586fd864497297e575e6f3bc601c0883c30df5f4dd2d24f665424");
}

// RFC 7748 6.1: Alice and Bob reach the same secret.
TEST_P(X25519Ladders, Rfc7748Section6KeyAgreement)
{
    const Bytes alice = Hex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a");
    const Bytes bob = Hex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb");
    Bytes base(32, 0);
    base[0] = 9;
    const Bytes alicePublic = Shared(alice, base);
    const Bytes bobPublic = Shared(bob, base);
    EXPECT_EQ(ToHex(alicePublic), "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
    EXPECT_EQ(ToHex(bobPublic), "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
    const char* shared = "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742";
    EXPECT_EQ(ToHex(Shared(alice, bobPublic)), shared);
    EXPECT_EQ(ToHex(Shared(bob, alicePublic)), shared);
}

// All 518 cases, valid and acceptable alike, give exactly `shared`; low-order points give
// zeros, which the handshake (not this function) refuses.
TEST_P(X25519Ladders, Wycheproof)
{
    const std::string path = SharedDataPath("wycheproof/x25519_test.json");
    const sJson root = ReadJsonFile(path);
    QEL_REQUIRE(root.kind == sJson::eKind::Object, path);
    size_t zeros = 0;
    const size_t count = ForEachWycheproofTest(root, [&](const sJson&, const sJson& test) {
        const std::string shared = ToHex(Shared(test["private"].Data(), test["public"].Data()));
        EXPECT_EQ(shared, test["shared"].text) << "tcId " << test["tcId"].Int();
        zeros += HasFlag(test, "ZeroSharedSecret") && shared == std::string(64, '0') ? 1 : 0;
    });
    EXPECT_EQ(count, 518u);
    EXPECT_EQ(zeros, 31u);
}

INSTANTIATE_TEST_SUITE_P(X25519, X25519Ladders, ::testing::Values(eLadder::Portable, eLadder::Avx2),
                         [](const auto& info) {
                             return std::string(info.param == eLadder::Portable ? "Portable" : "Avx2");
                         });

// The top bit of the point is ignored; a clamped scalar equals its unclamped form.
TEST(X25519, TopBitOfPointAndClampingAreIgnored)
{
    std::mt19937_64 random(25519);
    for (int n = 0; n < 20; ++n) {
        Bytes scalar = RandomBytes(random, 32);
        Bytes point = RandomBytes(random, 32);
        point[31] &= 0x7f;
        Bytes high = point;
        high[31] |= 0x80;
        EXPECT_EQ(Shared(scalar, point), Shared(scalar, high));
        Bytes clamped = scalar;
        clamped[0] &= 248;
        clamped[31] = (clamped[31] & 127) | 64;
        EXPECT_EQ(Shared(scalar, point), Shared(clamped, point));
    }
}

// 10^4 random pairs against libcrypto's X25519 on the AVX2 ladder, 3,000 on the slower
// portable one.
TEST_P(X25519Ladders, RandomPairsMatchLibcrypto)
{
    std::mt19937_64 random(0x25519);
    const int pairs = GetParam() == eLadder::Avx2 ? 10000 : 3000;
    for (int n = 0; n < pairs; ++n) {
        const Bytes own = RandomBytes(random, 32);
        const Bytes peerPublic = ReferencePublic(RandomBytes(random, 32));
        ASSERT_EQ(ToHex(Shared(own, peerPublic)), ToHex(ReferenceShared(own, peerPublic))) << n;
    }
}

TEST(X25519, KeyPairFromThePool)
{
    u8 privateKey[32], publicKey[32], other[32], otherPublic[32];
    ASSERT_TRUE(X25519KeyPair(privateKey, publicKey));
    ASSERT_TRUE(X25519KeyPair(other, otherPublic));
    EXPECT_NE(ToHex(privateKey, 32), ToHex(other, 32));
    Bytes base(32, 0);
    base[0] = 9;
    EXPECT_EQ(ToHex(Shared(Bytes(privateKey, privateKey + 32), base)), ToHex(publicKey, 32));
    EXPECT_EQ(ToHex(publicKey, 32), ToHex(ReferencePublic(Bytes(privateKey, privateKey + 32))));
}

// Packing reduces fully: p -> 0, p + 1 -> 1, 2^255 - 20 (= p - 1) stays, and the
// unreduced 2^255 - 1 (limbs set directly, past the top bit Unpack clears) -> 18.
TEST(Fe25519, PackReducesFullyAtTheEdges)
{
    auto pack = [](const sFieldElem25519& x) {
        u8 out[32];
        Fe25519Pack(out, x);
        return ToHex(out, 32);
    };
    auto limbsOf = [](const Bytes& little) {
        sFieldElem25519 x;
        for (int i = 0; i < 16; ++i) {
            x.m_limbs[i] = little[2 * i] | (little[2 * i + 1] << 8);
        }
        return x;
    };
    Bytes p(32, 0xff);
    p[0] = 0xed;
    p[31] = 0x7f;
    Bytes pPlusOne = p;
    pPlusOne[0] = 0xee;
    Bytes pMinusOne = p;
    pMinusOne[0] = 0xec;
    Bytes top(32, 0xff);
    top[31] = 0x7f;
    EXPECT_EQ(pack(limbsOf(p)), std::string(64, '0'));
    EXPECT_EQ(pack(limbsOf(pPlusOne)), "01" + std::string(62, '0'));
    EXPECT_EQ(pack(limbsOf(pMinusOne)), ToHex(pMinusOne));
    EXPECT_EQ(pack(limbsOf(top)), "12" + std::string(62, '0'));
    // 2^256 - 1 as limbs: 2^256 = 38, so 37 + ... = 2^255 - 1 + 2^255 -> 37 mod p.
    EXPECT_EQ(pack(limbsOf(Bytes(32, 0xff))), "25" + std::string(62, '0'));

    // Unpack clears the top bit: 2^255 - 1 read from bytes is 2^255 - 1 - 2^255 ... = top.
    sFieldElem25519 unpacked;
    Fe25519Unpack(unpacked, Bytes(32, 0xff).data());
    EXPECT_EQ(pack(unpacked), "12" + std::string(62, '0'));
}

TEST(Fe25519, InvertTimesValueIsOne)
{
    std::mt19937_64 random(3);
    for (int n = 0; n < 50; ++n) {
        sFieldElem25519 x, inverse, product;
        Fe25519Unpack(x, RandomBytes(random, 32).data());
        Fe25519Invert(inverse, x);
        Fe25519Mul(product, x, inverse);
        u8 out[32];
        Fe25519Pack(out, product);
        EXPECT_EQ(ToHex(out, 32), "01" + std::string(62, '0'));
    }
}

// The AVX2 multiplication gives the portable one's field values on random limbs up to the
// ladder's bounds (|limb| < 2^18), signed.
TEST(Fe25519, Avx2MultiplyMatchesPortable)
{
    const sX25519Ladder* avx2 = X25519Avx2Ladder();
    if (avx2 == nullptr) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937_64 random(0xa2);
    for (int n = 0; n < 20000; ++n) {
        sFieldElem25519 a, b, portable, vector;
        for (int i = 0; i < 16; ++i) {
            a.m_limbs[i] = static_cast<i64>(random() % (1u << 19)) - (1 << 18);
            b.m_limbs[i] = static_cast<i64>(random() % (1u << 19)) - (1 << 18);
        }
        u8 expected[32], got[32];
        Fe25519Mul(portable, a, b);
        avx2->m_field.m_multiply(vector, a, b);
        Fe25519Pack(expected, portable);
        Fe25519Pack(got, vector);
        ASSERT_EQ(ToHex(got, 32), ToHex(expected, 32)) << n;
        Fe25519Square(portable, a);
        avx2->m_field.m_square(vector, a);
        Fe25519Pack(expected, portable);
        Fe25519Pack(got, vector);
        ASSERT_EQ(ToHex(got, 32), ToHex(expected, 32)) << n;
    }
}
