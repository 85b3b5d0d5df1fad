// The host bridge: the connection object from Init, the application dispatch fetched from it on
// first use, and the fetched flag. One set per host thread, shared by every component object made
// on that thread, held as long as the library stays loaded.
#pragma once

#include "host/value.h"

namespace addin {

struct HostBridge {
  ObjRef connection;
  ObjRef appDispatch;
  bool fetched = false;
};

// The calling thread's bridge.
HostBridge& Bridge();

// Keeps the connection object (releasing an earlier one) and clears the fetched flag.
void BridgeInit(ObjRef connection);
// Releases the connection object and the application dispatch; the flag is left as it is.
void BridgeDone() noexcept;
// Reads "AppDispatch" of the connection object once after each Init and returns the application
// dispatch. Without a connection object, or when "AppDispatch" gives no object, it fails and the
// flag stays clear; after Done it fails until the next Init.
HostObject& EnsureAppDispatch();

}  // namespace addin
