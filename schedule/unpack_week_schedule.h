// Operation 37: the week schedule text unpacked into the day quantities and flags.
#pragma once

#include "host/operands.h"

namespace addin {

void UnpackWeekSchedule(Operands& op);

}  // namespace addin
