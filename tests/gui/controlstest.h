#pragma once
// The control tests' name for the one widget-test fixture.
#include "gui/guitest.h"
