#include <gtest/gtest.h>

#include "component/addin.h"
#include "fake_object.h"
#include "settings/settings.h"

namespace addin {
namespace {

using test::FakeObject;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ComponentSettings{};
    ResetScheduleKey();
  }
  void TearDown() override { Settings() = ComponentSettings{}; }

  Status Execute(Value code, Value value) {
    ParamArray p{1, 0, std::vector<Value>(9, Value::Null())};
    p.items[0] = std::move(code);
    p.items[1] = std::move(value);
    Status s = component.CallAsProc(methExecute, &p);
    EXPECT_TRUE(component.result().IsNull());
    return s;
  }

  AddIn component;
};

TEST_F(SettingsTest, EachCodeStoresItsField) {
  const Value key = Value::I4(kDefaultScheduleKey);
  const struct {
    double code;
    Value value;
    Status status;
    Text orderRows, prefix;
    double date;
    Value scheduleKey;
  } cases[] = {
      {63, Value::I4(3), kOk, u"3", u"", 0, key},
      {63, Value::Str(u" 4 "), kOk, u" 4 ", u"", 0, key},
      {63, Value::Null(), StatusOfErrorNumber(kInvalidUseOfNull), u"", u"", 0, key},
      {68, Value::Str(u"  МСК \t "), kOk, u"", u"МСК \t", 0, key},
      {68, Value::Null(), StatusOfErrorNumber(kInvalidUseOfNull), u"", u"", 0, key},
      {66, Value::FromDate(46000), kOk, u"", u"", 46000, key},
      {66, Value::Str(u"09.12.2025"), kOk, u"", u"", 46000, key},
      {66, Value::Str(u"not a date"), StatusOfErrorNumber(kTypeMismatch), u"", u"", 0, key},
      {66, Value::Null(), StatusOfErrorNumber(kInvalidUseOfNull), u"", u"", 0, key},
      {69, Value::Str(u"0"), kOk, u"", u"", 0, key},
      {69, Value::Str(u"  000  "), kOk, u"", u"", 0, key},
      {69, Value::Str(u" 1234567 "), kOk, u"", u"", 0, Value::Str(u" 1234567 ")},
      {69, Value::I4(7654321), kOk, u"", u"", 0, Value::I4(7654321)},
      {69, Value::Null(), kOk, u"", u"", 0, key},
      {69, Value::Str(u""), StatusOfErrorNumber(kTypeMismatch), u"", u"", 0, key},
      {69, Value::Str(u"12ab"), StatusOfErrorNumber(kTypeMismatch), u"", u"", 0, key},
      {69.6, Value::Str(u"1111111"), kOk, u"", u"", 0, key},  // the code rounds to 70
      {62.5, Value::I4(5), StatusOfErrorNumber(kObjectRequired), u"", u"", 0, key},  // code 62
      {63.5, Value::I4(5), kOk, u"", u"", 0, key},  // code 64
      {64, Value::I4(5), kOk, u"", u"", 0, key},
      {65, Value::I4(5), kOk, u"", u"", 0, key},
      {67, Value::I4(5), kOk, u"", u"", 0, key},
      {70, Value::I4(5), kOk, u"", u"", 0, key},
  };
  for (const auto& c : cases) {
    SetUp();
    EXPECT_EQ(Execute(Value::R8(c.code), c.value), c.status) << c.code;
    const ComponentSettings& s = Settings();
    EXPECT_EQ(s.defaultOrderRows, c.orderRows) << c.code;
    EXPECT_EQ(s.numberPrefix, c.prefix) << c.code;
    EXPECT_EQ(s.workingDate, c.date) << c.code;
    EXPECT_EQ(s.scheduleKey, c.scheduleKey) << c.code;
    EXPECT_EQ(s.firmInn, u"") << c.code;
  }
}

TEST_F(SettingsTest, FirmInnIsReadLateBoundAndTrimmed) {
  FakeObject firm;
  firm.members[u"ИНН"] = Value::Str(u" 7701234567 ");
  EXPECT_EQ(Execute(Value::I4(62), Value::Obj(ObjRef(&firm))), kOk);
  EXPECT_EQ(Settings().firmInn, u"7701234567");
  firm.members[u"ИНН"] = Value::Null();
  EXPECT_EQ(Execute(Value::I4(62), Value::Obj(ObjRef(&firm))), StatusOfErrorNumber(kInvalidUseOfNull));
  EXPECT_EQ(Settings().firmInn, u"7701234567");
  FakeObject noInn;
  EXPECT_EQ(Execute(Value::I4(62), Value::Obj(ObjRef(&noInn))), FakeObject::kUnknownName);
  EXPECT_EQ(Settings().firmInn, u"7701234567");
  EXPECT_EQ(firm.refs, 0);
}

TEST_F(SettingsTest, InitBringsBackTheDefaultKeyAndKeepsTheRest) {
  Execute(Value::I4(69), Value::Str(u"1234567"));
  Execute(Value::I4(63), Value::I4(2));
  EXPECT_EQ(Settings().scheduleKey, Value::Str(u"1234567"));
  AddIn other;
  other.Init(ObjRef());
  EXPECT_EQ(Settings().scheduleKey, Value::I4(kDefaultScheduleKey));
  EXPECT_EQ(Settings().defaultOrderRows, u"2");
  other.Done();
  EXPECT_EQ(Settings().defaultOrderRows, u"2");  // Done clears nothing
}

}  // namespace
}  // namespace addin
