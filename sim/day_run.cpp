#include "sim/day_run.h"

#include "host/calendar.h"
#include "host/rules.h"

namespace addin::sim {

std::vector<ExecuteCall> DeliverySheetCalls(Model& m, double workingDate) {
  auto call = [](std::string what, std::vector<Value> params) {
    params.resize(9, Value::Null());
    return ExecuteCall{std::move(what), std::move(params)};
  };
  auto obj = [](HostObject& o) { return Value::Obj(ObjRef(&o)); };
  if (workingDate < 0) workingDate = ParseDayText(m.workingDate).value_or(0);

  // The issuing firm: the one with the day's INN, else the first.
  Element* firm = m.firms.elements.empty() ? nullptr : m.firms.elements.front();
  for (Element* f : m.firms.elements)
    if (f->members[u"ИНН"] == Value::Str(m.firmInn)) firm = f;

  std::vector<ExecuteCall> calls;
  if (firm) calls.push_back(call("62 firm", {Value::I2(62), obj(*firm)}));
  calls.push_back(call("63 order rows", {Value::I2(63), Value::Str(m.orderRows)}));
  calls.push_back(call("66 working date", {Value::I2(66), Value::FromDate(workingDate)}));
  calls.push_back(call("68 number prefix", {Value::I2(68), Value::Str(m.numberPrefix)}));
  if (!m.scheduleKey.empty()) calls.push_back(call("69 schedule key", {Value::I2(69), Value::Str(m.scheduleKey)}));
  // Elements 4 and 6 are not used by the sheet but must hold objects.
  calls.push_back(call("13 delivery sheet", {Value::I2(13), obj(m.sheet), obj(m.zoneMarks), obj(m.documentMarks),
                                             obj(m.constants), obj(m.details), obj(m.constants), obj(m.zones),
                                             obj(m.slots)}));
  return calls;
}

}  // namespace addin::sim
