// A host object for the protocol tests: counts its references, logs its calls, answers members
// from a table, and fails a member on request.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "host/runtime_error.h"
#include "host/value.h"

namespace addin {

// How a value shows in a failed expectation.
inline void PrintTo(const Value& v, std::ostream* os) {
  static const char* const kinds[] = {"Empty", "Null", "Bool", "I2", "I4", "R8", "Cy", "Date", "Text", "Object", "Opaque"};
  *os << kinds[static_cast<int>(v.kind())];
  switch (v.kind()) {
    case Value::Kind::Bool: *os << ' ' << v.AsBool(); break;
    case Value::Kind::I2: *os << ' ' << v.AsI2(); break;
    case Value::Kind::I4: *os << ' ' << v.AsI4(); break;
    case Value::Kind::R8: *os << ' ' << v.AsR8(); break;
    case Value::Kind::Date: *os << ' ' << v.AsDate(); break;
    case Value::Kind::Text:
      *os << " \"";
      for (char16_t c : v.AsText()) *os << (c < 0x80 ? static_cast<char>(c) : '?');
      *os << '"';
      break;
    default: break;
  }
}

}  // namespace addin

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
