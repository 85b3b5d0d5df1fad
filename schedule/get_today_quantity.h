// Operation 26: today's quantity from the holder's week schedule, left in IsResult.
#pragma once

#include "host/operands.h"

namespace addin {

void GetTodayQuantity(Operands& op);

}  // namespace addin
