#include "testhooks/nethooks.h"

void SetRandomPoolEntropyForTesting(tRandomEntropySource source) { g_randomPoolEntropy.store(source); }

void ResetRandomPoolForTesting() { WipeRandomPool(); }
