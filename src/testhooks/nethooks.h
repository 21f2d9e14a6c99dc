#pragma once
// Test-only entry points of the network layers (qel_net_test_hooks, see CMakeLists.txt
// here): built into tests, fuzz targets and benchmarks, never into the program.
#include "net/crypto/aespath.h"
#include "net/crypto/ghashpath.h"
#include "net/crypto/randompoolsource.h"
#include "net/crypto/sha256blocks.h"
#include "net/crypto/x25519ladder.h"
#include "net/http/tcpsocket.h"

class cHttpTransport;
class cTlsEngine;
class cTlsEngineHooks;

// Each forces its implementation (null restores the probed choice). AES schedules built
// before a switch MUST be rebuilt.
void SelectAesPathForTesting(const sAesPath* path);
void SelectGhashPathForTesting(const sGhashPath* path);
void SelectSha256BlocksForTesting(tSha256Blocks blocks);
void SelectX25519LadderForTesting(const sX25519Ladder* ladder);

// Replaces the random pool's OS source (null restores getrandom with its /dev/urandom
// fallback).
void SetRandomPoolEntropyForTesting(tRandomEntropySource source);
// Forgets everything: the pool is unseeded and zero again, as at process start.
void ResetRandomPoolForTesting();

// The name resolver behind ResolveHostAddress (null restores getaddrinfo).
void SetHostResolverForTesting(tHostResolver resolver);

// `hooks` replace the engine's own key pair and ClientHello and see its secrets; they
// MUST outlive the engine (the transport's). Null: the engine's own again.
void InstallTlsEngineHooksForTesting(cTlsEngine& engine, cTlsEngineHooks* hooks);
void InstallTlsHooksForTesting(cHttpTransport& transport, cTlsEngineHooks* hooks);

// In qel_net_update_test_hooks: the update check's deadline (0 restores the program's).
void SetUpdateCheckDeadlineForTesting(u32 milliseconds);
