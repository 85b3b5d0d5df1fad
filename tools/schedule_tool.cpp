// Reads and writes week schedule texts as the component does, for the people who repair the texts
// stored in the platform's database.
//
//   schedule encode [--key KEY] Q1 Q2 Q3 Q4 Q5 Q6 Q7   the text for seven quantities, Monday first
//   schedule decode [--key KEY] TEXT                   the seven quantities a text holds
//
// KEY is the schedule key as the configuration hands it over (operation 69); without it the
// component's built-in key is used. The failures are told in the component's own words.
#include <string>
#include <vector>

#include "host/failure.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "host/utf.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"
#include "tools/console.h"

using namespace addin;
using tools::Stream;
using tools::Write;

namespace {

constexpr char kUsage[] =
    "Использование:\n"
    "  schedule encode [--key КЛЮЧ] К1 К2 К3 К4 К5 К6 К7\n"
    "      текст расписания для семи количеств, понедельник первым (как операция 36)\n"
    "  schedule decode [--key КЛЮЧ] ТЕКСТ\n"
    "      семь количеств, которые хранит текст расписания (как операция 37)\n"
    "КЛЮЧ - ключ расписания, как его задаёт операция 69; без --key - встроенный ключ 2718281.\n"
    "--utf8 - в файл или канал писать в UTF-8, а не в кодировке консоли.\n"
    "--help - эта справка.\n";

constexpr std::size_t kDayColumn = 11;  // "Воскресенье"

int Fail(const std::string& message) {
  Write(Stream::Err, "schedule: " + message + "\n");
  return 1;
}

std::string ErrorOf(const RuntimeError& e) {
  return "ошибка " + Utf8(ErrorInWords(e.number(), e.status(), false));
}

int Run(std::vector<std::string> args) {
  if (tools::TakeCommonOptions(args)) return Write(Stream::Out, kUsage), 0;
  if (args.empty()) return Write(Stream::Err, kUsage), 2;
  const std::string command = args[0];
  args.erase(args.begin());
  Value key = Value::I4(kDefaultScheduleKey);
  std::string keyText = std::to_string(kDefaultScheduleKey);
  if (args.size() >= 2 && args[0] == "--key") {
    keyText = args[1];
    key = Value::Str(Utf16(keyText));
    args.erase(args.begin(), args.begin() + 2);
  }
  const bool encode = command == "encode" && args.size() == kDays;
  const bool decode = command == "decode" && args.size() == 1;
  if (!encode && !decode) return Write(Stream::Err, kUsage), 2;
  try {
    for (int i = 0; i < kDays; ++i) DayOffset(key, i);
  } catch (const RuntimeError& e) {
    return Fail(ErrorOf(e) + ": ключ расписания \"" + keyText +
                "\" короче семи знаков, или две его цифры для дня не число");
  }
  if (encode) {
    WeekQuantities q{};
    for (int i = 0; i < kDays; ++i) {
      try {
        q[i] = ToInt32(Value::Str(Utf16(args[i])));
      } catch (const RuntimeError& e) {
        return Fail(ErrorOf(e) + ": количество дня " + Utf8(kFlagNames[i]) + " \"" + args[i] + "\" " +
                    (e.number() == kOverflow ? "вне 32-разрядного диапазона" : "не число"));
      }
    }
    try {
      const Text text = EncodeWeek(q, key);
      Write(Stream::Out, Utf8(text) + "\n");
      if (text.empty()) Write(Stream::Err, "пустой текст: все поля дней нулевые\n");
      return 0;
    } catch (const RuntimeError& e) {
      return Fail(ErrorOf(e) + Utf8(e.where()));
    }
  }
  if (args[0].empty()) {
    Write(Stream::Err, "пустой текст: операция 37 оставляет количества и признаки дней как есть\n");
    return 0;
  }
  const Value text = Value::Str(Utf16(args[0]));
  for (int i = 0; i < kDays; ++i) {
    try {
      const std::int32_t quantity = DecodeDay(text, i, key);
      Write(Stream::Out, tools::PadRight(Utf8(kFlagNames[i]), kDayColumn) + " " + std::to_string(quantity) + "\n");
    } catch (const RuntimeError& e) {
      return Fail(ErrorOf(e) + Utf8(e.where()));
    }
  }
  return 0;
}

}  // namespace

int ToolMain(std::vector<std::string> args) {
  try {
    return Run(std::move(args));
  } catch (const std::exception&) {
    Write(Stream::Err, "schedule: не хватило памяти\n");
    return 1;
  }
}
