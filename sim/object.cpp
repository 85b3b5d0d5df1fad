#include "sim/object.h"

#include <algorithm>

#include "host/rules.h"
#include "host/utf.h"

namespace addin::sim {

namespace {

char16_t Fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= u'А' && c <= u'Я') return c + 32;
  if (c == u'Ё') return u'ё';
  return c;
}

}  // namespace

Text FoldCase(TextView name) {
  Text t(name);
  std::transform(t.begin(), t.end(), t.begin(), Fold);
  return t;
}

bool CaseFoldLess::operator()(TextView a, TextView b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return Fold(x) < Fold(y); });
}

namespace {

int Rank(const Value& v) {
  if (v.IsEmpty() || v.IsNull()) return 0;
  if (IsNumber(v)) return 1;
  if (v.IsText()) return 2;
  if (v.kind() == Value::Kind::Date) return 3;
  return 4;
}

template <class T>
int Order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

bool SameValue(const Value& a, const Value& b) {
  if (IsNumber(a) && IsNumber(b)) return ToNumber(a) == ToNumber(b);
  return a == b;
}

int CompareForSort(const Value& a, const Value& b) {
  const int ra = Rank(a), rb = Rank(b);
  if (ra != rb) return Order(ra, rb);
  switch (ra) {
    case 1: return Order(ToNumber(a), ToNumber(b));
    case 2: {
      int folded = CaseFoldLess{}(a.AsText(), b.AsText()) ? -1 : (CaseFoldLess{}(b.AsText(), a.AsText()) ? 1 : 0);
      return folded != 0 ? folded : Order(a.AsText(), b.AsText());
    }
    case 3: return Order(a.AsDate(), b.AsDate());
    case 4: {
      auto* x = dynamic_cast<Object*>(a.AsObject().get());
      auto* y = dynamic_cast<Object*>(b.AsObject().get());
      if (!x || !y || x == y) return 0;
      for (const char16_t* key : {u"ДатаДок", u"Код", u"НомерДок", u"Наименование"}) {
        auto ix = x->members.find(key), iy = y->members.find(key);
        if (ix == x->members.end() || iy == y->members.end()) continue;
        const bool ex = ix->second == Value::Str(u""), ey = iy->second == Value::Str(u"");
        if (ex != ey) return ex ? -1 : 1;  // the empty reference first
        if (int r = CompareForSort(ix->second, iy->second)) return r;
      }
      return 0;
    }
    default: return 0;
  }
}

MemberCounts& Counts() {
  static MemberCounts counts;
  return counts;
}

void Object::Enter(const char16_t* kind, TextView member) {
  MemberCounts& counts = Counts();
  if (counts.on) ++counts.calls[Text(member)];
  if (counts.listing) counts.sequence.push_back(Text(kind) + u" " + Text(member));
  if (++counts.numbered == counts.failAt)
    throw RuntimeError::FromHost(kInjectedFailure, u"injected failure of call " + Text(member));
  if (logging) log.push_back(Text(kind) + u" " + Text(member));
  ++calls;
  if ((failAt && failAt(calls)) || (!failing.empty() && !CaseFoldLess{}(member, failing) && !CaseFoldLess{}(failing, member)))
    throw RuntimeError::FromHost(kInjectedFailure, u"injected failure of " + Text(member));
}

namespace {

// A value as the trace shows it: texts quoted, references by name or number.
Text Shown(const Value& v) {
  if (v.IsText()) return u"\"" + v.AsText() + u"\"";
  if (v.IsObject()) return u"<" + ReferenceName(v).value_or(u"object") + u">";
  try {
    return v.IsEmpty() ? u"Empty" : v.IsNull() ? u"Null" : ToText(v);
  } catch (const RuntimeError&) {
    return u"<value>";
  }
}

}  // namespace

std::optional<Text> ReferenceName(const Value& v) {
  auto* o = v.IsObject() ? dynamic_cast<Object*>(v.AsObject().get()) : nullptr;
  for (const char16_t* key : {u"Наименование", u"НомерДок"}) {
    if (!o) break;
    auto it = o->members.find(key);
    if (it != o->members.end() && it->second.IsText()) return it->second.AsText();
  }
  return std::nullopt;
}

void Object::Trace(const char16_t* kind, TextView member, std::span<const Value> args, const Value* result) {
  Text line = Text(kind) + u" " + Text(member);
  if (!args.empty()) {
    line += u"(";
    for (size_t i = 0; i < args.size(); ++i) line += (i ? u", " : u"") + Shown(args[i]);
    line += u")";
  }
  if (result) line += u" -> " + Shown(*result);
  trace.push_back(std::move(line));
}

Value Object::GetMember(TextView member) {
  Enter(u"get", member);
  Value result = DoGet(member);
  if (tracing) Trace(u"get", member, {}, &result);
  return result;
}

void Object::SetMember(TextView member, const Value& value) {
  Enter(u"set", member);
  DoSet(member, value);
  if (tracing) Trace(u"set", member, std::span(&value, 1), nullptr);
}

Value Object::CallMember(TextView member, std::span<Value> args, std::uint32_t) {
  Enter(u"call", member);
  std::vector<Value> given;
  if (tracing) given.assign(args.begin(), args.end());
  Value result = DoCall(member, args);
  if (tracing) Trace(u"call", member, given, &result);
  return result;
}

Value Object::DoGet(TextView member) {
  if (auto m = methods.find(member); m != methods.end()) return m->second({});
  auto it = members.find(member);
  if (it == members.end()) throw RuntimeError::FromHost(kUnknownName, u"no member " + Text(member));
  return it->second;
}

void Object::DoSet(TextView member, const Value& value) {
  auto it = members.find(member);
  if (it != members.end()) it->second = value;
  else members.emplace(Text(member), value);
}

Value Object::DoCall(TextView member, std::span<Value> args) {
  auto m = methods.find(member);
  if (m != methods.end()) return m->second(args);
  if (args.empty()) {
    if (auto it = members.find(member); it != members.end()) return it->second;
  }
  throw RuntimeError::FromHost(kUnknownName, u"no method " + Text(member));
}

}  // namespace addin::sim

namespace addin {

void PrintTo(const Value& v, std::ostream* os) {
  static const char* const kinds[] = {"Empty", "Null", "Bool", "I2",   "I4",    "R8",
                                      "Cy",    "Date", "Text", "Object", "Opaque"};
  *os << kinds[static_cast<int>(v.kind())];
  switch (v.kind()) {
    case Value::Kind::Bool: *os << ' ' << v.AsBool(); break;
    case Value::Kind::I2: *os << ' ' << v.AsI2(); break;
    case Value::Kind::I4: *os << ' ' << v.AsI4(); break;
    case Value::Kind::R8: *os << ' ' << v.AsR8(); break;
    case Value::Kind::Date: *os << ' ' << v.AsDate(); break;
    case Value::Kind::Text: *os << " \"" << Utf8(v.AsText()) << '"'; break;
    default: break;
  }
}

}  // namespace addin
