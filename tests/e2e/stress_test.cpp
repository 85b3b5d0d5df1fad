// Through real COM: every host call of the schedule operations and of operation 41 made to fail
// in turn, and ten thousand Execute calls with random codes, arguments and array shapes while
// the simulated objects fail at random. The host process goes on, every reference is given
// back, and the DLL may be unloaded at the end.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <random>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/com_variant.h"
#include "host/utf.h"
#include "sim/com_exposed.h"
#include "sim/day_run.h"
#include "sim/model.h"
#include "test_object.h"

namespace addin::test {
namespace {

using com::ComPtr;

const char* kDay = R"({"date": "09.12.2026", "settings": {"orderRows": "1"},
  "constants": {"Вода": 1, "Залог": 90, "ИспользоватьСвойстваКлиентов": "Да"},
  "items": [{"code": 1, "name": "Вода", "water": 1}, {"code": 90, "name": "Залог"}],
  "firms": [{"code": 1, "name": "Родник", "inn": "7701", "prefix": "РД"}],
  "clients": [{"code": 1, "name": "Школа", "type": 3, "free": 1, "kind": "ЧастноеЛицо", "contract": "Д-1"}],
  "zones": [{"code": 1, "name": "Центр"}], "slots": [{"code": 1, "name": "Утро", "rows": 1}],
  "invoices": [{"number": "1", "date": "09.12.2026", "client": 1, "zone": 1, "slot": 1, "posted": true, "lines": [[1, 2]]}]})";

constexpr HRESULT kInjected = static_cast<HRESULT>(0x80004005);

class ThroughCom : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    sim::ExposeSimulatedObjects();
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"AddIn.AddInObj", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILanguageExtender,
                               reinterpret_cast<void**>(ext.put())),
              S_OK);
    ASSERT_EQ(ext->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(init.put())), S_OK);
    ASSERT_EQ(init->Init(nullptr), S_OK);  // the built-in schedule key; no connection is needed here
  }
  void TearDown() override {
    sim::Counts() = {};
    ext = {};
    init = {};
    CoUninitialize();
  }

  void Fresh() {
    model = sim::ParseDay(kDay, "stress day");
    holder = &model->Make<sim::Object>();
    for (const char16_t* q : {u"б1", u"б2", u"б3", u"б4", u"б5", u"б6", u"б7"}) holder->members[q] = Value::I4(2);
    holder->members[u"ДеньНедели"] = Value::Str(u"000056000292000168001376001056005568001024");
  }

  HRESULT Execute(std::vector<Value> params) {
    params.resize(9, Value::Null());
    SAFEARRAY* array = com::ToSafeArray(params);
    HRESULT hr = ext->CallAsProc(0, &array);
    SafeArrayDestroy(array);
    return hr;
  }
  VARTYPE ResultType() {
    com::UniqueVariant v;
    ext->GetPropVal(0, v.get());
    return V_VT(v.get());
  }
  std::wstring ThreadError() { return ThreadErrorFrom(L"AddIn.AddInObj"); }
  // After the k-th host call failed: the description names the member, how it was used, and the
  // host's own words.
  void ExpectDescribed(const Text& call, const char* what, long k) {
    const std::wstring d = ThreadError();
    const Text kind = call.substr(0, call.find(u' ')), member = call.substr(kind.size() + 1);
    const Text got(d.begin(), d.end());
    // Through IDispatch a method called without arguments and a property read look alike.
    const bool named = kind == u"set" ? got.find(u"при записи \"" + member + u"\"") != Text::npos
                                      : got.find(u"при чтении \"" + member + u"\"") != Text::npos ||
                                            got.find(u"при вызове \"" + member + u"\"") != Text::npos;
    // A call the simulated platform makes inside one of the component's (the query reading an
    // item's code inside "Выполнить") is named by the host's own words after the component's step.
    const bool inner = got.find(u" при вызове \"Выполнить\": injected failure of call " + member) != Text::npos;
    EXPECT_TRUE(named || inner) << what << ", call " << k << ": " << Utf8(got);
    EXPECT_NE(got.find(u": injected failure of call " + member), Text::npos) << what << ", call " << k;
  }
  // With the model's own references let go, none may be left.
  long ReferencesLeft() {
    for (auto& o : model->objects()) o->DropReferences();
    long left = 0;
    for (auto& o : model->objects()) left += o->refs;
    return left;
  }

  ComPtr<ILanguageExtender> ext;
  ComPtr<IInitDone> init;
  std::unique_ptr<sim::Model> model;
  sim::Object* holder = nullptr;
};

