// Where a call was when it failed: the step under way (the host member last used, or the
// component's own check) and the routine's position. Kept on the success path with a few stores
// of pointers and integers, turned into words only when a call fails, without asking the host
// for anything.
#pragma once

#include <cstdint>

#include "host/value.h"

namespace addin {

struct FailurePlace {
  std::int32_t operation = 0;  // the operation code of the Execute under way; 0 outside one
  // The step: a host member (access Read, Write or Call) or the component's own check (Check),
  // a constant of the routine's.
  HostAccess access = HostAccess::None;
  TextView what;
  // The routine's position: "у строки 37 из 99 (час "08", зона "12")", "у дня Среда".
  const char16_t* stage = nullptr;
  std::int32_t index = 0, count = 0;  // shown when index > 0; "из count" when count > 0
  const char16_t* name = nullptr;     // a named position
  const char16_t* codeNames[2] = {};
  const Value* codes[2] = {};  // values the routine holds; cleared before they go
};

// This thread's place (declared with the host object interface): made on first use and never
// destroyed, so an object that outlives a call can still note into it. Finding it costs a
// thread-local look-up: a routine finds it once (Operands::place) and hands it on.
// At the start of every call into the component: no step, no position.
void ResetPlace(FailurePlace& place) noexcept;

// The component's own check under way, until the next host call: a text constant, whose length
// is known when the code is compiled (a check is noted on the success path, many times a call).
template <size_t N>
void NoteCheck(FailurePlace& p, const char16_t (&check)[N]) noexcept {
  p.access = HostAccess::Check;
  p.what = TextView(check, N - 1);
}
template <size_t N>
void NoteCheck(const char16_t (&check)[N]) noexcept {
  NoteCheck(Place(), check);
}

// Keeps a position for as long as it lives and clears it when it goes.
class PlaceScope {
 public:
  PlaceScope(FailurePlace& place, const char16_t* stage) noexcept : place_(place) {
    place_.stage = stage;
    place_.index = place_.count = 0;
    place_.name = nullptr;
    place_.codes[0] = place_.codes[1] = nullptr;
  }
  PlaceScope(const PlaceScope&) = delete;
  ~PlaceScope() {
    place_.stage = nullptr;
    place_.codes[0] = place_.codes[1] = nullptr;
  }
  void At(std::int32_t index, std::int32_t count = 0) noexcept {
    place_.index = index;
    place_.count = count;
  }
  void Named(const char16_t* name) noexcept { place_.name = name; }
  void Stage(const char16_t* stage) noexcept { place_.stage = stage; }

 private:
  FailurePlace& place_;
};

// Shows a code the routine holds (a time slot's, a zone's) for as long as it lives.
class CodeScope {
 public:
  CodeScope(FailurePlace& place, int slot, const char16_t* name, const Value& code) noexcept
      : place_(place), slot_(slot) {
    place_.codeNames[slot_] = name;
    place_.codes[slot_] = &code;
  }
  CodeScope(const CodeScope&) = delete;
  ~CodeScope() { place_.codes[slot_] = nullptr; }

 private:
  FailurePlace& place_;
  int slot_;
};

// The step and position in words, as a failure made now would report them:
// " при чтении "Часы" у строки 37 из 99 (час "08", зона "12")"; with `check`, that check of the
// component's own is the step. Never throws; empty when there is nothing to say.
Text DescribePlace(TextView check = {}) noexcept;

// A text from the host made fit for one line: line breaks and tabs become blanks, and it is cut
// at `limit` characters.
Text OneLine(TextView text, size_t limit = 500);

// A value as a description shows it, without asking the host: texts in quotes, numbers, kinds.
Text ValueInWords(const Value& v);

// "13 (несоответствие типа)" for a run-time error (or a status that carries one), "платформы
// 0x80020006 (неизвестное имя)" for another status of the host's, "0x80004003 (пустой указатель)"
// for one that is not the host's.
Text ErrorInWords(std::int32_t number, std::int32_t status, bool host = true);

}  // namespace addin
