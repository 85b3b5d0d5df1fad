// The host object of the protocol tests: the simulated host's basic object.
#pragma once

#include "sim/object.h"

namespace addin::test {
using FakeObject = sim::Object;
}  // namespace addin::test
