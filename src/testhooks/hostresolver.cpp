#include "testhooks/testhooks.h"

void SetHostResolverForTesting(tHostResolver resolver) { g_hostResolver.store(resolver); }
