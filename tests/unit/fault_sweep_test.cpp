// Every host call of every operation made to fail in turn, with the host's own error: the
// operation reports the failure; the calls before the failing one were made as without the fault
// and none after it; IsResult stays Null; the settings stay; every reference taken is given
// back; and the next Execute works normally.
#include <gtest/gtest.h>

#include <functional>

#include "component/addin.h"
#include "host/utf.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"
#include "sim/day_run.h"
#include "sim/model.h"

namespace addin {
namespace {

const char* kDay = R"({"date": "09.12.2026", "settings": {"orderRows": "2", "firmInn": "7701", "numberPrefix": "СП"},
  "constants": {"Вода": 1, "Залог": 90, "ИспользоватьСвойстваКлиентов": "Да"},
  "items": [{"code": 1, "name": "Вода", "water": 1}, {"code": 2, "name": "Чай"}, {"code": 90, "name": "Залог"}],
  "firms": [{"code": 1, "name": "Родник", "inn": "7701", "prefix": "РД"}],
  "properties": [{"code": 1, "name": "Склад"}],
  "clients": [{"code": 1, "name": "Школа", "address": "Садовая", "type": 3, "free": 1, "kind": "ЧастноеЛицо", "contract": null},
              {"code": 2, "name": "Иванов", "address": "Лесная", "type": 1, "kind": "ЧастноеЛицо", "contract": "Д-2"}],
  "zones": [{"code": 1, "name": "Центр"}, {"code": 2, "name": "Юг"}],
  "slots": [{"code": 1, "name": "Утро", "rows": 1}, {"code": 2, "name": "День", "rows": 2}],
  "invoices": [
    {"number": "РД1", "date": "09.12.2026", "client": 1, "zone": 1, "slot": 1, "property": 1, "posted": true, "lines": [[1, 2], [90, 1]]},
    {"number": "РД2", "date": "09.12.2026", "client": 2, "zone": 2, "slot": 2, "posted": false, "lines": [[2, 1]]},
    {"number": "РД3", "date": "09.12.2026", "client": 2, "zone": 2, "slot": 2, "posted": false, "lines": [[1, 5]]}],
  "marks": {"zones": [2], "invoices": ["РД3"]}})";

struct Scenario {
  const char* name;
  // The objects of the operation's Execute call, element 0 the code.
  std::function<std::vector<Value>(sim::Model&, sim::Object& holder)> params;
};

Value Obj(HostObject& o) { return Value::Obj(ObjRef(&o)); }

class FaultSweep : public ::testing::TestWithParam<Scenario> {
 protected:
  void TearDown() override {
    sim::Counts() = {};
    Settings() = ComponentSettings{};
  }

  // A fresh day with its settings handed over, and a schedule holder: the sample day, or a small
  // one for the delivery sheet, whose sample day would make the sweep long.
  void Fresh() {
    model = std::string(GetParam().name) == "13" ? sim::ParseDay(kDay, "sweep day")
                                                 : sim::LoadDay(ADDIN_SOURCE_DIR "/sim/data/sample-day.json");
    holder = &model->Make<sim::Object>();
    for (int i = 0; i < kDays; ++i) holder->members[kQuantityNames[i]] = Value::I4(i + 1);
    holder->members[kWeekText] = Value::Str(u"000056000292000168001376001056005568001024");
    Settings() = ComponentSettings{};
    AddIn setup;
    setup.Init(ObjRef());
    for (auto& call : sim::DeliverySheetCalls(*model)) {
      if (call.what.rfind("13", 0) == 0) continue;
      ParamArray p{1, 0, call.params};
      ASSERT_EQ(setup.CallAsProc(methExecute, &p), kOk);
    }
    setup.Done();
  }

  // Runs the operation with call `failAt` failing (0: none); returns the status.
  Status Execute(AddIn& component, long failAt) {
    ParamArray p{1, 0, GetParam().params(*model, *holder)};
    p.items.resize(9, Value::Null());
    sim::Counts().numbered = 0;
    sim::Counts().failAt = failAt;
    sim::Counts().listing = true;
    sim::Counts().sequence.clear();
    const Status status = component.CallAsProc(methExecute, &p);
    sim::Counts().listing = false;
    sim::Counts().failAt = 0;
    return status;
  }

  // Once the platform lets go of what it holds itself, no object may have a reference left.
  void ExpectNoReferenceLeft() {
    for (auto& o : model->objects()) o->DropReferences();
    long left = 0;
    for (auto& o : model->objects()) left += o->refs;
    EXPECT_EQ(left, 0);
  }

  std::unique_ptr<sim::Model> model;
  sim::Object* holder = nullptr;
};

