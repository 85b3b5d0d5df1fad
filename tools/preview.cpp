// Renders a day's delivery sheet to HTML without the platform: the day file's objects in the
// simulated host, the settings and operation 13 through the same dispatcher the DLL uses. When
// an Execute fails, its description (the line the DLL gives its clients) is printed and put
// above what the sheet holds by then, and the status is 1.
//
//   preview --day FILE [--date DD.MM.YYYY] --out FILE.html
#include <stdexcept>
#include <string>
#include <vector>

#include "component/addin.h"
#include "host/calendar.h"
#include "host/rules.h"
#include "host/utf.h"
#include "sim/day_run.h"
#include "sim/html.h"
#include "sim/model.h"
#include "tools/console.h"

using namespace addin;
using tools::Stream;
using tools::Write;

namespace {

constexpr char kUsage[] =
    "Использование: preview --day ФАЙЛ [--date ДД.ММ.ГГГГ] --out ФАЙЛ.html\n"
    "  лист доставки дня из файла дня, как его строит операция 13, в страницу HTML\n"
    "--date - рабочая дата листа (без неё - дата из файла дня).\n"
    "--utf8 - в файл или канал писать в UTF-8, а не в кодировке консоли.\n"
    "--help - эта справка.\n";

int Run(std::vector<std::string> args) {
  if (tools::TakeCommonOptions(args)) return Write(Stream::Out, kUsage), 0;
  std::string day, date, out;
  bool usage = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 < args.size() && a == "--day") day = args[++i];
    else if (i + 1 < args.size() && a == "--date") date = args[++i];
    else if (i + 1 < args.size() && a == "--out") out = args[++i];
    else usage = true;
  }
  if (usage || day.empty() || out.empty()) return Write(Stream::Err, kUsage), 2;
  try {
    auto model = sim::ParseDay(tools::ReadWholeFile(day), day);
    double workingDate = -1;
    if (!date.empty()) {
      auto d = ParseDayText(Utf16(date));
      if (!d) throw std::runtime_error("--date " + date + ": ожидается дата ДД.ММ.ГГГГ");
      workingDate = *d;
    }
    AddIn component;
    component.Init(ObjRef(&model->connection));
    std::string failure;
    for (auto& call : sim::DeliverySheetCalls(*model, workingDate)) {
      ParamArray params{1, 0, call.params};
      if (component.CallAsProc(methExecute, &params) != kOk) {
        failure = Utf8(component.failure());
        break;
      }
    }
    const std::string status = model->connection.statusLines.empty() ? "" : Utf8(model->connection.statusLines.back());
    const Value& isResult = component.result();
    const std::string result = isResult.IsNull() || isResult.IsEmpty() ? "Null" : Utf8(ToText(isResult));
    component.Done();
    tools::WriteWholeFile(out, sim::RenderSheet(model->sheet,
                                                "Лист доставки на " + (date.empty() ? Utf8(model->workingDate) : date),
                                                "Строка состояния: " + status + ". Результат: " + result + ".", failure));
    if (!failure.empty()) {
      Write(Stream::Err, failure + "\n");
      Write(Stream::Out, "Строка состояния: " + status + "\nЛист до ошибки: " + out + "\n");
      return 1;
    }
    Write(Stream::Out, "Строка состояния: " + status + "\nРезультат: " + result + "\nЛист: " + out + "\n");
    return 0;
  } catch (const std::exception& e) {
    Write(Stream::Err, std::string("preview: ") + e.what() + "\n");
    return 1;
  }
}

}  // namespace

int ToolMain(std::vector<std::string> args) { return Run(std::move(args)); }
