// Helpers shared by the native tests.
#pragma once

#include "host/runtime_error.h"

namespace addin::test {

// The run-time error number a call raises, or 0 when it raises none.
template <class F>
int ErrorOf(F&& f) {
  try {
    f();
    return 0;
  } catch (const RuntimeError& e) {
    return e.number();
  }
}

}  // namespace addin::test
