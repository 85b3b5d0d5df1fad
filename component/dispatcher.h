// The Execute dispatcher: reads the operation code from element 0 of the parameter array, takes
// the elements the selected routine needs and calls it.
#pragma once

#include "host/operands.h"
#include "host/value.h"

namespace addin {

// Runs the operation that element 0 names. Failures are RuntimeErrors: a missing array or
// element is error 9, an element that must be an object and is not is error 424, and whatever the
// routine raises passes through. An operation code that selects nothing does nothing.
void Dispatch(ParamArray* params, Value& result);

}  // namespace addin
