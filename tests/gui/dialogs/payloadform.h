#pragma once
// The former name of the control tests' recording form fixture, which now records the
// typed payloads itself.
#include "gui/controlstest.h"

namespace qeltest {
using cPayloadFormTest = cFormTest;
} // namespace qeltest
