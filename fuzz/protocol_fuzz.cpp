// Arbitrary sequences of the component's nineteen methods with arbitrary arguments: parameter
// arrays of any shape and bounds, values of every kind, host objects that fail at random calls.
// Nothing may crash or trip a sanitizer, and the protocol's invariants hold: CallAsProc leaves
// the result value Null unless a routine stored one, GetInfo writes only element 0 of a valid
// array, the property and method tables never change, and no reference is given back twice.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

#include "component/addin.h"
#include "invoices/message_box.h"
#include "settings/settings.h"
#include "sim/model.h"

using namespace addin;

namespace {

const char* kDay = R"({"date": "09.12.2026", "settings": {"orderRows": "1"},
  "constants": {"Вода": 1, "Залог": 90, "ИспользоватьСвойстваКлиентов": "Да"},
  "items": [{"code": 1, "name": "Вода", "water": 1}, {"code": 90, "name": "Залог"}],
  "firms": [{"code": 1, "name": "Родник", "inn": "7701", "prefix": "РД"}],
  "clients": [{"code": 1, "name": "Школа", "type": 3, "contract": null}, {"code": 2, "name": "Иванов", "type": 1, "contract": "Д"}],
  "zones": [{"code": 1, "name": "Центр"}, {"code": 2, "name": "Юг"}],
  "slots": [{"code": 1, "name": "Утро", "rows": 1}],
  "invoices": [{"number": "1", "date": "09.12.2026", "client": 1, "zone": 1, "slot": 1, "posted": true, "lines": [[1, 2]]}]})";

class Discard final : public InformationBox {
 public:
  void ShowInformation(const Text&, const Text&) override {}
};

std::unique_ptr<sim::Model> g_model;
long g_inputs = 0, g_generation = 0;

sim::Model& Model() {
  // A fresh day now and then: the sheets and documents the runs make pile up in it.
  if (!g_model || ++g_inputs % 500 == 0 || g_model->objects().size() > 20000) {
    g_model = sim::ParseDay(kDay, "fuzz day");
    ++g_generation;
  }
  return *g_model;
}

Text SomeText(FuzzedDataProvider& in) {
  static const char16_t* const kTexts[] = {u"", u"13", u" 26 ", u"abc", u"1e400", u"0", u"2718281", u"IsResult",
                                           u"Результат", u"Execute", u"Выполнить", u"IsParam", u"-1", u"62.5"};
  if (in.ConsumeBool()) return kTexts[in.ConsumeIntegralInRange<size_t>(0, std::size(kTexts) - 1)];
  const std::string bytes = in.ConsumeRandomLengthString(12);
  return Text(bytes.begin(), bytes.end());
}

Value SomeValue(FuzzedDataProvider& in, sim::Model& m) {
  switch (in.ConsumeIntegralInRange(0, 10)) {
    case 0: return Value();
    case 1: return Value::Null();
    case 2: return Value::Bool(in.ConsumeBool());
    case 3: {
      static const std::int16_t kCodes[] = {13, 26, 36, 37, 41, 62, 63, 64, 65, 66, 67, 68, 69, 70, 61, 71, 0};
      return Value::I2(in.ConsumeBool() ? kCodes[in.ConsumeIntegralInRange<size_t>(0, std::size(kCodes) - 1)]
                                        : in.ConsumeIntegral<std::int16_t>());
    }
    case 4: return Value::I4(in.ConsumeIntegral<std::int32_t>());
    case 5: return Value::R8(in.ConsumeFloatingPoint<double>());
    case 6: return Value::Cy({in.ConsumeIntegral<std::int64_t>()});
    case 7: return Value::FromDate(in.ConsumeFloatingPointInRange<double>(-700000, 3000000));
    case 8: return Value::Str(SomeText(in));
    default: {
      const auto& objects = m.objects();
      return Value::Obj(ObjRef(objects[in.ConsumeIntegralInRange<size_t>(0, std::min<size_t>(objects.size(), 400) - 1)].get()));
    }
  }
}

ParamArray SomeArray(FuzzedDataProvider& in, sim::Model& m) {
  ParamArray p;
  p.dimensions = in.ConsumeIntegralInRange(0, 10) == 0 ? in.ConsumeIntegralInRange(0, 3) : 1;
  p.lowerBound = in.ConsumeIntegralInRange(0, 8) == 0 ? in.ConsumeIntegralInRange(-3, 3) : 0;
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 12);
  for (size_t i = 0; i < n; ++i) p.items.push_back(SomeValue(in, m));
  return p;
}

