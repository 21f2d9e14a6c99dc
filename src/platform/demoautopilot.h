#pragma once
// The headless host's demonstration autopilot (QEL_AUTOPILOT=1): a default modal script
// that answers every form the way a person accepting the defaults would.
//
// Each run is pumped until it is idle (200 ms) or ends. A progress form then ends by
// itself. Any other form gets its OnOK (Enter) every 100 ms while its run is open, at
// most 20 times: the update form installs, the save dialog accepts the proposed name,
// message boxes answer Ok or Yes. A run still open after that, or after 30 s, is left to
// the host, which ends it with -1.
#include "platform/headlesshost.h"

cHeadlessHost::tModalScript MakeDemoAutopilot();