TEST_P(FaultSweep, EveryHostCallFailingInTurn) {
  Fresh();
  std::vector<Text> baseline;
  Value baselineResult;
  {
    AddIn component;
    component.Init(ObjRef(&model->connection));
    ASSERT_EQ(Execute(component, 0), kOk);
    baseline = sim::Counts().sequence;
    baselineResult = component.result();
    component.Done();
  }
  const long calls = static_cast<long>(baseline.size());
  RecordProperty("host_calls", static_cast<int>(calls));
  for (long k = 1; k <= calls; ++k) {
    Fresh();
    {
      AddIn component;
      component.Init(ObjRef(&model->connection));
      const ComponentSettings settings = Settings();
      ASSERT_EQ(Execute(component, k), sim::Object::kInjectedFailure) << GetParam().name << ", call " << k;
      const std::vector<Text> made = sim::Counts().sequence;
      ASSERT_EQ(made, std::vector<Text>(baseline.begin(), baseline.begin() + k)) << GetParam().name << ", call " << k;
      // The description names the operation, the host's failure, the member and how it was used,
      // and carries the host's own words.
      const Text& kind = made.back().substr(0, made.back().find(u' '));
      const Text member = made.back().substr(kind.size() + 1);
      const Text how = kind == u"get" ? u"при чтении" : kind == u"set" ? u"при записи" : u"при вызове";
      const Text& failure = component.failure();
      for (const Text& part : {u"Security.Выполнить(" + Utf16(GetParam().name) + u"): ", Text(u"ошибка платформы 0x80004005 (сбой)"),
                               how + u" \"" + member + u"\"", u": injected failure of call " + member})
        EXPECT_NE(failure.find(part), Text::npos) << GetParam().name << ", call " << k << ": " << Utf8(failure)
                                                  << " lacks " << Utf8(part);
      EXPECT_TRUE(component.result().IsNull()) << GetParam().name << ", call " << k;
      EXPECT_EQ(Settings().firmInn, settings.firmInn);
      EXPECT_EQ(Settings().defaultOrderRows, settings.defaultOrderRows);
      EXPECT_EQ(Settings().numberPrefix, settings.numberPrefix);
      EXPECT_EQ(Settings().workingDate, settings.workingDate);
      EXPECT_EQ(Settings().scheduleKey, settings.scheduleKey);
      // The next Execute works normally.
      ASSERT_EQ(Execute(component, 0), kOk) << GetParam().name << ", after call " << k;
      EXPECT_EQ(component.result(), baselineResult);
      EXPECT_TRUE(component.failure().empty()) << Utf8(component.failure());
      component.Done();
    }
    ExpectNoReferenceLeft();
  }
}


INSTANTIATE_TEST_SUITE_P(
    Operations, FaultSweep,
    ::testing::Values(
        Scenario{"13", [](sim::Model& m, sim::Object&) {
                   return std::vector<Value>{Value::I2(13), Obj(m.sheet), Obj(m.zoneMarks), Obj(m.documentMarks),
                                             Obj(m.constants), Obj(m.details), Obj(m.constants), Obj(m.zones), Obj(m.slots)};
                 }},
        Scenario{"26", [](sim::Model&, sim::Object& h) { return std::vector<Value>{Value::I2(26), Obj(h)}; }},
        Scenario{"36", [](sim::Model&, sim::Object& h) { return std::vector<Value>{Value::I2(36), Obj(h)}; }},
        Scenario{"37", [](sim::Model&, sim::Object& h) { return std::vector<Value>{Value::I2(37), Obj(h)}; }},
        Scenario{"41", [](sim::Model& m, sim::Object&) {
                   return std::vector<Value>{Value::I2(41), Obj(m.NewInvoice()), Obj(m.firms), Obj(*m.clients.elements[0]),
                                             Obj(*m.zones.elements[0]), Obj(*m.slots.elements[0])};
                 }},
        Scenario{"62", [](sim::Model& m, sim::Object&) {
                   return std::vector<Value>{Value::I2(62), Obj(*m.firms.elements[0])};
                 }},
        Scenario{"63", [](sim::Model&, sim::Object&) { return std::vector<Value>{Value::I2(63), Value::Str(u"2")}; }},
        Scenario{"66", [](sim::Model&, sim::Object&) { return std::vector<Value>{Value::I2(66), Value::FromDate(46365)}; }},
        Scenario{"68", [](sim::Model&, sim::Object&) { return std::vector<Value>{Value::I2(68), Value::Str(u"СП")}; }},
        Scenario{"69", [](sim::Model&, sim::Object&) { return std::vector<Value>{Value::I2(69), Value::Str(u"2718281")}; }}),
    [](const auto& info) { return std::string("Operation") + info.param.name; });

}  // namespace
}  // namespace addin
