// A host object for the protocol tests: counts its references, logs its calls, answers members
// from a table, and fails a member on request.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/runtime_error.h"
#include "host/value.h"

namespace addin::test {

class FakeObject final : public HostObject {
 public:
  void AddRef() noexcept override { ++refs; }
  void Release() noexcept override { --refs; }

  Value Get(TextView member) override {
    log.push_back(u"get " + Text(member));
    Fail(member);
    auto it = members.find(Text(member));
    if (it == members.end()) throw RuntimeError::FromHost(kUnknownName, u"no member " + Text(member));
    return it->second;
  }
  void Set(TextView member, const Value& value) override {
    log.push_back(u"set " + Text(member));
    Fail(member);
    members[Text(member)] = value;
  }
  Value Call(TextView member, std::span<Value> args, std::uint32_t) override {
    log.push_back(u"call " + Text(member));
    Fail(member);
    return Value();
  }

  static constexpr Status kUnknownName = static_cast<Status>(0x80020006U);  // DISP_E_UNKNOWNNAME
  long refs = 0;
  std::map<Text, Value> members;
  std::vector<Text> log;
  Text failing;

 private:
  void Fail(TextView member) {
    if (member == failing) throw RuntimeError::FromHost(static_cast<Status>(0x80004005U), u"failed");
  }
};

}  // namespace addin::test
