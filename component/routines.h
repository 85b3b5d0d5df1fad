// The routines behind the operation codes of Execute.
#pragma once

#include "component/operands.h"

namespace addin {

void BuildDeliverySheet(Operands& op);   // 13
void GetTodayQuantity(Operands& op);     // 26
void PackWeekSchedule(Operands& op);     // 36
void UnpackWeekSchedule(Operands& op);   // 37
void FillNewInvoice(Operands& op);       // 41
void SetComponentSetting(Operands& op);  // 62 to 70

}  // namespace addin
