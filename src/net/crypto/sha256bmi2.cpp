// The SHA-256 compression built for BMI2: the shared rounds, their rotations as RORX
// (about a quarter faster than ROR, which overwrites its source). Chosen once per run when
// the processor has BMI2 and no SHA instructions.
#include "net/crypto/sha256blocks.h"
#include "net/crypto/sha256rounds.h"

#include "base/cpu.h"

namespace {

__attribute__((target("bmi2"))) void CompressBlocksBmi2(u32* state, const u8* data, size_t blocks)
{
    sha256rounds::CompressBlocks(state, data, blocks);
}

} // namespace

tSha256Blocks Sha256Bmi2Blocks()
{
    static const bool present = GetCpuFeatures().m_bmi2 != 0;
    return present ? CompressBlocksBmi2 : nullptr;
}
