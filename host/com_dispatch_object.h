// The IDispatch adapter: a host object reached through IDispatch late binding.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <unordered_map>

#include "host/com_raii.h"
#include "host/value.h"

namespace addin::com {

class DispatchObject final : public HostObject {
 public:
  static ObjRef Wrap(IDispatch* dispatch);
  IDispatch* dispatch() const noexcept { return dispatch_.get(); }

  void AddRef() noexcept override { ++refs_; }
  void Release() noexcept override {
    if (--refs_ == 0) delete this;
  }
  Value Get(TextView member) override;
  void Set(TextView member, const Value& value) override;
  Value Call(TextView member, std::span<Value> args, std::uint32_t byRefMask) override;

 private:
  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}
  ~DispatchObject() = default;
  // The member's DISPID, asked once per wrapped object. Objects that do not answer
  // GetIDsOfNames (script objects) are asked through IDispatchEx.
  DISPID Id(TextView member);
  Value Invoke(TextView member, WORD flags, std::span<Value> args, std::uint32_t byRefMask);

  struct NameHash {
    using is_transparent = void;
    size_t operator()(TextView t) const noexcept { return std::hash<TextView>{}(t); }
  };

  std::atomic<long> refs_{0};
  ComPtr<IDispatch> dispatch_;
  std::unordered_map<Text, DISPID, NameHash, std::equal_to<>> ids_;
};

}  // namespace addin::com
