// Today's weekday, from the computer's local date. Tests set their own clock.
#pragma once

namespace addin {

// The weekday numbered from Sunday: Sunday 1, Monday 2, ..., Saturday 7.
using WeekdayClock = int (*)();
int LocalWeekday();
// Replaces the clock; returns the one it replaced.
WeekdayClock SetWeekdayClock(WeekdayClock clock);

}  // namespace addin
