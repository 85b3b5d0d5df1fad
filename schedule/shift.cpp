#include "schedule/shift.h"

#include <cmath>

#include "host/rules.h"
#include "host/runtime_error.h"

namespace addin {

namespace {

constexpr std::array<std::int32_t, 32> MakeMasks() {
  std::array<std::int32_t, 32> m{};
  std::int64_t acc = 0;
  for (int k = 0; k <= 30; ++k) m[k] = static_cast<std::int32_t>(acc += std::int64_t{1} << k);
  m[31] = -1;
  return m;
}

// 2 to the power n as a 32-bit integer: rounded (a half to even), range checked.
std::int32_t Power(int n) { return ToInt32(Value::R8(std::ldexp(1.0, n))); }

std::int32_t Mask(int index) {
  if (index < 0 || index > 31) throw RuntimeError(kSubscriptOutOfRange);
  return kMaskTable[index];
}

}  // namespace

const std::array<std::int32_t, 32> kMaskTable = MakeMasks();

std::int32_t ShiftLeft(std::int32_t value, std::int16_t n) {
  const std::int32_t top = Power(31 - n);  // the bit that lands in bit 31
  if (value & top) {
    // Bits 0 to 30 - n stay below 2^31 after the shift; the sign bit is set apart.
    const double product = static_cast<double>(value & Mask(30 - n)) * std::ldexp(1.0, n);
    return ToInt32(Value::R8(product)) | static_cast<std::int32_t>(0x80000000U);
  }
  return ToInt32(Value::R8(static_cast<double>(value & Mask(31 - n)) * std::ldexp(1.0, n)));
}

std::int32_t ShiftRight(std::int32_t value, std::int16_t n) {
  // Both divisors are worked out whatever the sign, so a count below 1 fails the same way for
  // every value.
  const std::int32_t divisor = Power(n), signDivisor = Power(n - 1);
  if (divisor == 0 || signDivisor == 0) throw RuntimeError(kDivisionByZero);
  std::int32_t result = (value & 0x7FFFFFFE) / divisor;
  if (value < 0) result |= 0x40000000 / signDivisor;  // the former sign bit at bit 31 - n
  return result;
}

}  // namespace addin
