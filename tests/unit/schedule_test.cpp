#include <gtest/gtest.h>

#include <random>

#include "component/addin.h"
#include "fake_object.h"
#include "schedule/clock.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

namespace addin {
namespace {

using test::FakeObject;

int g_weekday = 2;
int TestWeekday() { return g_weekday; }

class Schedule : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ComponentSettings{};
    Settings().scheduleKey = Value::Str(u"0000000");
    oldClock = SetWeekdayClock(TestWeekday);
  }
  void TearDown() override {
    SetWeekdayClock(oldClock);
    Settings() = ComponentSettings{};
  }

  Status Execute(int code) {
    ParamArray p{1, 0, std::vector<Value>(9, Value::Null())};
    p.items[0] = Value::I2(static_cast<std::int16_t>(code));
    p.items[1] = Value::Obj(ObjRef(&holder));
    return component.CallAsProc(methExecute, &p);
  }
  void SetQuantities(const WeekQuantities& q) {
    for (int i = 0; i < kDays; ++i) holder.members[kQuantityNames[i]] = Value::I4(q[i]);
  }
  Text WeekText() { return holder.members[kWeekText].AsText(); }

  AddIn component;
  FakeObject holder;
  WeekdayClock oldClock = nullptr;
};

std::vector<Text> Log(std::initializer_list<const char16_t*> calls) { return {calls.begin(), calls.end()}; }

TEST_F(Schedule, PackingCallsTheHostInOrderAndWritesTheExampleText) {
  SetQuantities({1, 2, 3, 4, 5, 6, 7});
  ASSERT_EQ(Execute(36), kOk);
  EXPECT_EQ(WeekText(), u"000002000008000024000064000160000384000896");
  EXPECT_EQ(holder.log, Log({u"get б1", u"get б2", u"get б3", u"get б4", u"get б5", u"get б6", u"get б7",
                             u"set ДеньНедели"}));
  EXPECT_TRUE(component.result().IsNull());
  EXPECT_EQ(holder.refs, 0);
}

TEST_F(Schedule, PackingLimitsAndFailuresLeaveTheOldText) {
  const Text old = u"old text";
  const struct {
    const char* what;
    WeekQuantities q;
    const char16_t* key;
    Status status;
    Text text;  // the text after the call
  } cases[] = {
      {"Monday at its limit", {499999, 0, 0, 0, 0, 0, 0}, u"0000000", kOk,
       u"999998000000000000000000000000000000000000"},
      {"Monday over its limit", {500000, 0, 0, 0, 0, 0, 0}, u"0000000", StatusOfErrorNumber(5), old},
      {"Sunday at its limit", {0, 0, 0, 0, 0, 0, 7812}, u"0000000", kOk,
       u"000000000000000000000000000000000000999936"},
      {"Sunday over its limit", {0, 0, 0, 0, 0, 0, 7813}, u"0000000", StatusOfErrorNumber(5), old},
      {"a negative quantity is refused", {0, 0, -2, 0, 0, 0, 0}, u"0000000", StatusOfErrorNumber(5), old},
      {"offset added before the limit", {499998, 0, 0, 0, 0, 0, 0}, u"0200000", StatusOfErrorNumber(5), old},
      {"zero week, zero key", {0, 0, 0, 0, 0, 0, 0}, u"0000000", kOk, u""},
      {"zero week, offsets", {0, 0, 0, 0, 0, 0, 0}, u"1000001", kOk,
       u"000020000000000000000000000000000064000128"},
      {"short key", {1, 1, 1, 1, 1, 1, 1}, u"000000", StatusOfErrorNumber(13), old},
      {"key that is no number", {1, 1, 1, 1, 1, 1, 1}, u"00x0000", StatusOfErrorNumber(13), old},
  };
  for (const auto& c : cases) {
    holder.members[kWeekText] = Value::Str(old);
    SetQuantities(c.q);
    Settings().scheduleKey = Value::Str(c.key);
    EXPECT_EQ(Execute(36), c.status) << c.what;
    EXPECT_EQ(WeekText(), c.text) << c.what;
  }
  holder.members[u"б3"] = Value::Str(u"три");
  EXPECT_EQ(Execute(36), StatusOfErrorNumber(13));
  holder.members[u"б3"] = Value::R8(3e10);
  EXPECT_EQ(Execute(36), StatusOfErrorNumber(6));
  holder.members[u"б3"] = Value::R8(2.5);  // to even: 2
  Settings().scheduleKey = Value::Str(u"0000000");
  EXPECT_EQ(Execute(36), kOk);
  EXPECT_EQ(WeekText().substr(12, 6), u"000016");
  EXPECT_EQ(holder.refs, 0);
}

