#pragma once
// Test seams of the random pool. Not for production callers.
#include "base/types.h"

// A source of operating-system randomness: fills `count` bytes, false on failure.
using tRandomEntropySource = bool (*)(u8* buffer, size_t count);

// Replaces the OS source (null restores getrandom with its /dev/urandom fallback).
void SetRandomPoolEntropyForTesting(tRandomEntropySource source);
// Forgets everything: the pool is unseeded and zero again, as at process start.
void ResetRandomPoolForTesting();
