// A host object for the Windows test programs: a real IDispatch whose members are a table of
// values and callbacks, with its reference count open to the test.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace addin::test {

class TestObject final : public IDispatch {
 public:
  using Method = std::function<HRESULT(DISPPARAMS* params, VARIANT* result)>;

  // Reads of the member give a copy of the value; a put replaces it. Takes the value over.
  void SetMember(const std::wstring& name, VARIANT value);
  void SetMethod(const std::wstring& name, Method method);
  // Every use of the member fails as a host's exception does: DISP_E_EXCEPTION with the scode and
  // the description in its EXCEPINFO.
  void SetException(const std::wstring& name, HRESULT scode, const std::wstring& description);
  // The member's value (VT_EMPTY when none).
  VARIANT Member(const std::wstring& name) const;
  long refs() const { return refs_; }
  // Member names called, in order, and the names asked for.
  std::vector<std::wstring> calls;
  long idRequests = 0;
  // Members are numbered from firstId in the order they were made; a number the object never
  // gave is answered with unknownIdAnswer (some hosts' objects answer a type mismatch).
  DISPID firstId = 1;
  HRESULT unknownIdAnswer = DISP_E_MEMBERNOTFOUND;

  ~TestObject();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // owned by the test
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override;

 private:
  struct Entry {
    std::wstring name;
    VARIANT value;
    Method method;
    HRESULT scode = S_OK;
    std::wstring description;
  };
  Entry& Find(const std::wstring& name);
  std::vector<Entry> members_;
  long refs_ = 0;
};

// The thread's error information as a COM client reads it after a call: its description, "" when
// there is none, and a note naming the source when it comes from another than `source`.
std::wstring ThreadErrorFrom(const wchar_t* source);

// An entry point of a loaded DLL, as the type the caller gives.
template <class F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

VARIANT I4(long v);
VARIANT Str(const wchar_t* s);
VARIANT Obj(IDispatch* d);  // takes a reference

}  // namespace addin::test
