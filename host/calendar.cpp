#include "host/calendar.h"

#include <cmath>
#include <cstdio>

namespace addin {

namespace {

// Days from 1 March of year 0 (H. Hinnant's algorithms).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

const long kEpoch = DaysFromCivil(1899, 12, 30);

}  // namespace

long SerialOfCivil(long year, unsigned month, unsigned day) { return DaysFromCivil(year, month, day) - kEpoch; }

CivilDate CivilOfSerial(long serial) {
  long z = serial + kEpoch + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<long>(yoe) + era * 400 + (m <= 2), m, d};
}

std::optional<double> ParseDayText(TextView text) {
  unsigned parts[3] = {0, 0, 0};
  size_t digits[3] = {0, 0, 0};
  size_t part = 0;
  for (char16_t c : text) {
    if (c == u'.' && part < 2) {
      ++part;
    } else if (c >= u'0' && c <= u'9' && digits[part] < 4) {
      parts[part] = parts[part] * 10 + (c - u'0');
      ++digits[part];
    } else {
      return std::nullopt;
    }
  }
  if (part != 2 || digits[0] == 0 || digits[0] > 2 || digits[1] == 0 || digits[1] > 2 || digits[2] != 4) return std::nullopt;
  const unsigned day = parts[0], month = parts[1];
  const long year = parts[2];
  if (month < 1 || month > 12 || day < 1 || year < 100) return std::nullopt;
  const long serial = SerialOfCivil(year, month, day);
  if (CivilOfSerial(serial).day != day) return std::nullopt;  // 31.02 and the like
  return static_cast<double>(serial);
}

Text DayText(double serial) {
  const CivilDate c = CivilOfSerial(static_cast<long>(std::trunc(serial)));
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02u.%02u.%04ld", c.day, c.month, c.year);
  return Text(buf, buf + std::char_traits<char>::length(buf));
}

}  // namespace addin
