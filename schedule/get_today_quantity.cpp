// Operation 26: today's quantity from the holder's week schedule, left in IsResult.
#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include "schedule/get_today_quantity.h"
#include "schedule/clock.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

namespace addin {

namespace {
WeekdayClock g_clock = LocalWeekday;
}  // namespace

int LocalWeekday() {
#ifdef _WIN32
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wDayOfWeek + 1;  // 0 is Sunday
#else
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_wday + 1;
#endif
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
  for (int i = 0; i < kDays; ++i) q[i] = DecodeDay(holder.Get(kWeekText), i, key, op.Place());  // all seven, always
  int today = g_clock() - 2;  // Monday 0 ... Saturday 5
  if (today == -1) today = 6;  // Sunday
  *op.result = Value::I4(q[today]);
}

}  // namespace addin
