#include <gtest/gtest.h>

#include "component/addin.h"
#include "fake_object.h"

namespace addin {
namespace {

using test::FakeObject;

ParamArray Params(Value code, std::int32_t lower = 0) {
  ParamArray p{1, lower, std::vector<Value>(9, Value::Null())};
  p.items[0] = std::move(code);
  return p;
}

// Every operation whose arguments are all objects, with objects everywhere, passes the
// dispatcher's checks; each non-object in a needed place fails it with "object required".
TEST(Dispatcher, ObjectElementsMustHoldObjects) {
  FakeObject obj;
  const struct {
    double code;
    std::vector<int> objectElements;
  } cases[] = {
      {36, {1}}, {37, {1}}, {26, {1}}, {41, {2, 3, 4, 5}}, {13, {2, 3, 4, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    for (int bad : c.objectElements) {
      for (const Value& notObject : {Value::I4(5), Value::Str(u"x"), Value(), Value::Null()}) {
        ParamArray p = Params(Value::R8(c.code));
        for (int e = 1; e < 9; ++e) p.items[e] = Value::Obj(ObjRef(&obj));
        p.items[bad] = notObject;
        AddIn a;
        EXPECT_EQ(a.CallAsProc(methExecute, &p), StatusOfErrorNumber(kObjectRequired))
            << c.code << " element " << bad;
        EXPECT_TRUE(a.result().IsNull());
      }
    }
  }
  EXPECT_EQ(obj.refs, 0);  // every reference taken was released
  EXPECT_TRUE(obj.log.empty());
}

TEST(Dispatcher, CodesSelectByNumericValue) {
  FakeObject obj;
  const struct {
    Value code;
    Status status;  // with element 1 a number: failure iff the code needs an object there
  } cases[] = {
      {Value::I2(26), StatusOfErrorNumber(kObjectRequired)},
      {Value::R8(26.0), StatusOfErrorNumber(kObjectRequired)},
      {Value::Str(u"26"), StatusOfErrorNumber(kObjectRequired)},
      {Value::Cy({260000}), StatusOfErrorNumber(kObjectRequired)},
      {Value::R8(36.5), kOk},
      {Value::I4(61), kOk},
      {Value::I4(71), kOk},
      {Value::R8(61.9), kOk},
      {Value::R8(70.4), kOk},  // in range, rounds to 70: no setting
      {Value::Null(), kOk},
      {Value(), kOk},
      {Value::Bool(true), kOk},
      {Value::Str(u"abc"), StatusOfErrorNumber(kTypeMismatch)},
      {Value::Str(u""), StatusOfErrorNumber(kTypeMismatch)},
      {Value::Obj(ObjRef(&obj)), StatusOfErrorNumber(kTypeMismatch)},
  };
  for (const auto& c : cases) {
    ParamArray p = Params(c.code);
    p.items[1] = Value::I4(5);
    AddIn a;
    EXPECT_EQ(a.CallAsProc(methExecute, &p), c.status);
    EXPECT_TRUE(a.result().IsNull());
    EXPECT_EQ(p.items[1], Value::I4(5));  // the dispatcher changes no element
  }
}

TEST(Dispatcher, ArraysWithoutTheNeededElementsFailWithSubscriptOutOfRange) {
  FakeObject obj;
  auto objects = [&](size_t n, std::int32_t lower, int dims = 1) {
    ParamArray p{dims, lower, std::vector<Value>(n, Value::Obj(ObjRef(&obj)))};
    if (!p.items.empty()) p.items[0] = Value::I4(13);
    return p;
  };
  const Status kOutOfRange = StatusOfErrorNumber(kSubscriptOutOfRange);
  const struct {
    ParamArray params;
    Status status;
  } cases[] = {
      {objects(9, 1), kOutOfRange},     // no element 0
      {objects(9, 0, 2), kOutOfRange},  // two dimensions
      {objects(0, 0), kOutOfRange},
      {objects(8, 0), kOutOfRange},  // operation 13 needs element 8
      {objects(9, -1), kOutOfRange},  // element 0 is an object there: the code is a type mismatch
  };
  AddIn a;
  for (auto c : cases) {
    if (c.params.lowerBound == -1) {
      c.params.items[1] = Value::I4(13);
      c.params.items[0] = Value::Null();
      c.status = kOutOfRange;  // 13 needs element 8, the ninth of nine from -1 is element 7
    }
    EXPECT_EQ(a.CallAsProc(methExecute, &c.params), c.status);
  }
  EXPECT_EQ(a.CallAsProc(methExecute, nullptr), kOutOfRange);
  ParamArray short1 = Params(Value::I4(63));
  short1.items.resize(1);
  EXPECT_EQ(a.CallAsProc(methExecute, &short1), kOutOfRange);
  ParamArray nothing = Params(Value::I4(61));
  nothing.items.resize(1);
  EXPECT_EQ(a.CallAsProc(methExecute, &nothing), kOk);  // no routine, no element needed
  EXPECT_TRUE(obj.log.empty());
}

}  // namespace
}  // namespace addin
