// SHA-1, SHA-256 (portable and SHA-extension compression) and SHA-384 against NIST CAVP
// (short messages fed in every way, long messages).
#include "cryptopaths.h"
#include "net/crypto/sha1.h"
#include "net/crypto/sha256.h"
#include "net/crypto/sha384.h"
#include "net/vectors.h"

#include <tuple>

using namespace nettest;

namespace {

// One hash behind a uniform face: `digest` hashes a message fed in consecutive pieces of
// the given sizes (FeedPieces).
struct sHashUnderTest
{
    const char* name;
    const char* folder;
    Bytes (*digest)(const Bytes& message, const std::vector<size_t>& pieces);
};

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
    FeedPieces(message, pieces, [&](const u8* p, size_t n) { Sha256Update(ctx, p, static_cast<u32>(n)); });
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

const sHashUnderTest kHashes[] = {
    {"SHA1", "hashes/SHA1/", Sha1Pieces},
    {"SHA256", "hashes/SHA2/", Sha256Pieces},
    {"SHA384", "hashes/SHA2/", Sha384Pieces},
};

// A hash on a path (SHA-256 runs on both).
class ShaVectors : public ::testing::TestWithParam<std::tuple<size_t, ePath>>
{
protected:
    void SetUp() override
    {
        if (std::get<1>(GetParam()) == ePath::Instructions && Sha256ShaExtensionBlocks() == nullptr) {
            GTEST_SKIP() << "the processor lacks the SHA extensions";
        }
        SelectSha256BlocksForTesting(std::get<1>(GetParam()) == ePath::Portable ? Sha256CompressBlocksPortable
                                                                               : Sha256ShaExtensionBlocks());
    }
    void TearDown() override { SelectSha256BlocksForTesting(nullptr); }
    const sHashUnderTest& Hash() const { return kHashes[std::get<0>(GetParam())]; }
    std::vector<sVectorRecord> Cavp(const std::string& kind) const
    {
        const std::string path = CavpPath(std::string(Hash().folder) + Hash().name + kind + ".rsp");
        auto records = ReadVectorFile(path);
        EXPECT_FALSE(records.empty()) << path;
        return records;
    }
};

} // namespace

// ShortMsg (the empty message included) whole, byte by byte and split at every offset;
// LongMsg in three pieces.
TEST_P(ShaVectors, CavpShortAndLongMessages)
{
    size_t checked = 0;
    for (const char* kind : {"ShortMsg", "LongMsg"}) {
        for (const auto& record : Cavp(kind)) {
            Bytes message = record.Data("Msg");
            message.resize(record.Number("Len") / 8); // "Msg = 00" stands for the empty message
            if (record.Has("Len") && kind[0] == 'S') {
                ExpectEveryFeeding(message, record.Text("MD"), [&](const auto& pieces) { return Hash().digest(message, pieces); });
            } else if (record.Has("Len")) {
                EXPECT_EQ(ToHex(Hash().digest(message, {message.size() / 3, 1, 63})), record.Text("MD"));
            }
            checked += record.Has("Len") ? 1 : 0;
        }
    }
    EXPECT_GE(checked, 129u);
}

INSTANTIATE_TEST_SUITE_P(Sha, ShaVectors,
                         ::testing::Values(std::tuple{size_t(0), ePath::Portable}, std::tuple{size_t(1), ePath::Portable},
                                           std::tuple{size_t(1), ePath::Instructions},
                                           std::tuple{size_t(2), ePath::Portable}),
                         [](const auto& info) {
                             return kHashes[std::get<0>(info.param)].name + ::testing::PrintToString(std::get<1>(info.param));
                         });

// Null arguments: SHA-384 reports them and changes nothing.
TEST(Sha, NullArguments)
{
    sSha384Ctx ctx;
    ASSERT_EQ(Sha384Init(ctx), 0);
    const sSha384Ctx before = ctx;
    const u8 byte = 0x61;
    EXPECT_EQ(Sha384Update(ctx, nullptr, 0), 1);
    EXPECT_EQ(Sha384Update(ctx, nullptr, 5), 1);
    EXPECT_EQ(Sha384Update(ctx, &byte, 0), 0);
    EXPECT_EQ(std::memcmp(&before, &ctx, sizeof(ctx)), 0) << "nothing may change";
    EXPECT_EQ(Sha384Final(ctx, nullptr), 1);
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
