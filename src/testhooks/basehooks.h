#pragma once
// Test-only entry points of the runtime library (qel_base_test_hooks, see CMakeLists.txt
// here): built into tests, fuzz targets and benchmarks, never into the program.
#include "base/buffers.h"
#include "base/clock.h"

// Consulted before every allocation of the base containers (null: everything allowed).
void SetAllocationHook(tAllocationHook hook);

// Installs `hook` (copied), or the system clock again for null.
void SetClockHook(const sClockHook* hook);
