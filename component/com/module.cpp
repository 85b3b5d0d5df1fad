// The library's entry points: class factory, unload test, registration.
#include <windows.h>

#include <new>

#include "component/com/addin_obj.h"
#include "component/com/com_object.h"
#include "component/com/registration.h"
#include "host/runtime_error.h"

namespace addin::com {

HINSTANCE g_module = nullptr;
void InstallInformationBox();

template <>
struct InterfaceId<IClassFactory> {
  static bool Matches(REFIID iid) { return IsEqualIID(iid, IID_IClassFactory); }
};

namespace {

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return Boundary([&] { return CreateAddInObj(iid, out); });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_moduleCount : --g_moduleCount;
    return S_OK;
  }
};

}  // namespace
}  // namespace addin::com

using namespace addin::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    InstallInformationBox();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_AddInObj)) return CLASS_E_CLASSNOTAVAILABLE;
  return Boundary([&] {
    auto* factory = new ClassFactory;
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_moduleCount == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return Boundary([] { return RegisterServer(); }); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return Boundary([] { return UnregisterServer(); }); }

extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR scope) {
  return Boundary([&] { return Install(install != FALSE, scope); });
}
