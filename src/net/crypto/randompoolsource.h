#pragma once
// The random pool's replaceable parts. The program never changes them; only the test
// hooks (testhooks/nethooks.h) do.
#include "base/types.h"

#include <atomic>

// A source of operating-system randomness: fills `count` bytes, false on failure.
using tRandomEntropySource = bool (*)(u8* buffer, size_t count);

// Replaces the OS source when set (null: getrandom with its /dev/urandom fallback).
extern std::atomic<tRandomEntropySource> g_randomPoolEntropy;
// Forgets everything: the pool is unseeded and zero again, as at process start, and the
// next draw seeds it anew.
void WipeRandomPool();
