// SHA-1, SHA-256 and SHA-384 against NIST CAVP (short, long and Monte Carlo messages) and
// against libcrypto on random messages split at random and at block-edge offsets.
#include "net/crypto/sha1.h"
#include "net/crypto/sha256.h"
#include "net/crypto/sha256blocks.h"
#include "net/crypto/sha384.h"
#include "vectors.h"

#include <openssl/evp.h>

#include <functional>

using namespace nettest;

namespace {

// One hash behind a uniform face, so that every check runs for all three.
struct sHashUnderTest
{
    const char* name;
    size_t digestSize;
    const EVP_MD* (*reference)();
    // Hashes `message` fed in consecutive pieces of the given sizes (the last piece takes
    // the rest).
    std::function<Bytes(const Bytes& message, const std::vector<size_t>& pieces)> digest;
};

template <typename Feed>
void FeedPieces(const Bytes& message, const std::vector<size_t>& pieces, Feed feed)
{
    size_t at = 0;
    for (size_t piece : pieces) {
        piece = std::min(piece, message.size() - at);
        feed(message.data() + at, piece);
        at += piece;
    }
    feed(message.data() + at, message.size() - at);
}

Bytes Sha1Pieces(const Bytes& message, const std::vector<size_t>& pieces)
{
    sSha1Ctx ctx;
    Sha1Init(ctx);
    FeedPieces(message, pieces, [&](const u8* p, size_t n) { Sha1Update(ctx, p, n); });
    Sha1Final(ctx);
    Bytes out(20);
    Sha1Digest(out.data(), ctx);
    return out;
}

Bytes Sha256Pieces(const Bytes& message, const std::vector<size_t>& pieces)
{
    sSha256Ctx ctx;
    Sha256Init(ctx);
    FeedPieces(message, pieces,
               [&](const u8* p, size_t n) { Sha256Update(ctx, p, static_cast<u32>(n)); });
    Bytes out(32);
    Sha256Final(ctx, out.data());
    return out;
}

Bytes Sha384Pieces(const Bytes& message, const std::vector<size_t>& pieces)
{
    sSha384Ctx ctx;
    EXPECT_EQ(Sha384Init(ctx), 0);
    FeedPieces(message, pieces, [&](const u8* p, size_t n) {
        // Empty pieces are fed too (from a valid pointer): they must change nothing.
        static const u8 none = 0;
        EXPECT_EQ(Sha384Update(ctx, n == 0 ? &none : p, n), 0);
    });
    Bytes out(48);
    EXPECT_EQ(Sha384Final(ctx, out.data()), 0);
    return out;
}

const std::vector<sHashUnderTest>& Hashes()
{
    static const std::vector<sHashUnderTest> hashes = {
        {"SHA1", 20, EVP_sha1, Sha1Pieces},
        {"SHA256", 32, EVP_sha256, Sha256Pieces},
        {"SHA384", 48, EVP_sha384, Sha384Pieces},
    };
    return hashes;
}

Bytes Reference(const sHashUnderTest& hash, const Bytes& message)
{
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned size = 0;
    EXPECT_EQ(EVP_Digest(message.data(), message.size(), out.data(), &size, hash.reference(),
                         nullptr),
              1);
    out.resize(size);
    return out;
}

std::string CavpFile(const sHashUnderTest& hash, const std::string& kind)
{
    const std::string folder = hash.digestSize == 20 ? "hashes/SHA1/" : "hashes/SHA2/";
    return CavpPath(folder + hash.name + kind + ".rsp");
}

class ShaVectors : public ::testing::TestWithParam<size_t>
{
protected:
    const sHashUnderTest& Hash() const { return Hashes()[GetParam()]; }
};

} // namespace

