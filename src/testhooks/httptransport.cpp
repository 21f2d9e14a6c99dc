#include "net/http/httptransport.h"
#include "testhooks/nethooks.h"

void InstallTlsHooksForTesting(cHttpTransport& transport, cTlsEngineHooks* hooks)
{
    InstallTlsEngineHooksForTesting(transport.m_engine, hooks);
}
