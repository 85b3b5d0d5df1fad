// Calling host objects from the routines.
#pragma once

#include <vector>

#include "host/runtime_error.h"
#include "host/value.h"

namespace addin {

// The object a value holds, with a reference of its own: a host object handed out by a call
// lives only as long as some reference to it. A value without an object is error 424.
inline ObjRef ObjectIn(const Value& v) {
  if (!v.IsObject()) throw RuntimeError(kObjectRequired);
  return v.AsObject();
}

// Calls a method with its arguments passed by value.
inline Value Call(HostObject& o, TextView member, std::vector<Value> args = {}) { return o.Call(member, args); }
inline Value Call(const ObjRef& o, TextView member, std::vector<Value> args = {}) { return o->Call(member, args); }

}  // namespace addin
