// The simulated platform's objects behind real IDispatch, for the Windows test programs that
// hand them to the DLL. An object's face counts its references in the object itself.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "sim/object.h"

namespace addin::sim {

// Makes every simulated object that crosses into a VARIANT appear as its IDispatch face, and
// every face that comes back appear as its object again.
void ExposeSimulatedObjects();

// Calls the DLL made on the faces.
struct ComCallCounts {
  long getIDsOfNames = 0, invoke = 0;
};
ComCallCounts& ComCalls();

}  // namespace addin::sim
