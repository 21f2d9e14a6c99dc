#pragma once
// Runs a test once per implementation path: the portable tables, and the processor's AES
// and carry-less-multiply instructions (skipped where the processor lacks them).
#include "net/crypto/aespath.h"
#include "net/crypto/ghashpath.h"

#include <gtest/gtest.h>

#include <string>

namespace nettest {

enum class ePath { Table, Instructions };

inline std::string PathName(const ::testing::TestParamInfo<ePath>& info)
{
    return info.param == ePath::Table ? "Table" : "Instructions";
}

class PathTest : public ::testing::TestWithParam<ePath>
{
protected:
    void SetUp() override
    {
        if (GetParam() == ePath::Table) {
            SelectAesPathForTesting(&AesTablePath());
            SelectGhashPathForTesting(&GhashTablePath());
            return;
        }
        if (AesInstructionPath() == nullptr || GhashClmulPath() == nullptr) {
            GTEST_SKIP() << "the processor lacks the AES or carry-less-multiply instructions";
        }
        SelectAesPathForTesting(AesInstructionPath());
        SelectGhashPathForTesting(GhashClmulPath());
    }
    void TearDown() override
    {
        SelectAesPathForTesting(nullptr);
        SelectGhashPathForTesting(nullptr);
    }
};

#define QEL_INSTANTIATE_PATHS(suite)                                                        \
    INSTANTIATE_TEST_SUITE_P(Paths, suite,                                                   \
                             ::testing::Values(::nettest::ePath::Table,                      \
                                               ::nettest::ePath::Instructions),              \
                             ::nettest::PathName)

} // namespace nettest
