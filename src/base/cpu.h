#pragma once
// The processor's features, probed once per run.
#include "base/types.h"

struct sCpuFeatures
{
    u8 m_sse2;   // leaf 1 EDX bit 26
    u8 m_sse41;  // leaf 1 ECX bit 19
    u8 m_avx2;   // leaf 7 EBX bit 5, only when the OS saves the AVX state
    u8 m_aes;    // leaf 1 ECX bit 25
    u8 m_vaes;   // leaf 7 ECX bit 9
    u8 m_unused; // always 0
    u8 m_pclmul; // leaf 1 ECX bit 1 (carry-less multiply)
    u8 m_sha;    // leaf 7 EBX bit 29 (SHA-1 and SHA-256 instructions)
    u8 m_bmi2;   // leaf 7 EBX bit 8 (RORX and other bit manipulation)
};

// Fills `features` from the identification instruction. All zero on other processors.
void ReadCpuFeatures(sCpuFeatures& features);

// The process-wide record, filled on the first call. The environment variable
// QEL_CPU_FEATURES_OFF (a comma-separated list of sse2, sse41, avx2, aes, vaes, pclmul, sha,
// bmi2) clears features, so that the fallback paths can be tested on any processor.
const sCpuFeatures& GetCpuFeatures();
