#include "net/tls/tlsengine.h"
#include "testhooks/testhooks.h"

void InstallTlsEngineHooksForTesting(cTlsEngine& engine, cTlsEngineHooks* hooks) { engine.m_hooks = hooks; }
