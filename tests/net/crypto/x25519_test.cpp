// X25519 on both ladders against RFC 7748 (5.2 vectors and iterations, 6.1 key agreement),
// every Wycheproof case (the edge cases of the field's reduction among them).
#include "cryptopaths.h"
#include "net/crypto/x25519.h"
#include "net/vectors.h"

using namespace nettest;

namespace {

class X25519Paths : public PathTest
{
};

Bytes Shared(const Bytes& scalar, const Bytes& point)
{
    Bytes out(32);
    X25519ScalarMult(scalar.data(), out.data(), point.data());
    return out;
}

Bytes Base()
{
    Bytes base(32, 0);
    base[0] = 9;
    return base;
}

} // namespace

// RFC 7748 5.2: the two vectors (the caller's scalar stays unclamped), then k = u = 9 and
// k, u = X25519(k, u), u for 1 and 1,000 rounds; 6.1: Alice and Bob reach one secret.
TEST_P(X25519Paths, Rfc7748)
{
    const std::string path = CavpPath("asymmetric/X25519/rfc7748.txt");
    const auto records = ReadVectorFile(path);
    QEL_REQUIRE(!records.empty(), path);
    for (const auto& record : records) {
        const Bytes scalar = record.Data("INPUT_SCALAR");
        EXPECT_EQ(ToHex(Shared(scalar, record.Data("INPUT_U"))), record.Text("OUTPUT_U"));
        EXPECT_EQ(ToHex(scalar), record.Text("INPUT_SCALAR"));
    }
    Bytes k = Base(), u = Base();
    for (int round = 1; round <= 1000; ++round) {
        Bytes next = Shared(k, u);
        u = std::move(k);
        k = std::move(next);
        if (round == 1) {
            EXPECT_EQ(ToHex(k), "422c8e7a6227d7bca1350b3e2bb7279f7897b87bb6854b783c60e80311ae3079");
        }
    }
    EXPECT_EQ(ToHex(k), "684cf59ba83309552800ef566f2f4d3c1c3887c49360e3875f2eb94d99532c51");

    const Bytes alice = Hex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a");
    const Bytes bob = Hex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb");
    EXPECT_EQ(ToHex(Shared(alice, Base())), "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
    EXPECT_EQ(ToHex(Shared(bob, Base())), "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
    const char* shared = "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742";
    EXPECT_EQ(ToHex(Shared(alice, Shared(bob, Base()))), shared);
    EXPECT_EQ(ToHex(Shared(bob, Shared(alice, Base()))), shared);
}

// All 518 cases, valid and acceptable alike (21 with the point's top bit set), give
// exactly `shared`; low-order points give zeros, which the handshake refuses.
TEST_P(X25519Paths, Wycheproof)
{
    const std::string path = SharedDataPath("wycheproof/x25519_test.json");
    const Json root = ReadJsonFile(path);
    QEL_REQUIRE(root.is_object(), path);
    size_t zeros = 0;
    const size_t count = ForEachWycheproofTest(root, [&](const Json&, const Json& test) {
        const std::string shared = ToHex(Shared(HexOf(test["private"]), HexOf(test["public"])));
        EXPECT_EQ(shared, test["shared"].get<std::string>());
        zeros += HasFlag(test, "ZeroSharedSecret") && shared == std::string(64, '0') ? 1 : 0;
    });
    EXPECT_EQ(count, 518u);
    EXPECT_EQ(zeros, 31u);
}

QEL_INSTANTIATE_PATHS(X25519Paths);

TEST(X25519, KeyPairFromThePool)
{
    Bytes privateKey(32), publicKey(32), other(32), otherPublic(32);
    ASSERT_TRUE(X25519KeyPair(privateKey.data(), publicKey.data()));
    ASSERT_TRUE(X25519KeyPair(other.data(), otherPublic.data()));
    EXPECT_NE(privateKey, other);
    EXPECT_EQ(ToHex(publicKey), ToHex(Shared(privateKey, Base())));
}
