// Reads and writes week schedule texts as the component does, for support staff repairing the
// texts stored in the platform's database.
//
//   schedule encode [--key KEY] Q1 Q2 Q3 Q4 Q5 Q6 Q7   the text for seven quantities, Monday first
//   schedule decode [--key KEY] TEXT                   the seven quantities a text holds
//
// KEY is the schedule key as the configuration hands it over (operation 69); without it the
// component's built-in key is used.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/rules.h"
#include "host/runtime_error.h"
#include "host/utf.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"

using namespace addin;

namespace {

const char* const kDayNames[kDays] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

int Usage() {
  std::fprintf(stderr,
               "usage: schedule encode [--key KEY] Q1 Q2 Q3 Q4 Q5 Q6 Q7\n"
               "       schedule decode [--key KEY] TEXT\n");
  return 2;
}

std::string Explain(const RuntimeError& e, const std::string& where) {
  switch (e.number()) {
    case kInvalidArgument:
      return where + ": a quantity is negative, or quantity plus day offset is too large for its six-character field";
    case kOverflow: return where + ": a number is outside the 32-bit range";
    case kTypeMismatch:
      return where + (where == "the schedule key" ? ": shorter than seven characters, or a day's two characters are no number"
                                                  : ": not a number");
    case kInvalidUseOfNull: return where + ": no value";
    default: return where + ": run-time error " + std::to_string(e.number());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string command = args[0];
  args.erase(args.begin());
  Value key = Value::I4(kDefaultScheduleKey);
  if (args.size() >= 2 && args[0] == "--key") {
    key = Value::Str(Utf16(args[1]));
    args.erase(args.begin(), args.begin() + 2);
  }
  std::string where = "the schedule key";
  try {
    for (int i = 0; i < kDays; ++i) DayOffset(key, i);
    if (command == "encode" && args.size() == kDays) {
      WeekQuantities q{};
      for (int i = 0; i < kDays; ++i) {
        where = std::string(kDayNames[i]) + "'s quantity \"" + args[i] + "\"";
        q[i] = ToInt32(Value::Str(Utf16(args[i])));
      }
      where = "the week";
      const Text text = EncodeWeek(q, key);
      std::printf("%s\n", Utf8(text).c_str());
      if (text.empty()) std::fprintf(stderr, "(the empty text: every field is 0)\n");
      return 0;
    }
    if (command == "decode" && args.size() == 1) {
      const Value text = Value::Str(Utf16(args[0]));
      if (args[0].empty()) {
        std::fprintf(stderr, "the empty text: unpacking leaves the holder's quantities and flags as they are\n");
        return 0;
      }
      for (int i = 0; i < kDays; ++i) {
        where = std::string(kDayNames[i]) + "'s field";
        std::printf("%-9s %d\n", kDayNames[i], DecodeDay(text, i, key));
      }
      return 0;
    }
  } catch (const RuntimeError& e) {
    std::fprintf(stderr, "schedule: %s\n", Explain(e, where).c_str());
    return 1;
  }
  return Usage();
}
