// Text <-> number and text <-> date through the platform's own routines, with the user's locale.
#include <windows.h>
#include <oleauto.h>

#include <cmath>

#include "host/com_raii.h"
#include "host/numtext.h"

namespace addin::numtext {

namespace {

template <class F>
Text Written(F&& toBstr) {
  com::UniqueBstr b;
  if (FAILED(toBstr(b.put()))) return {};
  BSTR s = b.get();
  return s ? Text(reinterpret_cast<const char16_t*>(s), SysStringLen(s)) : Text();
}

OLECHAR* Terminated(Text& t) { return reinterpret_cast<OLECHAR*>(t.data()); }

}  // namespace

std::optional<double> ParseNumber(TextView text) {
  Text t(text);
  double d = 0;
  HRESULT hr = VarR8FromStr(Terminated(t), LOCALE_USER_DEFAULT, 0, &d);
  if (hr == DISP_E_OVERFLOW) return HUGE_VAL;
  if (FAILED(hr)) return std::nullopt;
  return d;
}

Text FormatNumber(double number) {
  return Written([&](BSTR* b) { return VarBstrFromR8(number, LOCALE_USER_DEFAULT, 0, b); });
}

Text FormatCurrency(Currency value) {
  CY cy;
  cy.int64 = value.scaled;
  return Written([&](BSTR* b) { return VarBstrFromCy(cy, LOCALE_USER_DEFAULT, 0, b); });
}

std::optional<double> ParseDate(TextView text) {
  Text t(text);
  DATE d = 0;
  if (FAILED(VarDateFromStr(Terminated(t), LOCALE_USER_DEFAULT, 0, &d))) return std::nullopt;
  return d;
}

Text FormatDate(double serial) {
  return Written([&](BSTR* b) { return VarBstrFromDate(serial, LOCALE_USER_DEFAULT, 0, b); });
}

Text FormatBool(bool value) {
  return Written([&](BSTR* b) { return VarBstrFromBool(value ? VARIANT_TRUE : VARIANT_FALSE, LOCALE_USER_DEFAULT, 0, b); });
}

}  // namespace addin::numtext