TEST_F(ThroughCom, EveryHostCallOfTheScheduleOperationsAndOf41FailsInTurn) {
  auto obj = [](HostObject& o) { return Value::Obj(ObjRef(&o)); };
  long injected = 0;
  for (int code : {26, 36, 37, 41}) {
    auto params = [&] {
      if (code != 41) return std::vector<Value>{Value::I2(static_cast<std::int16_t>(code)), obj(*holder)};
      return std::vector<Value>{Value::I2(41), obj(model->NewInvoice()), obj(model->firms), obj(*model->clients.elements[0]),
                                obj(*model->zones.elements[0]), obj(*model->slots.elements[0])};
    };
    Fresh();
    ASSERT_EQ(Execute({Value::I2(62), obj(*model->firms.elements[0])}), S_OK);
    sim::Counts().listing = true;
    sim::Counts().sequence.clear();
    sim::Counts().numbered = 0;
    ASSERT_EQ(Execute(params()), S_OK) << code;
    const std::vector<Text> baseline = sim::Counts().sequence;
    for (long k = 1; k <= static_cast<long>(baseline.size()); ++k, ++injected) {
      Fresh();
      sim::Counts().sequence.clear();
      sim::Counts().numbered = 0;
      sim::Counts().failAt = k;
      EXPECT_EQ(Execute(params()), kInjected) << code << ", call " << k;
      sim::Counts().failAt = 0;
      EXPECT_EQ(sim::Counts().sequence, std::vector<Text>(baseline.begin(), baseline.begin() + k)) << code << ", call " << k;
      ExpectDescribed(baseline[k - 1], std::to_string(code).c_str(), k);
      EXPECT_EQ(ResultType(), VT_NULL) << code << ", call " << k;
      EXPECT_EQ(Execute(params()), S_OK) << code << ", after call " << k;
      EXPECT_EQ(ThreadError(), L"") << code << ", after call " << k;  // nothing stale
      EXPECT_EQ(ReferencesLeft(), 0) << code << ", call " << k;
    }
    sim::Counts().listing = false;
  }
  RecordProperty("injected", static_cast<int>(injected));
  std::printf("faults injected through COM: %ld\n", injected);
}

// The delivery sheet on the small day: the settings, then operation 13 with every host call it
// makes failing in turn. The connection is handed over with Init for each fresh day and taken
// back with Done before the day's references are counted.
TEST_F(ThroughCom, EveryHostCallOfTheDeliverySheetFailsInTurn) {
  std::vector<Value> sheet;
  auto startDay = [&] {
    Fresh();
    com::UniqueVariant connection;
    com::ToVariant(Value::Obj(ObjRef(&model->connection)), *connection.get());
    ASSERT_EQ(init->Init(V_DISPATCH(connection.get())), S_OK);
    auto calls = sim::DeliverySheetCalls(*model);
    for (size_t i = 0; i + 1 < calls.size(); ++i) ASSERT_EQ(Execute(calls[i].params), S_OK) << calls[i].what;
    sheet = calls.back().params;
    sim::Counts().sequence.clear();
    sim::Counts().numbered = 0;
  };
  auto endDay = [&] {
    sheet.clear();
    EXPECT_EQ(init->Done(), S_OK);
  };
  startDay();
  sim::Counts().listing = true;
  ASSERT_EQ(Execute(sheet), S_OK);
  const std::vector<Text> baseline = sim::Counts().sequence;
  endDay();
  ASSERT_GT(baseline.size(), 100u);
  long injected = 0;
  for (long k = 1; k <= static_cast<long>(baseline.size()); ++k, ++injected) {
    startDay();
    sim::Counts().failAt = k;
    EXPECT_EQ(Execute(sheet), kInjected) << "call " << k << " " << testing::PrintToString(baseline[k - 1]);
    sim::Counts().failAt = 0;
    EXPECT_EQ(sim::Counts().sequence, std::vector<Text>(baseline.begin(), baseline.begin() + k)) << "call " << k;
    ExpectDescribed(baseline[k - 1], "13", k);
    EXPECT_EQ(ResultType(), VT_NULL) << "call " << k;
    EXPECT_EQ(Execute(sheet), S_OK) << "after call " << k;
    EXPECT_EQ(ThreadError(), L"") << "after call " << k;
    endDay();
    EXPECT_EQ(ReferencesLeft(), 0) << "call " << k;
  }
  sim::Counts().listing = false;
  ASSERT_EQ(init->Init(nullptr), S_OK);  // as the fixture left it
  std::printf("faults injected through COM into the delivery sheet: %ld\n", injected);
}

