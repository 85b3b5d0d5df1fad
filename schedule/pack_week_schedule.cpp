// Operation 36: the seven day quantities of the schedule holder packed into its week schedule.
#include "component/routines.h"
#include "host/rules.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

namespace addin {

void PackWeekSchedule(Operands& op) {
  HostObject& holder = op.Obj(1);
  WeekQuantities q{};
  for (int i = 0; i < kDays; ++i) q[i] = ToInt32(holder.Get(kQuantityNames[i]));
  // Written only once all seven fields are built: a failure leaves the old text.
  holder.Set(kWeekText, Value::Str(EncodeWeek(q, Settings().scheduleKey)));
}

}  // namespace addin
