// VARIANT, BSTR and SAFEARRAY <-> the portable value types.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <vector>

#include "host/value.h"

namespace addin::com {

inline TextView TextOf(const wchar_t* s, UINT length) {
  return TextView(reinterpret_cast<const char16_t*>(s), length);
}
// A new BSTR with the text; throws std::bad_alloc when there is no memory.
BSTR NewBstr(TextView text);
// Reads the text of a BSTR (a null BSTR is the empty text).
Text BstrText(BSTR b);

// The value a VARIANT holds; a by-reference VARIANT gives the value it points at. Kinds the
// rules do not know are kept as they came and handed back unchanged.
Value FromVariant(const VARIANT& v);
// Writes the value into a VARIANT the caller has initialised or cleared; the VARIANT then owns
// what it holds. Throws RuntimeError for an object that is not a COM object.
void ToVariant(const Value& value, VARIANT& out);

// The portable picture of an argument array (null: no array). Throws RuntimeError for an array
// whose elements are not VARIANTs.
ParamArray FromSafeArray(SAFEARRAY* array);
// A new one-dimensional array of VARIANTs (lower bound 0) holding the values; the caller
// destroys it.
SAFEARRAY* ToSafeArray(const std::vector<Value>& values);
// Writes back into the array each element whose value is no longer the one read.
void WriteBack(SAFEARRAY* array, const ParamArray& before, const ParamArray& after);

// A host object that is a COM object of the host's: handed back to COM as its own IDispatch.
class DispatchHolder : public HostObject {
 public:
  virtual IDispatch* dispatch() const noexcept = 0;

 protected:
  ~DispatchHolder() = default;
};
// How an IDispatch met in a VARIANT becomes a host object: the IDispatch adapter sets it when the
// module starts. Until then such a value is kept as it came, like any kind the rules do not know.
using DispatchWrapper = ObjRef (*)(IDispatch* dispatch);
void SetDispatchWrapper(DispatchWrapper wrap) noexcept;

// A process that has host objects of its own behind IDispatch (the simulated platform of the
// Windows test programs) tells the mapping how to hand them out and to know them again. The DLL
// sets nothing here: every object it sees is the host's.
struct ObjectBridge {
  IDispatch* (*toDispatch)(HostObject& object) = nullptr;  // a new reference, or null
  ObjRef (*fromDispatch)(IDispatch* dispatch) = nullptr;     // the object, or none when foreign
};
void SetObjectBridge(ObjectBridge bridge);

// The status of a failed COM call as a RuntimeError.
[[noreturn]] void ThrowHresult(HRESULT hr);

}  // namespace addin::com
