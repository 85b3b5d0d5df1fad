#include "host/com_dispatch_object.h"

#include <dispex.h>

#include <vector>

#include "host/com_variant.h"
#include "host/runtime_error.h"

namespace addin::com {

namespace {

// MinGW's libuuid does not carry it.
constexpr IID kIID_IDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

// Argument VARIANTs of one Invoke, cleared when the call is over. The routines pass at most a
// few arguments: those live on the stack.
class VariantArray {
 public:
  explicit VariantArray(size_t n) : n_(n) {
    if (n_ > kInline) heap_.resize(n_);
    for (size_t i = 0; i < n_; ++i) VariantInit(&data()[i]);
  }
  VariantArray(const VariantArray&) = delete;
  ~VariantArray() {
    for (size_t i = 0; i < n_; ++i) VariantClear(&data()[i]);
  }
  VARIANT* data() { return n_ > kInline ? heap_.data() : inline_; }
  VARIANT& operator[](size_t i) { return data()[i]; }

 private:
  static constexpr size_t kInline = 4;
  size_t n_;
  VARIANT inline_[kInline];
  std::vector<VARIANT> heap_;
};

// Every IDispatch the VARIANT mapping meets becomes one of these, from the module's start.
[[maybe_unused]] const bool kWrapperSet = (SetDispatchWrapper(&DispatchObject::Wrap), true);

}  // namespace

ObjRef DispatchObject::Wrap(IDispatch* dispatch) { return ObjRef(new DispatchObject(dispatch)); }

DISPID DispatchObject::AskId(TextView member) {
  Text name(member);
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(name.data())};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    auto ex = dispatch_.As<IDispatchEx>(kIID_IDispatchEx);
    if (!ex) ThrowHresult(hr);
    UniqueBstr bstr(NewBstr(member));
    hr = ex->GetDispID(bstr.get(), fdexNameCaseSensitive, &id);
    if (FAILED(hr)) ThrowHresult(hr);
  }
  return id;
}

DISPID DispatchObject::Resolve(TextView member) {
  if (auto known = ids_.find(member); known != ids_.end()) return known->second;
  const DISPID id = AskId(member);
  ids_.emplace(Text(member), id);
  return id;
}

HRESULT DispatchObject::InvokeId(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, EXCEPINFO& info) {
  UINT argErr = 0;
  return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &argErr);
}

Value DispatchObject::Invoke(TextView member, WORD flags, std::span<Value> args, std::uint32_t byRefMask) {
  const DISPID id = Resolve(member);
  const size_t n = args.size();
  // By-reference arguments travel as VT_VARIANT|VT_BYREF pointing at a VARIANT: the form every
  // late-bound host writes back into.
  VariantArray values(n), wire(n);
  for (size_t i = 0; i < n; ++i) {
    VARIANT& slot = wire[n - 1 - i];  // DISPPARAMS holds the arguments last first
    ToVariant(args[i], values[i]);
    if (byRefMask & (1u << i)) {
      V_VT(&slot) = VT_VARIANT | VT_BYREF;
      V_VARIANTREF(&slot) = &values[i];
    } else {
      slot = values[i];
      VariantInit(&values[i]);  // moved into the wire array
    }
  }
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{wire.data(), nullptr, static_cast<UINT>(n), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  UniqueVariant result;
  UniqueExcepInfo info;
  VARIANT* wanted = flags == DISPATCH_PROPERTYPUT ? nullptr : result.get();
  HRESULT hr = InvokeId(id, flags, params, wanted, info);
  if (FAILED(hr)) {
    if (hr == DISP_E_EXCEPTION) {
      if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
      hr = info.scode ? info.scode : (info.wCode ? StatusOfErrorNumber(info.wCode) : hr);
    }
    throw RuntimeError::FromHost(hr, BstrText(info.bstrDescription));
  }
  for (size_t i = 0; i < n; ++i)
    if (byRefMask & (1u << i)) args[i] = FromVariant(values[i]);
  return FromVariant(*result);
}

Value DispatchObject::GetMember(TextView member) {
  return Invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, 0);
}

void DispatchObject::SetMember(TextView member, const Value& value) {
  Value arg = value;
  Invoke(member, DISPATCH_PROPERTYPUT, std::span(&arg, 1), 0);
}

Value DispatchObject::CallMember(TextView member, std::span<Value> args, std::uint32_t byRefMask) {
  return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, byRefMask);
}

}  // namespace addin::com
