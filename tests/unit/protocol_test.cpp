#include <gtest/gtest.h>

#include "component/addin.h"
#include "fake_object.h"
#include "host/bridge.h"
#include "settings/settings.h"

namespace addin {
namespace {

using test::FakeObject;

TEST(Protocol, SplitNamePairSelectsEnglishForAliasZeroAndRussianOtherwise) {
  const struct {
    TextView pair;
    std::int32_t alias;
    TextView half;
  } cases[] = {
      {u"IsResult,Результат", 0, u"IsResult"}, {u"IsResult,Результат", 1, u"Результат"},
      {u"IsResult,Результат", 7, u"Результат"}, {u"IsResult,Результат", -1, u"Результат"},
      {u"NoComma", 0, u""},                     {u"NoComma", 1, u""},
      {u",x", 0, u""},                          {u"a,b,c", 1, u"b,c"},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitNamePair(c.pair, c.alias), c.half) << c.alias;
}

TEST(Protocol, NamesResolveExactly) {
  AddIn a;
  const std::pair<TextView, std::int32_t> props[] = {
      {u"IsResult", 0}, {u"Результат", 0}, {u"результат", -1}, {u"Result", -1},
      {u"isresult", -1}, {u"IsParam", 1}, {u"Параметр", 1}, {u"", -1}, {u"IsResult,Результат", -1},
  };
  for (auto [name, num] : props) {
    std::int32_t got = 99;
    EXPECT_EQ(a.FindProp(name, got), kOk);
    EXPECT_EQ(got, num);
  }
  const std::pair<TextView, std::int32_t> methods[] = {
      {u"Execute", 0}, {u"Выполнить", 0}, {u"execute", -1}, {u"выполнить", -1}, {u"Execute ", -1},
  };
  for (auto [name, num] : methods) {
    std::int32_t got = 99;
    EXPECT_EQ(a.FindMethod(name, got), kOk);
    EXPECT_EQ(got, num);
  }
}

TEST(Protocol, NamesAreListedByPositionAndAlias) {
  AddIn a;
  const struct {
    std::int32_t pos, alias;
    TextView prop, method;
  } cases[] = {
      {0, 0, u"IsResult", u"Execute"}, {0, 1, u"Результат", u"Выполнить"},
      {0, 7, u"Результат", u"Выполнить"}, {1, 0, u"IsParam", u""}, {1, 1, u"Параметр", u""},
      {2, 0, u"", u""}, {-1, 0, u"", u""},
  };
  for (const auto& c : cases) {
    Text prop = u"stale", method = u"stale";
    EXPECT_EQ(a.GetPropName(c.pos, c.alias, prop), kOk);
    EXPECT_EQ(a.GetMethodName(c.pos, c.alias, method), kOk);
    EXPECT_EQ(prop, c.prop);
    EXPECT_EQ(method, c.method);
  }
}

TEST(Protocol, CountsFlagsAndDefaults) {
  AddIn a;
  std::int32_t n = 0;
  Text name;
  a.RegisterExtensionAs(name);
  EXPECT_EQ(name, u"Security");
  a.GetNProps(n);
  EXPECT_EQ(n, 2);
  a.GetNMethods(n);
  EXPECT_EQ(n, 1);
  const struct {
    std::int32_t index, readable, writable, params, retVal;
  } cases[] = {
      {0, -1, 0, 9, 0}, {1, -1, -1, 0, 0}, {2, 55, 55, 0, 0}, {-3, 55, 55, 0, 0},
  };
  for (const auto& c : cases) {
    std::int32_t readable = 55, writable = 55, params = 55, retVal = 55;
    EXPECT_EQ(a.IsPropReadable(c.index, readable), kOk);
    EXPECT_EQ(a.IsPropWritable(c.index, writable), kOk);
    EXPECT_EQ(a.GetNParams(c.index, params), kOk);
    EXPECT_EQ(a.HasRetVal(c.index, retVal), kOk);
    EXPECT_EQ(readable, c.readable);
    EXPECT_EQ(writable, c.writable);
    EXPECT_EQ(params, c.params);
    EXPECT_EQ(retVal, c.retVal);
  }
  for (auto [m, p] : {std::pair{0, 8}, {5, 5}, {-1, -1}}) {
    Value v = Value::I4(1);
    EXPECT_EQ(a.GetParamDefValue(m, p, v), kOk);
    EXPECT_TRUE(v.IsNull());
  }
}

TEST(Protocol, ResultValueLifeCycle) {
  AddIn a;
  Value v = Value::I4(1);
  a.GetPropVal(propIsResult, v);
  EXPECT_TRUE(v.IsEmpty());  // new object
  EXPECT_EQ(a.SetPropVal(propIsResult, Value::I4(5)), kOk);
  a.GetPropVal(propIsResult, v);
  EXPECT_TRUE(v.IsEmpty());

  ParamArray params{1, 0, std::vector<Value>(9, Value::Null())};
  params.items[0] = Value::I4(61);
  EXPECT_EQ(a.CallAsProc(methExecute, &params), kOk);
  a.GetPropVal(propIsResult, v);
  EXPECT_TRUE(v.IsNull());
  a.GetPropVal(propIsParam, v);
  EXPECT_TRUE(v.IsNull());

  AddIn b;
  EXPECT_EQ(b.CallAsProc(1, nullptr), kOk);  // another method: Null, nothing else
  EXPECT_TRUE(b.result().IsNull());
  Value ret = Value::I4(3);
  EXPECT_EQ(b.CallAsFunc(0, ret, &params), kOk);
  EXPECT_EQ(ret, Value::I4(3));
}

TEST(Protocol, GetInfoWritesOnlyIntoElementZero) {
  AddIn a;
  const struct {
    int dims;
    std::int32_t lower;
    size_t size;
    Status status;
  } cases[] = {
      {1, 0, 3, kOk},
      {1, 1, 3, StatusOfErrorNumber(9)},
      {1, -2, 3, kOk},  // index 0 is the third element
      {1, 0, 0, StatusOfErrorNumber(9)},
      {2, 0, 4, StatusOfErrorNumber(9)},
  };
  for (const auto& c : cases) {
    ParamArray info{c.dims, c.lower, std::vector<Value>(c.size, Value::I4(7))};
    EXPECT_EQ(a.GetInfo(&info), c.status);
    for (size_t i = 0; i < c.size; ++i) {
      bool isZero = c.status == kOk && static_cast<std::int64_t>(i) + c.lower == 0;
      EXPECT_EQ(info.items[i], isZero ? Value::Str(u"1000") : Value::I4(7));
    }
  }
  EXPECT_EQ(a.GetInfo(nullptr), StatusOfErrorNumber(9));
}

TEST(Protocol, InitKeepsTheConnectionAndResetsTheScheduleKey) {
  FakeObject first, second, app;
  first.members[u"AppDispatch"] = Value::Obj(ObjRef(&app));
  {
    AddIn a;
    Settings().scheduleKey = Value::Str(u"1111111");
    EXPECT_EQ(a.Init(ObjRef(&first)), kOk);
    EXPECT_EQ(Settings().scheduleKey, Value::I4(kDefaultScheduleKey));
    EXPECT_EQ(&EnsureAppDispatch(), &app);
    EXPECT_EQ(first.log.size(), 1u);
    EnsureAppDispatch();  // fetched once per Init
    EXPECT_EQ(first.log.size(), 1u);

    EXPECT_EQ(a.Done(), kOk);
    EXPECT_EQ(first.refs, 0);
    EXPECT_EQ(app.refs, 1);  // only the member table holds it now
    EXPECT_THROW(EnsureAppDispatch(), RuntimeError);  // after Done, until the next Init

    second.members[u"AppDispatch"] = Value::I4(1);  // no object: fails, flag stays clear
    EXPECT_EQ(a.Init(ObjRef(&second)), kOk);
    EXPECT_THROW(EnsureAppDispatch(), RuntimeError);
    second.members[u"AppDispatch"] = Value::Obj(ObjRef(&app));
    EXPECT_EQ(&EnsureAppDispatch(), &app);
    EXPECT_EQ(second.log.size(), 2u);
    a.Done();
  }
  first.members.clear();
  second.members.clear();
  EXPECT_EQ(app.refs, 0);
  EXPECT_EQ(second.refs, 0);
}

TEST(Protocol, BridgeIsOnePerThreadAndSharedByObjects) {
  FakeObject conn;
  AddIn a, b;
  a.Init(ObjRef(&conn));
  EXPECT_EQ(Bridge().connection.get(), &conn);
  b.Done();  // any object's Done releases the thread's references
  EXPECT_EQ(conn.refs, 0);
}

}  // namespace
}  // namespace addin
