// Operation 41: a new sales invoice filled for a client.
#pragma once

#include "host/operands.h"

namespace addin {

void FillNewInvoice(Operands& op);

}  // namespace addin
