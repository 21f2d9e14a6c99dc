#pragma once
// Runs a test once per implementation path: the portable code of every primitive, and the
// processor's instructions (AES-NI, carry-less multiply, SHA extensions, AVX2) wherever it
// has them. A primitive whose instructions this processor lacks runs its portable code
// in both.
#include "testhooks/nethooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nettest {

enum class ePath { Portable, Instructions };
// Names the path in test names and in CTest's listing.
inline void PrintTo(ePath path, std::ostream* out) { *out << (path == ePath::Portable ? "Portable" : "Instructions"); }

class PathTest : public ::testing::TestWithParam<ePath>
{
protected:
    void SetUp() override
    {
        if (GetParam() == ePath::Portable) {
            Select(&AesTablePath(), &GhashTablePath(), Sha256CompressBlocksPortable, &X25519PortableLadder());
            return;
        }
        if (AesInstructionPath() == nullptr && GhashClmulPath() == nullptr &&
            Sha256ShaExtensionBlocks() == nullptr && X25519Avx2Ladder() == nullptr) {
            GTEST_SKIP() << "the processor has none of the instructions";
        }
        Select(AesInstructionPath(), GhashClmulPath(), Sha256ShaExtensionBlocks(), X25519Avx2Ladder());
    }
    void TearDown() override { Select(nullptr, nullptr, nullptr, nullptr); }

private:
    // Null selects what the processor probe chose.
    static void Select(const sAesPath* aes, const sGhashPath* ghash, tSha256Blocks sha256,
                       const sX25519Ladder* ladder)
    {
        SelectAesPathForTesting(aes);
        SelectGhashPathForTesting(ghash);
        SelectSha256BlocksForTesting(sha256);
        SelectX25519LadderForTesting(ladder);
    }
};

#define QEL_INSTANTIATE_PATHS(suite)                                                                       \
    INSTANTIATE_TEST_SUITE_P(Paths, suite,                                                                  \
                             ::testing::Values(::nettest::ePath::Portable, ::nettest::ePath::Instructions), \
                             [](const auto& info) { return ::testing::PrintToString(info.param); })

} // namespace nettest
