// The IDispatch adapter: a host object reached through IDispatch late binding.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <map>
#include <memory>
#include <unordered_map>

#include "host/com_raii.h"
#include "host/value.h"

namespace addin::com {

// The DISPIDs of one kind of host object. Objects handed out by the same member of the same
// kind of object, with the same text arguments (the areas "Документ" of every cell section, the
// clients of every invoice), are taken to be of one class: once two of them have given the same
// DISPID for a member, the others use it without asking, so a member used on a thousand such
// objects is looked up twice. Where two disagree, every object of the kind is asked for that
// member. An object handed over by the platform itself starts a kind of its own.
struct NameTable {
  struct Hash {
    using is_transparent = void;
    size_t operator()(TextView t) const noexcept { return std::hash<TextView>{}(t); }
  };
  struct Entry {
    DISPID id;
    int agreed = 1;      // objects that gave this DISPID
    bool mixed = false;  // two objects gave different ones
  };
  std::unordered_map<Text, Entry, Hash, std::equal_to<>> ids;
  std::map<Text, std::shared_ptr<NameTable>, std::less<>> children;  // by member and text arguments
};

class DispatchObject final : public HostObject {
 public:
  // kind: the table the object shares; none starts a kind of its own.
  static ObjRef Wrap(IDispatch* dispatch, std::shared_ptr<NameTable> kind = nullptr);
  IDispatch* dispatch() const noexcept { return dispatch_.get(); }

  void AddRef() noexcept override { ++refs_; }
  void Release() noexcept override {
    if (--refs_ == 0) delete this;
  }
  Value Get(TextView member) override;
  void Set(TextView member, const Value& value) override;
  Value Call(TextView member, std::span<Value> args, std::uint32_t byRefMask) override;

 private:
  DispatchObject(IDispatch* dispatch, std::shared_ptr<NameTable> kind)
      : dispatch_(dispatch), kind_(std::move(kind)) {}
  ~DispatchObject() = default;
  // Asks the object for the member's DISPID. Objects that do not answer GetIDsOfNames (script
  // objects) are asked through IDispatchEx.
  DISPID AskId(TextView member);
  // The member's DISPID: the object's own answer, or its kind's once trusted. `asked` tells
  // whether the object itself gave it (now or before).
  DISPID Resolve(TextView member, bool& asked);
  Value Invoke(TextView member, WORD flags, std::span<Value> args, std::uint32_t byRefMask);
  HRESULT InvokeId(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, EXCEPINFO& info);

  std::atomic<long> refs_{0};
  ComPtr<IDispatch> dispatch_;
  std::shared_ptr<NameTable> kind_;
  std::unordered_map<Text, DISPID, NameTable::Hash, std::equal_to<>> own_;  // what it was asked
};

}  // namespace addin::com
