#include "component/com/addin_obj.h"

#include <atomic>
#include <iterator>


#include "AddIn.h"
#include "AddInLib.h"
#include "component/addin.h"
#include "component/com/com_object.h"
#include "component/com/registration.h"
#include "host/com_dispatch_object.h"
#include "host/com_raii.h"
#include "host/com_variant.h"
#include "host/failure.h"

// The calling convention of ILanguageExtender::CallAsProc; the faulty variant (a test build that
// is never shipped) declares it wrongly on both sides of its own header.
#ifdef ADDIN_FAULTY_CALLING_CONVENTION
#define ADDIN_CALLASPROC_CC __cdecl
#else
#define ADDIN_CALLASPROC_CC STDMETHODCALLTYPE
#endif

namespace addin::com {

template <>
struct InterfaceId<IInitDone> {
  static bool Matches(REFIID iid) { return IsEqualIID(iid, IID_IInitDone); }
};
template <>
struct InterfaceId<ILanguageExtender> {
  static bool Matches(REFIID iid) { return IsEqualIID(iid, IID_ILanguageExtender); }
};
template <>
struct InterfaceId<_AddInObj> {
  static bool Matches(REFIID iid) { return IsEqualIID(iid, IID__AddInObj) || IsEqualIID(iid, IID_IDispatch); }
};
template <>
struct InterfaceId<ISupportErrorInfo> {
  static bool Matches(REFIID iid) { return IsEqualIID(iid, IID_ISupportErrorInfo); }
};

namespace {

constexpr wchar_t kSource[] = L"AddIn.AddInObj";

// Threads whose error information the component set and no success has cleared yet: a success
// clears it there, and costs one load everywhere else.
std::atomic<int> g_threadsWithOurs{0};
bool& OursOnThisThread() {
  thread_local bool ours = false;
  return ours;
}

// After a success: none of the component's error information left on the thread.
void ClearOurThreadError() {
  if (g_threadsWithOurs.load(std::memory_order_relaxed) == 0 || !OursOnThisThread()) return;
  SetErrorInfo(0, nullptr);
  OursOnThisThread() = false;
  --g_threadsWithOurs;
}

// The thread's error information: the description of a failure for COM clients.
void SetThreadError(REFIID iid, const Text& description) {
  if (!OursOnThisThread()) {
    OursOnThisThread() = true;
    ++g_threadsWithOurs;
  }
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(kSource));
  UniqueBstr text(NewBstr(description));
  create->SetDescription(text.get());
  auto info = create.As<IErrorInfo>(IID_IErrorInfo);
  if (info) SetErrorInfo(0, info.get());
}

// Writes an [in, out] text. What the host left there is not freed: nothing promises that it is
// an allocated text, and freeing a stray pointer would take the host down, where leaving a text
// costs a few bytes at registration time.
HRESULT PutText(BSTR* out, const Text& text) {
  if (!out) return E_POINTER;
  *out = NewBstr(text);
  return S_OK;
}

HRESULT PutValue(VARIANT* out, const Value& value) {
  if (!out) return E_POINTER;
  VARIANT fresh;
  ToVariant(value, fresh);
  VariantClear(out);
  *out = fresh;
  return S_OK;
}

// Runs a protocol method on the portable picture of an argument array, then writes the changed
// elements back into the host's array, also when the method failed.
template <class F>
HRESULT WithParams(SAFEARRAY** array, F&& method) {
  if (!array || !*array) return method(nullptr);
  const ParamArray before = FromSafeArray(*array);
  ParamArray after = before;
  HRESULT hr = method(&after);
  WriteBack(*array, before, after);
  return hr;
}

// Where a script passes VT_VARIANT|VT_BYREF for a typed by-reference parameter, the argument is
// coerced to the declared type for the call and the result written back into the script's
// variant afterwards.
class ByRefCoercion {
 public:
  ByRefCoercion(ITypeInfo* info, DISPID id, DISPPARAMS* params) : original_(params) {
    if (!params || params->cArgs == 0 || !params->rgvarg) return;
    FUNCDESC* fd = Find(info, id);
    if (!fd) return;
    args_.assign(params->rgvarg, params->rgvarg + params->cArgs);
    holders_.reserve(params->cArgs);  // arguments point into it
    for (UINT k = 0; k < params->cArgs && k < static_cast<UINT>(fd->cParams); ++k) {
      VARIANT& arg = args_[params->cArgs - 1 - k];
      const TYPEDESC& td = fd->lprgelemdescParam[k].tdesc;
      if (V_VT(&arg) != (VT_VARIANT | VT_BYREF) || td.vt != VT_PTR || !V_VARIANTREF(&arg)) continue;
      VARIANT* target = V_VARIANTREF(&arg);
      const VARTYPE to = td.lptdesc->vt;
      if (to == VT_SAFEARRAY) {
        if (V_VT(target) == (VT_ARRAY | VT_VARIANT)) {
          V_VT(&arg) = VT_ARRAY | VT_VARIANT | VT_BYREF;
          V_ARRAYREF(&arg) = &V_ARRAY(target);  // in place: the script's array itself
        } else if (V_VT(target) == (VT_ARRAY | VT_VARIANT | VT_BYREF)) {
          arg = *target;
        }
      } else if (to == VT_BSTR || to == VT_I4) {
        auto& h = holders_.emplace_back(Holder{target, {}, nullptr});
        if (FAILED(VariantChangeType(&h.value, target, 0, to))) {
          h.value = VARIANT{};  // a Null or an object: the empty text or 0
          V_VT(&h.value) = to;
        }
        if (to == VT_BSTR) h.copy = V_BSTR(&h.value);
        V_VT(&arg) = to | VT_BYREF;
        V_BYREF(&arg) = &V_I4(&h.value);  // the union's storage, for either type
      }
    }
    info->ReleaseFuncDesc(fd);
    coerced_ = *params;
    coerced_.rgvarg = args_.data();
  }
  ByRefCoercion(const ByRefCoercion&) = delete;
  ~ByRefCoercion() {
    for (auto& h : holders_) {
      if (h.copy && V_BSTR(&h.value) != h.copy) SysFreeString(h.copy);  // ours; the method wrote anew
      VariantClear(h.target);
      *h.target = h.value;  // the script's variant takes it over
    }
  }
  DISPPARAMS* params() { return args_.empty() ? original_ : &coerced_; }

