// Operation 36: the seven day quantities of the schedule holder packed into its week schedule.
#include "schedule/pack_week_schedule.h"
#include "host/failure.h"
#include "host/rules.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

namespace addin {

void PackWeekSchedule(Operands& op) {
  HostObject& holder = op.Obj(1);
  WeekQuantities q{};
  {
    PlaceScope day(op.Place(), u"у дня");
    for (int i = 0; i < kDays; ++i) {
      day.Named(kFlagNames[i]);
      q[i] = ToInt32(holder.Get(kQuantityNames[i]));
    }
  }
  // Written only once all seven fields are built: a failure leaves the old text.
  holder.Set(kWeekText, Value::Str(EncodeWeek(q, Settings().scheduleKey, op.Place())));
}

}  // namespace addin
