// A host object as the DLL sees one through its IDispatch adapter: a wrapper made afresh for each
// object handed out, deleted with its last reference. Routines run on proxies in the native
// tests, so that any use of an object no longer held shows up under AddressSanitizer.
#pragma once

#include <atomic>
#include <vector>

#include "host/value.h"

namespace addin::sim {

class Proxy final : public HostObject {
 public:
  static ObjRef Wrap(const ObjRef& inner) { return ObjRef(new Proxy(inner)); }
  // The value with its object wrapped, or unwrapped.
  static Value Outward(const Value& v) { return v.IsObject() ? Value::Obj(Wrap(v.AsObject())) : v; }
  static Value Inward(const Value& v) {
    auto* p = v.IsObject() ? dynamic_cast<Proxy*>(v.AsObject().get()) : nullptr;
    return p ? Value::Obj(p->inner_) : v;
  }

  void AddRef() noexcept override { ++refs_; }
  void Release() noexcept override {
    if (--refs_ == 0) delete this;
  }

 protected:
  Value GetMember(TextView member) override { return Outward(inner_->Get(member)); }
  void SetMember(TextView member, const Value& value) override { inner_->Set(member, Inward(value)); }
  Value CallMember(TextView member, std::span<Value> args, std::uint32_t byRefMask) override {
    std::vector<Value> inner;
    for (const Value& a : args) inner.push_back(Inward(a));
    Value result = Outward(inner_->Call(member, inner, byRefMask));
    for (size_t i = 0; i < args.size(); ++i)
      if (byRefMask & (1u << i)) args[i] = Outward(inner[i]);
    return result;
  }

 private:
  explicit Proxy(ObjRef inner) : inner_(std::move(inner)) {}
  ~Proxy() = default;
  std::atomic<long> refs_{0};
  ObjRef inner_;
};

}  // namespace addin::sim
