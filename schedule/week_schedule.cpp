#include "schedule/week_schedule.h"

#include <string>

#include "host/failure.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "schedule/shift.h"

namespace addin {

namespace {

constexpr size_t kFieldWidth = 6;
constexpr char16_t kKeyCheck[] = u"ключ расписания (операция 69) не даёт смещения дня";

// Up to `length` characters from 1-based position `start`: the empty text beyond the end.
Text Mid(const Text& t, size_t start, size_t length) {
  return start - 1 < t.size() ? t.substr(start - 1, length) : Text();
}

}  // namespace

double DayOffset(const Value& key, int day) {
  return ToNumber(Value::Str(Mid(ToText(key), day + 1, 2)));
}

Text EncodeWeek(const WeekQuantities& quantities, const Value& key, FailurePlace& place) {
  Text text;
  double sum = 0;
  PlaceScope day(place, u"у дня");
  for (int i = 0; i < kDays; ++i) {
    day.Named(kFlagNames[i]);
    NoteCheck(place, kKeyCheck);
    const double offset = DayOffset(key, i);
    NoteCheck(place, u"количество дня не помещается в поле текста \"ДеньНедели\"");
    const std::int32_t x = ToInt32(Value::R8(quantities[i] + offset));
    const std::int32_t field = ShiftLeft(x, static_cast<std::int16_t>(i + 1));
    sum += field;
    // A negative field cannot be read back: it would spoil the whole text, so it is refused
    // like a field too long for its six characters.
    const std::string digits = std::to_string(field);
    if (field < 0 || digits.size() > kFieldWidth) throw RuntimeError(kInvalidArgument);
    text.append(kFieldWidth - digits.size(), u'0');
    text.append(digits.begin(), digits.end());
  }
  return sum != 0 ? text : Text();
}

std::int32_t DecodeDay(const Value& weekText, int day, const Value& key, FailurePlace& place) {
  PlaceScope scope(place, u"у дня");
  scope.Named(kFlagNames[day]);
  NoteCheck(place, u"поле дня в тексте \"ДеньНедели\" не читается как число");
  const Value field = Value::Str(Mid(ToText(weekText), kFieldWidth * day + 1, kFieldWidth));
  const std::int32_t shifted = ShiftRight(ToInt32(field), static_cast<std::int16_t>(day + 1));
  NoteCheck(place, kKeyCheck);
  return ToInt32(Value::R8(shifted - DayOffset(key, day)));
}

}  // namespace addin
