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

}  // namespace

ObjRef DispatchObject::Wrap(IDispatch* dispatch, std::shared_ptr<NameTable> kind) {
  return ObjRef(new DispatchObject(dispatch, kind ? std::move(kind) : std::make_shared<NameTable>()));
}

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

DISPID DispatchObject::Resolve(TextView member, bool& asked) {
  asked = true;
  if (auto own = own_.find(member); own != own_.end()) return own->second;
  asked = false;
  auto shared = kind_->ids.find(member);
  if (shared != kind_->ids.end() && !shared->second.mixed && shared->second.agreed >= 2) return shared->second.id;
  const DISPID id = AskId(member);
  asked = true;
  own_.emplace(Text(member), id);
  if (shared == kind_->ids.end()) kind_->ids.emplace(Text(member), NameTable::Entry{id});
  else if (shared->second.id == id) ++shared->second.agreed;
  else shared->second.mixed = true;
  return id;
}

HRESULT DispatchObject::InvokeId(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, EXCEPINFO& info) {
  UINT argErr = 0;
  return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &argErr);
}

Value DispatchObject::Invoke(TextView member, WORD flags, std::span<Value> args, std::uint32_t byRefMask) {
  bool asked = false;
  const DISPID id = Resolve(member, asked);
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
  if (!asked && (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME)) {
    // Not of its kind after all: the member is asked of the object, and no longer shared.
    const DISPID own = AskId(member);
    own_.emplace(Text(member), own);
    kind_->ids.at(Text(member)).mixed = true;
    if (own != id) hr = InvokeId(own, flags, params, wanted, info);
  }
  if (FAILED(hr)) {
    if (hr == DISP_E_EXCEPTION) {
      if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
      hr = info.scode ? info.scode : (info.wCode ? StatusOfErrorNumber(info.wCode) : hr);
    }
    throw RuntimeError::FromHost(hr, BstrText(info.bstrDescription));
  }
  for (size_t i = 0; i < n; ++i)
    if (byRefMask & (1u << i)) args[i] = FromVariant(values[i]);
  if (V_VT(result.get()) != VT_DISPATCH && V_VT(result.get()) != VT_UNKNOWN) return FromVariant(*result);
  // The kind of the object handed out: this kind's member with its text arguments.
  Text key(member);
  for (const Value& a : args) key += a.IsText() ? u"\x1f" + a.AsText() : Text(u"\x1f");
  auto& child = kind_->children[key];
  if (!child) child = std::make_shared<NameTable>();
  return FromVariant(*result, child);
}

Value DispatchObject::Get(TextView member) {
  return Invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, 0);
}

void DispatchObject::Set(TextView member, const Value& value) {
  Value arg = value;
  Invoke(member, DISPATCH_PROPERTYPUT, std::span(&arg, 1), 0);
}

Value DispatchObject::Call(TextView member, std::span<Value> args, std::uint32_t byRefMask) {
  return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, byRefMask);
}

}  // namespace addin::com
