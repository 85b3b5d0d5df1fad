// The automation value that crosses the host boundary, and the reference to a host object.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace addin {

// Texts are kept as UTF-16 so that the host's strings round-trip unchanged.
using Text = std::u16string;
using TextView = std::u16string_view;

class HostObject;
class Value;

// An owning reference to a host object: the object's own reference count is raised while held.
class ObjRef {
 public:
  ObjRef() noexcept = default;
  explicit ObjRef(HostObject* object) noexcept;  // takes a new reference
  ObjRef(const ObjRef& other) noexcept;
  ObjRef(ObjRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ObjRef& operator=(ObjRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ObjRef();

  HostObject* get() const noexcept { return object_; }
  HostObject* operator->() const noexcept { return object_; }
  HostObject& operator*() const noexcept { return *object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  void reset() noexcept { ObjRef().swap(*this); }
  void swap(ObjRef& other) noexcept { std::swap(object_, other.object_); }
  friend bool operator==(const ObjRef& a, const ObjRef& b) noexcept { return a.object_ == b.object_; }

 private:
  HostObject* object_ = nullptr;
};

// How a routine uses a host member, or that it is at a check of its own: kept for the
// description of a failure, in the place of the thread that made the object (host/failure.h).
enum class HostAccess : std::uint8_t { None, Read, Write, Call, Check };
struct FailurePlace;
FailurePlace& Place() noexcept;
// Notes the member about to be used (a constant of the routine's). Two stores; never throws.
void NoteHostCall(FailurePlace& place, HostAccess access, TextView member) noexcept;

// A late-bound host object: members are reached by name only. Every use passes here, so that a
// failure can name the member.
class HostObject {
 public:
  virtual void AddRef() noexcept = 0;
  virtual void Release() noexcept = 0;

  // Reads a property (a call without arguments).
  Value Get(TextView member);
  // Assigns a property.
  void Set(TextView member, const Value& value);
  // Calls a method. Bit i of byRefMask marks argument i as passed by reference: the host may
  // change it, and the change is written back into args[i].
  Value Call(TextView member, std::span<Value> args, std::uint32_t byRefMask = 0);

 protected:
  // An object is used on the thread that made it (the platform's objects are apartment-bound):
  // its uses are noted in that thread's place, found once.
  HostObject() noexcept : place_(&Place()) {}
  HostObject(const HostObject&) noexcept : place_(&Place()) {}
  HostObject& operator=(const HostObject&) noexcept { return *this; }
  ~HostObject() = default;
  virtual Value GetMember(TextView member) = 0;
  virtual void SetMember(TextView member, const Value& value) = 0;
  virtual Value CallMember(TextView member, std::span<Value> args, std::uint32_t byRefMask) = 0;

 private:
  FailurePlace* place_;
};

// A value of a kind the rules do not know (for example an unsigned or decimal VARIANT): kept as it
// came so that it is handed back unchanged, and reduced to a basic value where a rule needs one.
class OpaqueValue {
 public:
  virtual ~OpaqueValue() = default;
  // A number, a text or a date with the same meaning; throws RuntimeError when there is none.
  virtual Value Reduce() const = 0;
};

struct Currency {  // the platform's fixed-point currency: value * 10000
  std::int64_t scaled = 0;
  friend bool operator==(Currency, Currency) = default;
};
struct Date {  // days since 30 December 1899, the time of day as the fraction
  double serial = 0;
  friend bool operator==(Date, Date) = default;
};

class Value {
 public:
  enum class Kind { Empty, Null, Bool, I2, I4, R8, Cy, Date, Text, Object, Opaque };

  Value() noexcept = default;
  static Value Null() { return Value(NullTag{}); }
  static Value Bool(bool b) { return Value(b); }
  static Value I2(std::int16_t v) { return Value(v); }
  static Value I4(std::int32_t v) { return Value(v); }
  static Value R8(double v) { return Value(v); }
  static Value Cy(Currency v) { return Value(v); }
  static Value FromDate(double serial) { return Value(addin::Date{serial}); }
  static Value Str(Text t) { return Value(std::move(t)); }
  static Value Str(const char16_t* t) { return Value(Text(t)); }
  static Value Obj(ObjRef o) { return o ? Value(std::move(o)) : Value(); }
  static Value Opaque(std::shared_ptr<const OpaqueValue> o) { return Value(std::move(o)); }

  Kind kind() const noexcept { return static_cast<Kind>(storage_.index()); }
  bool IsEmpty() const noexcept { return kind() == Kind::Empty; }
  bool IsNull() const noexcept { return kind() == Kind::Null; }
  bool IsObject() const noexcept { return kind() == Kind::Object; }
  bool IsText() const noexcept { return kind() == Kind::Text; }

  bool AsBool() const { return std::get<bool>(storage_); }
  std::int16_t AsI2() const { return std::get<std::int16_t>(storage_); }
  std::int32_t AsI4() const { return std::get<std::int32_t>(storage_); }
  double AsR8() const { return std::get<double>(storage_); }
  Currency AsCy() const { return std::get<Currency>(storage_); }
  double AsDate() const { return std::get<addin::Date>(storage_).serial; }
  const Text& AsText() const { return std::get<Text>(storage_); }
  const ObjRef& AsObject() const { return std::get<ObjRef>(storage_); }
  const OpaqueValue& AsOpaque() const { return *std::get<std::shared_ptr<const OpaqueValue>>(storage_); }
  const std::shared_ptr<const OpaqueValue>& OpaquePtr() const {
    return std::get<std::shared_ptr<const OpaqueValue>>(storage_);
  }

  // Same kind and same content; objects compare by identity.
  friend bool operator==(const Value& a, const Value& b) { return a.storage_ == b.storage_; }

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  struct EmptyTag {
    friend bool operator==(EmptyTag, EmptyTag) = default;
  };
  using Storage = std::variant<EmptyTag, NullTag, bool, std::int16_t, std::int32_t, double, Currency,
                               addin::Date, Text, ObjRef, std::shared_ptr<const OpaqueValue>>;
  template <class T>
    requires(!std::is_same_v<std::decay_t<T>, Value>)
  explicit Value(T&& v) : storage_(std::forward<T>(v)) {}

  Storage storage_;
};

// The argument array of the host's calls: the portable picture of a SAFEARRAY of VARIANTs.
// Element i is the one whose own index is i, so with a lower bound above i there is none.
struct ParamArray {
  int dimensions = 1;
  std::int32_t lowerBound = 0;
  std::vector<Value> items;

  Value* At(std::int64_t index) {
    if (dimensions != 1 || index < lowerBound) return nullptr;
    auto offset = static_cast<std::uint64_t>(index - lowerBound);
    return offset < items.size() ? &items[offset] : nullptr;
  }
};

inline ObjRef::ObjRef(HostObject* object) noexcept : object_(object) {
  if (object_) object_->AddRef();
}
inline ObjRef::ObjRef(const ObjRef& other) noexcept : object_(other.object_) {
  if (object_) object_->AddRef();
}
inline ObjRef::~ObjRef() {
  if (object_) object_->Release();
}

inline Value HostObject::Get(TextView member) {
  NoteHostCall(*place_, HostAccess::Read, member);
  return GetMember(member);
}
inline void HostObject::Set(TextView member, const Value& value) {
  NoteHostCall(*place_, HostAccess::Write, member);
  SetMember(member, value);
}
inline Value HostObject::Call(TextView member, std::span<Value> args, std::uint32_t byRefMask) {
  NoteHostCall(*place_, HostAccess::Call, member);
  return CallMember(member, args, byRefMask);
}

}  // namespace addin