TEST_F(Schedule, UnpackingCallsTheHostInOrderAndSetsFlags) {
  holder.members[kWeekText] = Value::Str(u"000002000000000024000064000160000384000896");
  ASSERT_EQ(Execute(37), kOk);
  std::vector<Text> expected(8, u"get ДеньНедели");
  for (int i = kDays - 1; i >= 0; --i) {
    expected.push_back(u"set " + Text(kQuantityNames[i]));
    expected.push_back(u"get " + Text(kQuantityNames[i]));
    expected.push_back(u"set " + Text(kFlagNames[i]));
  }
  EXPECT_EQ(holder.log, expected);
  const std::int32_t quantities[kDays] = {1, 0, 3, 4, 5, 6, 7};
  for (int i = 0; i < kDays; ++i) {
    EXPECT_EQ(holder.members[kQuantityNames[i]], Value::I4(quantities[i]));
    EXPECT_EQ(holder.members[kFlagNames[i]], Value::I2(quantities[i] != 0 ? 1 : 0));
  }
  EXPECT_TRUE(component.result().IsNull());
}

TEST_F(Schedule, UnpackingFailuresWriteNothing) {
  const struct {
    const char* what;
    Value text;
    Status status;
    size_t calls;
  } cases[] = {
      {"empty text", Value::Str(u""), kOk, 1},
      {"Empty", Value(), kOk, 1},
      {"36 characters", Value::Str(u"000002000008000024000064000160000384"), StatusOfErrorNumber(13), 8},
      {"a minus after the zero fill", Value::Str(u"0000-4000008000024000064000160000384000896"),
       StatusOfErrorNumber(13), 2},
      {"letters in Sunday's field", Value::Str(u"000002000008000024000064000160000384000x96"),
       StatusOfErrorNumber(13), 8},
      {"Null", Value::Null(), StatusOfErrorNumber(94), 2},
  };
  for (const auto& c : cases) {
    holder.log.clear();
    holder.members = {{kWeekText, c.text}};
    EXPECT_EQ(Execute(37), c.status) << c.what;
    EXPECT_EQ(holder.log.size(), c.calls) << c.what;
    EXPECT_EQ(holder.members.size(), 1u) << c.what;  // no quantity, no flag
  }
}

TEST_F(Schedule, UnpackingReadsFortyTwoCharactersAndAShortSunday) {
  holder.members[kWeekText] = Value::Str(u"000002000008000024000064000160000384000896999999");
  ASSERT_EQ(Execute(37), kOk);
  EXPECT_EQ(holder.members[u"б7"], Value::I4(7));
  holder.members[kWeekText] = Value::Str(u"00000200000800002400006400016000038400089");  // 41
  ASSERT_EQ(Execute(37), kOk);
  EXPECT_EQ(holder.members[u"б7"], Value::I4(0));  // 89 >> 7
  EXPECT_EQ(holder.members[u"Воскресенье"], Value::I2(0));
}

TEST_F(Schedule, AHostFailureWhileWritingKeepsWhatWasWritten) {
  holder.members[kWeekText] = Value::Str(u"000002000008000024000064000160000384000896");
  holder.failing = u"б5";
  EXPECT_EQ(Execute(37), static_cast<Status>(0x80004005U));
  EXPECT_EQ(holder.members[u"б7"], Value::I4(7));
  EXPECT_EQ(holder.members[u"Суббота"], Value::I2(1));
  EXPECT_EQ(holder.members.count(u"б5"), 0u);
  EXPECT_EQ(holder.members.count(u"Пятница"), 0u);
}

