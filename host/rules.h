// The platform's conversion rules, as plain functions on values. Each failure is a RuntimeError.
#pragma once

#include <cstdint>
#include <optional>

#include "host/value.h"

namespace addin {

// Rounds to the nearest whole number, a half to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double x) noexcept;

// Number to integer: nearest, halves to even; outside the range is error 6. Text is read as a
// number first (error 13 when it is none); Null is error 94; Empty is 0.
std::int16_t ToInt16(const Value& v);
std::int32_t ToInt32(const Value& v);
// Any value as a number (double). Same failures as above.
double ToNumber(const Value& v);
// Any value as text: numbers in the platform's number form, dates in its date form, truth values
// as the platform names them. Null is error 94; an object is error 13.
Text ToText(const Value& v);
// Any value as a date serial. Text is read in the platform's date form (error 13 when not).
double ToDate(const Value& v);

// Whether the value is a number (a truth value and currency included), not a text or a date.
bool IsNumber(const Value& v) noexcept;

// A host value compared with a number, as a number: -1, 0 or 1; no result for Null (a condition
// that meets a Null counts as not met).
std::optional<int> CompareWithNumber(const Value& v, double number);
inline bool Equals(const Value& v, double number) { return CompareWithNumber(v, number) == 0; }
inline bool IsGreater(const Value& v, double number) { return CompareWithNumber(v, number) == 1; }

// Removes leading and trailing blanks (U+0020 only; tabs and other white space stay).
Text TrimBlanks(TextView t);

// Flags written into host attributes: 16-bit 1 and 0.
inline Value Flag(bool on) { return Value::I2(on ? 1 : 0); }
// Truth values returned through the host interfaces: 32-bit, true -1, false 0.
inline std::int32_t Truth(bool on) { return on ? -1 : 0; }

}  // namespace addin
