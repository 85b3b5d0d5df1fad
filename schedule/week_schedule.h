// The week schedule text: seven six-character fields, Monday first, each the day's quantity
// raised by the day offset from the schedule key and shifted left by day index + 1 bits.
#pragma once

#include <array>
#include <cstdint>

#include "host/failure.h"
#include "host/value.h"

namespace addin {

inline constexpr int kDays = 7;
using WeekQuantities = std::array<std::int32_t, kDays>;

// Host member names, by day index (0 = Monday).
inline constexpr const char16_t* kWeekText = u"ДеньНедели";
inline constexpr const char16_t* kQuantityNames[kDays] = {u"б1", u"б2", u"б3", u"б4", u"б5", u"б6", u"б7"};
inline constexpr const char16_t* kFlagNames[kDays] = {u"Понедельник", u"Вторник", u"Среда", u"Четверг",
                                                      u"Пятница", u"Суббота", u"Воскресенье"};

// The day offset of day index i: the two characters of the key's text from position i + 1, as a
// number (error 13 when they are missing or no number).
double DayOffset(const Value& key, int day);

// Both note the day and what they check in the place, for the description of a failure.
// The week schedule text of seven quantities: the empty text when the fields add up to 0. A field
// that is negative or longer than six characters is error 5; nothing is returned then.
Text EncodeWeek(const WeekQuantities& quantities, const Value& key, FailurePlace& place = Place());

// The quantity of one day from a week schedule text (up to six characters from position
// 6 * day + 1): error 13 when the field is empty or no number.
std::int32_t DecodeDay(const Value& weekText, int day, const Value& key, FailurePlace& place = Place());

}  // namespace addin
