// Text <-> number and text <-> date: the one place where the platform's locale matters. On
// Windows these call the platform's own routines with the user's locale; natively they follow one
// fixed, locale-independent form (decimal point ".", dates DD.MM.YYYY).
#pragma once

#include <optional>

#include "host/value.h"

namespace addin::numtext {

// The number a text reads as, or none; an infinity when it is too large for a double.
std::optional<double> ParseNumber(TextView text);
// A number written as the platform writes it (no leading blank, up to 15 significant digits).
Text FormatNumber(double number);
// The currency value a text reads as is parsed through ParseNumber; currency is written here.
Text FormatCurrency(Currency value);
// The date a text reads as, or none.
std::optional<double> ParseDate(TextView text);
// A date written in the short date form, with the time of day when it carries one.
Text FormatDate(double serial);
// The truth value as text.
Text FormatBool(bool value);

}  // namespace addin::numtext
