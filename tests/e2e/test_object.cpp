#include "test_object.h"

namespace addin::test {

TestObject::~TestObject() {
  for (auto& m : members_) VariantClear(&m.value);
}

TestObject::Entry& TestObject::Find(const std::wstring& name) {
  for (auto& m : members_)
    if (m.name == name) return m;
  members_.push_back(Entry{name, {}, nullptr, S_OK, {}});
  VariantInit(&members_.back().value);
  return members_.back();
}

void TestObject::SetMember(const std::wstring& name, VARIANT value) {
  Entry& e = Find(name);
  VariantClear(&e.value);
  e.value = value;
}

void TestObject::SetMethod(const std::wstring& name, Method method) { Find(name).method = std::move(method); }

void TestObject::SetException(const std::wstring& name, HRESULT scode, const std::wstring& description) {
  Entry& e = Find(name);
  e.scode = scode;
  e.description = description;
}

VARIANT TestObject::Member(const std::wstring& name) const {
  VARIANT v;
  VariantInit(&v);
  for (auto& m : members_)
    if (m.name == name) VariantCopy(&v, const_cast<VARIANT*>(&m.value));
  return v;
}

HRESULT TestObject::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT TestObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  ++idRequests;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (size_t k = 0; k < members_.size(); ++k)
      if (members_[k].name == names[i]) ids[i] = firstId + static_cast<DISPID>(k);
    if (ids[i] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
  }
  return S_OK;
}

HRESULT TestObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT*) {
  if (id < firstId || static_cast<size_t>(id - firstId) >= members_.size()) return unknownIdAnswer;
  Entry& e = members_[id - firstId];
  calls.push_back(e.name);
  if (e.scode != S_OK) {
    if (excep) {
      *excep = EXCEPINFO{};
      excep->scode = e.scode;
      excep->bstrSource = SysAllocString(L"Test host");
      excep->bstrDescription = SysAllocStringLen(e.description.data(), static_cast<UINT>(e.description.size()));
    }
    return DISP_E_EXCEPTION;
  }
  if (e.method) return e.method(params, result);
  if (flags & DISPATCH_PROPERTYPUT) {
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VariantClear(&e.value);
    return VariantCopyInd(&e.value, &params->rgvarg[0]);
  }
  return result ? VariantCopy(result, &e.value) : S_OK;
}

std::wstring ThreadErrorFrom(const wchar_t* source) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return L"";
  BSTR from = nullptr, description = nullptr;
  info->GetSource(&from);
  info->GetDescription(&description);
  info->Release();
  std::wstring text = description ? description : L"";
  if (!from || std::wstring(from) != source) text = L"(from " + std::wstring(from ? from : L"?") + L") " + text;
  SysFreeString(from);
  SysFreeString(description);
  return text;
}

VARIANT I4(long v) {
  VARIANT r;
  VariantInit(&r);
  V_VT(&r) = VT_I4;
  V_I4(&r) = v;
  return r;
}

VARIANT Str(const wchar_t* s) {
  VARIANT r;
  VariantInit(&r);
  V_VT(&r) = VT_BSTR;
  V_BSTR(&r) = SysAllocString(s);
  return r;
}

VARIANT Obj(IDispatch* d) {
  VARIANT r;
  VariantInit(&r);
  V_VT(&r) = VT_DISPATCH;
  V_DISPATCH(&r) = d;
  d->AddRef();
  return r;
}

}  // namespace addin::test
