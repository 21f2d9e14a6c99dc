#include "base/cpu.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define QEL_CPU_X86 1
#endif

namespace {

#ifdef QEL_CPU_X86
// XGETBV with ECX = 0 reads XCR0. Executed only after CPUID reported OSXSAVE, else the
// instruction faults. Encoded by hand so that no -mxsave is needed.
u64 ReadXcr0()
{
    u32 low = 0;
    u32 high = 0;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));
    return (u64(high) << 32) | low;
}
#endif

// Clears the features named in QEL_CPU_FEATURES_OFF ("aes,pclmul"): the fallback paths
// must stay testable on processors that have every feature.
void ApplyDisabledFeatures(sCpuFeatures& features)
{
    const char* list = std::getenv("QEL_CPU_FEATURES_OFF");
    if (list == nullptr) {
        return;
    }
    struct sNamedFlag
    {
        const char* m_name;
        u8 sCpuFeatures::*m_flag;
    };
    static constexpr sNamedFlag kFlags[] = {
        {"sse2", &sCpuFeatures::m_sse2}, {"sse41", &sCpuFeatures::m_sse41},
        {"avx2", &sCpuFeatures::m_avx2}, {"aes", &sCpuFeatures::m_aes},
        {"vaes", &sCpuFeatures::m_vaes}, {"pclmul", &sCpuFeatures::m_pclmul},
        {"sha", &sCpuFeatures::m_sha},   {"bmi2", &sCpuFeatures::m_bmi2},
    };
    const char* start = list;
    while (*start != '\0') {
        const char* end = std::strchr(start, ',');
        size_t length = end ? size_t(end - start) : std::strlen(start);
        for (const sNamedFlag& flag : kFlags) {
            if (std::strlen(flag.m_name) == length && std::strncmp(flag.m_name, start, length) == 0) {
                features.*flag.m_flag = 0;
            }
        }
        if (end == nullptr) {
            break;
        }
        start = end + 1;
    }
}

} // namespace

void ReadCpuFeatures(sCpuFeatures& features)
{
    std::memset(&features, 0, sizeof(features));
#ifdef QEL_CPU_X86
    u32 eax = 0, ebx = 0, ecx = 0, edx = 0;
    u32 maxLeaf = __get_cpuid_max(0, nullptr);
    if (maxLeaf < 1 || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return;
    }
    const u32 leaf1Ecx = ecx;
    features.m_sse2 = (edx >> 26) & 1;
    features.m_sse41 = (leaf1Ecx >> 19) & 1;
    features.m_aes = (leaf1Ecx >> 25) & 1;
    features.m_pclmul = (leaf1Ecx >> 1) & 1;

    const bool osxsave = (leaf1Ecx >> 27) & 1;
    const bool avx = (leaf1Ecx >> 28) & 1;
    // AVX registers are usable only when the OS saves the XMM and YMM state (XCR0 bits 1, 2).
    const bool avxStateSaved = osxsave && avx && (ReadXcr0() & 6) == 6;

    if (maxLeaf >= 7) {
        __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx);
        features.m_avx2 = avxStateSaved ? ((ebx >> 5) & 1) : 0;
        features.m_vaes = (ecx >> 9) & 1;
        features.m_sha = (ebx >> 29) & 1;
        features.m_bmi2 = (ebx >> 8) & 1;
    }
#endif
}

const sCpuFeatures& GetCpuFeatures()
{
    static sCpuFeatures features;
    static std::once_flag filled;
    std::call_once(filled, [] {
        ReadCpuFeatures(features);
        ApplyDisabledFeatures(features);
    });
    return features;
}
