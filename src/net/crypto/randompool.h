#pragma once
// The process-wide random pool: every random byte of the TLS client (ClientHello random,
// session id, CBC record IVs, X25519 private keys) comes from here.
//
// 1,200 bytes (60 pieces of a SHA-1 digest) seeded from clock samples and the operating
// system's random source, and stirred with fresh OS randomness every time its 1,180
// usable bytes are used up. The three functions are safe to call from several threads.
// CT: no branch or index depends on the pool's contents.
#include "base/types.h"

// Seeds the pool on its first call, then stirs it. False when the operating system gave
// no random bytes; nothing should then be drawn.
[[nodiscard]] bool RandomPoolFill();
// Mixes `length` bytes of noise into the pool through its 64-byte input block.
void RandomPoolAdd(const void* data, size_t length);
// Fills `buffer` with `count` pool bytes. False, with the buffer zeroed, when the pool
// could not be seeded or stirred.
[[nodiscard]] bool RandomPoolDraw(u8* buffer, size_t count);
