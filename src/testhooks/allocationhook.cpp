#include "testhooks/basehooks.h"

void SetAllocationHook(tAllocationHook hook)
{
    g_allocationHook.store(hook, std::memory_order_release);
}
