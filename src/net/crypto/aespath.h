#pragma once
// The two AES implementations behind the functions of aes.h. Internal: only aes.cpp and
// the tests use it. A path receives validated arguments (key size, rounds, pointers).
// CT: as aes.h states for each path: the instruction path has no secret-dependent branch
// or memory index; the table path indexes its tables with key and state bytes.
#include "net/crypto/aes.h"

#include <atomic>

struct sAesPath
{
    const char* m_name;
    // Expands a key of 4, 6 or 8 words into `rounds` + 1 round keys.
    void (*m_expandKey)(sAesKeySchedule& schedule, const u8* key, i32 rounds);
    // Turns an encryption schedule into the equivalent inverse cipher's, in place.
    void (*m_invertSchedule)(sAesKeySchedule& schedule);
    void (*m_encryptBlock)(const sAesKeySchedule& schedule, const u8* in, u8* out);
    void (*m_decryptBlock)(const sAesKeySchedule& schedule, const u8* in, u8* out);
    void (*m_ctr32Blocks)(const sAesKeySchedule& schedule, u8* counter, const u8* in,
                          u8* out, size_t blocks);
    void (*m_cbcEncryptBlocks)(const sAesKeySchedule& schedule, u8* chain, const u8* in,
                               u8* out, size_t blocks);
    void (*m_cbcDecryptBlocks)(const sAesKeySchedule& schedule, u8* chain, const u8* in,
                               u8* out, size_t blocks);
};

// The portable table path; always available.
const sAesPath& AesTablePath();
// The AES-instruction path; null when the processor lacks the instructions.
const sAesPath* AesInstructionPath();
// The path that aes.h uses: chosen once per run from AesCpuFeatures().
const sAesPath& ActiveAesPath();
// A path that replaces the probed choice; null (the program never sets it) keeps that
// choice. Only the test hooks (testhooks/nethooks.h) set it; schedules built before a
// switch MUST be rebuilt.
extern std::atomic<const sAesPath*> g_forcedAesPath;
