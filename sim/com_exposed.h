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

// How the faces number members. Shared: one number per name on every object. The platform's
// objects number them per type, and the other two do so: Rotated gives each type its own
// arrangement of the same numbers, so that a number one type gave names another member of the
// next; Disjoint gives each type numbers of its own and answers a number of another type with
// a type mismatch, as some hosts' objects do.
enum class FaceNumbering { Shared, Rotated, Disjoint };
void SetFaceNumbering(FaceNumbering numbering);

// Calls the DLL made on the faces.
struct ComCallCounts {
  long getIDsOfNames = 0, invoke = 0;
};
ComCallCounts& ComCalls();

}  // namespace addin::sim
