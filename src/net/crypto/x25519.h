#pragma once
// X25519 key agreement (RFC 7748 5 and 6.1). Keys, scalars and u-coordinates are 32-byte
// little-endian strings.
#include "base/types.h"

constexpr size_t kX25519KeySize = 32;

// out = X25519(scalar, point). A copy of the scalar is clamped (decodeScalar25519); the
// caller's bytes stay as they are. The top bit of the point is ignored. An all-zero
// output (a low-order point) is not detected here: the handshake MUST refuse it
// (RFC 7748 6.1).
// CT: a fixed 255-step ladder with masked swaps; nothing depends on the scalar's bits.
void X25519ScalarMult(const u8* scalar, u8* out, const u8* point);

// Draws 32 bytes from the random pool as the private key (unclamped) and computes the
// public key with the base point 9. False when the pool fails.
// CT: as X25519ScalarMult.
[[nodiscard]] bool X25519KeyPair(u8* privateKey, u8* publicKey);
