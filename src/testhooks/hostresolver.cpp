#include "testhooks/nethooks.h"

void SetHostResolverForTesting(tHostResolver resolver) { g_hostResolver.store(resolver); }
