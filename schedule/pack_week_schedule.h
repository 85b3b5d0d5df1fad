// Operation 36: the holder's seven day quantities packed into its week schedule text.
#pragma once

#include "host/operands.h"

namespace addin {

void PackWeekSchedule(Operands& op);

}  // namespace addin