TEST_F(Schedule, AnotherKeyShiftsEachQuantityByTheOffsetDifference) {
  Settings().scheduleKey = Value::Str(u"5555555");
  SetQuantities({0, 1, 2, 3, 4, 5, 4});
  ASSERT_EQ(Execute(36), kOk);
  Settings().scheduleKey = Value::Str(u"9999999");  // offsets 99 instead of 55, Sunday 9 instead of 5
  ASSERT_EQ(Execute(37), kOk);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(holder.members[kQuantityNames[i]], Value::I4(i - 44));
    EXPECT_EQ(holder.members[kFlagNames[i]], Value::I2(1));  // a negative quantity read back is not 0
  }
  EXPECT_EQ(holder.members[u"б7"], Value::I4(0));
  EXPECT_EQ(holder.members[u"Воскресенье"], Value::I2(0));
}

TEST_F(Schedule, PackThenUnpackGivesTheQuantitiesBack) {
  std::mt19937 random(7);
  const std::int32_t limits[kDays] = {499999, 249999, 124999, 62499, 31249, 15624, 7812};
  Settings().scheduleKey = Value::I4(kDefaultScheduleKey);
  for (int round = 0; round < 300; ++round) {
    WeekQuantities q{};
    for (int i = 0; i < kDays; ++i) {
      const double offset = DayOffset(Settings().scheduleKey, i);
      q[i] = static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(limits[i] - offset + 1));
    }
    SetQuantities(q);
    ASSERT_EQ(Execute(36), kOk);
    ASSERT_EQ(Execute(37), kOk);
    for (int i = 0; i < kDays; ++i) ASSERT_EQ(holder.members[kQuantityNames[i]], Value::I4(q[i])) << i;
  }
}

TEST_F(Schedule, TodaysQuantityFollowsTheWeekday) {
  holder.members[kWeekText] = Value::Str(u"000002000008000024000064000160000384000896");
  const std::pair<int, std::int32_t> days[] = {{1, 7}, {2, 1}, {3, 2}, {6, 5}, {7, 6}};  // Sunday first
  for (auto [weekday, quantity] : days) {
    g_weekday = weekday;
    holder.log.clear();
    ASSERT_EQ(Execute(26), kOk);
    EXPECT_EQ(component.result(), Value::I4(quantity)) << weekday;
    EXPECT_EQ(holder.log, std::vector<Text>(7, u"get ДеньНедели"));
  }
  holder.members[kWeekText] = Value::Str(u"000000000008000024000064000160000384000896");
  g_weekday = 2;
  ASSERT_EQ(Execute(26), kOk);
  EXPECT_EQ(component.result(), Value::I4(0));
}

TEST_F(Schedule, TodaysQuantityFailuresLeaveIsResultNull) {
  g_weekday = 2;  // Monday: the failing fields are other days'
  for (const char16_t* text : {u"", u"000002000008000024000064000160000384", u"000002000008000024000064000160000384000x96"}) {
    holder.members[kWeekText] = Value::Str(text);
    EXPECT_EQ(Execute(26), StatusOfErrorNumber(13));
    EXPECT_TRUE(component.result().IsNull());
  }
  holder.members[kWeekText] = Value::Str(u"000002000008000024000064000160000384000896");
  Settings().scheduleKey = Value::Str(u"12");
  EXPECT_EQ(Execute(26), StatusOfErrorNumber(13));
  FakeObject noText;
  ParamArray p{1, 0, {Value::I4(26), Value::Obj(ObjRef(&noText))}};
  EXPECT_EQ(component.CallAsProc(methExecute, &p), FakeObject::kUnknownName);
  EXPECT_TRUE(component.result().IsNull());
}

}  // namespace
}  // namespace addin