// A parameter array laid out as the configuration lays it out for one operation, sometimes with
// one element spoilt.
ParamArray Recipe(FuzzedDataProvider& in, sim::Model& m) {
  auto obj = [](HostObject& o) { return Value::Obj(ObjRef(&o)); };
  static sim::Object* holder = nullptr;
  static long holderGeneration = -1;
  if (holderGeneration != g_generation) {
    holder = &m.Make<sim::Object>();
    holderGeneration = g_generation;
    for (const char16_t* q : {u"б1", u"б2", u"б3", u"б4", u"б5", u"б6", u"б7"}) holder->members[q] = Value::I4(3);
    holder->members[u"ДеньНедели"] = Value::Str(u"000056000292000168001376001056005568001024");
  }
  std::vector<Value> items;
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      items = {Value::I2(13), obj(m.sheet), obj(m.zoneMarks), obj(m.documentMarks), obj(m.constants), obj(m.details),
               obj(m.constants), obj(m.zones), obj(m.slots)};
      break;
    case 1: items = {Value::I2(static_cast<std::int16_t>(in.PickValueInArray({26, 36, 37}))), obj(*holder)}; break;
    case 2:
      items = {Value::I2(41), obj(m.NewInvoice()), obj(m.firms), obj(*m.clients.elements[in.ConsumeIntegralInRange(0, 1)]),
               obj(*m.zones.elements[0]), obj(*m.slots.elements[0])};
      break;
    case 3: items = {Value::I2(62), obj(*m.firms.elements[0])}; break;
    default: items = {Value::R8(in.ConsumeFloatingPointInRange<double>(61, 71)), SomeValue(in, m)}; break;
  }
  items.resize(9, Value::Null());
  if (in.ConsumeIntegralInRange(0, 3) == 0) items[in.ConsumeIntegralInRange<size_t>(0, 8)] = SomeValue(in, m);
  if (in.ConsumeIntegralInRange(0, 5) == 0) holder->members[u"ДеньНедели"] = Value::Str(SomeText(in));
  return ParamArray{1, 0, items};
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Discard discard;
  SetInformationBox(&discard);
  FuzzedDataProvider in(data, size);
  sim::Model& m = Model();
  {
    AddIn a;
    const int steps = in.ConsumeIntegralInRange(1, 12);
    for (int step = 0; step < steps && in.remaining_bytes() > 0; ++step) {
      // A host call that fails now and then.
      sim::Counts().numbered = 0;
      sim::Counts().failAt = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(1, 200) : 0;
      const std::int32_t n1 = in.ConsumeIntegralInRange(-2, 3), n2 = in.ConsumeIntegralInRange(-2, 9);
      std::int32_t number = 77;
      Text text = u"x";
      Value value = Value::I4(77);
      switch (in.ConsumeIntegralInRange(0, 18)) {
        case 0: a.Init(in.ConsumeBool() ? ObjRef(&m.connection) : ObjRef()); break;
        case 1: a.Done(); break;
        case 2: {
          ParamArray p = SomeArray(in, m);
          const ParamArray before = p;
          const Status s = a.GetInfo(&p);
          for (size_t i = 0; i < p.items.size(); ++i) {
            const bool zero = s == kOk && p.dimensions == 1 && static_cast<std::int64_t>(i) + p.lowerBound == 0;
            Check(zero ? p.items[i] == Value::Str(u"1000") : p.items[i] == before.items[i]);
          }
          break;
        }
        case 3: Check(a.RegisterExtensionAs(text) == kOk && text == u"Security"); break;
        case 4: Check(a.GetNProps(number) == kOk && number == 2); break;
        case 5: {
          const Text name = SomeText(in);
          Check(a.FindProp(name, number) == kOk);
          Check(number == (name == u"IsResult" || name == u"Результат" ? 0
                           : name == u"IsParam" || name == u"Параметр" ? 1 : -1));
          break;
        }
        case 6: Check(a.GetPropName(n1, n2, text) == kOk && (n1 == 0 || n1 == 1 || text.empty())); break;
        case 7: Check(a.GetPropVal(n1, value) == kOk && (n1 == 0 || value.IsNull())); break;
        case 8: Check(a.SetPropVal(n1, SomeValue(in, m)) == kOk); break;
        case 9: Check(a.IsPropReadable(n1, number) == kOk && number == (n1 == 0 || n1 == 1 ? -1 : 77)); break;
        case 10: Check(a.IsPropWritable(n1, number) == kOk && number == (n1 == 0 ? 0 : n1 == 1 ? -1 : 77)); break;
        case 11: Check(a.GetNMethods(number) == kOk && number == 1); break;
        case 12: {
          const Text name = SomeText(in);
          Check(a.FindMethod(name, number) == kOk && number == (name == u"Execute" || name == u"Выполнить" ? 0 : -1));
          break;
        }
        case 13: Check(a.GetMethodName(n1, n2, text) == kOk && (n1 == 0 || text.empty())); break;
        case 14: Check(a.GetNParams(n1, number) == kOk && number == (n1 == 0 ? 9 : 0)); break;
        case 15: Check(a.GetParamDefValue(n1, n2, value) == kOk && value.IsNull()); break;
        case 16: Check(a.HasRetVal(n1, number) == kOk && number == 0); break;
        case 17: {
          const bool none = in.ConsumeIntegralInRange(0, 20) == 0;
          ParamArray p = in.ConsumeBool() ? Recipe(in, m) : SomeArray(in, m);
          const std::int32_t method = in.ConsumeBool() ? 0 : n1;
          a.CallAsProc(method, none ? nullptr : &p);
          // Only operations 13 and 26 store a result, and only when they succeed.
          Check(method != 0 ? a.result().IsNull() : a.result().IsNull() || a.result().kind() == Value::Kind::I4);
          break;
        }
        default: {
          ParamArray p = SomeArray(in, m);
          Value ret = Value::I4(5);
          Check(a.CallAsFunc(n1, ret, &p) == kOk && ret == Value::I4(5));
          break;
        }
      }
    }
    a.Done();
  }
  sim::Counts().failAt = 0;
  for (auto& o : m.objects()) Check(o->refs >= 0);  // nothing given back twice
  return 0;
}
