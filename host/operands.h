// The routines' contract: what the Execute dispatcher hands a routine, the elements of the
// parameter array, each taken the way the routine's row of the dispatch table says.
#pragma once

#include <array>
#include <cstdint>

#include "host/value.h"

namespace addin {

inline constexpr int kExecuteParams = 9;

struct Operands {
  std::int16_t code = 0;    // the operation code as a 16-bit integer (operations 62 to 70)
  FailurePlace* place = nullptr;  // this thread's place, for the routine's position and checks
  Value* result = nullptr;  // the component object's result value, read by the host as IsResult
  std::array<Value*, kExecuteParams> byRef{};  // elements passed by reference: the array's own
  std::array<ObjRef, kExecuteParams> object{};  // elements taken as objects, held for the call
  std::array<Value, kExecuteParams> byValue{};  // elements passed by value: copies

  HostObject& Obj(int element) const { return *object[element]; }
  FailurePlace& Place() const { return *place; }
};

using Routine = void (*)(Operands&);

}  // namespace addin
