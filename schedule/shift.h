// Shifts of signed 32-bit values as plain bit patterns: left with the bits beyond bit 31 lost,
// right with zero fill. Counts 1 to 30 are supported; others fail as the arithmetic meets them.
#pragma once

#include <array>
#include <cstdint>

namespace addin {

// Entry k holds the low k+1 bits set; entry 31 is all 32 bits.
extern const std::array<std::int32_t, 32> kMaskTable;

std::int32_t ShiftLeft(std::int32_t value, std::int16_t count);
std::int32_t ShiftRight(std::int32_t value, std::int16_t count);

}  // namespace addin
