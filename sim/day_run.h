// The Execute calls a configuration makes to show a day's delivery sheet: the settings
// (operations 62, 63, 66, 68, 69), then operation 13 with the day's objects.
#pragma once

#include <string>
#include <vector>

#include "sim/model.h"

namespace addin::sim {

struct ExecuteCall {
  std::string what;           // for messages
  std::vector<Value> params;  // nine elements, element 0 the operation code
};

// workingDate: a date serial, or the day file's date when negative.
std::vector<ExecuteCall> DeliverySheetCalls(Model& model, double workingDate = -1);

}  // namespace addin::sim
