#include "base/cpu.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> FirstProcessorFlags()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("flags", 0) == 0) {
            std::istringstream words(line.substr(line.find(':') + 1));
            std::set<std::string> flags;
            std::string word;
            while (words >> word) {
                flags.insert(word);
            }
            return flags;
        }
    }
    return {};
}

} // namespace

TEST(CpuFeatures, MatchTheKernelsFlags)
{
    std::set<std::string> flags = FirstProcessorFlags();
    if (flags.empty()) {
        GTEST_SKIP() << "no flags line in /proc/cpuinfo";
    }
    sCpuFeatures features;
    ReadCpuFeatures(features);
    EXPECT_EQ(features.m_sse2 != 0, flags.count("sse2") != 0);
    EXPECT_EQ(features.m_sse41 != 0, flags.count("sse4_1") != 0);
    EXPECT_EQ(features.m_avx2 != 0, flags.count("avx2") != 0);
    EXPECT_EQ(features.m_aes != 0, flags.count("aes") != 0);
    EXPECT_EQ(features.m_vaes != 0, flags.count("vaes") != 0);
    EXPECT_EQ(features.m_pclmul != 0, flags.count("pclmulqdq") != 0);
    EXPECT_EQ(features.m_unused, 0);
    // The record of the run is that probe, minus whatever QEL_CPU_FEATURES_OFF switched off.
    EXPECT_LE(GetCpuFeatures().m_aes, features.m_aes);
    EXPECT_LE(GetCpuFeatures().m_pclmul, features.m_pclmul);
}
