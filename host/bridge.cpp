#include "host/bridge.h"

#include "host/failure.h"
#include "host/runtime_error.h"

namespace addin {

HostBridge& Bridge() {
  // Created on first use and never destroyed: references left at thread exit are not released
  // into a host that may already be gone.
  thread_local HostBridge* bridge = new HostBridge;
  return *bridge;
}

void BridgeInit(ObjRef connection) {
  HostBridge& b = Bridge();
  b.connection = std::move(connection);
  b.fetched = false;
}

void BridgeDone() noexcept {
  HostBridge& b = Bridge();
  ObjRef connection = std::move(b.connection), app = std::move(b.appDispatch);
  b.connection.reset();
  b.appDispatch.reset();
}

HostObject& EnsureAppDispatch() {
  HostBridge& b = Bridge();
  NoteCheck(u"компонента не запущена (Init) или уже остановлена (Done)");
  if (!b.fetched) {
    if (!b.connection) throw RuntimeError(kObjectNotSet);
    ObjRef connection = b.connection;  // the host may re-enter and call Done
    Value app = connection->Get(u"AppDispatch");
    if (!app.IsObject()) throw RuntimeError(kObjectRequired, u"\"AppDispatch\" не объект");
    b.appDispatch = app.AsObject();
    b.fetched = true;
  }
  if (!b.appDispatch) throw RuntimeError(kObjectNotSet);
  return *b.appDispatch;
}

}  // namespace addin
