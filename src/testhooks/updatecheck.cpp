#include "net/update/updatecheck.h"
#include "testhooks/testhooks.h"

void SetUpdateCheckDeadlineForTesting(u32 milliseconds)
{
    g_updateCheckDeadlineMs.store(milliseconds != 0 ? milliseconds : kUpdateCheckDeadlineMs);
}
