// The delivery sheet through the dispatcher on the sample day and on generated days of a fixed
// grid (60 zones x 24 slots x 3 rows) with 1,500, 3,000 and 6,000 invoices. Reported per run:
// the time, the host calls by member, and the rows the host's searches examined.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "component/addin.h"
#include "host/utf.h"
#include "sim/day_run.h"
#include "sim/model.h"

using namespace addin;

namespace {

std::unique_ptr<sim::Model> Day(int invoices) {
  if (invoices == 0) return sim::LoadDay(ADDIN_SOURCE_DIR "/sim/data/sample-day.json");
  return sim::GenerateDay(60, 24, 3, invoices);
}

void RunDay(sim::Model& model) {
  AddIn component;
  component.Init(ObjRef(&model.connection));
  for (auto& call : sim::DeliverySheetCalls(model)) {
    ParamArray p{1, 0, call.params};
    if (component.CallAsProc(methExecute, &p) != kOk) throw std::runtime_error("Execute " + call.what + " failed");
  }
  component.Done();
}

void DeliverySheet(benchmark::State& state) {
  auto model = Day(static_cast<int>(state.range(0)));
  sim::Counts() = {};
  long long examined = 0;
  long runs = 0;
  for (auto _ : state) {
    sim::Counts().rowsExamined = 0;
    sim::Counts().on = true;
    RunDay(*model);
    sim::Counts().on = false;
    examined += sim::Counts().rowsExamined;
    ++runs;
  }
  long calls = 0;
  for (auto& [member, n] : sim::Counts().calls) calls += n;
  const double cells = static_cast<double>(sim::Counts().calls[u"ПолучитьСекцию"]) / runs;
  state.counters["invoices"] = static_cast<double>(model->invoices.size());
  state.counters["host_calls"] = static_cast<double>(calls) / runs;
  state.counters["rows_examined"] = static_cast<double>(examined) / runs;
  state.counters["rows_per_cell"] = cells > 0 ? examined / runs / cells : 0;
  // The most called members of the last configuration, for the report.
  std::vector<std::pair<long, std::string>> top;
  for (auto& [member, n] : sim::Counts().calls) top.emplace_back(n / runs, Utf8(member));
  std::sort(top.rbegin(), top.rend());
  std::string line;
  for (size_t i = 0; i < std::min<size_t>(8, top.size()); ++i)
    line += (i ? ", " : "") + top[i].second + " " + std::to_string(top[i].first);
  state.SetLabel(line);
}

}  // namespace

BENCHMARK(DeliverySheet)->Arg(0)->Arg(1500)->Arg(3000)->Arg(6000)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
