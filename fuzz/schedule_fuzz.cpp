// Any quantities, any key, any text: packing and unpacking never crash, and where every day's
// quantity plus offset lies within its field, unpacking the packed text gives the quantities back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/runtime_error.h"
#include "schedule/week_schedule.h"

using namespace addin;

namespace {

constexpr std::int32_t kLimits[kDays] = {499999, 249999, 124999, 62499, 31249, 15624, 7812};
constexpr char kKeyAlphabet[] = "0123456789012345678901234567890123456789 .+-eE,x";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 + 4 * kDays) return 0;
  // The key: up to nine characters, mostly digits.
  const std::size_t keyLength = data[0] % 10;
  if (size < 1 + keyLength + 4 * kDays) return 0;
  Text keyText;
  for (std::size_t i = 0; i < keyLength; ++i) keyText.push_back(kKeyAlphabet[data[1 + i] % (sizeof kKeyAlphabet - 1)]);
  const Value key = Value::Str(keyText);
  const std::uint8_t* rest = data + 1 + keyLength;

  WeekQuantities q{};
  for (int i = 0; i < kDays; ++i) std::memcpy(&q[i], rest + 4 * i, 4);
  rest += 4 * kDays;
  const bool small = (data[0] & 0x80) != 0;  // half the inputs stay near the limits
  if (small)
    for (int i = 0; i < kDays; ++i) q[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(q[i]) % (kLimits[i] + 200)) - 100;

  bool within = true;
  try {
    for (int i = 0; i < kDays; ++i) {
      const double x = q[i] + DayOffset(key, i);
      within = within && x >= 0 && x <= kLimits[i] && x == static_cast<std::int32_t>(x);
    }
  } catch (const RuntimeError&) {
    within = false;
  }

  Text text;
  try {
    text = EncodeWeek(q, key);
  } catch (const RuntimeError&) {
    if (within) __builtin_trap();  // a week within its fields must pack
    text.clear();
  }
  if (within && !text.empty()) {
    for (int i = 0; i < kDays; ++i)
      if (DecodeDay(Value::Str(text), i, key) != q[i]) __builtin_trap();
  }

  // Whatever else the input holds, read as a stored text.
  Text stored(rest, data + size);
  for (int i = 0; i < kDays; ++i) {
    try {
      DecodeDay(Value::Str(stored), i, key);
    } catch (const RuntimeError&) {
    }
  }
  return 0;
}
