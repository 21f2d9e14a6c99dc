#pragma once
// AES (FIPS 197) as plain functions over a key schedule that the caller owns.
//
// Each operation runs on the processor's AES instructions when the CPU feature record
// reports them, else on the portable table path. The path is chosen once per run, and a
// schedule is only valid on the path that built it.
// CT: the instruction path has no secret-dependent branch or memory index. The table path
// (used only on processors without the AES instructions) indexes its tables with key and
// state bytes and so leaks cache timing.
#include "base/cpu.h"
#include "base/types.h"

// The expanded round keys (up to 15 of 16 bytes) followed by the number of rounds. The
// table path stores each round-key word as a native u32 made from four key bytes taken
// big-endian; the instruction path stores each round key as the 16 bytes of the
// processor's key-expansion result.
struct alignas(16) sAesKeySchedule
{
    u8 m_roundKeys[240];
    i32 m_rounds; // 10, 12 or 14; anything else marks a schedule that holds no key
};
static_assert(sizeof(sAesKeySchedule) == 256, "the schedule is a 256-byte area");

constexpr u32 kAesBlockSize = 16;

// The process-wide CPU feature record, fetched once; m_aes selects the instruction path.
const sCpuFeatures& AesCpuFeatures();

// Expands a 128-, 192- or 256-bit key. False for a null key or any other size.
[[nodiscard]] bool AesSetEncryptKey(sAesKeySchedule& schedule, const u8* key, u32 bits);
// The schedule of the equivalent inverse cipher (FIPS 197 5.3.5): round keys reversed,
// InvMixColumns applied to all but the first and the last.
[[nodiscard]] bool AesSetDecryptKey(sAesKeySchedule& schedule, const u8* key, u32 bits);
// One block. `in` and `out` may be the same buffer. False, with nothing written, for a
// null pointer or a schedule that holds no key.
[[nodiscard]] bool AesEncryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out);
[[nodiscard]] bool AesDecryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out);

// Counter mode with a 32-bit counter (SP 800-38D 6.5): encrypts `blocks` counter blocks,
// XORs them into `in` and writes `out` (which may equal `in`). Only the last four bytes
// of `counter` count, big-endian and modulo 2^32; `counter` is left at the next value.
// The schedule MUST hold an encryption key.
void AesCtr32Blocks(const sAesKeySchedule& schedule, u8* counter, const u8* in, u8* out,
                    size_t blocks);
// CBC encryption of whole blocks (SP 800-38A 6.2): `chain` is the IV and is left at the
// last cipher-text block. `in` may equal `out`. The schedule MUST hold an encryption key.
void AesCbcEncryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in, u8* out,
                         size_t blocks);
// CBC decryption of whole blocks (SP 800-38A 6.2): `chain` is the block before the first
// (the IV) and is left at the last cipher-text block. `in` may equal `out`. The schedule
// MUST hold a decryption key.
void AesCbcDecryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in, u8* out,
                         size_t blocks);
