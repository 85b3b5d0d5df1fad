// Run-time errors with their numbers, and the failure status that carries them to the host.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "host/failure.h"
#include "host/value.h"

namespace addin {

// The run-time error numbers the routines raise.
enum ErrorNumber : std::int32_t {
  kInvalidArgument = 5,
  kOverflow = 6,
  kSubscriptOutOfRange = 9,
  kDivisionByZero = 11,
  kTypeMismatch = 13,
  kObjectNotSet = 91,
  kInvalidUseOfNull = 94,
  kObjectRequired = 424,
};

// Statuses are HRESULT values; the portable core keeps them as plain 32-bit integers.
using Status = std::int32_t;
inline constexpr Status kOk = 0;
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000EU);
inline constexpr Status kUnexpected = static_cast<Status>(0x8000FFFFU);

// A numbered error in the form the platform's script runtime uses: severity bit, facility
// "control" (10), code = the error number. Type mismatch 13 gives 0x800A000D.
constexpr Status StatusOfErrorNumber(std::int32_t number) {
  return static_cast<Status>(0x800A0000U | (static_cast<std::uint32_t>(number) & 0xFFFFU));
}

class RuntimeError : public std::exception {
 public:
  // The step and position of the call at the moment of the failure are kept in words.
  explicit RuntimeError(std::int32_t number)
      : number_(number), status_(StatusOfErrorNumber(number)), where_(DescribePlace()) {}
  // A check of the component's own that failed, in words ("фирма с ИНН "..." не найдена").
  RuntimeError(std::int32_t number, TextView check)
      : number_(number), status_(StatusOfErrorNumber(number)), where_(DescribePlace(check)) {}

  // The failure of a host call: the host's own status and its exception text are kept.
  static RuntimeError FromHost(Status status, Text description) {
    RuntimeError e(0);
    e.status_ = status < 0 ? status : kUnexpected;
    e.description_ = std::move(description);
    if (static_cast<std::uint32_t>(e.status_) >> 16 == 0x800AU) e.number_ = e.status_ & 0xFFFF;
    return e;
  }

  // The run-time error number; 0 for a host failure that carries no number.
  std::int32_t number() const noexcept { return number_; }
  Status status() const noexcept { return status_; }
  const Text& description() const noexcept { return description_; }
  // " при чтении "Часы" у строки 37 из 99 (час "08", зона "12")", or empty.
  const Text& where() const noexcept { return where_; }
  const char* what() const noexcept override { return "run-time error"; }

 private:
  std::int32_t number_;
  Status status_;
  Text description_;
  Text where_;
};

// Maps the exception in flight to a failure status. Call only inside a catch block.
Status StatusOfCurrentException() noexcept;

}  // namespace addin
