#include "host/com_variant.h"

#include <new>

#include "host/com_raii.h"
#include "host/runtime_error.h"

namespace addin::com {

namespace {

// A VARIANT of a kind the rules do not know, kept as it came.
class OpaqueVariant final : public OpaqueValue {
 public:
  explicit OpaqueVariant(const VARIANT& v) {
    VariantInit(&v_);
    HRESULT hr = VariantCopyInd(&v_, const_cast<VARIANT*>(&v));
    if (FAILED(hr)) ThrowHresult(hr);
  }
  ~OpaqueVariant() override { VariantClear(&v_); }
  const VARIANT& variant() const { return v_; }

  Value Reduce() const override {
    UniqueVariant r;
    for (VARTYPE to : {VARTYPE(VT_R8), VARTYPE(VT_BSTR)}) {
      if (SUCCEEDED(VariantChangeTypeEx(r.reset(), const_cast<VARIANT*>(&v_), LOCALE_USER_DEFAULT, 0, to)))
        return FromVariant(*r);
    }
    throw RuntimeError(kTypeMismatch);
  }

 private:
  VARIANT v_;
};

// The SAFEARRAY's data for as long as the guard lives.
class ArrayLock {
 public:
  explicit ArrayLock(SAFEARRAY* a) : a_(a) {
    HRESULT hr = SafeArrayLock(a_);
    if (FAILED(hr)) ThrowHresult(hr);
  }
  ~ArrayLock() { SafeArrayUnlock(a_); }
  VARIANT* data() const { return static_cast<VARIANT*>(a_->pvData); }

 private:
  SAFEARRAY* a_;
};

bool HoldsVariants(SAFEARRAY* a) {
  VARTYPE vt = VT_EMPTY;
  return (a->fFeatures & FADF_VARIANT) ||
         (SUCCEEDED(SafeArrayGetVartype(a, &vt)) && vt == VT_VARIANT && a->cbElements == sizeof(VARIANT));
}

ObjectBridge g_bridge;
DispatchWrapper g_wrap = nullptr;

Value Wrapped(IDispatch* d, const VARIANT& v) {
  if (g_bridge.fromDispatch)
    if (ObjRef own = g_bridge.fromDispatch(d)) return Value::Obj(std::move(own));
  if (g_wrap) return Value::Obj(g_wrap(d));
  return Value::Opaque(std::make_shared<OpaqueVariant>(v));
}

}  // namespace

void SetObjectBridge(ObjectBridge bridge) { g_bridge = bridge; }
void SetDispatchWrapper(DispatchWrapper wrap) noexcept { g_wrap = wrap; }

void ThrowHresult(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  throw RuntimeError::FromHost(hr, {});
}

BSTR NewBstr(TextView text) {
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  if (!b) throw std::bad_alloc();
  return b;
}

Text BstrText(BSTR b) { return b ? Text(TextOf(b, SysStringLen(b))) : Text(); }

Value FromVariant(const VARIANT& in) {
  const VARIANT* v = &in;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF)) {
    if (!V_VARIANTREF(v)) return Value();
    v = V_VARIANTREF(v);
  }
  const bool ref = (V_VT(v) & VT_BYREF) != 0;
  const VARTYPE vt = V_VT(v) & ~VT_BYREF;
  if (ref && !V_BYREF(v)) return Value::Opaque(std::make_shared<OpaqueVariant>(*v));
  switch (vt) {
    case VT_EMPTY: return Value();
    case VT_NULL: return Value::Null();
    case VT_BOOL: return Value::Bool((ref ? *V_BOOLREF(v) : V_BOOL(v)) != VARIANT_FALSE);
    case VT_I2: return Value::I2(ref ? *V_I2REF(v) : V_I2(v));
    case VT_I4: return Value::I4(ref ? *V_I4REF(v) : V_I4(v));
    case VT_R8: return Value::R8(ref ? *V_R8REF(v) : V_R8(v));
    case VT_CY: return Value::Cy({(ref ? *V_CYREF(v) : V_CY(v)).int64});
    case VT_DATE: return Value::FromDate(ref ? *V_DATEREF(v) : V_DATE(v));
    case VT_BSTR: return Value::Str(BstrText(ref ? *V_BSTRREF(v) : V_BSTR(v)));
    case VT_DISPATCH: {
      IDispatch* d = ref ? *V_DISPATCHREF(v) : V_DISPATCH(v);
      if (!d) break;
      return Wrapped(d, *v);
    }
    case VT_UNKNOWN: {
      IUnknown* u = ref ? *V_UNKNOWNREF(v) : V_UNKNOWN(v);
      ComPtr<IDispatch> d;
      if (u && SUCCEEDED(u->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.put())))) {
        VARIANT asDispatch;
        V_VT(&asDispatch) = VT_DISPATCH;
        V_DISPATCH(&asDispatch) = d.get();
        return Wrapped(d.get(), asDispatch);
      }
      break;
    }
    default: break;
  }
  return Value::Opaque(std::make_shared<OpaqueVariant>(*v));
}

