#include "sim/com_exposed.h"

#include <cstdint>
#include <map>
#include <typeindex>
#include <typeinfo>
#include <new>
#include <vector>

#include "host/com_raii.h"
#include "host/com_variant.h"

namespace addin::sim {

namespace {

FaceNumbering& Numbering() {
  static FaceNumbering numbering = FaceNumbering::Shared;
  return numbering;
}

// Answers only to the faces of this process.
constexpr IID kIID_Face = {0x5d1c0e7a, 0x31b4, 0x4c2e, {0x9f, 0x1a, 0x77, 0x0b, 0x2e, 0x61, 0xa3, 0x5c}};

class Face final : public IDispatch {
 public:
  explicit Face(Object& object) : object_(object) {}
  Object& object() { return object_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, kIID_Face))
      return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    object_.AddRef();
    return static_cast<ULONG>(object_.refs);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    object_.Release();
    return static_cast<ULONG>(object_.refs);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  // Any name gets a number; whether the object has the member shows when it is used.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ++ComCalls().getIDsOfNames;
    for (UINT i = 0; i < count; ++i) {
      const Text name(com::TextOf(names[i], static_cast<UINT>(wcslen(names[i]))));
      auto [it, added] = Numbers().emplace(FoldCase(name), Names().size());
      if (added) Names().push_back(name);
      ids[i] = NumberOf(it->second);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT*) override {
    ++ComCalls().invoke;
    if (Numbering() == FaceNumbering::Disjoint && (id - 1) / kTypeRange != Type() + 1) return DISP_E_TYPEMISMATCH;
    const size_t index = IndexOf(id);
    if (index >= Names().size()) return DISP_E_MEMBERNOTFOUND;
    const Text name = Names()[index];
    try {
      const UINT n = params ? params->cArgs : 0;
      std::vector<Value> args;
      std::uint32_t byRef = 0;
      for (UINT i = 0; i < n; ++i) {
        const VARIANT& arg = params->rgvarg[n - 1 - i];  // last argument first
        if (V_VT(&arg) == (VT_VARIANT | VT_BYREF)) byRef |= 1u << i;
        args.push_back(com::FromVariant(arg));
      }
      Value answer;
      if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        object_.Set(name, args[0]);
      } else if (args.empty()) {
        answer = object_.Get(name);
      } else {
        answer = object_.Call(name, args, byRef);
      }
      for (UINT i = 0; i < n; ++i) {
        if (!(byRef & (1u << i))) continue;
        VARIANT* target = V_VARIANTREF(&params->rgvarg[n - 1 - i]);
        VARIANT fresh;
        com::ToVariant(args[i], fresh);
        VariantClear(target);
        *target = fresh;
      }
      if (result) {
        VariantInit(result);
        com::ToVariant(answer, *result);
      }
      return S_OK;
    } catch (const RuntimeError& e) {
      if (excep) {
        *excep = EXCEPINFO{};
        excep->scode = e.status();
        excep->bstrDescription = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(e.description().data()),
                                                   static_cast<UINT>(e.description().size()));
      }
      return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  // Names as first spelt, in the order first asked; Numbers() finds a name's index with letter
  // case folded.
  static std::vector<Text>& Names() {
    static std::vector<Text> names;
    return names;
  }
  static std::map<Text, size_t>& Numbers() {
    static std::map<Text, size_t> numbers;
    return numbers;
  }
  // The object's type, numbered from 0 in the order types are met.
  long Type() {
    if (type_ < 0) {
      static std::map<std::pair<std::type_index, const void*>, long> types;
      type_ = types.emplace(std::pair(std::type_index(typeid(object_)), object_.type), static_cast<long>(types.size()))
                  .first->second;
    }
    return type_;
  }
  // Rotated: names are numbered in blocks of eight, each type turning the block by its own
  // amount (types 1 to 7 differ from type 0 and from one another).
  static constexpr long kTypeRange = 100000;
  long Turn() { return Type() == 0 ? 0 : 1 + (Type() - 1) % 7; }
  DISPID NumberOf(size_t index) {
    const auto i = static_cast<long>(index);
    switch (Numbering()) {
      case FaceNumbering::Shared: return i + 1;
      case FaceNumbering::Rotated: return i / 8 * 8 + (i % 8 + Turn()) % 8 + 1;
      case FaceNumbering::Disjoint: return (Type() + 1) * kTypeRange + i + 1;
    }
    return DISPID_UNKNOWN;
  }
  size_t IndexOf(DISPID id) {
    if (id < 1) return SIZE_MAX;
    const long n = id - 1;
    switch (Numbering()) {
      case FaceNumbering::Shared: return static_cast<size_t>(n);
      case FaceNumbering::Rotated: return static_cast<size_t>(n / 8 * 8 + (n % 8 + 8 - Turn()) % 8);
      case FaceNumbering::Disjoint: return static_cast<size_t>(n % kTypeRange);
    }
    return SIZE_MAX;
  }

  Object& object_;
  long type_ = -1;
};

IDispatch* ToDispatch(HostObject& host) {
  auto* object = dynamic_cast<Object*>(&host);
  if (!object) return nullptr;
  if (!object->face) object->face = std::make_shared<Face>(*object);
  auto* face = static_cast<Face*>(object->face.get());
  face->AddRef();
  return face;
}

ObjRef FromDispatch(IDispatch* dispatch) {
  Face* face = nullptr;
  if (FAILED(dispatch->QueryInterface(kIID_Face, reinterpret_cast<void**>(&face))) || !face) return {};
  ObjRef object(&face->object());
  face->Release();
  return object;
}

}  // namespace

ComCallCounts& ComCalls() {
  static ComCallCounts counts;
  return counts;
}

void SetFaceNumbering(FaceNumbering numbering) { Numbering() = numbering; }

void ExposeSimulatedObjects() { com::SetObjectBridge({ToDispatch, FromDispatch}); }

}  // namespace addin::sim