// ShortMsg: every message whole, byte by byte, and split at every offset.
TEST_P(ShaVectors, CavpShortMessagesInEveryPieceSize)
{
    const auto records = ReadVectorFile(CavpFile(Hash(), "ShortMsg"));
    QEL_REQUIRE(!records.empty(), CavpFile(Hash(), "ShortMsg"));
    size_t checked = 0;
    for (const auto& record : records) {
        if (!record.Has("Len")) {
            continue;
        }
        Bytes message = record.Data("Msg");
        message.resize(record.Number("Len") / 8); // "Msg = 00" stands for the empty message
        const std::string expected = record.Text("MD");
        ASSERT_EQ(ToHex(Hash().digest(message, {})), expected) << "Len " << record.Text("Len");
        ASSERT_EQ(ToHex(Hash().digest(message, std::vector<size_t>(message.size(), 1))), expected);
        for (size_t split = 0; split <= message.size(); ++split) {
            ASSERT_EQ(ToHex(Hash().digest(message, {split})), expected) << "split " << split;
        }
        ++checked;
    }
    EXPECT_GE(checked, 65u);
}

TEST_P(ShaVectors, CavpLongMessages)
{
    const auto records = ReadVectorFile(CavpFile(Hash(), "LongMsg"));
    QEL_REQUIRE(!records.empty(), CavpFile(Hash(), "LongMsg"));
    size_t checked = 0;
    for (const auto& record : records) {
        if (!record.Has("Len")) {
            continue;
        }
        const Bytes message = record.Data("Msg");
        ASSERT_EQ(message.size() * 8, static_cast<size_t>(record.Number("Len")));
        EXPECT_EQ(ToHex(Hash().digest(message, {})), record.Text("MD"));
        EXPECT_EQ(ToHex(Hash().digest(message, {message.size() / 3, 1, 63})), record.Text("MD"));
        ++checked;
    }
    EXPECT_GE(checked, 64u);
}

// CAVP SHAVS 6.4: M0 = M1 = M2 = Seed; Mi = H(Mi-3 || Mi-2 || Mi-1); MD_j = M1002.
TEST_P(ShaVectors, CavpMonteCarlo)
{
    const auto records = ReadVectorFile(CavpFile(Hash(), "Monte"));
    QEL_REQUIRE(!records.empty(), CavpFile(Hash(), "Monte"));
    Bytes seed;
    size_t checked = 0;
    for (const auto& record : records) {
        if (record.Has("Seed")) {
            seed = record.Data("Seed");
        }
        if (!record.Has("MD")) {
            continue;
        }
        Bytes m[3] = {seed, seed, seed};
        for (int i = 3; i < 1003; ++i) {
            Bytes joined = m[0];
            joined.insert(joined.end(), m[1].begin(), m[1].end());
            joined.insert(joined.end(), m[2].begin(), m[2].end());
            m[0] = std::move(m[1]);
            m[1] = std::move(m[2]);
            m[2] = Hash().digest(joined, {});
        }
        ASSERT_EQ(ToHex(m[2]), record.Text("MD")) << "COUNT " << record.Text("COUNT");
        seed = m[2];
        ++checked;
    }
    EXPECT_EQ(checked, 100u);
}

// 2,000 random messages in random pieces, including the sizes at block edges, and one of
// 5 MiB, against libcrypto.
TEST_P(ShaVectors, RandomSplitsMatchLibcrypto)
{
    std::mt19937_64 random(0x5eed0000 + GetParam());
    const size_t edges[] = {0, 1, 55, 56, 63, 64, 111, 112, 127, 128};
    for (int n = 0; n < 2000; ++n) {
        const Bytes message = RandomBytes(random, random() % 1001);
        std::vector<size_t> pieces;
        for (size_t fed = 0; fed < message.size();) {
            const size_t piece = random() % 3 == 0 ? edges[random() % 10] : random() % 200;
            pieces.push_back(piece);
            fed += piece;
        }
        ASSERT_EQ(ToHex(Hash().digest(message, pieces)), ToHex(Reference(Hash(), message)))
            << "message " << n;
    }
    const Bytes large = RandomBytes(random, 5 << 20);
    EXPECT_EQ(ToHex(Hash().digest(large, {3, 1 << 20, 129})), ToHex(Reference(Hash(), large)));
}

