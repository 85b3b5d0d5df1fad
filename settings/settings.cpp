#include "settings/settings.h"

namespace addin {

ComponentSettings& Settings() {
  thread_local ComponentSettings* settings = new ComponentSettings;  // never destroyed, see Bridge()
  return *settings;
}

void ResetScheduleKey() { Settings().scheduleKey = Value::I4(kDefaultScheduleKey); }

}  // namespace addin