 private:
  struct Holder {
    VARIANT* target;
    VARIANT value;
    BSTR copy;  // the text made for the call, when the parameter is a text
  };
  static FUNCDESC* Find(ITypeInfo* info, DISPID id) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return nullptr;
    FUNCDESC* found = nullptr;
    for (UINT i = 0; i < attr->cFuncs && !found; ++i) {
      FUNCDESC* fd = nullptr;
      if (FAILED(info->GetFuncDesc(i, &fd))) continue;
      if (fd->memid == id) found = fd;
      else info->ReleaseFuncDesc(fd);
    }
    info->ReleaseTypeAttr(attr);
    return found;
  }

  DISPPARAMS* original_;
  DISPPARAMS coerced_{};
  std::vector<VARIANT> args_;
  std::vector<Holder> holders_;
};

class AddInObj final : public ComObject<AddInObj, _AddInObj, IInitDone, ILanguageExtender, ISupportErrorInfo> {
 public:
  // IInitDone
  HRESULT STDMETHODCALLTYPE Init(IDispatch* obj) override {
    return Reported(IID_IInitDone, u"IInitDone.Init",
                    [&] { return core_.Init(obj ? DispatchObject::Wrap(obj) : ObjRef()); });
  }
  HRESULT STDMETHODCALLTYPE Done() override {
    return Reported(IID_IInitDone, u"IInitDone.Done", [&] { return core_.Done(); });
  }
  HRESULT STDMETHODCALLTYPE GetInfo(SAFEARRAY** infoItems) override {
    return Reported(IID_IInitDone, u"IInitDone.GetInfo",
                    [&] { return WithParams(infoItems, [&](ParamArray* p) { return core_.GetInfo(p); }); });
  }

