// The COM class AddInObj.
#pragma once

#include <windows.h>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/runtime_error.h"

namespace addin::com {

// Creates an AddInObj and asks it for the interface.
HRESULT CreateAddInObj(REFIID iid, void** out);

// The one place where failures cross the COM boundary: runs the body and turns any exception
// into a failure HRESULT.
template <class F>
HRESULT Boundary(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return StatusOfCurrentException();
  }
}

}  // namespace addin::com