TEST_F(ThroughCom, TenThousandRandomCallsLeaveNothingBehind) {
  Fresh();
  std::mt19937 random(20261209);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const auto& objects = model->objects();
  auto someValue = [&]() -> Value {
    switch (pick(9)) {
      case 0: return Value();
      case 1: return Value::Null();
      case 2: return Value::I2(static_cast<std::int16_t>(pick(80)));
      case 3: return Value::I4(static_cast<std::int32_t>(random()));
      case 4: return Value::R8((random() % 20000) / 100.0 - 50);
      case 5: return Value::Str(pick(2) ? u"13" : u"текст");
      case 6: return Value::FromDate(46365);
      case 7: return Value::Obj(ObjRef(holder));
      default: return Value::Obj(ObjRef(objects[pick(static_cast<int>(std::min<size_t>(objects.size(), 60)))].get()));
    }
  };
  {
    com::UniqueVariant connection;
    com::ToVariant(Value::Obj(ObjRef(&model->connection)), *connection.get());
    init->Init(V_DISPATCH(connection.get()));
  }
  long calls = 0, failed = 0;
  for (int i = 0; i < 10000; ++i, ++calls) {
    sim::Counts().numbered = 0;
    sim::Counts().failAt = pick(4) == 0 ? 1 + pick(40) : 0;
    const int shape = pick(20);
    HRESULT hr;
    if (shape == 0) {  // two dimensions
      SAFEARRAYBOUND b[2] = {{9, 0}, {2, 0}};
      SAFEARRAY* a = SafeArrayCreate(VT_VARIANT, 2, b);
      hr = ext->CallAsProc(0, &a);
      SafeArrayDestroy(a);
    } else if (shape == 1) {  // numbers instead of variants
      SAFEARRAYBOUND b{9, 0};
      SAFEARRAY* a = SafeArrayCreate(VT_I4, 1, &b);
      hr = ext->CallAsProc(0, &a);
      SafeArrayDestroy(a);
    } else if (shape == 2) {
      hr = ext->CallAsProc(pick(3), nullptr);
    } else {  // variants, with a lower bound now and then, of random length
      const ULONG n = static_cast<ULONG>(pick(10) + 1);
      SAFEARRAYBOUND b{n, shape == 3 ? 1 : 0};
      SAFEARRAY* a = SafeArrayCreate(VT_VARIANT, 1, &b);
      for (LONG k = 0; k < static_cast<LONG>(n); ++k) {
        com::UniqueVariant v;
        Value value = k == 0 && pick(2) ? Value::I2(static_cast<std::int16_t>(
                                              std::vector<int>{13, 26, 36, 37, 41, 62, 63, 66, 68, 69, 70}[pick(11)]))
                                        : someValue();
        com::ToVariant(value, *v.get());
        LONG index = k + b.lLbound;
        SafeArrayPutElement(a, &index, v.get());
      }
      hr = ext->CallAsProc(pick(5) == 0 ? pick(3) : 0, &a);
      SafeArrayDestroy(a);
    }
    failed += FAILED(hr);
  }
  sim::Counts().failAt = 0;
  init->Done();
  std::printf("random calls through COM: %ld, of them failed: %ld\n", calls, failed);
  RecordProperty("random_calls", static_cast<int>(calls));
  ext = {};
  init = {};
  EXPECT_EQ(ReferencesLeft(), 0);
  HMODULE dll = GetModuleHandleW(L"AddIn.dll");
  ASSERT_NE(dll, nullptr);
  auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllCanUnloadNow");
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
}  // namespace addin::test
