// The IDispatch adapter: a host object reached through IDispatch late binding.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <unordered_map>

#include "host/com_raii.h"
#include "host/com_variant.h"
#include "host/value.h"

namespace addin::com {

// A host object through IDispatch. Each wrapper asks its object for a member's DISPID once and
// keeps it for its own life: a DISPID is valid for the object that gave it. Objects handed out by
// one member are of several classes in general (an empty reference beside filled ones, elements
// of several catalogues, script objects), so nothing is carried from one object to another.
class DispatchObject final : public DispatchHolder {
 public:
  static ObjRef Wrap(IDispatch* dispatch);
  IDispatch* dispatch() const noexcept override { return dispatch_.get(); }

  void AddRef() noexcept override { ++refs_; }
  void Release() noexcept override {
    if (--refs_ == 0) delete this;
  }

 private:
  Value GetMember(TextView member) override;
  void SetMember(TextView member, const Value& value) override;
  Value CallMember(TextView member, std::span<Value> args, std::uint32_t byRefMask) override;

  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}
  ~DispatchObject() = default;
  // Asks the object for the member's DISPID. Objects that do not answer GetIDsOfNames (script
  // objects) are asked through IDispatchEx.
  DISPID AskId(TextView member);
  // The member's DISPID, asked on first use.
  DISPID Resolve(TextView member);
  Value Invoke(TextView member, WORD flags, std::span<Value> args, std::uint32_t byRefMask);
  HRESULT InvokeId(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, EXCEPINFO& info);

  std::atomic<long> refs_{0};
  ComPtr<IDispatch> dispatch_;
  struct Hash {
    using is_transparent = void;
    size_t operator()(TextView t) const noexcept { return std::hash<TextView>{}(t); }
  };
  std::unordered_map<Text, DISPID, Hash, std::equal_to<>> ids_;  // what it was asked
};

}  // namespace addin::com
