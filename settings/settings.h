// The component settings: values the configuration hands over once with operations 62 to 70 and
// the routines read. One record per host thread, living as long as the library stays loaded.
#pragma once

#include <cstdint>

#include "host/value.h"

namespace addin {

struct ComponentSettings {
  Value scheduleKey;        // Empty until the first Init
  Text defaultOrderRows;    // operation 63, untrimmed
  Text firmInn;             // operation 62, trimmed
  Text numberPrefix;        // operation 68, trimmed
  double workingDate = 0;   // operation 66; 0 is 30 December 1899
};

// The built-in schedule key that every Init restores: seven decimal digits, held as a 32-bit
// integer. Its day offsets are 27, 71, 18, 82, 28, 81 and 1 (Monday to Sunday).
inline constexpr std::int32_t kDefaultScheduleKey = 2718281;

// The calling thread's settings.
ComponentSettings& Settings();
void ResetScheduleKey();

}  // namespace addin