INSTANTIATE_TEST_SUITE_P(Sha, ShaVectors, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(Hashes()[info.param].name); });

TEST(Sha, EmptyMessageDigestsAreTheStandards)
{
    EXPECT_EQ(ToHex(Sha1Pieces({}, {})), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(ToHex(Sha256Pieces({}, {})),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(ToHex(Sha384Pieces({}, {})),
              "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd5"
              "1ad2f14898b95b");
}

TEST(Sha384, ReturnCodesForNullArguments)
{
    sSha384Ctx ctx;
    ASSERT_EQ(Sha384Init(ctx), 0);
    const sSha384Ctx before = ctx;
    EXPECT_EQ(Sha384Update(ctx, nullptr, 0), 1);
    EXPECT_EQ(Sha384Update(ctx, nullptr, 5), 1);
    const u8 byte = 0x61;
    EXPECT_EQ(Sha384Update(ctx, &byte, 0), 0);
    EXPECT_EQ(std::memcmp(&before, &ctx, sizeof(ctx)), 0) << "nothing may change";
    EXPECT_EQ(Sha384Final(ctx, nullptr), 1);
}

TEST(Sha1, DigestWithNullOutputWritesNothingAndFinalLeavesStateReadable)
{
    sSha1Ctx ctx;
    Sha1Init(ctx);
    Sha1Update(ctx, "abc", 3);
    Sha1Final(ctx);
    Sha1Digest(nullptr, ctx);
    u8 digest[20];
    Sha1Digest(digest, ctx);
    EXPECT_EQ(ToHex(digest, 20), "a9993e364706816aba3e25717850c26c9cd0d89d"); // FIPS 180 A.1
}

// The byte count is two u32 words: a count that passes 2^32 carries into the high word and
// so into the encoded bit length.
TEST(Sha256, ByteCountCarriesIntoHighWord)
{
    sSha256Ctx ctx;
    Sha256Init(ctx);
    ctx.m_countLow = 0xFFFFFFC0u; // as if 2^32 - 64 bytes had been hashed
    const Bytes block(64, 0x5a);
    Sha256Update(ctx, block.data(), 64);
    EXPECT_EQ(ctx.m_countLow, 0u);
    EXPECT_EQ(ctx.m_countHigh, 1u);
    Sha256Update(ctx, block.data(), 0);
    EXPECT_EQ(ctx.m_countLow, 0u);
}

// The SHA-extensions compression and the portable one agree block for block, and the
// portable one alone still gives the standard digests.
TEST(Sha256, PortableAndShaExtensionsAgree)
{
    SelectSha256BlocksForTesting(Sha256CompressBlocksPortable);
    EXPECT_EQ(ToHex(Sha256Pieces(Bytes{'a', 'b', 'c'}, {})),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    SelectSha256BlocksForTesting(nullptr);
    const tSha256Blocks extensions = Sha256ShaExtensionBlocks();
    if (extensions == nullptr) {
        GTEST_SKIP() << "the processor lacks the SHA extensions";
    }
    std::mt19937_64 random(0x5a256);
    for (int n = 0; n < 2000; ++n) {
        const size_t blocks = 1 + random() % 20;
        const Bytes data = RandomBytes(random, 64 * blocks);
        u32 portable[8], fast[8];
        for (int i = 0; i < 8; ++i) {
            portable[i] = fast[i] = static_cast<u32>(random());
        }
        Sha256CompressBlocksPortable(portable, data.data(), blocks);
        extensions(fast, data.data(), blocks);
        ASSERT_EQ(0, std::memcmp(portable, fast, sizeof(fast))) << "blocks " << blocks;
    }
}
