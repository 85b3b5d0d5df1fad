// Operations 62 to 70: the configuration hands over the component settings.
#include "settings/set_component_setting.h"
#include "host/calls.h"
#include "host/failure.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "settings/settings.h"

namespace addin {

namespace {

// The schedule key is replaced only by a value whose trimmed text is a number other than 0; a
// Null compares as Null and leaves it; a text that is no number is a type mismatch.
void ReplaceScheduleKey(FailurePlace& place, const Value& value) {
  if (value.IsNull()) return;
  NoteCheck(place, u"ключ расписания не число");
  const Value trimmed = Value::Str(TrimBlanks(ToText(value)));
  if (!Equals(trimmed, 0)) Settings().scheduleKey = value;
}

}  // namespace

void SetComponentSetting(Operands& op) {
  ComponentSettings& s = Settings();
  const Value& value = op.byValue[1];
  // Each field is assigned only after its value converted, so a failure leaves it as it was.
  switch (op.code) {
    case 62:
      NoteCheck(op.Place(), u"элемент 1 не объект (фирма)");
      s.firmInn = TrimBlanks(ToText(ObjectIn(value)->Get(u"ИНН")));
      break;
    case 63:
      NoteCheck(op.Place(), u"строки заявок не текст и не число");
      s.defaultOrderRows = ToText(value);
      break;
    case 66:
      NoteCheck(op.Place(), u"значение не читается как дата");
      s.workingDate = ToDate(value);
      break;
    case 68:
      NoteCheck(op.Place(), u"префикс номера не текст и не число");
      s.numberPrefix = TrimBlanks(ToText(value));
      break;
    case 69: ReplaceScheduleKey(op.Place(), value); break;
    default: break;  // 64, 65, 67 and 70 are accepted and change nothing
  }
}

}  // namespace addin
