// Operation 37: the week schedule unpacked into the seven day quantities and day flags.
#include "schedule/unpack_week_schedule.h"
#include "host/failure.h"
#include "host/rules.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

namespace addin {

namespace {

// An Empty value reads as the empty text; a Null is not equal to anything.
bool IsEmptyText(const Value& v) { return !v.IsNull() && ToText(v).empty(); }

}  // namespace

void UnpackWeekSchedule(Operands& op) {
  HostObject& holder = op.Obj(1);
  if (IsEmptyText(holder.Get(kWeekText))) return;
  const Value& key = Settings().scheduleKey;
  WeekQuantities q{};
  for (int i = 0; i < kDays; ++i) q[i] = DecodeDay(holder.Get(kWeekText), i, key, op.Place());
  // Sunday first, Monday last; each flag follows the quantity as the holder gives it back.
  PlaceScope day(op.Place(), u"у дня");
  for (int i = kDays - 1; i >= 0; --i) {
    day.Named(kFlagNames[i]);
    holder.Set(kQuantityNames[i], Value::I4(q[i]));
    const auto compared = CompareWithNumber(holder.Get(kQuantityNames[i]), 0);
    holder.Set(kFlagNames[i], Flag(compared.has_value() && *compared != 0));
  }
}

}  // namespace addin
