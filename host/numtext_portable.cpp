// The locale-independent text <-> number and text <-> date forms of the native build.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/calendar.h"
#include "host/numtext.h"

namespace addin::numtext {

namespace {

std::string Narrow(TextView t) {  // only ASCII matters to the grammar; anything else fails it
  std::string s;
  s.reserve(t.size());
  for (char16_t c : t) s.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
  return s;
}

Text Widen(const std::string& s) { return Text(s.begin(), s.end()); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<double> ParseNumber(TextView text) {
  // [blanks] [sign [blanks]] digits [. digits] [e [sign] digits] [blanks], or the same with the
  // digits only after the point. A number too large for a double reads as an infinity.
  std::string s = Narrow(text);
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i++] == '-';
    while (i < n && IsBlank(s[i])) ++i;
  }
  size_t start = i;
  size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j, ++expDigits;
    if (expDigits == 0) return std::nullopt;
    i = j;
  }
  size_t end = i;
  while (i < n && IsBlank(s[i])) ++i;
  if (i != n) return std::nullopt;
  double v = std::strtod(s.substr(start, end - start).c_str(), nullptr);
  return negative ? -v : v;
}

Text FormatNumber(double number) {
  if (number == 0 || !std::isfinite(number)) return u"0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", number);
  return Widen(buf);
}

Text FormatCurrency(Currency value) {
  // Up to four decimals, trailing zeros dropped.
  std::int64_t whole = value.scaled / 10000, frac = value.scaled % 10000;
  std::string s = (value.scaled < 0 && whole == 0 ? "-" : "") + std::to_string(whole);
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04lld", static_cast<long long>(frac < 0 ? -frac : frac));
    std::string f = buf;
    while (f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return Widen(s);
}

std::optional<double> ParseDate(TextView text) {
  // DD.MM.YYYY (or D.M.YY) with an optional time HH:MM[:SS].
  std::string s = Narrow(text);
  int d = 0, m = 0, y = 0, hh = 0, mm = 0, ss = 0, used = 0;
  int fields = std::sscanf(s.c_str(), " %2d.%2d.%4d%n", &d, &m, &y, &used);
  if (fields != 3) return std::nullopt;
  size_t yearDigits = 0;
  for (size_t k = used; k > 0 && std::isdigit(static_cast<unsigned char>(s[k - 1])); --k) ++yearDigits;
  if (yearDigits == 2) y += y < 30 ? 2000 : 1900;
  std::string rest = s.substr(used);
  if (rest.find_first_not_of(' ') != std::string::npos) {
    int tused = 0;
    int tf = std::sscanf(rest.c_str(), " %2d:%2d%n:%2d%n", &hh, &mm, &tused, &ss, &tused);
    if (tf < 2 || rest.find_first_not_of(' ', tused) != std::string::npos) return std::nullopt;
    if (hh > 23 || mm > 59 || ss > 59) return std::nullopt;
  }
  if (m < 1 || m > 12 || d < 1 || y < 100 || y > 9999) return std::nullopt;
  const long days = SerialOfCivil(y, m, d);
  if (static_cast<int>(CivilOfSerial(days).day) != d) return std::nullopt;  // 31.02 and the like
  double serial = static_cast<double>(days);
  double time = (hh * 3600 + mm * 60 + ss) / 86400.0;
  return serial < 0 ? serial - time : serial + time;
}

Text FormatDate(double serial) {
  double whole = std::trunc(serial);
  long seconds = std::lround(std::fabs(serial - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds = 0;
    whole += serial < 0 ? -1 : 1;
  }
  std::string s = Narrow(DayText(whole));
  char buf[40];
  if (seconds != 0) {
    std::snprintf(buf, sizeof buf, " %ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    s += buf;
  }
  return Widen(s);
}

Text FormatBool(bool value) { return value ? u"True" : u"False"; }

}  // namespace addin::numtext
