#pragma once
// The Montgomery ladder of X25519 (RFC 7748 5) in two forms: portable, over the field
// functions of fe25519.h, and on AVX2 vectors, chosen once per run. Internal: x25519.cpp
// and the tests use it.
// CT: 255 fixed steps, swaps by masks; nothing depends on the scalar's bits.
#include "net/crypto/fe25519.h"

#include <atomic>

struct sX25519Ladder
{
    const char* m_name;
    // From the clamped scalar and x1, the projective result (x2 : z2).
    void (*m_run)(const u8* clampedScalar, const sFieldElem25519& x1, sFieldElem25519& x2,
                  sFieldElem25519& z2);
    // The multiplications for the final inversion.
    sFe25519Multiply m_field;
};

const sX25519Ladder& X25519PortableLadder();
// Null when the processor (or the CPU-feature override) has no AVX2.
const sX25519Ladder* X25519Avx2Ladder();
const sX25519Ladder& X25519ActiveLadder();
// A ladder that replaces the probed choice; null (the program never sets it) keeps that
// choice. Only the test hooks (testhooks/nethooks.h) set it.
extern std::atomic<const sX25519Ladder*> g_forcedX25519Ladder;