  // ILanguageExtender
  HRESULT STDMETHODCALLTYPE RegisterExtensionAs(BSTR* extName) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.RegisterExtensionAs",
                    [&] { return TextOut(extName, [&](Text& t) { return core_.RegisterExtensionAs(t); }); });
  }
  HRESULT STDMETHODCALLTYPE GetNProps(LONG* props) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetNProps",
                    [&] { return LongOut(props, [&](std::int32_t& n) { return core_.GetNProps(n); }); });
  }
  HRESULT STDMETHODCALLTYPE FindProp(BSTR propName, LONG* propNum) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.FindProp", [&] {
      return LongOut(propNum, [&](std::int32_t& n) { return core_.FindProp(BstrText(propName), n); });
    });
  }
  HRESULT STDMETHODCALLTYPE GetPropName(LONG pos, LONG alias, BSTR* propName) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetPropName", [&] {
      return TextOut(propName, [&](Text& t) { return core_.GetPropName(pos, alias, t); });
    });
  }
  HRESULT STDMETHODCALLTYPE GetPropVal(LONG propNum, VARIANT* retVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetPropVal",
                    [&] { return ValueOut(retVal, [&](Value& v) { return core_.GetPropVal(propNum, v); }); });
  }
  HRESULT STDMETHODCALLTYPE SetPropVal(LONG propNum, VARIANT* retVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.SetPropVal",
                    [&] { return core_.SetPropVal(propNum, retVal ? FromVariant(*retVal) : Value()); });
  }
  HRESULT STDMETHODCALLTYPE IsPropReadable(LONG propNum, LONG* retVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.IsPropReadable", [&] {
      return LongOut(retVal, [&](std::int32_t& n) { return core_.IsPropReadable(propNum, n); });
    });
  }
  HRESULT STDMETHODCALLTYPE IsPropWritable(LONG propNum, LONG* retVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.IsPropWritable", [&] {
      return LongOut(retVal, [&](std::int32_t& n) { return core_.IsPropWritable(propNum, n); });
    });
  }
  HRESULT STDMETHODCALLTYPE GetNMethods(LONG* num) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetNMethods",
                    [&] { return LongOut(num, [&](std::int32_t& n) { return core_.GetNMethods(n); }); });
  }
  HRESULT STDMETHODCALLTYPE FindMethod(BSTR methName, LONG* methPos) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.FindMethod", [&] {
      return LongOut(methPos, [&](std::int32_t& n) { return core_.FindMethod(BstrText(methName), n); });
    });
  }
  HRESULT STDMETHODCALLTYPE GetMethodName(LONG pos, LONG alias, BSTR* methName) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetMethodName", [&] {
      return TextOut(methName, [&](Text& t) { return core_.GetMethodName(pos, alias, t); });
    });
  }
  HRESULT STDMETHODCALLTYPE GetNParams(LONG methPos, LONG* params) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetNParams", [&] {
      return LongOut(params, [&](std::int32_t& n) { return core_.GetNParams(methPos, n); });
    });
  }
  HRESULT STDMETHODCALLTYPE GetParamDefValue(LONG methPos, LONG paramPos, VARIANT* retVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.GetParamDefValue", [&] {
      return ValueOut(retVal, [&](Value& v) { return core_.GetParamDefValue(methPos, paramPos, v); });
    });
  }
  HRESULT STDMETHODCALLTYPE HasRetVal(LONG methPos, LONG* retVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.HasRetVal", [&] {
      return LongOut(retVal, [&](std::int32_t& n) { return core_.HasRetVal(methPos, n); });
    });
  }
  HRESULT ADDIN_CALLASPROC_CC CallAsProc(LONG methodNum, SAFEARRAY** paramVal) override {
    return Reported(IID_ILanguageExtender, methodNum == methExecute ? kExecuteMethod : u"ILanguageExtender.CallAsProc",
                    [&] { return WithParams(paramVal, [&](ParamArray* p) { return core_.CallAsProc(methodNum, p); }); });
  }
  HRESULT STDMETHODCALLTYPE CallAsFunc(LONG methodNum, VARIANT* retVal, SAFEARRAY** paramVal) override {
    return Reported(IID_ILanguageExtender, u"ILanguageExtender.CallAsFunc", [&] {
      return WithParams(paramVal, [&](ParamArray* p) {
        Value ret = retVal ? FromVariant(*retVal) : Value();
        return core_.CallAsFunc(methodNum, ret, p);
      });
    });
  }

  // ISupportErrorInfo: the component's three interfaces give error information.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualIID(iid, IID_IInitDone) || IsEqualIID(iid, IID_ILanguageExtender) || IsEqualIID(iid, IID__AddInObj)
               ? S_OK
               : S_FALSE;
  }

  // _AddInObj: the same methods under the names interface_method.
  HRESULT STDMETHODCALLTYPE IInitDone_Init(IDispatch* obj) override { return Init(obj); }
  HRESULT STDMETHODCALLTYPE IInitDone_Done() override { return Done(); }
  HRESULT STDMETHODCALLTYPE IInitDone_GetInfo(SAFEARRAY** a) override { return GetInfo(a); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_RegisterExtensionAs(BSTR* n) override { return RegisterExtensionAs(n); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetNProps(LONG* n) override { return GetNProps(n); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_FindProp(BSTR s, LONG* n) override { return FindProp(s, n); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetPropName(LONG p, LONG a, BSTR* s) override { return GetPropName(p, a, s); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetPropVal(LONG p, VARIANT* v) override { return GetPropVal(p, v); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_SetPropVal(LONG p, VARIANT* v) override { return SetPropVal(p, v); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_IsPropReadable(LONG p, LONG* r) override { return IsPropReadable(p, r); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_IsPropWritable(LONG p, LONG* r) override { return IsPropWritable(p, r); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetNMethods(LONG* n) override { return GetNMethods(n); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_FindMethod(BSTR s, LONG* n) override { return FindMethod(s, n); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetMethodName(LONG p, LONG a, BSTR* s) override { return GetMethodName(p, a, s); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetNParams(LONG m, LONG* n) override { return GetNParams(m, n); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_GetParamDefValue(LONG m, LONG p, VARIANT* v) override { return GetParamDefValue(m, p, v); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_HasRetVal(LONG m, LONG* r) override { return HasRetVal(m, r); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_CallAsProc(LONG m, SAFEARRAY** a) override { return CallAsProc(m, a); }
  HRESULT STDMETHODCALLTYPE ILanguageExtender_CallAsFunc(LONG m, VARIANT* v, SAFEARRAY** a) override { return CallAsFunc(m, v, a); }

  // IDispatch of _AddInObj, through the type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return Boundary([&] {
      ITypeInfo* info = TypeInfo();
      info->AddRef();
      *out = info;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return Boundary([&] { return DispGetIDsOfNames(TypeInfo(), names, count, ids); });
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    return Boundary([&] {
      lastStatus_ = S_OK;
      ByRefCoercion coerced(TypeInfo(), id, params);
      HRESULT hr = DispInvoke(static_cast<_AddInObj*>(this), TypeInfo(), id, flags, coerced.params(), result, excep,
                              argErr);
      // A method that failed: its status and words reach a script client as its exception,
      // whatever the type library's Invoke made of them.
      if (FAILED(lastStatus_) && (hr == lastStatus_ || hr == DISP_E_EXCEPTION) && excep) {
        SysFreeString(excep->bstrSource);
        SysFreeString(excep->bstrDescription);
        SysFreeString(excep->bstrHelpFile);
        *excep = EXCEPINFO{};
        excep->scode = lastStatus_;
        excep->bstrSource = NewBstr(TextOf(kSource, static_cast<UINT>(std::size(kSource) - 1)));
        excep->bstrDescription = NewBstr(lastFailure_);
        hr = DISP_E_EXCEPTION;
      }
      return hr;
    });
  }

 private:
  // Runs one interface method: any failure inside becomes its status, and its words go to the
  // thread's error information (and, for Execute, to the debugger's output); a success clears
  // the thread's error information.
  template <class F>
  HRESULT Reported(REFIID iid, const char16_t* method, F&& body) noexcept {
    core_.ForgetFailure();
    Text own;
    HRESULT hr;
    try {
      hr = body();
    } catch (...) {
      hr = StatusOfCurrentException();
      own = DescribeFailure(method);
    }
    lastStatus_ = hr;
    if (SUCCEEDED(hr)) {
      ClearOurThreadError();
      return hr;
    }
    try {
      if (!own.empty()) lastFailure_ = std::move(own);
      else if (!core_.failure().empty()) lastFailure_ = core_.failure();
      else lastFailure_ = Text(method) + u": ошибка " + ErrorInWords(0, hr, false);
      SetThreadError(iid, lastFailure_);
      if (method == kExecuteMethod) {
        const std::wstring line = std::wstring(lastFailure_.begin(), lastFailure_.end()) + L"\n";
        OutputDebugStringW(line.c_str());
      }
    } catch (...) {
      // No memory for the words: the status alone goes back.
    }
    return hr;
  }
  template <class F>
  HRESULT TextOut(BSTR* out, F&& method) {
    if (!out) return E_POINTER;
    Text t;
    HRESULT hr = method(t);
    return SUCCEEDED(hr) ? PutText(out, t) : hr;
  }
  template <class F>
  HRESULT LongOut(LONG* out, F&& method) {
    if (!out) return E_POINTER;
    std::int32_t n = *out;  // a method may leave it unwritten
    HRESULT hr = method(n);
    *out = n;
    return hr;
  }
  template <class F>
  HRESULT ValueOut(VARIANT* out, F&& method) {
    if (!out) return E_POINTER;
    Value v;
    HRESULT hr = method(v);
    return SUCCEEDED(hr) ? PutValue(out, v) : hr;
  }

  ITypeInfo* TypeInfo() {
    if (!typeInfo_) {
      const std::wstring path = ModuleFileName();
      ComPtr<ITypeLib> lib;
      HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
      if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(IID__AddInObj, typeInfo_.put());
      if (FAILED(hr)) ThrowHresult(hr);
    }
    return typeInfo_.get();
  }

  AddIn core_;
  ComPtr<ITypeInfo> typeInfo_;
  HRESULT lastStatus_ = S_OK;  // of the last interface method, for Invoke
  Text lastFailure_;  // its words, when it failed
};

}  // namespace

HRESULT CreateAddInObj(REFIID iid, void** out) {
  auto* obj = new AddInObj;
  HRESULT hr = obj->QueryInterface(iid, out);
  obj->Release();
  return hr;
}

}  // namespace addin::com
