// The portable conversion rules against the platform's own routines (oleaut32 with a fixed
// locale, English - United States): integers of 16 and 32 bits and numbers, from numbers and
// from texts. Where the two differ on purpose, the notation is named below.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/rules.h"
#include "host/runtime_error.h"

namespace addin {
namespace {

constexpr LCID kEnglishUs = 0x0409;

// The platform's answer: the converted number, or the error number of its failure.
struct Outcome {
  std::optional<double> value;
  int error = 0;
  bool operator==(const Outcome&) const = default;
};

Outcome Platform(const VARIANT& in, VARTYPE to) {
  VARIANT out;
  VariantInit(&out);
  HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(&in), kEnglishUs, 0, to);
  if (hr == DISP_E_OVERFLOW) return {std::nullopt, kOverflow};
  if (FAILED(hr)) return {std::nullopt, kTypeMismatch};
  double v = to == VT_I2 ? V_I2(&out) : to == VT_I4 ? V_I4(&out) : V_R8(&out);
  return {v, 0};
}

template <class F>
Outcome Portable(F&& convert) {
  try {
    return {static_cast<double>(convert()), 0};
  } catch (const RuntimeError& e) {
    return {std::nullopt, e.number()};
  }
}

std::string Describe(const Outcome& o) {
  return o.value ? std::to_string(*o.value) : "error " + std::to_string(o.error);
}

std::vector<double> NumberCorpus() {
  std::vector<double> v;
  for (int k = -12; k <= 12; ++k) v.push_back(k + 0.5);
  for (double bound : {32767.0, -32768.0, 2147483647.0, -2147483648.0, 65535.0, 0.0})
    for (double d : {-0.5, -0.49, -0.51, 0.0, 0.49, 0.5, 0.51, 1.0, -1.0}) v.push_back(bound + d);
  for (double big : {1e5, 1e9, 1e10, 1e15, 1e300, 123456.789, 0.1, 1e-9, 4294967296.5})
    v.insert(v.end(), {big, -big});
  return v;
}

std::vector<std::wstring> TextCorpus() {
  std::vector<std::wstring> t = {
      L"0", L"12", L" 12 ", L"-7", L"+5", L"2.5", L"3.5", L"-2.5", L".5", L"5.", L"1e3", L"1E+3", L"1e-2",
      L"32767", L"32768", L"-32768", L"-32769", L"32767.5", L"-32768.5", L"2147483647", L"2147483648",
      L"-2147483648", L"-2147483649", L"000026", L"001664", L"999998", L"0000-4", L"", L" ", L"abc", L"1 2",
      L"12abc", L"- 5", L"--5", L"1.5e", L"e5", L"\t7\t", L"7\t", L"0.0", L"-0", L"00", L"000000",
      L"1,000", L"1,5", L"&H10", L"&O17", L"$5", L"(5)", L"5-", L"1d3", L"0x10", L"٣", L"１２", L"1e400",
      L"27", L"71", L"2718281", L"1.23456789012345678", L"+", L"-", L".", L"..5", L"1..5", L"5e+", L"  -3.25  ",
  };
  for (double d : NumberCorpus()) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.17g", d);
    t.push_back(buf);
  }
  return t;
}

Value TextValue(const std::wstring& s) { return Value::Str(Text(s.begin(), s.end())); }

// Texts the platform reads as numbers and the portable rules do not: grouping with the locale's
// thousands separator, hexadecimal and octal (&H, &O), a currency sign, a sign in parentheses or
// after the number, and a "d" exponent. The host hands over plain decimal digits, so the native
// build (tests and tools only) stays with the plain form.
const std::set<std::wstring> kPlatformOnly = {L"1,000", L"1,5", L"&H10", L"&O17", L"$5", L"(5)", L"5-"};

// Equal outcomes. The platform's reading of very large numbers can be off the correctly rounded
// double by a unit in the last place, so numbers agree within a relative 1e-15.
bool Same(const Outcome& a, const Outcome& b) {
  if (a.value.has_value() != b.value.has_value()) return false;
  if (!a.value) return a.error == b.error;
  double x = *a.value, y = *b.value;
  return x == y || std::fabs(x - y) <= 1e-15 * std::max(std::fabs(x), std::fabs(y));
}

TEST(Differential, CorpusIsLargeEnough) {
  EXPECT_GE(NumberCorpus().size() * 2 + TextCorpus().size() * 3, 200u);
}

TEST(Differential, NumbersToIntegers) {
  for (double d : NumberCorpus()) {
    VARIANT in;
    VariantInit(&in);
    V_VT(&in) = VT_R8;
    V_R8(&in) = d;
    Value v = Value::R8(d);
    EXPECT_EQ(Describe(Portable([&] { return ToInt16(v); })), Describe(Platform(in, VT_I2))) << d;
    EXPECT_EQ(Describe(Portable([&] { return ToInt32(v); })), Describe(Platform(in, VT_I4))) << d;
  }
}

TEST(Differential, TextsToIntegersAndNumbers) {
  int platformOnly = 0;
  for (const std::wstring& s : TextCorpus()) {
    VARIANT in;
    VariantInit(&in);
    V_VT(&in) = VT_BSTR;
    V_BSTR(&in) = SysAllocString(s.c_str());
    Value v = TextValue(s);
    std::string shown(s.begin(), s.end());
    auto portableR8 = Portable([&] { return ToNumber(v); });
    auto platformR8 = Platform(in, VT_R8);
    if (kPlatformOnly.count(s)) {
      EXPECT_TRUE(platformR8.value.has_value()) << shown << " is read by the platform";
      EXPECT_EQ(portableR8.error, kTypeMismatch) << shown;
      ++platformOnly;
    } else {
      EXPECT_TRUE(Same(portableR8, platformR8))
          << '"' << shown << "\": " << Describe(portableR8) << " vs " << Describe(platformR8);
      EXPECT_EQ(Describe(Portable([&] { return ToInt16(v); })), Describe(Platform(in, VT_I2))) << shown;
      EXPECT_EQ(Describe(Portable([&] { return ToInt32(v); })), Describe(Platform(in, VT_I4))) << shown;
    }
    VariantClear(&in);
  }
  EXPECT_EQ(platformOnly, static_cast<int>(kPlatformOnly.size()));
}

}  // namespace
}  // namespace addin
