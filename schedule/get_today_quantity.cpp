// Operation 26: today's quantity from the holder's week schedule, left in IsResult.
#include <ctime>

#include "component/routines.h"
#include "schedule/clock.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

namespace addin {

namespace {
WeekdayClock g_clock = LocalWeekday;
}  // namespace

int LocalWeekday() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local.tm_wday + 1;
}

WeekdayClock SetWeekdayClock(WeekdayClock clock) {
  WeekdayClock old = g_clock;
  g_clock = clock ? clock : LocalWeekday;
  return old;
}

void GetTodayQuantity(Operands& op) {
  HostObject& holder = op.Obj(1);
  const Value& key = Settings().scheduleKey;
  WeekQuantities q{};
  for (int i = 0; i < kDays; ++i) q[i] = DecodeDay(holder.Get(kWeekText), i, key);  // all seven, always
  int today = g_clock() - 2;  // Monday 0 ... Saturday 5
  if (today == -1) today = 6;  // Sunday
  *op.result = Value::I4(q[today]);
}

}  // namespace addin
