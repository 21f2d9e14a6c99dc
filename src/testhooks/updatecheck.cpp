#include "net/update/updatecheck.h"
#include "testhooks/nethooks.h"

void SetUpdateCheckDeadlineForTesting(u32 milliseconds)
{
    g_updateCheckDeadlineMs.store(milliseconds != 0 ? milliseconds : kUpdateCheckDeadlineMs);
}
