// The platform's date serials (days since 30 December 1899) and the civil calendar.
#pragma once

#include <optional>

#include "host/value.h"

namespace addin {

struct CivilDate {
  long year;
  unsigned month, day;
};

// The serial of a civil date (proleptic Gregorian).
long SerialOfCivil(long year, unsigned month, unsigned day);
// The civil date of a whole-day serial.
CivilDate CivilOfSerial(long serial);
// A day written DD.MM.YYYY (day and month of one or two digits), whatever the locale, or none.
std::optional<double> ParseDayText(TextView text);
// The day of a date serial as DD.MM.YYYY, whatever the locale (the time of day is left out).
Text DayText(double serial);

}  // namespace addin
