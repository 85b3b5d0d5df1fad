// Operation 13: the delivery sheet of the working date.
#pragma once

#include "host/operands.h"

namespace addin {

void BuildDeliverySheet(Operands& op);

}  // namespace addin
