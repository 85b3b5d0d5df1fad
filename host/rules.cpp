#include "host/rules.h"

#include <cfenv>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "host/numtext.h"
#include "host/runtime_error.h"

namespace addin {

double RoundHalfEven(double x) noexcept {
  double r = std::round(x);  // halves away from zero
  if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
  return r;
}

namespace {

template <class Int>
Int RoundedInRange(double x) {
  double r = RoundHalfEven(x);
  if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        r <= static_cast<double>(std::numeric_limits<Int>::max())))
    throw RuntimeError(kOverflow);  // also NaN
  return static_cast<Int>(r);
}

// Plain decimal digits read the same in every locale: the common case (codes, fields of the week
// schedule) needs no trip through the platform's parser.
std::optional<double> PlainDigits(TextView t) {
  if (t.empty() || t.size() > 15) return std::nullopt;
  std::int64_t v = 0;
  for (char16_t c : t) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  return static_cast<double>(v);
}

double NumberOfText(TextView t) {
  if (auto plain = PlainDigits(t)) return *plain;
  auto n = numtext::ParseNumber(t);
  if (!n) throw RuntimeError(kTypeMismatch);
  if (std::isinf(*n)) throw RuntimeError(kOverflow);
  return *n;
}

Text DecimalText(std::int64_t v) {
  std::string s = std::to_string(v);
  return Text(s.begin(), s.end());
}

}  // namespace

double ToNumber(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Empty: return 0;
    case Value::Kind::Null: throw RuntimeError(kInvalidUseOfNull);
    case Value::Kind::Bool: return v.AsBool() ? -1 : 0;
    case Value::Kind::I2: return v.AsI2();
    case Value::Kind::I4: return v.AsI4();
    case Value::Kind::R8: return v.AsR8();
    case Value::Kind::Cy: return static_cast<double>(v.AsCy().scaled) / 10000.0;
    case Value::Kind::Date: return v.AsDate();
    case Value::Kind::Text: return NumberOfText(v.AsText());
    case Value::Kind::Object: throw RuntimeError(kTypeMismatch);
    case Value::Kind::Opaque: return ToNumber(v.AsOpaque().Reduce());
  }
  throw RuntimeError(kTypeMismatch);
}

std::int16_t ToInt16(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::I2: return v.AsI2();
    default: return RoundedInRange<std::int16_t>(ToNumber(v));
  }
}

std::int32_t ToInt32(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::I2: return v.AsI2();
    case Value::Kind::I4: return v.AsI4();
    default: return RoundedInRange<std::int32_t>(ToNumber(v));
  }
}

Text ToText(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Empty: return {};
    case Value::Kind::Null: throw RuntimeError(kInvalidUseOfNull);
    case Value::Kind::Bool: return numtext::FormatBool(v.AsBool());
    case Value::Kind::I2: return DecimalText(v.AsI2());
    case Value::Kind::I4: return DecimalText(v.AsI4());
    case Value::Kind::R8: return numtext::FormatNumber(v.AsR8());
    case Value::Kind::Cy: return numtext::FormatCurrency(v.AsCy());
    case Value::Kind::Date: return numtext::FormatDate(v.AsDate());
    case Value::Kind::Text: return v.AsText();
    case Value::Kind::Object: throw RuntimeError(kTypeMismatch);
    case Value::Kind::Opaque: return ToText(v.AsOpaque().Reduce());
  }
  throw RuntimeError(kTypeMismatch);
}

double ToDate(const Value& v) {
  // The platform's dates run from 1 January 100 to 31 December 9999.
  constexpr double kFirst = -657434.0, kLast = 2958466.0;
  double serial = 0;
  switch (v.kind()) {
    case Value::Kind::Date: return v.AsDate();
    case Value::Kind::Text: {
      auto d = numtext::ParseDate(v.AsText());
      if (!d) throw RuntimeError(kTypeMismatch);
      return *d;
    }
    case Value::Kind::Object: throw RuntimeError(kTypeMismatch);
    case Value::Kind::Opaque: return ToDate(v.AsOpaque().Reduce());
    default: serial = ToNumber(v);
  }
  if (!(serial >= kFirst && serial < kLast)) throw RuntimeError(kOverflow);
  return serial;
}

bool IsNumber(const Value& v) noexcept {
  switch (v.kind()) {
    case Value::Kind::Bool:
    case Value::Kind::I2:
    case Value::Kind::I4:
    case Value::Kind::R8:
    case Value::Kind::Cy: return true;
    default: return false;
  }
}

std::optional<int> CompareWithNumber(const Value& v, double number) {
  if (v.IsNull()) return std::nullopt;
  double x = ToNumber(v);
  return x < number ? -1 : (x > number ? 1 : 0);
}

Text TrimBlanks(TextView t) {
  auto first = t.find_first_not_of(u' ');
  if (first == TextView::npos) return {};
  auto last = t.find_last_not_of(u' ');
  return Text(t.substr(first, last - first + 1));
}

Status StatusOfCurrentException() noexcept {
  try {
    throw;
  } catch (const RuntimeError& e) {
    return e.status();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kUnexpected;
  }
}

}  // namespace addin
