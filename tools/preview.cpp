// Renders a day's delivery sheet to HTML without the platform: the day file's objects in the
// simulated host, the settings and operation 13 through the same dispatcher the DLL uses. When
// an Execute fails, its description (the line the DLL gives its clients) is printed and put
// above what the sheet holds by then, and the status is 1.
//
//   preview --day FILE [--date DD.MM.YYYY] --out FILE.html
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "component/addin.h"
#include "host/calendar.h"
#include "host/rules.h"
#include "host/utf.h"
#include "sim/day_run.h"
#include "sim/html.h"

using namespace addin;

int main(int argc, char** argv) {
  std::string day, date, out;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--day")) day = argv[i + 1];
    else if (!std::strcmp(argv[i], "--date")) date = argv[i + 1];
    else if (!std::strcmp(argv[i], "--out")) out = argv[i + 1];
  }
  if (day.empty() || out.empty() || argc % 2 == 0) {
    std::fprintf(stderr, "usage: preview --day FILE [--date DD.MM.YYYY] --out FILE.html\n");
    return 2;
  }
  try {
    auto model = sim::LoadDay(day);
    double workingDate = -1;
    if (!date.empty()) {
      auto d = ParseDayText(Utf16(date));
      if (!d) throw std::runtime_error("--date " + date + ": expected DD.MM.YYYY");
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
    std::ofstream file(out, std::ios::binary);
    file << sim::RenderSheet(model->sheet, "Лист доставки на " + (date.empty() ? Utf8(model->workingDate) : date),
                             "Строка состояния: " + status + ". Результат: " + result + ".", failure);
    if (!file) throw std::runtime_error(out + ": cannot be written");
    if (!failure.empty()) {
      std::fprintf(stderr, "%s\n", failure.c_str());
      std::printf("status line: %s\nsheet up to the failure: %s\n", status.c_str(), out.c_str());
      return 1;
    }
    std::printf("status line: %s\nIsResult: %s\nsheet: %s\n", status.c_str(), result.c_str(), out.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "preview: %s\n", e.what());
    return 1;
  }
}