void ToVariant(const Value& value, VARIANT& out) {
  VariantInit(&out);
  switch (value.kind()) {
    case Value::Kind::Empty: break;
    case Value::Kind::Null: V_VT(&out) = VT_NULL; break;
    case Value::Kind::Bool: V_VT(&out) = VT_BOOL; V_BOOL(&out) = value.AsBool() ? VARIANT_TRUE : VARIANT_FALSE; break;
    case Value::Kind::I2: V_VT(&out) = VT_I2; V_I2(&out) = value.AsI2(); break;
    case Value::Kind::I4: V_VT(&out) = VT_I4; V_I4(&out) = value.AsI4(); break;
    case Value::Kind::R8: V_VT(&out) = VT_R8; V_R8(&out) = value.AsR8(); break;
    case Value::Kind::Cy: V_VT(&out) = VT_CY; V_CY(&out).int64 = value.AsCy().scaled; break;
    case Value::Kind::Date: V_VT(&out) = VT_DATE; V_DATE(&out) = value.AsDate(); break;
    case Value::Kind::Text:
      V_BSTR(&out) = NewBstr(value.AsText());
      V_VT(&out) = VT_BSTR;
      break;
    case Value::Kind::Object: {
      IDispatch* dispatch = nullptr;
      if (auto* d = dynamic_cast<DispatchHolder*>(value.AsObject().get())) {
        dispatch = d->dispatch();
        dispatch->AddRef();
      } else if (g_bridge.toDispatch) {
        dispatch = g_bridge.toDispatch(*value.AsObject());
      }
      if (!dispatch) throw RuntimeError(kTypeMismatch);
      V_VT(&out) = VT_DISPATCH;
      V_DISPATCH(&out) = dispatch;
      break;
    }
    case Value::Kind::Opaque: {
      auto* o = dynamic_cast<const OpaqueVariant*>(&value.AsOpaque());
      if (!o) throw RuntimeError(kTypeMismatch);
      HRESULT hr = VariantCopy(&out, const_cast<VARIANT*>(&o->variant()));
      if (FAILED(hr)) ThrowHresult(hr);
      break;
    }
  }
}

ParamArray FromSafeArray(SAFEARRAY* array) {
  ParamArray p;
  p.dimensions = static_cast<int>(SafeArrayGetDim(array));
  if (p.dimensions != 1) return p;
  if (!HoldsVariants(array)) {  // no element of it can be read as a value
    p.dimensions = 0;
    return p;
  }
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  p.lowerBound = lower;
  ArrayLock lock(array);
  for (LONG i = 0; i <= upper - lower; ++i) p.items.push_back(FromVariant(lock.data()[i]));
  return p;
}

SAFEARRAY* ToSafeArray(const std::vector<Value>& values) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(values.size()), 0};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (!array) throw std::bad_alloc();
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    UniqueVariant v;
    ToVariant(values[i], *v.get());
    SafeArrayPutElement(array, &i, v.get());
  }
  return array;
}

void WriteBack(SAFEARRAY* array, const ParamArray& before, const ParamArray& after) {
  if (before.items.size() != after.items.size()) return;
  ArrayLock lock(array);
  for (size_t i = 0; i < after.items.size(); ++i) {
    if (before.items[i] == after.items[i]) continue;
    VARIANT fresh;
    ToVariant(after.items[i], fresh);
    VARIANT* target = &lock.data()[i];
    if (V_VT(target) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(target)) target = V_VARIANTREF(target);
    VariantClear(target);
    *target = fresh;  // the array owns it now
  }
}

}  // namespace addin::com
