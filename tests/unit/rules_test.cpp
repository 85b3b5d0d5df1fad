#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "host/numtext.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "test_support.h"
#include "fake_object.h"
#include "host/utf.h"

#include <memory>
#include <new>

namespace addin {
namespace {

// The run-time error a call raises, or 0.
using test::ErrorOf;

struct IntCase {
  Value in;
  long expected;  // when error is 0
  int error;
};

TEST(Rules, ToInt16RoundsHalvesToEvenAndChecksTheRange) {
  const IntCase cases[] = {
      {Value::R8(2.5), 2, 0},          {Value::R8(3.5), 4, 0},
      {Value::R8(-2.5), -2, 0},        {Value::R8(-3.5), -4, 0},
      {Value::R8(0.5), 0, 0},          {Value::R8(1.5), 2, 0},
      {Value::R8(2.4999), 2, 0},       {Value::R8(2.5001), 3, 0},
      {Value::R8(62.5), 62, 0},        {Value::R8(63.5), 64, 0},
      {Value::R8(32767.49), 32767, 0}, {Value::R8(32767.5), 0, kOverflow},
      {Value::R8(-32768.5), -32768, 0}, {Value::R8(-32768.51), 0, kOverflow},
      {Value::I4(32768), 0, kOverflow}, {Value::I4(-32769), 0, kOverflow},
      {Value::Str(u"12"), 12, 0},      {Value::Str(u" 12 "), 12, 0},
      {Value::Str(u"2.5"), 2, 0},      {Value::Str(u"-7"), -7, 0},
      {Value::Str(u""), 0, kTypeMismatch}, {Value::Str(u"abc"), 0, kTypeMismatch},
      {Value::Str(u"1 2"), 0, kTypeMismatch}, {Value::Str(u"0000-4"), 0, kTypeMismatch},
      {Value::Null(), 0, kInvalidUseOfNull}, {Value(), 0, 0},
      {Value::Bool(true), -1, 0},      {Value::Cy({25000}), 2, 0},
      {Value::FromDate(1.5), 2, 0},    {Value::R8(NAN), 0, kOverflow},
  };
  for (const auto& c : cases) {
    std::int16_t got = 0;
    EXPECT_EQ(ErrorOf([&] { got = ToInt16(c.in); }), c.error) << ToText(c.in).size();
    if (c.error == 0) {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(Rules, ToInt32RoundsHalvesToEvenAndChecksTheRange) {
  const IntCase cases[] = {
      {Value::R8(2147483647.49), 2147483647, 0}, {Value::R8(2147483647.5), 0, kOverflow},
      {Value::R8(-2147483648.5), -2147483648L, 0}, {Value::R8(-2147483648.51), 0, kOverflow},
      {Value::R8(1e10), 0, kOverflow},           {Value::Str(u"499999"), 499999, 0},
      {Value::Str(u"1e3"), 1000, 0},             {Value::Str(u"+5"), 5, 0},
      {Value::Str(u".5"), 0, 0},                 {Value::Str(u"-"), 0, kTypeMismatch},
      {Value::Str(u"1e"), 0, kTypeMismatch},     {Value::Str(u"٣"), 0, kTypeMismatch},
      {Value::I2(-5), -5, 0},            {Value::Str(u"1e400"), 0, kOverflow},
      {Value::Str(u"- 5"), -5, 0},
  };
  for (const auto& c : cases) {
    std::int32_t got = 0;
    EXPECT_EQ(ErrorOf([&] { got = ToInt32(c.in); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(Rules, ToTextWritesNumbersAndDatesInThePlatformsForm) {
  const std::pair<Value, Text> cases[] = {
      {Value::I2(3), u"3"},           {Value::I4(-17), u"-17"},
      {Value::R8(0.5), u"0.5"},       {Value::R8(1e20), u"1E+20"},
      {Value::R8(-0.0), u"0"},        {Value::R8(123456789012345678.0), u"1.23456789012346E+17"},
      {Value::Cy({-5000}), u"-0.5"},  {Value::Cy({120000}), u"12"},
      {Value(), u""},                 {Value::Str(u" a "), u" a "},
      {Value::FromDate(46000), u"09.12.2025"}, {Value::FromDate(0), u"30.12.1899"},
      {Value::FromDate(1.75), u"31.12.1899 18:00:00"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToText(in), out);
  EXPECT_EQ(ErrorOf([] { ToText(Value::Null()); }), kInvalidUseOfNull);
}

TEST(Rules, ToDateReadsTheDateForm) {
  EXPECT_EQ(ToDate(Value::Str(u"09.12.2025")), 46000);
  EXPECT_EQ(ToDate(Value::Str(u"9.12.25")), 46000);
  EXPECT_DOUBLE_EQ(ToDate(Value::Str(u"31.12.1899 18:00")), 1.75);
  EXPECT_EQ(ToDate(Value::I4(46000)), 46000);
  EXPECT_EQ(ErrorOf([] { ToDate(Value::Str(u"31.02.2025")); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToDate(Value::Str(u"")); }), kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToDate(Value::Null()); }), kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { ToDate(Value::R8(1e9)); }), kOverflow);
  for (double serial : {0.0, 1.0, -1.0, 45999.0, 2958465.0, -657434.0})
    EXPECT_EQ(ToDate(Value::Str(ToText(Value::FromDate(serial)))), serial);
}

TEST(Rules, NullInAComparisonGivesNoResult) {
  EXPECT_EQ(CompareWithNumber(Value::Null(), 0), std::nullopt);
  EXPECT_FALSE(Equals(Value::Null(), 0));
  EXPECT_FALSE(IsGreater(Value::Null(), 0));
  EXPECT_TRUE(Equals(Value::Str(u"36.0"), 36));
  EXPECT_TRUE(Equals(Value(), 0));
  EXPECT_TRUE(IsGreater(Value::Str(u"1"), 0));
  EXPECT_EQ(ErrorOf([] { Equals(Value::Str(u"x"), 0); }), kTypeMismatch);
}

TEST(Rules, TrimRemovesBlanksOnly) {
  EXPECT_EQ(TrimBlanks(u"  a b  "), u"a b");
  EXPECT_EQ(TrimBlanks(u"\ta\t"), u"\ta\t");
  EXPECT_EQ(TrimBlanks(u"   "), u"");
  EXPECT_EQ(TrimBlanks(u"\u00a0x"), u"\u00a0x");
}

TEST(Rules, StatusCarriesTheErrorNumber) {
  EXPECT_EQ(StatusOfErrorNumber(13), static_cast<Status>(0x800A000DU));
  EXPECT_EQ(RuntimeError(kObjectRequired).status(), static_cast<Status>(0x800A01A8U));
  auto host = RuntimeError::FromHost(static_cast<Status>(0x80020006U), u"unknown");
  EXPECT_EQ(host.status(), static_cast<Status>(0x80020006U));
  EXPECT_EQ(host.number(), 0);
  EXPECT_EQ(RuntimeError::FromHost(StatusOfErrorNumber(11), u"").number(), 11);
  EXPECT_EQ(RuntimeError::FromHost(0, u"").status(), kUnexpected);  // never a success
}

}  // namespace
}  // namespace addin

namespace addin {
namespace {

// A value of a kind the rules do not know, as the Windows mapping keeps one (say an unsigned
// integer): the rules reduce it first.
class Unsigned final : public OpaqueValue {
 public:
  explicit Unsigned(Value reduced) : reduced_(std::move(reduced)) {}
  Value Reduce() const override {
    if (reduced_.IsEmpty()) throw RuntimeError(kTypeMismatch);
    return reduced_;
  }

 private:
  Value reduced_;
};

TEST(Rules, OpaqueValuesAreReducedFirst) {
  const Value seven = Value::Opaque(std::make_shared<Unsigned>(Value::R8(7.5)));
  EXPECT_EQ(ToInt32(seven), 8);
  EXPECT_EQ(ToText(seven), u"7.5");
  EXPECT_EQ(ToDate(seven), 7.5);
  const Value none = Value::Opaque(std::make_shared<Unsigned>(Value()));
  EXPECT_EQ(test::ErrorOf([&] { ToNumber(none); }), kTypeMismatch);
  EXPECT_EQ(seven, seven);  // handed back as it came
}

TEST(Rules, TruthValuesAndObjectsAsTextAndDate) {
  EXPECT_EQ(ToText(Value::Bool(true)), u"True");
  EXPECT_EQ(ToText(Value::Bool(false)), u"False");
  test::FakeObject o;
  EXPECT_EQ(test::ErrorOf([&] { ToText(Value::Obj(ObjRef(&o))); }), kTypeMismatch);
  EXPECT_EQ(test::ErrorOf([&] { ToDate(Value::Obj(ObjRef(&o))); }), kTypeMismatch);
  EXPECT_EQ(o.refs, 0);
}

TEST(Rules, TextsRoundTripThroughUtf8) {
  for (const Text& t : {Text(u"Лист доставки"), Text(u"08:00–10:00 €"), Text(u"\U0001F69A грузовик"), Text()})
    EXPECT_EQ(Utf16(Utf8(t)), t);
  EXPECT_EQ(Utf8(u"–"), "\xE2\x80\x93");
}

TEST(Rules, OutOfMemoryIsItsOwnStatus) {
  try {
    throw std::bad_alloc();
  } catch (...) {
    EXPECT_EQ(StatusOfCurrentException(), kOutOfMemory);
  }
}

}  // namespace
}  // namespace addin
