// Operations 62 to 70: the component settings handed over.
#pragma once

#include "host/operands.h"

namespace addin {

void SetComponentSetting(Operands& op);

}  // namespace addin
