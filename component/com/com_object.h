// IUnknown written once: a COM class derives from ComObject with the interfaces it implements
// and gets reference counting, QueryInterface and its share of the module's object count.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace addin::com {

// Objects and locks alive in the module: DllCanUnloadNow answers S_OK only at zero.
inline std::atomic<long> g_moduleCount{0};

template <class I>
struct InterfaceId;  // IID of I, specialised per interface

template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject() { ++g_moduleCount; }
  virtual ~ComObject() { --g_moduleCount; }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) *out = static_cast<First*>(this);
    if (!*out) Find<First, Rest...>(iid, out);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long left = --refs_;
    if (left == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(left);
  }

 private:
  template <class I, class... More>
  void Find(REFIID iid, void** out) {
    if (InterfaceId<I>::Matches(iid)) {
      *out = static_cast<I*>(this);
      return;
    }
    if constexpr (sizeof...(More) > 0) Find<More...>(iid, out);
  }

  std::atomic<long> refs_{1};
};

}  // namespace addin::com
