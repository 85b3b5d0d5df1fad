// The simulated host's basic object: members in a table, methods as callbacks, every call logged,
// references counted, and any call made to fail on request. Member names are matched without
// regard to letter case (Latin and Cyrillic), as the platform matches them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/runtime_error.h"
#include "host/value.h"

namespace addin::sim {

// Orders names with letter case folded: "Код" and "код" are one member.
struct CaseFoldLess {
  bool operator()(TextView a, TextView b) const;
  using is_transparent = void;
};
Text FoldCase(TextView name);

// Values as the platform compares them in searches: numbers by value whatever their type,
// references by identity, the rest by kind and content.
bool SameValue(const Value& a, const Value& b);

// The order of a sort, as the simulated platform sorts (the platform leaves it unstated):
// Empty first, then numbers by value, texts (letter case folded, then exact), dates, and
// references last, by their "ДатаДок", "Код", "НомерДок" and "Наименование" in that order,
// whichever they have; the empty reference, whose "Код" is "", sorts before the others.
int CompareForSort(const Value& a, const Value& b);

// Calls made on every simulated object, by member, while counting is switched on (benchmarks).
struct MemberCounts {
  bool on = false;
  std::map<Text, long, CaseFoldLess> calls;
  long long rowsExamined = 0;  // rows and list values compared by searches ("НайтиЗначение")
  // Every call on any simulated object is numbered from 1; the call whose number is failAt fails
  // with the host's own error (fault injection), and the calls are listed while listing is on.
  long numbered = 0, failAt = 0;
  bool listing = false;
  std::vector<Text> sequence;
};
MemberCounts& Counts();

// How a reference of the simulated platform is known to a reader: its "Наименование", or a
// document's "НомерДок"; none for other values and for references without either.
std::optional<Text> ReferenceName(const Value& v);

class Object : public HostObject {
 public:
  using Method = std::function<Value(std::span<Value> args)>;

  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  void AddRef() noexcept override { ++refs; }
  void Release() noexcept override { --refs; }  // the owner (a test, a model) keeps it alive

  // Every call is entered (numbered, logged, failed on request), carried out, and traced.
  Value GetMember(TextView member) final;
  void SetMember(TextView member, const Value& value) final;
  Value CallMember(TextView member, std::span<Value> args, std::uint32_t byRefMask) final;

  // Lets go of every value held, so that objects can be destroyed in any order.
  virtual void DropReferences() {
    members.clear();
    methods.clear();
  }

  // The unknown-member failure, as the platform's dispatch reports it.
  static constexpr Status kUnknownName = static_cast<Status>(0x80020006U);  // DISP_E_UNKNOWNNAME
  static constexpr Status kInjectedFailure = static_cast<Status>(0x80004005U);  // E_FAIL

  long refs = 0;
  std::map<Text, Value, CaseFoldLess> members;
  std::map<Text, Method, CaseFoldLess> methods;
  std::vector<Text> log;  // "get X", "set X", "call X"
  bool logging = true;    // benchmarks switch the log off
  // With tracing on, each call with its arguments and result: "call X(1, \"a\") -> 2".
  std::vector<Text> trace;
  bool tracing = false;
  Text failing;           // a member whose every call fails
  // Called before every call with its number (1, 2, ...); returning true makes the call fail.
  std::function<bool(long)> failAt;
  long calls = 0;
  // The object's IDispatch face in the Windows test programs, made on first use.
  std::shared_ptr<void> face;
  // The platform type the object stands for, shared by the objects of that type (the elements of
  // one catalogue name it); none: its C++ class alone says. The faces number members per type.
  const void* type = nullptr;

 protected:
  // What a call does: methods first, then members; a derived object adds its own.
  virtual Value DoGet(TextView member);
  virtual void DoSet(TextView member, const Value& value);
  virtual Value DoCall(TextView member, std::span<Value> args);

 private:
  // Entered before each call is carried out: logs it and fails it on request.
  void Enter(const char16_t* kind, TextView member);
  void Trace(const char16_t* kind, TextView member, std::span<const Value> args, const Value* result);
};

}  // namespace addin::sim

namespace addin {
// How a value shows in a failed test expectation.
void PrintTo(const Value& v, std::ostream* os);
}  // namespace addin
