#include "net/tls/tlsengine.h"
#include "testhooks/nethooks.h"

void InstallTlsEngineHooksForTesting(cTlsEngine& engine, cTlsEngineHooks* hooks) { engine.m_hooks = hooks; }
